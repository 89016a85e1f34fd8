// The serving side of a component library: its object and lock counts and
// its class factories.
#include "com_internal.h"
#include "platform/com_server.h"

namespace com {

namespace {
// Plain atomics: constant-initialized, so a library that links this code
// gets no start-up code from it.
std::atomic<uint32_t> g_objects{0};
std::atomic<uint32_t> g_locks{0};

class ClassFactory final : public IClassFactory, public RefCounted {
 public:
  explicit ClassFactory(CreateFunction create) : create_(create) {}

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return detail::query_one<IClassFactory>(this, IID_IClassFactory, iid, out);
  }
  uint32_t AddRef() override { return ref_add(); }
  uint32_t Release() override { return ref_release(); }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return detail::guarded([&] { return create_(outer, iid, out); });
  }
  HRESULT LockServer(int32_t lock) override {
    module_lock(lock != 0);
    return S_OK;
  }

 private:
  CreateFunction create_;
};
}  // namespace

// Out of line: inlined into a class with several bases, the delete below
// draws a false warning about freeing an interior pointer.
uint32_t RefCounted::ref_release() noexcept {
  uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

void module_add_object() { g_objects.fetch_add(1, std::memory_order_relaxed); }
void module_remove_object() { g_objects.fetch_sub(1, std::memory_order_acq_rel); }

void module_lock(bool lock) {
  if (lock) {
    g_locks.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  // An unmatched unlock must not wrap the count and pin the library.
  uint32_t n = g_locks.load(std::memory_order_relaxed);
  while (n > 0 && !g_locks.compare_exchange_weak(n, n - 1, std::memory_order_acq_rel)) {
  }
}

uint32_t module_object_count() { return g_objects.load(std::memory_order_acquire); }
uint32_t module_lock_count() { return g_locks.load(std::memory_order_acquire); }

HRESULT module_can_unload_now() {
  return module_object_count() == 0 && module_lock_count() == 0 ? S_OK : S_FALSE;
}

HRESULT create_class_factory(CreateFunction create, IClassFactory** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (create == nullptr) return E_INVALIDARG;
  auto* f = new (std::nothrow) ClassFactory(create);
  if (f == nullptr) return E_OUTOFMEMORY;
  *out = f;
  return S_OK;
}

HRESULT module_get_class_object(const ClassEntry* classes, uint32_t count, const CLSID& clsid,
                                const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (classes == nullptr && count > 0) return E_INVALIDARG;
  for (uint32_t i = 0; i < count; ++i) {
    if (classes[i].clsid == nullptr || !guid_equal(*classes[i].clsid, clsid)) continue;
    IClassFactory* f = nullptr;
    HRESULT hr = create_class_factory(classes[i].create, &f);
    if (FAILED(hr)) return hr;
    hr = f->QueryInterface(iid, out);
    f->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com
