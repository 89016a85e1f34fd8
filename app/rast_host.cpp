#include "rast_host.h"

#include "rastrix/rx_codes.h"

namespace kavelo {

std::unique_ptr<RastHost> RastHost::create(com::HRESULT* result) {
  com::IDispatch* control = rxapp::ControlClient::createDispatch(result);
  return control ? std::make_unique<RastHost>(control) : nullptr;
}

RastHost::RastHost(com::IDispatch* control) : control_(control) {}

void RastHost::showIn(uintptr_t window, int width, int height) { control_.showIn(window, width, height); }

void RastHost::convert(const QString& source, const QString& output) {
  control_.putBool(dispid::DelImage, true);
  control_.putPath(dispid::LoadImage, source);
  control_.putShort(dispid::DisplayEffectIndex, 24);
  control_.putShort(dispid::SaveFormat, RX_FORMAT_JPEG);
  control_.putShort(dispid::SaveQuality, 100);
  control_.putPath(dispid::SaveImage, output);
}

}  // namespace kavelo
