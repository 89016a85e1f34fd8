/* What a component library needs on top of com.h to serve classes: module
 * object and lock counts for DllCanUnloadNow, a reference-counting base,
 * class factories, a connection point a control embeds to fire events, and
 * a stream format for property values.
 *
 * Each component library links its own copy of this code, so the counts
 * are per library, which is what DllCanUnloadNow asks about. */
#ifndef RASTRIX_PLATFORM_COM_SERVER_H
#define RASTRIX_PLATFORM_COM_SERVER_H

#include <atomic>
#include <mutex>
#include <new>
#include <vector>

#include "platform/com.h"

namespace com {

/* ---- Module counts --------------------------------------------------------
 * Every live object the library hands out counts, and so does every
 * IClassFactory::LockServer(TRUE) until its matching FALSE. */
void module_add_object();
void module_remove_object();
void module_lock(bool lock);
uint32_t module_object_count();
uint32_t module_lock_count();
/* S_OK when no object and no lock remains, S_FALSE otherwise: the body of
 * a library's DllCanUnloadNow. */
HRESULT module_can_unload_now();

/* A base for objects handed out by a library: a thread-safe reference
 * count that starts at 1 (the creator's reference) and deletes the object
 * at 0, and a place in the module's object count while the object lives.
 * The derived class forwards its AddRef/Release to ref_add/ref_release. */
class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  RefCounted() noexcept { module_add_object(); }
  virtual ~RefCounted() { module_remove_object(); }
  uint32_t ref_add() noexcept { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t ref_release() noexcept;

 private:
  std::atomic<uint32_t> refs_{1};
};

/* ---- Class factories ------------------------------------------------------ */
typedef HRESULT (*CreateFunction)(IUnknown* outer, const IID& iid, void** out);

/* A CreateFunction for a class T derived from RefCounted with a default
 * constructor: no aggregation, and the new object's creator reference is
 * traded for the interface asked for. */
template <class T>
HRESULT create_instance(IUnknown* outer, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  T* object = nullptr;
  try {
    object = new T();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

/* A factory that makes its objects with `create`. */
HRESULT create_class_factory(CreateFunction create, IClassFactory** out);

/* The classes a library serves, and the body of its DllGetClassObject:
 * a factory for the class asked for, or CLASS_E_CLASSNOTAVAILABLE. */
struct ClassEntry {
  const CLSID* clsid;
  CreateFunction create;
};
HRESULT module_get_class_object(const ClassEntry* classes, uint32_t count, const CLSID& clsid,
                                const IID& iid, void** out);

/* ---- Events ----------------------------------------------------------------
 * The connection point for one event interface, embedded in the object
 * that fires the events (its owner), whose reference count it shares. A
 * sink is accepted if it answers the event interface or IDispatch. */
class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IUnknown* owner, const IID& events) noexcept : owner_(owner), events_(events) {}
  ~ConnectionPoint();
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint32_t AddRef() override { return owner_->AddRef(); }
  uint32_t Release() override { return owner_->Release(); }
  HRESULT GetConnectionInterface(IID* out) override;
  HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;

  /* Calls Invoke(id, DISPATCH_METHOD) on every sink connected when the
   * call starts, with args in reverse order; a sink may write through
   * by-reference arguments, and may connect or disconnect sinks while it
   * runs. S_OK, or the first failure a sink returned (the others are
   * still called). */
  HRESULT Fire(DISPID id, VARIANT* args_reverse_order, uint32_t count);
  /* Drops every sink, as an object does when its host lets it go. */
  void UnadviseAll();
  uint32_t SinkCount() const;

 private:
  struct Sink {
    uint32_t cookie;
    IDispatch* dispatch;
  };
  IUnknown* owner_;
  IID events_;
  mutable std::mutex mutex_;
  std::vector<Sink> sinks_;
  uint32_t next_cookie_ = 1;
};

/* ---- Property streams -----------------------------------------------------
 * One variant as a type tag and its value, little-endian; strings carry
 * their byte length. Only values persist: empty, null, the numbers, BOOL,
 * error codes and strings. A read that runs out of data gives
 * STG_E_READFAULT, an unknown tag DISP_E_BADVARTYPE. */
HRESULT stream_write_variant(IStream* stream, const VARIANT& value);
HRESULT stream_read_variant(IStream* stream, VARIANT* value);

}  // namespace com

#endif
