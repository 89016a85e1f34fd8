// The imaging control as RastView holds it: created at run time through the
// component model by its type-library name, shown in place in a layer
// window of the main window, and driven only by late-bound property reads
// and writes by dispatch identifier.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/com.h"

namespace rastview {

inline constexpr const char* kRastClassName = "RASTLib.Rast";

// Dispatch identifiers of the control's members that the viewer uses.
namespace dispid {
inline constexpr com::DISPID DisplayGamma = 1;
inline constexpr com::DISPID DisplayBrightness = 2;
inline constexpr com::DISPID DisplayContrast = 3;
inline constexpr com::DISPID LoadImage = 4;
inline constexpr com::DISPID ZoomLevel = 6;
inline constexpr com::DISPID ErrCount = 7;
inline constexpr com::DISPID DitherMode = 10;
inline constexpr com::DISPID ImageHeight = 11;
inline constexpr com::DISPID ImageWidth = 12;
inline constexpr com::DISPID AliasMode = 13;
inline constexpr com::DISPID DisplayAngle = 22;
inline constexpr com::DISPID DisplayEffect = 23;
inline constexpr com::DISPID FitMethod = 25;
inline constexpr com::DISPID ImageBitsPerPixel = 34;
inline constexpr com::DISPID ImagePosX = 35;
inline constexpr com::DISPID ImagePosY = 36;
inline constexpr com::DISPID MagnifyWindow = 43;
inline constexpr com::DISPID Page = 50;
inline constexpr com::DISPID Rotate = 61;
inline constexpr com::DISPID DisplayEffectSize = 72;
inline constexpr com::DISPID DisplayEffectTime = 73;
inline constexpr com::DISPID SelectEvent = 77;
inline constexpr com::DISPID DebugLevel = 89;
inline constexpr com::DISPID ImageIndex = 99;
inline constexpr com::DISPID DisplayEffectIndex = 100;
inline constexpr com::DISPID About = 122;
inline constexpr com::DISPID PanWindow = 141;
inline constexpr com::DISPID HandPanning = 164;
inline constexpr com::DISPID ImageType = 166;
inline constexpr com::DISPID DeviceRectRight = 178;
inline constexpr com::DISPID DeviceRectBottom = 179;
inline constexpr com::DISPID GUIWindow = 182;
inline constexpr com::DISPID PageCount = 188;
inline constexpr com::DISPID GUIWidth = 191;
inline constexpr com::DISPID GUIHeight = 192;
inline constexpr com::DISPID GUIXpos = 193;
inline constexpr com::DISPID GUIYpos = 194;
}  // namespace dispid

// Events of the control that the viewer follows: the selection ended and
// the stock mouse move.
inline constexpr com::DISPID kEventSelect = 2;
inline constexpr com::DISPID kEventMouseMove = -606;

class EventSink;

class ViewControl {
 public:
  // Null when the class cannot be created; `result` then says why.
  static std::unique_ptr<ViewControl> create(com::HRESULT* result);

  // Takes over one reference to `control`.
  explicit ViewControl(com::IDispatch* control);
  ~ViewControl();
  ViewControl(const ViewControl&) = delete;
  ViewControl& operator=(const ViewControl&) = delete;

  void putLong(com::DISPID id, int32_t value);
  void putBool(com::DISPID id, bool flag);
  void putDouble(com::DISPID id, double value);
  // File names go to the control as the bytes the file system uses.
  void putPath(com::DISPID id, const QString& path);
  // 0, 0.0 or empty when the member cannot be read.
  int32_t getLong(com::DISPID id) const;
  double getDouble(com::DISPID id) const;
  QString getString(com::DISPID id) const;

  // Activates the control in place: its own window as a child of `window`.
  bool showIn(uintptr_t window, int width, int height);
  // Follows the host's place when it changes size.
  void resize(int width, int height);
  // The control's own window, 0 while it is not shown.
  uintptr_t window() const;

  // Runs `handler` with each event the control fires, by its identifier.
  // Connects to the control's default event interface on first use.
  bool onEvent(std::function<void(com::DISPID)> handler);

 private:
  void put(com::DISPID id, com::VARIANT& value);
  bool get(com::DISPID id, com::VARTYPE type, com::VARIANT* out) const;

  com::IDispatch* control_;
  com::IInPlaceControl* place_ = nullptr;  // while shown
  EventSink* sink_ = nullptr;
  com::IConnectionPoint* point_ = nullptr;
  uint32_t cookie_ = 0;
};

}  // namespace rastview
