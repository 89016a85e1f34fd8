// The dispatch table. Custom members carry the identifiers 1..196 in table
// order (103 to 105 are unassigned); initial values are those a new control
// reports, since no custom member is persisted.
#include "rast_props.h"

#include <array>

#include "rast_guids.h"
#include "rastrix/rx_codes.h"

namespace rast {
namespace {

constexpr PropDesc kProps[] = {
    {1, "DisplayGamma", PropType::Double, PropKind::Notify, 1.0, nullptr},
    {2, "DisplayBrightness", PropType::Double, PropKind::Notify, 0.0, nullptr},
    {3, "DisplayContrast", PropType::Double, PropKind::Notify, 1.0, nullptr},
    {4, "LoadImage", PropType::String, PropKind::Notify, 0, ""},
    {5, "SaveImage", PropType::String, PropKind::Notify, 0, ""},
    {6, "ZoomLevel", PropType::Long, PropKind::Notify, 100, nullptr},
    {7, "ErrCount", PropType::Long, PropKind::Notify, 0, nullptr},
    {8, "SaveFormat", PropType::Long, PropKind::Notify, RX_FORMAT_BMP, nullptr},
    {9, "AspectRatio", PropType::Long, PropKind::Notify, 0, nullptr},
    {10, "DitherMode", PropType::Long, PropKind::Notify, 0, nullptr},
    {11, "ImageHeight", PropType::Long, PropKind::Notify, 0, nullptr},
    {12, "ImageWidth", PropType::Long, PropKind::Notify, 0, nullptr},
    {13, "AliasMode", PropType::Long, PropKind::Notify, 0, nullptr},
    {14, "AliasQuality", PropType::Long, PropKind::Notify, 0, nullptr},
    {15, "AutoDeskew", PropType::Long, PropKind::Notify, 0, nullptr},
    {16, "AutoDetectOn", PropType::Long, PropKind::Notify, 0, nullptr},
    {17, "AutoDetectOff", PropType::Long, PropKind::Notify, 0, nullptr},
    {18, "AutoReduce", PropType::Long, PropKind::Notify, 0, nullptr},
    {19, "AutoResizeX", PropType::Long, PropKind::Notify, 0, nullptr},
    {20, "AutoResizeY", PropType::Long, PropKind::Notify, 0, nullptr},
    {21, "Despeckle", PropType::Long, PropKind::Notify, 0, nullptr},
    {22, "DisplayAngle", PropType::Long, PropKind::Notify, 0, nullptr},
    {23, "DisplayEffect", PropType::Long, PropKind::Notify, 0, nullptr},
    {24, "DrawMode", PropType::Long, PropKind::Notify, 13369376, nullptr},
    {25, "FitMethod", PropType::Long, PropKind::Notify, 0, nullptr},
    {26, "Flip", PropType::Long, PropKind::Notify, 0, nullptr},
    {27, "FXBlur", PropType::Long, PropKind::Notify, 0, nullptr},
    {28, "FXDiffuse", PropType::Long, PropKind::Notify, 0, nullptr},
    {29, "FXEmboss", PropType::Long, PropKind::Notify, 0, nullptr},
    {30, "FXMotion", PropType::Long, PropKind::Notify, 0, nullptr},
    {31, "FXPosterize", PropType::Long, PropKind::Notify, 0, nullptr},
    {32, "FXTexture", PropType::Long, PropKind::Notify, 0, nullptr},
    {33, "FXTwist", PropType::Long, PropKind::Notify, 0, nullptr},
    {34, "ImageBitsPerPixel", PropType::Long, PropKind::Notify, 0, nullptr},
    {35, "ImagePosX", PropType::Long, PropKind::Notify, 0, nullptr},
    {36, "ImagePosY", PropType::Long, PropKind::Notify, 0, nullptr},
    {37, "ImageRectBottom", PropType::Long, PropKind::Notify, 0, nullptr},
    {38, "ImageRectLeft", PropType::Long, PropKind::Notify, 0, nullptr},
    {39, "ImageRectRight", PropType::Long, PropKind::Notify, 0, nullptr},
    {40, "ImageRectTop", PropType::Long, PropKind::Notify, 0, nullptr},
    {41, "ImportDDB", PropType::Address, PropKind::Notify, 0, nullptr},
    {42, "ImportDIB", PropType::Address, PropKind::Notify, 0, nullptr},
    {43, "MagnifyWindow", PropType::Long, PropKind::Notify, 0, nullptr},
    {44, "MedianCut", PropType::Long, PropKind::Notify, 0, nullptr},
    {45, "MemLoad", PropType::Address, PropKind::Notify, 0, nullptr},
    {46, "MemPage", PropType::Long, PropKind::Notify, 0, nullptr},
    {47, "MemSave", PropType::Address, PropKind::Notify, 0, nullptr},
    {48, "MemSize", PropType::Long, PropKind::Notify, 0, nullptr},
    {49, "Octree", PropType::Address, PropKind::Notify, 0, nullptr},
    {50, "Page", PropType::Long, PropKind::Notify, 0, nullptr},
    {51, "PixelPosX", PropType::Long, PropKind::Notify, 0, nullptr},
    {52, "PixelPosY", PropType::Long, PropKind::Notify, 0, nullptr},
    {53, "Popularity", PropType::Long, PropKind::Notify, 0, nullptr},
    {54, "PrintBottom", PropType::Long, PropKind::Notify, 3000, nullptr},
    {55, "PrintLeft", PropType::Long, PropKind::Notify, 0, nullptr},
    {56, "PrintRight", PropType::Long, PropKind::Notify, 2400, nullptr},
    {57, "PrintSize", PropType::Long, PropKind::Notify, 0, nullptr},
    {58, "PrintTop", PropType::Long, PropKind::Notify, 0, nullptr},
    {59, "ResizeWidth", PropType::Long, PropKind::Notify, 0, nullptr},
    {60, "ResizeHeight", PropType::Long, PropKind::Notify, 0, nullptr},
    {61, "Rotate", PropType::Long, PropKind::Notify, 0, nullptr},
    {62, "SaveQuality", PropType::Long, PropKind::Notify, 70, nullptr},
    {63, "ScanBits", PropType::Long, PropKind::Notify, 0, nullptr},
    {64, "ScanHres", PropType::Long, PropKind::Notify, 300, nullptr},
    {65, "ScanVres", PropType::Long, PropKind::Notify, 300, nullptr},
    {66, "SettingMode", PropType::Long, PropKind::Notify, 0, nullptr},
    {67, "SettingValue", PropType::Long, PropKind::Notify, 0, nullptr},
    {68, "Tag", PropType::Long, PropKind::Notify, 0, nullptr},
    {69, "CCITTOffset", PropType::Long, PropKind::Notify, 0, nullptr},
    {70, "CCITTFillOrder", PropType::Long, PropKind::Notify, 0, nullptr},
    {71, "CCITTType", PropType::Long, PropKind::Notify, 0, nullptr},
    {72, "DisplayEffectSize", PropType::Long, PropKind::Notify, 0, nullptr},
    {73, "DisplayEffectTime", PropType::Long, PropKind::Notify, 0, nullptr},
    {74, "PaletteGet", PropType::Long, PropKind::Notify, 0, nullptr},
    {75, "PaletteSet", PropType::Long, PropKind::Notify, 0, nullptr},
    {76, "ResizeImage", PropType::Long, PropKind::Notify, 0, nullptr},
    {77, "SelectEvent", PropType::Long, PropKind::Notify, 0, nullptr},
    {78, "OctreeBits", PropType::Long, PropKind::Notify, 8, nullptr},
    {79, "OctreeColors", PropType::Long, PropKind::Notify, 0, nullptr},
    {80, "RotateAny", PropType::Long, PropKind::Notify, 0, nullptr},
    {81, "TiffName", PropType::String, PropKind::Notify, 0, ""},
    {82, "TiffDate", PropType::String, PropKind::Notify, 0, ""},
    {83, "CCITTXSize", PropType::Long, PropKind::Notify, 0, nullptr},
    {84, "CCITTYSize", PropType::Long, PropKind::Notify, 0, nullptr},
    {85, "Brightness", PropType::Double, PropKind::Notify, 0.0, nullptr},
    {86, "Contrast", PropType::Double, PropKind::Notify, 1.0, nullptr},
    {87, "Animate", PropType::Long, PropKind::Notify, 0, nullptr},
    {88, "AnimateTime", PropType::Long, PropKind::Notify, 0, nullptr},
    {89, "DebugLevel", PropType::Long, PropKind::Notify, 0, nullptr},
    {90, "DisplayStretch", PropType::Bool, PropKind::Notify, 0, nullptr},
    {91, "Transparent", PropType::Long, PropKind::Notify, 0, nullptr},
    {92, "LoadDocument", PropType::String, PropKind::Notify, 0, ""},
    {93, "LoadThumbnail", PropType::String, PropKind::Notify, 0, ""},
    {94, "ThumbSort", PropType::Long, PropKind::Notify, 0, nullptr},
    {95, "ThumbFilter", PropType::String, PropKind::Notify, 0, "*.*"},
    {96, "ThumbPath", PropType::String, PropKind::Notify, 0, ""},
    {97, "ThumbWindow", PropType::String, PropKind::Notify, 0, ""},
    {98, "AsciiSetFont", PropType::String, PropKind::Notify, 0, ""},
    {99, "ImageIndex", PropType::Long, PropKind::Notify, 1, nullptr},
    {100, "DisplayEffectIndex", PropType::Long, PropKind::Notify, 0, nullptr},
    {101, "PromoteColor", PropType::Long, PropKind::Notify, 0, nullptr},
    {102, "PrintImage", PropType::Address, PropKind::Notify, 0, nullptr},
    {106, "PaintEvent", PropType::Bool, PropKind::Notify, 0, nullptr},
    {107, "LoadRectLeft", PropType::Short, PropKind::Notify, 0, nullptr},
    {108, "LoadRectTop", PropType::Short, PropKind::Notify, 0, nullptr},
    {109, "LoadRectRight", PropType::Short, PropKind::Notify, 0, nullptr},
    {110, "LoadRectBottom", PropType::Short, PropKind::Notify, 0, nullptr},
    {111, "CropImage", PropType::Bool, PropKind::Notify, 0, nullptr},
    {112, "Smooth", PropType::Short, PropKind::Notify, 0, nullptr},
    {113, "Sharpen", PropType::Short, PropKind::Notify, 0, nullptr},
    {114, "EdgeMap", PropType::Short, PropKind::Notify, 0, nullptr},
    {115, "FXStitch", PropType::Long, PropKind::Notify, 0, nullptr},
    {116, "ScanBottom", PropType::Double, PropKind::Notify, 11.0, nullptr},
    {117, "ScanLeft", PropType::Double, PropKind::Notify, 0.0, nullptr},
    {118, "ScanRight", PropType::Double, PropKind::Notify, 8.5, nullptr},
    {119, "ScanTop", PropType::Double, PropKind::Notify, 0.0, nullptr},
    {120, "ScanBrightness", PropType::Long, PropKind::Notify, 0, nullptr},
    {121, "ScanContrast", PropType::Long, PropKind::Notify, 0, nullptr},
    {122, "About", PropType::Bool, PropKind::Notify, 0, nullptr},
    {123, "AutoRedraw", PropType::Bool, PropKind::Notify, -1, nullptr},
    {124, "BayerColor", PropType::Bool, PropKind::Notify, 0, nullptr},
    {125, "BayerMono", PropType::Bool, PropKind::Notify, 0, nullptr},
    {126, "BlankControl", PropType::Bool, PropKind::Notify, 0, nullptr},
    {127, "ClearImage", PropType::Bool, PropKind::Notify, 0, nullptr},
    {128, "ClipboardCopy", PropType::Bool, PropKind::Notify, 0, nullptr},
    {129, "ClipboardPaste", PropType::Bool, PropKind::Notify, 0, nullptr},
    {130, "ContrastEqualize", PropType::Bool, PropKind::Notify, 0, nullptr},
    {131, "ContrastStretch", PropType::Bool, PropKind::Notify, 0, nullptr},
    {132, "DelImage", PropType::Bool, PropKind::Notify, 0, nullptr},
    {133, "DiffusionColor", PropType::Bool, PropKind::Notify, 0, nullptr},
    {134, "DiffusionMono", PropType::Bool, PropKind::Notify, 0, nullptr},
    {135, "DisplayCentered", PropType::Bool, PropKind::Notify, -1, nullptr},
    {136, "DisplayWhileLoading", PropType::Bool, PropKind::Notify, 0, nullptr},
    {137, "Gray", PropType::Bool, PropKind::Notify, 0, nullptr},
    {138, "HalftoneMono", PropType::Bool, PropKind::Notify, 0, nullptr},
    {139, "Invert", PropType::Bool, PropKind::Notify, 0, nullptr},
    {140, "PaletteEditor", PropType::Bool, PropKind::Notify, 0, nullptr},
    {141, "PanWindow", PropType::Bool, PropKind::Notify, 0, nullptr},
    {142, "PixelGet", PropType::Bool, PropKind::Notify, 0, nullptr},
    {143, "PixelSet", PropType::Bool, PropKind::Notify, 0, nullptr},
    {144, "Redraw", PropType::Bool, PropKind::Notify, 0, nullptr},
    {145, "SaveThumbnail", PropType::Bool, PropKind::Notify, 0, nullptr},
    {146, "ScanAcquire", PropType::Bool, PropKind::Notify, 0, nullptr},
    {147, "ScanOpenSource", PropType::Bool, PropKind::Notify, 0, nullptr},
    {148, "ScanShowUI", PropType::Bool, PropKind::Notify, 0, nullptr},
    {149, "StatusEvent", PropType::Bool, PropKind::Notify, 0, nullptr},
    {150, "GetFileInfo", PropType::String, PropKind::Notify, 0, ""},
    {151, "ScanPages", PropType::String, PropKind::Notify, 0, ""},
    {152, "ScrollBars", PropType::Bool, PropKind::Notify, -1, nullptr},
    {153, "LoadMergeLeft", PropType::Long, PropKind::Notify, 0, nullptr},
    {154, "LoadMergeTop", PropType::Long, PropKind::Notify, 0, nullptr},
    {155, "LoadMergeOP", PropType::Short, PropKind::Notify, 1, nullptr},
    {156, "LoadMerge", PropType::Bool, PropKind::Notify, 0, nullptr},
    {157, "CCITTLoad", PropType::String, PropKind::Notify, 0, ""},
    {158, "RunsToDIB", PropType::Bool, PropKind::Notify, 0, nullptr},
    {159, "ScrollEvent", PropType::Bool, PropKind::Notify, 0, nullptr},
    {160, "TagEvent", PropType::Short, PropKind::Notify, 0, nullptr},
    {161, "EncryptMethod", PropType::Short, PropKind::Notify, 0, nullptr},
    {162, "Encrypt", PropType::String, PropKind::Notify, 0, ""},
    {163, "Decrypt", PropType::String, PropKind::Notify, 0, ""},
    {164, "HandPanning", PropType::Bool, PropKind::Notify, 0, nullptr},
    {165, "CompressType", PropType::String, PropKind::GetPut, 0, nullptr},
    {166, "ImageType", PropType::String, PropKind::GetPut, 0, nullptr},
    {167, "ErrString", PropType::String, PropKind::GetPut, 0, nullptr},
    {168, "ZoomBottom", PropType::Short, PropKind::GetPut, 0, nullptr},
    {169, "ZoomLeft", PropType::Short, PropKind::GetPut, 0, nullptr},
    {170, "ZoomRight", PropType::Short, PropKind::GetPut, 0, nullptr},
    {171, "ZoomTop", PropType::Short, PropKind::GetPut, 0, nullptr},
    {172, "ErrorCode", PropType::Short, PropKind::GetPut, 0, nullptr},
    {173, "FileType", PropType::Long, PropKind::GetPut, 0, nullptr},
    {174, "Version", PropType::Double, PropKind::GetPut, 0, nullptr},
    {175, "ScanVersion", PropType::Float, PropKind::GetPut, 0, nullptr},
    {176, "DeviceRectLeft", PropType::Long, PropKind::GetPut, 0, nullptr},
    {177, "DeviceRectTop", PropType::Long, PropKind::GetPut, 0, nullptr},
    {178, "DeviceRectRight", PropType::Long, PropKind::GetPut, 0, nullptr},
    {179, "DeviceRectBottom", PropType::Long, PropKind::GetPut, 0, nullptr},
    {180, "ImagePtr", PropType::Address, PropKind::GetPut, 0, nullptr},
    {181, "ImageHdib", PropType::Address, PropKind::GetPut, 0, nullptr},
    {182, "GUIWindow", PropType::Long, PropKind::GetPut, 0, nullptr},
    {183, "ImageXdpi", PropType::Long, PropKind::GetPut, 0, nullptr},
    {184, "ImageYdpi", PropType::Long, PropKind::GetPut, 0, nullptr},
    {185, "VRed", PropType::Short, PropKind::GetPut, 0, nullptr},
    {186, "VGreen", PropType::Short, PropKind::GetPut, 0, nullptr},
    {187, "VBlue", PropType::Short, PropKind::GetPut, 0, nullptr},
    {188, "PageCount", PropType::Long, PropKind::GetPut, 0, nullptr},
    {189, "ControlMode", PropType::Short, PropKind::GetPut, 0, nullptr},
    {190, "ControlValue", PropType::Short, PropKind::GetPut, 0, nullptr},
    {191, "GUIWidth", PropType::Short, PropKind::GetPut, 0, nullptr},
    {192, "GUIHeight", PropType::Short, PropKind::GetPut, 0, nullptr},
    {193, "GUIXpos", PropType::Short, PropKind::GetPut, 0, nullptr},
    {194, "GUIYpos", PropType::Short, PropKind::GetPut, 0, nullptr},
    {195, "DataBoundProperty", PropType::String, PropKind::GetPut, 0, nullptr},
    {196, "IsGray", PropType::Bool, PropKind::GetPut, 0, nullptr},
};

constexpr int32_t kMaxDispid = 196;

constexpr std::array<int16_t, kMaxDispid + 1> make_index() {
  std::array<int16_t, kMaxDispid + 1> index{};
  for (auto& i : index) i = -1;
  for (size_t i = 0; i < std::size(kProps); ++i) index[kProps[i].dispid] = static_cast<int16_t>(i);
  return index;
}
constexpr auto kIndex = make_index();

constexpr int32_t kReadOnly[] = {166, 167, 173, 174, 176, 177, 178, 179, 180, 181, 188, 196};
constexpr int32_t kIgnored[] = {165, 175};

}  // namespace

std::span<const PropDesc> prop_all() { return kProps; }

const PropDesc* prop_find(int32_t dispid) {
  if (dispid == 0) dispid = 4;  // the value property is LoadImage
  if (dispid < 1 || dispid > kMaxDispid || kIndex[dispid] < 0) return nullptr;
  return &kProps[kIndex[dispid]];
}

bool prop_read_only(int32_t dispid) {
  for (int32_t id : kReadOnly)
    if (id == dispid) return true;
  return false;
}

bool prop_write_ignored(int32_t dispid) {
  for (int32_t id : kIgnored)
    if (id == dispid) return true;
  return false;
}

com::VARTYPE prop_vartype(PropType type) {
  switch (type) {
    case PropType::Long: return com::VT_I4;
    case PropType::Short: return com::VT_I2;
    case PropType::Double: return com::VT_R8;
    case PropType::Float: return com::VT_R4;
    case PropType::String: return com::VT_BSTR;
    case PropType::Bool: return com::VT_BOOL;
    case PropType::Address: return com::VT_I8;
  }
  return com::VT_EMPTY;
}

}  // namespace rast
