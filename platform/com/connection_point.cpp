// Event delivery from an object to the sinks its hosts connected.
#include "com_internal.h"
#include "platform/com_server.h"

namespace com {

ConnectionPoint::~ConnectionPoint() { UnadviseAll(); }

HRESULT ConnectionPoint::QueryInterface(const IID& iid, void** out) {
  return detail::query_one<IConnectionPoint>(this, IID_IConnectionPoint, iid, out);
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* out) {
  if (out == nullptr) return E_POINTER;
  *out = events_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    void* p = nullptr;
    if (FAILED(sink->QueryInterface(events_, &p)) || p == nullptr) {
      p = nullptr;
      if (FAILED(sink->QueryInterface(IID_IDispatch, &p)) || p == nullptr)
        return CONNECT_E_CANNOTCONNECT;
    }
    // Both interfaces are dispatch interfaces: the event interface is a
    // dispinterface, so its vtable is IDispatch's.
    auto* dispatch = static_cast<IDispatch*>(p);
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      sinks_.push_back({next_cookie_, dispatch});
    } catch (...) {
      dispatch->Release();
      throw;
    }
    *cookie = next_cookie_++;
    if (next_cookie_ == 0) next_cookie_ = 1;  // 0 is never a valid cookie
    return S_OK;
  });
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
  IDispatch* dropped = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
      if (it->cookie == cookie) {
        dropped = it->dispatch;
        sinks_.erase(it);
        break;
      }
    }
  }
  if (dropped == nullptr) return CONNECT_E_NOCONNECTION;
  // Released outside the lock: the sink's destructor may call back in.
  dropped->Release();
  return S_OK;
}

void ConnectionPoint::UnadviseAll() {
  std::vector<Sink> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(sinks_);
  }
  for (const Sink& s : dropped) s.dispatch->Release();
}

uint32_t ConnectionPoint::SinkCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(sinks_.size());
}

HRESULT ConnectionPoint::Fire(DISPID id, VARIANT* args_reverse_order, uint32_t count) {
  if (args_reverse_order == nullptr && count > 0) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    // A snapshot, so that sinks may advise or unadvise from inside the call.
    std::vector<IDispatch*> targets;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      targets.reserve(sinks_.size());
      for (const Sink& s : sinks_) {
        s.dispatch->AddRef();
        targets.push_back(s.dispatch);
      }
    }
    HRESULT first_failure = S_OK;
    for (IDispatch* d : targets) {
      DISPPARAMS params{args_reverse_order, nullptr, count, 0};
      EXCEPINFO excep{};
      HRESULT hr = d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, nullptr);
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
      d->Release();
    }
    return first_failure;
  });
}

}  // namespace com
