// The members and events of the control that RastView reads and writes.
#pragma once

#include "control_client.h"

namespace rastview {

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

// The viewer holds the control as every host program does.
using ViewControl = rxapp::ControlClient;
using rxapp::kRastClassName;

}  // namespace rastview
