// A stream in memory, for property persistence and its tests.
#include "com_internal.h"
#include "platform/com_server.h"

namespace com {

namespace {

// How MemoryStreamContent recognises its own streams: a private interface,
// reached through QueryInterface rather than a cast, so that a stream made
// by another library's copy of this code is still understood.
struct IMemoryContent : IUnknown {
  virtual HRESULT Content(const uint8_t** data, uint32_t* size) = 0;

 protected:
  ~IMemoryContent() = default;
};
const IID IID_IMemoryContent = {0x915fb11c, 0xec34, 0x4f35, {0xa5, 0xee, 0x41, 0x53, 0xd7, 0x3c, 0x89, 0x42}};

class MemoryStream final : public IStream, public IMemoryContent, public RefCounted {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (guid_equal(iid, IID_IUnknown) || guid_equal(iid, IID_IStream)) {
      *out = static_cast<IStream*>(this);
    } else if (guid_equal(iid, IID_IMemoryContent)) {
      *out = static_cast<IMemoryContent*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    ref_add();
    return S_OK;
  }
  uint32_t AddRef() override { return ref_add(); }
  uint32_t Release() override { return ref_release(); }

  HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
    if (read != nullptr) *read = 0;
    if (buffer == nullptr && count > 0) return E_POINTER;
    size_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, available));
    if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    if (read != nullptr) *read = n;
    // Short reads are not errors, but a caller that insists on the whole
    // count can tell them apart.
    return n == count ? S_OK : S_FALSE;
  }

  HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) override {
    if (written != nullptr) *written = 0;
    if (buffer == nullptr && count > 0) return E_POINTER;
    if (count == 0) return S_OK;
    uint64_t end = position_ + uint64_t{count};
    if (end > UINT32_MAX) return E_OUTOFMEMORY;
    return detail::guarded([&]() -> HRESULT {
      // A seek past the end leaves a gap, which reads back as zeros.
      if (end > data_.size()) data_.resize(static_cast<size_t>(end));
      std::memcpy(data_.data() + position_, buffer, count);
      position_ = end;
      if (written != nullptr) *written = count;
      return S_OK;
    });
  }

  HRESULT Seek(int64_t move, uint32_t origin, uint64_t* position) override {
    int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(data_.size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    // Both are within +-2^63 and base <= 2^32, so check before adding.
    if (move > INT64_MAX - base) return STG_E_INVALIDFUNCTION;
    int64_t target = base + move;
    if (target < 0 || target > int64_t{UINT32_MAX}) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (position != nullptr) *position = position_;
    return S_OK;
  }

  HRESULT Content(const uint8_t** data, uint32_t* size) override {
    *data = data_.data();
    *size = static_cast<uint32_t>(data_.size());
    return S_OK;
  }

  std::vector<uint8_t> data_;

 private:
  uint64_t position_ = 0;
};

}  // namespace

HRESULT CreateMemoryStream(const void* data, uint32_t size, IStream** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (data == nullptr && size > 0) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    auto* s = new MemoryStream;
    try {
      if (size > 0) s->data_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    } catch (...) {
      s->Release();
      throw;
    }
    *out = s;
    return S_OK;
  });
}

HRESULT MemoryStreamContent(IStream* stream, const uint8_t** data, uint32_t* size) {
  if (data == nullptr || size == nullptr) return E_POINTER;
  *data = nullptr;
  *size = 0;
  if (stream == nullptr) return E_POINTER;
  void* p = nullptr;
  if (FAILED(stream->QueryInterface(IID_IMemoryContent, &p)) || p == nullptr) return E_INVALIDARG;
  auto* content = static_cast<IMemoryContent*>(p);
  HRESULT hr = content->Content(data, size);
  content->Release();
  return hr;
}

}  // namespace com
