// The control object: its interfaces, the property store behind the
// dispatch table, and the steps every action property shares.
#include "RastCtl.h"

#include <cstring>
#include <new>

#include "platform/kernel.h"
#include "rast_dispids.h"
#include "rast_error_window.h"
#include "rast_guids.h"
#include "rastrix/rpb.h"

namespace rast {

using namespace com;

namespace {
// ControlValue reaches only the image control options with codes above this.
constexpr int32_t kControlOptionFloor = 276;
}  // namespace

CRastCtrl::CRastCtrl() : events_(static_cast<IDispatch*>(this), IID_DRastEvents) {
  reset_members();
  module_add_object();
}

CRastCtrl::~CRastCtrl() {
  // Engine callbacks that still name this control must not outlive it.
  uninstall_engine_callbacks(this);
  tool_windows_close();
  InPlaceDeactivate();
  error_window_release(error_report_);
  release_all_images();
  events_.UnadviseAll();
  if (site_ != nullptr) site_->Release();
  module_remove_object();
}

HRESULT CRastCtrl::create(const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* ctrl = new (std::nothrow) CRastCtrl();
  if (ctrl == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = ctrl->QueryInterface(iid, out);
  ctrl->Release();
  return hr;
}

void CRastCtrl::reset_members() {
  for (const PropDesc& p : prop_all()) {
    if (p.kind != PropKind::Notify) continue;
    auto i = static_cast<size_t>(p.dispid);
    num_[i] = static_cast<int64_t>(p.initial);
    dbl_[i] = p.initial;
    str_[i] = p.initial_text != nullptr ? p.initial_text : "";
  }
}

RX_HIMAGE CRastCtrl::slot_image(int32_t index) const {
  if (index < 0 || index >= kSlotCount) return 0;
  return slots_[static_cast<size_t>(index)];
}

// ---- IUnknown ----------------------------------------------------------

HRESULT CRastCtrl::QueryInterface(const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (guid_equal(iid, IID_IUnknown) || guid_equal(iid, IID_IDispatch) ||
      guid_equal(iid, IID_DRast))
    *out = static_cast<IDispatch*>(this);
  else if (guid_equal(iid, IID_IConnectionPointContainer))
    *out = static_cast<IConnectionPointContainer*>(this);
  else if (guid_equal(iid, IID_IPersistStreamInit))
    *out = static_cast<IPersistStreamInit*>(this);
  else if (guid_equal(iid, IID_IControl))
    *out = static_cast<IControl*>(this);
  else if (guid_equal(iid, IID_IInPlaceControl))
    *out = static_cast<IInPlaceControl*>(this);
  else if (guid_equal(iid, IID_IProvideClassInfo) || guid_equal(iid, IID_IProvideClassInfo2))
    *out = static_cast<IProvideClassInfo2*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

uint32_t CRastCtrl::AddRef() { return ++refs_; }

uint32_t CRastCtrl::Release() {
  uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- IDispatch ---------------------------------------------------------

HRESULT CRastCtrl::GetTypeInfoCount(uint32_t* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CRastCtrl::GetTypeInfo(uint32_t index, uint32_t, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADVARTYPE;
  return CreateTypeInfo(&dispatch_type_desc(), out);
}

HRESULT CRastCtrl::GetClassInfo(ITypeInfo** out) {
  return CreateTypeInfo(&class_type_desc(), out);
}

HRESULT CRastCtrl::GetGUID(uint32_t kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  *out = IID_NULL;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *out = IID_DRastEvents;
  return S_OK;
}

HRESULT CRastCtrl::GetIDsOfNames(const IID&, const char* const* names, uint32_t count, uint32_t,
                                 DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  ITypeInfo* info = nullptr;
  HRESULT hr = CreateTypeInfo(&dispatch_type_desc(), &info);
  if (FAILED(hr)) return hr;
  hr = S_OK;
  for (uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Only the member name is looked up; names of arguments are unknown.
  if (names[0] == nullptr || FAILED(info->GetIDOfName(names[0], &ids[0]))) hr = DISP_E_UNKNOWNNAME;
  if (count > 1) hr = DISP_E_UNKNOWNNAME;
  info->Release();
  return hr;
}

HRESULT CRastCtrl::Invoke(DISPID id, const IID&, uint32_t, uint16_t flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO*, uint32_t* arg_err) {
  try {
    const uint32_t args = params != nullptr ? params->cArgs : 0;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (args != 1 || params->rgvarg == nullptr) return DISP_E_BADPARAMCOUNT;
      HRESULT hr = put(id, params->rgvarg[0]);
      // The one argument is the one a coercion failure names.
      if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) && arg_err != nullptr) *arg_err = 0;
      return hr;
    }
    if (id == kDispAboutBox && (flags & DISPATCH_METHOD)) {
      if (args != 0) return DISP_E_BADPARAMCOUNT;
      on_about();
      return S_OK;
    }
    if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
      if (args != 0) return DISP_E_BADPARAMCOUNT;
      VARIANT scratch;
      VariantInit(&scratch);
      HRESULT hr = get(id, result != nullptr ? result : &scratch);
      VariantClear(&scratch);
      return hr;
    }
    return DISP_E_MEMBERNOTFOUND;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// ---- Property access ---------------------------------------------------

bool CRastCtrl::user_mode() const {
  if (site_ == nullptr) return true;
  VARIANT_BOOL mode = VARIANT_TRUE;
  if (FAILED(site_->GetAmbientUserMode(&mode))) return true;
  return mode != VARIANT_FALSE;
}

HRESULT CRastCtrl::put(int32_t dispid, const VARIANT& value) {
  ErrorHoldScope operation(error_hold_);
  if (dispid < 0) return put_stock(dispid, value);
  const PropDesc* p = prop_find(dispid);
  if (p == nullptr) return DISP_E_MEMBERNOTFOUND;
  if (p->kind == PropKind::GetPut) {
    if (prop_read_only(p->dispid)) return user_mode() ? CTL_E_SETNOTSUPPORTED : S_OK;
    if (prop_write_ignored(p->dispid)) return S_OK;
    return put_computed(p->dispid, value);
  }
  return put_member(*p, value);
}

HRESULT CRastCtrl::get(int32_t dispid, VARIANT* out) {
  if (out == nullptr) return E_POINTER;
  VariantInit(out);
  if (dispid < 0) return get_stock(dispid, out);
  const PropDesc* p = prop_find(dispid);
  if (p == nullptr) return DISP_E_MEMBERNOTFOUND;
  ErrorHoldScope operation(error_hold_);
  if (p->kind == PropKind::GetPut) return get_computed(p->dispid, out);
  return get_member(*p, out);
}

// A notify member: coerce the value to the member's type first, so that a
// value the type cannot hold changes nothing; then store and run the
// change routine.
HRESULT CRastCtrl::put_member(const PropDesc& p, const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  VARTYPE want = prop_vartype(p.type);
  HRESULT hr = VariantChangeType(&v, &value, 0, want);
  if (FAILED(hr)) return hr;
  auto i = static_cast<size_t>(p.dispid);
  const int64_t previous = num_[i];
  switch (p.type) {
    case PropType::Long: num_[i] = v.lVal; break;
    case PropType::Short: num_[i] = v.iVal; break;
    case PropType::Bool: num_[i] = v.boolVal; break;
    case PropType::Address: num_[i] = v.llVal; break;
    case PropType::Double: dbl_[i] = v.dblVal; break;
    case PropType::Float: dbl_[i] = static_cast<double>(v.fltVal); break;
    case PropType::String: str_[i] = v.bstrVal != nullptr ? v.bstrVal : ""; break;
  }
  VariantClear(&v);
  if (write_shape(p.dispid, previous)) run_change(p.dispid);
  return S_OK;
}

HRESULT CRastCtrl::get_member(const PropDesc& p, VARIANT* out) {
  auto i = static_cast<size_t>(p.dispid);
  out->vt = prop_vartype(p.type);
  switch (p.type) {
    case PropType::Long: out->lVal = static_cast<int32_t>(num_[i]); break;
    case PropType::Short: out->iVal = static_cast<int16_t>(num_[i]); break;
    case PropType::Bool: out->boolVal = num_[i] != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case PropType::Address: out->llVal = num_[i]; break;
    case PropType::Double: out->dblVal = dbl_[i]; break;
    case PropType::Float: out->fltVal = static_cast<float>(dbl_[i]); break;
    case PropType::String:
      out->bstrVal = SysAllocString(str_[i].c_str());
      if (out->bstrVal == nullptr && !str_[i].empty()) return E_OUTOFMEMORY;
      break;
  }
  return S_OK;
}

HRESULT CRastCtrl::put_stock(int32_t dispid, const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  HRESULT hr = S_OK;
  switch (dispid) {
    case kDispBackColor:
      hr = VariantChangeType(&v, &value, 0, VT_UI4);
      if (FAILED(hr)) {
        hr = VariantChangeType(&v, &value, 0, VT_I4);
        if (FAILED(hr)) return hr;
      }
      back_color_ = v.ulVal;
      break;
    case kDispBorderStyle:
    case kDispAppearance:
      hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      (dispid == kDispBorderStyle ? border_style_ : appearance_) = v.iVal;
      break;
    case kDispHWnd:
      return user_mode() ? CTL_E_SETNOTSUPPORTED : S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  set_modified();
  return S_OK;
}

HRESULT CRastCtrl::get_stock(int32_t dispid, VARIANT* out) {
  switch (dispid) {
    case kDispBackColor: out->vt = VT_I4; out->lVal = static_cast<int32_t>(back_color_); return S_OK;
    case kDispBorderStyle: out->vt = VT_I2; out->iVal = border_style_; return S_OK;
    case kDispAppearance: out->vt = VT_I2; out->iVal = appearance_; return S_OK;
    // 0 until a host activates the control in place.
    case kDispHWnd: out->vt = VT_I8; out->llVal = static_cast<int64_t>(window_); return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

// The change routines, by member. Members not listed are stored only (or
// are read by the operations that come with the display and processing
// layers).
void CRastCtrl::run_change(int32_t dispid) {
  if (put_view(dispid)) return;
  switch (dispid) {
    case kDispLoadImage: on_load_image(); return;
    case kDispSaveImage: on_save_image(); return;
    case kDispSaveQuality: on_save_quality(); return;
    case kDispPage: on_page(); return;
    case kDispMemLoad: on_mem_load(); return;
    case kDispMemPage: on_mem_page(); return;
    case kDispMemSave: on_mem_save(); return;
    case kDispGetFileInfo: on_get_file_info(); return;
    case kDispLoadDocument: on_load_document(); return;
    case kDispLoadThumbnail: on_load_thumbnail(); return;
    case kDispCCITTLoad: on_ccitt_load(); return;
    case kDispImportDIB: on_import(true); return;
    case kDispImportDDB: on_import(false); return;
    case kDispDelImage: on_del_image(); return;
    case kDispImageIndex: on_image_index(); return;
    case kDispAutoDetectOn: on_auto_detect(true); return;
    case kDispAutoDetectOff: on_auto_detect(false); return;
    case kDispAutoReduce: on_auto_reduce(); return;
    case kDispAutoResizeY: on_auto_resize(); return;
    case kDispLoadRectBottom: on_load_rect(); return;
    case kDispAsciiSetFont: on_ascii_font(); return;
    case kDispTagEvent: on_tag_event(); return;
    case kDispImageWidth:
    case kDispImageHeight:
    case kDispImageBitsPerPixel: on_image_info_write(); return;
    case kDispImageRectLeft:
    case kDispImageRectTop:
    case kDispImageRectRight:
    case kDispImageRectBottom: on_image_rect_write(dispid); return;
    case kDispInvert: on_invert(); return;
    case kDispBrightness:
    case kDispContrast: on_brightness_contrast(); return;
    case kDispContrastEqualize: on_contrast_equalize(); return;
    case kDispContrastStretch: on_contrast_stretch(); return;
    case kDispFlip: on_flip(); return;
    case kDispRotate: on_rotate(); return;
    case kDispRotateAny: on_rotate_any(); return;
    case kDispResizeImage: on_resize_image(); return;
    case kDispCropImage: on_crop_image(); return;
    case kDispGray: on_gray(); return;
    case kDispPromoteColor: on_promote_color(); return;
    case kDispOctree: on_octree(); return;
    case kDispMedianCut: on_median_cut(); return;
    case kDispPopularity: on_popularity(); return;
    case kDispBayerColor: on_bayer(dispid, 4); return;
    case kDispBayerMono: on_bayer(dispid, 1); return;
    case kDispDiffusionColor: on_diffusion(dispid, 4); return;
    case kDispDiffusionMono: on_diffusion(dispid, 1); return;
    case kDispHalftoneMono: on_halftone(); return;
    case kDispSmooth:
    case kDispSharpen: on_smooth_sharpen(dispid); return;
    case kDispEdgeMap: on_edge_map(); return;
    case kDispFXBlur:
    case kDispFXDiffuse:
    case kDispFXTexture:
    case kDispFXEmboss:
    case kDispFXStitch:
    case kDispFXMotion:
    case kDispFXPosterize:
    case kDispFXTwist: on_effect(dispid); return;
    case kDispDespeckle: on_despeckle(); return;
    case kDispEncrypt: on_scramble(false); return;
    case kDispDecrypt: on_scramble(true); return;
    case kDispAutoDeskew: on_auto_deskew(); return;
    case kDispPaletteGet: on_palette_get(); return;
    case kDispPaletteSet: on_palette_set(); return;
    case kDispPixelGet: on_pixel_get(); return;
    case kDispPixelSet: on_pixel_set(); return;
    case kDispRunsToDIB: on_runs_to_dib(); return;
    case kDispStatusEvent: on_status_event(); return;
    case kDispAbout:
      if (flag(kDispAbout)) on_about();
      return;
    case kDispPrintImage: on_print_image(); return;
    case kDispMagnifyWindow: on_magnify_window(); set_modified(); return;
    case kDispPanWindow: on_pan_window(); set_modified(); return;
    case kDispSettingValue:
      if (lng(kDispSettingMode) >= 0 && lng(kDispSettingMode) < kAuxCount)
        aux_[static_cast<size_t>(lng(kDispSettingMode))] = lng(kDispSettingValue);
      set_modified();
      return;
    default: set_modified(); return;
  }
}

// ---- Computed members --------------------------------------------------

HRESULT CRastCtrl::put_computed(int32_t dispid, const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  switch (dispid) {
    case kDispErrorCode: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      error_index_ = v.iVal;
      return S_OK;
    }
    case kDispControlMode: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      control_mode_ = v.iVal;
      return S_OK;
    }
    case kDispControlValue: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      if (control_mode_ > kControlOptionFloor) {
        set_err_count(RX_image_control_set(static_cast<uint32_t>(control_mode_),
                                           static_cast<uintptr_t>(static_cast<uint16_t>(v.iVal))));
        error_check();
      }
      return S_OK;
    }
    case kDispDataBoundProperty: return put_data_bound(value);
    case kDispImageXdpi:
    case kDispImageYdpi: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I4);
      if (FAILED(hr)) return hr;
      put_dpi(dispid, v.lVal);
      return S_OK;
    }
    case kDispVRed:
    case kDispVGreen:
    case kDispVBlue: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      colour_[static_cast<size_t>(dispid - kDispVRed)] = v.iVal;
      return S_OK;
    }
    case kDispGUIWindow:
    case kDispGUIXpos:
    case kDispGUIYpos:
    case kDispGUIWidth:
    case kDispGUIHeight: return put_tool_geometry(dispid, value);
    case kDispZoomLeft:
    case kDispZoomTop:
    case kDispZoomRight:
    case kDispZoomBottom: {
      HRESULT hr = VariantChangeType(&v, &value, 0, VT_I2);
      if (FAILED(hr)) return hr;
      const size_t side = dispid == kDispZoomLeft ? 0 : dispid == kDispZoomTop ? 1 : dispid == kDispZoomRight ? 2 : 3;
      zoom_store_[side] = v.iVal;
      if (dispid == kDispZoomBottom) zoom_to_rect();
      return S_OK;
    }
    default:
      // The display, tool-window and device members of this group arrive
      // with their layers; until then a write is accepted and has no effect.
      return S_OK;
  }
}

HRESULT CRastCtrl::get_computed(int32_t dispid, VARIANT* out) {
  switch (dispid) {
    case kDispErrString: {
      const char* text = "Success";
      if (RPb_AF_error_check() > 0) {
        int32_t code = 0;
        RX_error_get(0, nullptr, 0, nullptr, &code, nullptr, nullptr);
        const char* message = RX_error_message_get(code);
        text = message != nullptr ? message : "Error Not Found";
      }
      out->vt = VT_BSTR;
      out->bstrVal = SysAllocString(text);
      return out->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    case kDispErrorCode: {
      int32_t code = 0;
      if (error_index_ >= 0 && error_index_ < RPb_AF_error_check())
        RX_error_get(error_index_, nullptr, 0, nullptr, &code, nullptr, nullptr);
      out->vt = VT_I2;
      out->iVal = static_cast<int16_t>(code);
      return S_OK;
    }
    case kDispVersion: {
      int32_t major = 0, minor = 0, update = 0;
      RX_engine_version_get(&major, &minor, &update, nullptr, 0);
      out->vt = VT_R8;
      out->dblVal = major + minor * 0.1 + update * 0.001;
      return S_OK;
    }
    case kDispFileType: {
      int32_t format = 0, compression = 0;
      out->vt = VT_I4;
      out->lVal = 0;
      if (str(kDispLoadImage).empty()) return S_OK;
      set_err_count(file_info(&format, &compression));
      out->lVal = static_cast<int32_t>((static_cast<uint32_t>(compression) << 16) |
                                       (static_cast<uint32_t>(format) & 0xFFFFu));
      return S_OK;
    }
    case kDispImageType:
    case kDispCompressType: {
      std::string text;
      if (!str(kDispLoadImage).empty()) {
        int32_t format = 0, compression = 0;
        set_err_count(file_info(&format, &compression));
        if (dispid == kDispImageType) {
          text = RX_format_name_get(format);
        } else {
          // The engine's names, except that every code past JBIG reads JBIG.
          const bool named = compression >= 0 && compression <= RX_COMPRESSION_JBIG;
          text = RX_compression_name_get(named ? compression : RX_COMPRESSION_JBIG);
        }
      }
      out->vt = VT_BSTR;
      out->bstrVal = SysAllocString(text.c_str());
      return S_OK;
    }
    case kDispPageCount: {
      const bool memory = current_valid() && num(kDispMemLoad) != 0 && lng(kDispMemSize) != 0;
      if (memory || !str(kDispLoadImage).empty()) set_err_count(count_pages(memory));
      set_modified();
      out->vt = VT_I4;
      out->lVal = page_count_;
      return S_OK;
    }
    case kDispImagePtr:
    case kDispImageHdib: {
      out->vt = VT_I8;
      out->llVal = 0;
      if (!current_valid()) return S_OK;
      auto* record = reinterpret_cast<IMAGE_REC*>(current_);
      void* address = dispid == kDispImagePtr ? static_cast<void*>(RPb_image_pointer_get(record))
                                              : RPb_DIB_pointer_get(record);
      out->llVal = static_cast<int64_t>(reinterpret_cast<uintptr_t>(address));
      return S_OK;
    }
    case kDispIsGray:
      out->vt = VT_BOOL;
      out->boolVal = current_is_gray() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case kDispImageXdpi:
    case kDispImageYdpi:
      out->vt = VT_I4;
      out->lVal = current_dpi(dispid);
      return S_OK;
    case kDispControlMode: out->vt = VT_I2; out->iVal = static_cast<int16_t>(control_mode_); return S_OK;
    case kDispVRed:
    case kDispVGreen:
    case kDispVBlue:
      out->vt = VT_I2;
      out->iVal = colour_[static_cast<size_t>(dispid - kDispVRed)];
      return S_OK;
    case kDispControlValue: {
      uint32_t value = 0;
      if (control_mode_ > kControlOptionFloor)
        RX_image_control_get(static_cast<uint32_t>(control_mode_), &value);
      out->vt = VT_I2;
      out->iVal = static_cast<int16_t>(value);
      return S_OK;
    }
    case kDispDataBoundProperty:
      out->vt = VT_BSTR;
      out->bstrVal = SysAllocString(str(kDispDataBoundProperty).c_str());
      return S_OK;
    case kDispGUIWindow:
    case kDispGUIXpos:
    case kDispGUIYpos:
    case kDispGUIWidth:
    case kDispGUIHeight: return get_tool_geometry(dispid, out);
    case kDispZoomLeft:
    case kDispZoomTop:
    case kDispZoomRight:
    case kDispZoomBottom:
      out->vt = VT_I2;
      out->iVal = static_cast<int16_t>(view_rect(dispid));
      return S_OK;
    case kDispDeviceRectLeft:
    case kDispDeviceRectTop:
    case kDispDeviceRectRight:
    case kDispDeviceRectBottom:
      out->vt = VT_I4;
      out->lVal = device_rect(dispid);
      return S_OK;
    default: {
      // Members of the display, tool-window and device layers read their
      // neutral value until those layers arrive.
      const PropDesc* p = prop_find(dispid);
      out->vt = prop_vartype(p->type);
      out->llVal = 0;
      if (p->type == PropType::String) out->bstrVal = SysAllocString("");
      return S_OK;
    }
  }
}

// ---- The common shape of an action --------------------------------------

bool CRastCtrl::current_valid() const {
  return current_ != 0 && RPb_iRX_image_is_valid(current_) != 0;
}

// DebugLevel 1 shows the error report; 2 fires ErrorEvent first.
void CRastCtrl::error_check() {
  int32_t count = RPb_AF_error_check();
  if (count == 0 || !error_hold_.report_due()) return;
  const int32_t level = lng(kDispDebugLevel);
  if (level == 2) fire_error_event(count);
  if ((level == 1 || level == 2) && error_report_.show_stack(this) && !error_report_hooked())
    error_window_show(this, error_report_);
}

void CRastCtrl::refresh_image_info() {
  int32_t width = 0, height = 0, bits = 0;
  if (current_valid()) {
    RX_image_dimensions_get(current_, &width, &height, &bits);
    RX_image_compression_type_get(current_, &compression_);
  } else {
    compression_ = 0;
  }
  set_num(kDispImageWidth, width);
  set_num(kDispImageHeight, height);
  set_num(kDispImageBitsPerPixel, bits);
  set_num(kDispImageRectLeft, 0);
  set_num(kDispImageRectTop, 0);
  set_num(kDispImageRectRight, width - 1);
  set_num(kDispImageRectBottom, height - 1);
  processing_rect_ = {0, 0, width - 1, height - 1};
}

void CRastCtrl::on_image_info_write() {
  int32_t width = 0, height = 0, bits = 0;
  if (current_valid()) RX_image_dimensions_get(current_, &width, &height, &bits);
  set_num(kDispImageWidth, width);
  set_num(kDispImageHeight, height);
  set_num(kDispImageBitsPerPixel, bits);
  set_modified();
}

void CRastCtrl::on_image_rect_write(int32_t dispid) {
  const auto side = static_cast<size_t>(dispid == kDispImageRectLeft    ? 0
                                        : dispid == kDispImageRectTop   ? 1
                                        : dispid == kDispImageRectRight ? 2
                                                                        : 3);
  processing_rect_[side] = lng(dispid);
  set_modified();
}

// ---- Images the control owns -------------------------------------------

int32_t CRastCtrl::release_image(RX_HIMAGE image) {
  if (image == 0) return 0;
  for (auto& s : slots_)
    if (s == image) s = 0;
  for (auto& p : doc_pages_)
    if (p == image) p = 0;
  if (current_ == image) current_ = 0;
  return RPb_iRX_image_is_valid(image) ? RX_image_delete(image) : 0;
}

void CRastCtrl::show_new_image() {
  set_err_count(associate_with_window());
  apply_display_settings();
  update_tool_windows();
}

void CRastCtrl::attach(RX_HIMAGE image) {
  place_in_slot(image);
  refresh_image_info();
  show_new_image();
}

void CRastCtrl::place_in_slot(RX_HIMAGE image) {
  RX_HIMAGE old = slot();
  if (old != 0 && old != image) release_image(old);
  slot() = image;
  current_ = image;
}

void CRastCtrl::release_all_images() {
  for (RX_HIMAGE s : slots_) release_image(s);
  for (RX_HIMAGE p : doc_pages_) release_image(p);
  release_image(current_);
  doc_page_count_ = 0;
  document_open_ = false;
}

// ---- Persistence and hosting ---------------------------------------------

HRESULT CRastCtrl::FindConnectionPoint(const IID& iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!guid_equal(iid, IID_DRastEvents)) return CONNECT_E_NOCONNECTION;
  events_.AddRef();
  *out = &events_;
  return S_OK;
}

HRESULT CRastCtrl::GetClassID(CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = CLSID_RastCtrl;
  return S_OK;
}

HRESULT CRastCtrl::IsDirty() { return modified_ ? S_OK : S_FALSE; }

HRESULT CRastCtrl::InitNew() { return S_OK; }

HRESULT CRastCtrl::SetSite(IControlSite* site) {
  if (site != nullptr) site->AddRef();
  if (site_ != nullptr) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT CRastCtrl::GetExtent(int32_t* cx, int32_t* cy) {
  if (cx == nullptr || cy == nullptr) return E_POINTER;
  *cx = extent_cx_;
  *cy = extent_cy_;
  return S_OK;
}

HRESULT CRastCtrl::SetExtent(int32_t cx, int32_t cy) {
  if (cx < 0 || cy < 0) return E_INVALIDARG;
  extent_cx_ = cx;
  extent_cy_ = cy;
  return S_OK;
}

}  // namespace rast
