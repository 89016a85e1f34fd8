// The imaging control on the form: created at run time through the
// component model by its type-library name, and driven only by late-bound
// property writes.
#pragma once

#include <QString>

#include <memory>

#include "control_client.h"
#include "image_converter.h"

namespace kavelo {

using rxapp::kRastClassName;

// Dispatch identifiers of the control's properties that the program writes.
namespace dispid {
inline constexpr com::DISPID LoadImage = 4;
inline constexpr com::DISPID SaveImage = 5;
inline constexpr com::DISPID SaveFormat = 8;
inline constexpr com::DISPID SaveQuality = 62;
inline constexpr com::DISPID DisplayEffectIndex = 100;
inline constexpr com::DISPID DelImage = 132;
}  // namespace dispid

class RastHost final : public ImageConverter {
 public:
  // Null when the class cannot be created; `result` then says why.
  static std::unique_ptr<RastHost> create(com::HRESULT* result);

  // Takes over one reference to `control`.
  explicit RastHost(com::IDispatch* control);
  RastHost(const RastHost&) = delete;
  RastHost& operator=(const RastHost&) = delete;

  // DelImage = TRUE first, so that a file which fails to load leaves no
  // image behind and SaveImage writes nothing, instead of saving the
  // previous file's picture under this file's name. Then the five writes
  // in their fixed order.
  void convert(const QString& source, const QString& output) override;
  // Activates the control in place: its own window as a child of `window`.
  void showIn(uintptr_t window, int width, int height) override;

 private:
  rxapp::ControlClient control_;
};

}  // namespace kavelo
