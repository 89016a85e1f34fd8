#include "control_client.h"

#include <QFile>

#include "event_sink.h"

namespace rxapp {
namespace {

com::VARIANT typed(com::VARTYPE type) {
  com::VARIANT value;
  com::VariantInit(&value);
  value.vt = type;
  return value;
}

}  // namespace

com::IDispatch* ControlClient::createDispatch(com::HRESULT* result) {
  com::IDispatch* control = nullptr;
  const com::HRESULT hr = com::CoCreateInstanceByName(kRastClassName, com::IID_IDispatch,
                                                      reinterpret_cast<void**>(&control));
  if (result) *result = hr;
  if (com::FAILED(hr) || !control) {
    if (result && com::SUCCEEDED(hr)) *result = com::E_POINTER;
    return nullptr;
  }
  return control;
}

std::unique_ptr<ControlClient> ControlClient::create(com::HRESULT* result) {
  com::IDispatch* control = createDispatch(result);
  return control ? std::make_unique<ControlClient>(control) : nullptr;
}

ControlClient::ControlClient(com::IDispatch* control) : control_(control) {}

ControlClient::~ControlClient() {
  if (point_) {
    point_->Unadvise(cookie_);
    point_->Release();
  }
  if (sink_) sink_->Release();
  if (place_) {
    place_->InPlaceDeactivate();
    place_->Release();
  }
  if (control_) control_->Release();
}

void ControlClient::put(com::DISPID id, com::VARIANT& value) {
  com::disp_put(control_, id, value);
  com::VariantClear(&value);
}

void ControlClient::putShort(com::DISPID id, int16_t number) {
  com::VARIANT value = typed(com::VT_I2);
  value.iVal = number;
  put(id, value);
}

void ControlClient::putLong(com::DISPID id, int32_t number) {
  com::VARIANT value = typed(com::VT_I4);
  value.lVal = number;
  put(id, value);
}

void ControlClient::putBool(com::DISPID id, bool flag) {
  com::VARIANT value = typed(com::VT_BOOL);
  value.boolVal = flag ? com::VARIANT_TRUE : com::VARIANT_FALSE;
  put(id, value);
}

void ControlClient::putDouble(com::DISPID id, double number) {
  com::VARIANT value = typed(com::VT_R8);
  value.dblVal = number;
  put(id, value);
}

void ControlClient::putPath(com::DISPID id, const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  com::VARIANT value = typed(com::VT_BSTR);
  value.bstrVal = com::SysAllocStringLen(bytes.constData(), static_cast<uint32_t>(bytes.size()));
  put(id, value);
}

bool ControlClient::get(com::DISPID id, com::VARTYPE type, com::VARIANT* out) const {
  com::VARIANT raw;
  com::VariantInit(&raw);
  com::VariantInit(out);
  bool ok = com::SUCCEEDED(com::disp_get(control_, id, &raw)) &&
            com::SUCCEEDED(com::VariantChangeType(out, &raw, 0, type));
  com::VariantClear(&raw);
  return ok;
}

int32_t ControlClient::getLong(com::DISPID id) const {
  com::VARIANT value;
  return get(id, com::VT_I4, &value) ? value.lVal : 0;
}

double ControlClient::getDouble(com::DISPID id) const {
  com::VARIANT value;
  return get(id, com::VT_R8, &value) ? value.dblVal : 0.0;
}

QString ControlClient::getString(com::DISPID id) const {
  com::VARIANT value;
  if (!get(id, com::VT_BSTR, &value)) return {};
  QString text = value.bstrVal ? QString::fromUtf8(value.bstrVal, com::SysStringLen(value.bstrVal))
                               : QString();
  com::VariantClear(&value);
  return text;
}

bool ControlClient::showIn(uintptr_t window, int width, int height) {
  if (!place_ && com::FAILED(control_->QueryInterface(com::IID_IInPlaceControl,
                                                      reinterpret_cast<void**>(&place_)))) {
    place_ = nullptr;
    return false;
  }
  const int32_t rect[4] = {0, 0, width, height};
  return com::SUCCEEDED(place_->InPlaceActivate(window, rect));
}

void ControlClient::resize(int width, int height) {
  if (!place_) return;
  const int32_t rect[4] = {0, 0, width, height};
  place_->SetObjectRect(rect);
}

uintptr_t ControlClient::window() const {
  uintptr_t window = 0;
  if (place_ && com::FAILED(place_->GetWindow(&window))) window = 0;
  return window;
}

// The event interface's identifier comes from the control itself, so the
// host needs none of the control's headers.
bool ControlClient::onEvent(std::function<void(com::DISPID)> handler) {
  if (point_) return false;
  com::IProvideClassInfo2* info = nullptr;
  if (com::FAILED(control_->QueryInterface(com::IID_IProvideClassInfo2, reinterpret_cast<void**>(&info))))
    return false;
  com::IID events{};
  const com::HRESULT got = info->GetGUID(com::GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
  info->Release();
  if (com::FAILED(got)) return false;
  com::IConnectionPointContainer* container = nullptr;
  if (com::FAILED(control_->QueryInterface(com::IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&container))))
    return false;
  const com::HRESULT found = container->FindConnectionPoint(events, &point_);
  container->Release();
  if (com::FAILED(found) || !point_) {
    point_ = nullptr;
    return false;
  }
  sink_ = new EventSink(std::move(handler));
  if (com::FAILED(point_->Advise(sink_, &cookie_))) {
    point_->Release();
    point_ = nullptr;
    return false;
  }
  return true;
}

}  // namespace rxapp
