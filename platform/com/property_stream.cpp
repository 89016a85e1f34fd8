// Property values in a stream: a 16-bit type tag, then the value in
// little-endian order; a string is its 32-bit byte length and its bytes.
#include <string>

#include "com_internal.h"
#include "platform/com_server.h"

namespace com {

namespace {

// Strings are read in pieces of this size, so that a corrupt length does
// not make us allocate gigabytes before the data runs out.
constexpr uint32_t kChunk = 64 * 1024;

uint32_t value_size(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: return 0;
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: return 8;
    default: return UINT32_MAX;
  }
}

HRESULT write_exact(IStream* s, const void* data, uint32_t n) {
  uint32_t written = 0;
  HRESULT hr = s->Write(data, n, &written);
  if (FAILED(hr)) return hr;
  return written == n ? S_OK : STG_E_INVALIDFUNCTION;
}

HRESULT read_exact(IStream* s, void* data, uint32_t n) {
  uint32_t got = 0;
  HRESULT hr = s->Read(data, n, &got);
  if (FAILED(hr)) return hr;
  return got == n ? S_OK : STG_E_READFAULT;
}

}  // namespace

HRESULT stream_write_variant(IStream* stream, const VARIANT& value) {
  if (stream == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    VARTYPE vt = value.vt;
    HRESULT hr;
    if (vt == VT_BSTR) {
      uint32_t n = SysStringLen(value.bstrVal);
      if (FAILED(hr = write_exact(stream, &vt, 2))) return hr;
      if (FAILED(hr = write_exact(stream, &n, 4))) return hr;
      return write_exact(stream, value.bstrVal, n);
    }
    uint32_t size = value_size(vt);
    if (size == UINT32_MAX) return DISP_E_BADVARTYPE;
    if (FAILED(hr = write_exact(stream, &vt, 2))) return hr;
    return size == 0 ? S_OK : write_exact(stream, &value.llVal, size);
  });
}

HRESULT stream_read_variant(IStream* stream, VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  if (stream == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    VARTYPE vt = 0;
    HRESULT hr = read_exact(stream, &vt, 2);
    if (FAILED(hr)) return hr;
    if (vt == VT_BSTR) {
      uint32_t n = 0;
      if (FAILED(hr = read_exact(stream, &n, 4))) return hr;
      std::string text;
      while (text.size() < n) {
        uint32_t piece = std::min<uint32_t>(kChunk, n - static_cast<uint32_t>(text.size()));
        size_t at = text.size();
        text.resize(at + piece);
        if (FAILED(hr = read_exact(stream, text.data() + at, piece))) return hr;
      }
      BSTR s = SysAllocStringLen(text.data(), n);
      if (s == nullptr) return E_OUTOFMEMORY;
      value->vt = VT_BSTR;
      value->bstrVal = s;
      return S_OK;
    }
    uint32_t size = value_size(vt);
    if (size == UINT32_MAX) return DISP_E_BADVARTYPE;
    VARIANT v;
    VariantInit(&v);
    if (size > 0 && FAILED(hr = read_exact(stream, &v.llVal, size))) return hr;
    v.vt = vt;
    *value = v;
    return S_OK;
  });
}

}  // namespace com
