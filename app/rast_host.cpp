#include "rast_host.h"

#include <QFile>

#include "rastrix/rx_codes.h"

namespace kavelo {

std::unique_ptr<RastHost> RastHost::create(com::HRESULT* result) {
  com::IDispatch* control = nullptr;
  const com::HRESULT hr = com::CoCreateInstanceByName(
      kRastClassName, com::IID_IDispatch, reinterpret_cast<void**>(&control));
  if (result) *result = hr;
  if (com::FAILED(hr) || !control) {
    if (result && com::SUCCEEDED(hr)) *result = com::E_POINTER;
    return nullptr;
  }
  return std::make_unique<RastHost>(control);
}

RastHost::RastHost(com::IDispatch* control) : control_(control) {}

RastHost::~RastHost() {
  if (place_) {
    place_->InPlaceDeactivate();
    place_->Release();
  }
  if (control_) control_->Release();
}

void RastHost::showIn(uintptr_t window, int width, int height) {
  if (!place_ && com::FAILED(control_->QueryInterface(com::IID_IInPlaceControl,
                                                      reinterpret_cast<void**>(&place_))))
    return;
  const int32_t rect[4] = {0, 0, width, height};
  place_->InPlaceActivate(window, rect);
}

void RastHost::convert(const QString& source, const QString& output) {
  putBool(dispid::DelImage, true);
  putString(dispid::LoadImage, source);
  putShort(dispid::DisplayEffectIndex, 24);
  putShort(dispid::SaveFormat, RX_FORMAT_JPEG);
  putShort(dispid::SaveQuality, 100);
  putString(dispid::SaveImage, output);
}

void RastHost::putString(com::DISPID id, const QString& path) {
  // The control opens files by the same bytes the file list read.
  const QByteArray bytes = QFile::encodeName(path);
  com::VARIANT value;
  com::VariantInit(&value);
  value.vt = com::VT_BSTR;
  value.bstrVal = com::SysAllocStringLen(bytes.constData(), static_cast<uint32_t>(bytes.size()));
  com::disp_put(control_, id, value);
  com::VariantClear(&value);
}

void RastHost::putShort(com::DISPID id, int16_t number) {
  com::VARIANT value;
  com::VariantInit(&value);
  value.vt = com::VT_I2;
  value.iVal = number;
  com::disp_put(control_, id, value);
}

void RastHost::putBool(com::DISPID id, bool flag) {
  com::VARIANT value;
  com::VariantInit(&value);
  value.vt = com::VT_BOOL;
  value.boolVal = flag ? com::VARIANT_TRUE : com::VARIANT_FALSE;
  com::disp_put(control_, id, value);
}

}  // namespace kavelo
