// CRastCtrl: the imaging control. A host drives it through its dispatch
// interface; writing a property stores it and runs the property's change
// routine, which may perform one engine operation on the current image.
// Engine failures never become dispatch errors: they show in ErrCount,
// ErrString, ErrorCode, the error event and the error report.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/com.h"
#include "platform/com_server.h"
#include "rast_error_hold.h"
#include "rast_error_report.h"
#include "rast_props.h"
#include "rastrix/rastrix.h"

namespace rast {

constexpr int32_t kSlotCount = 9;
constexpr int32_t kDocumentPages = 20;
constexpr int32_t kAuxCount = 9;

class CRastCtrl final : public com::IDispatch,
                        public com::IConnectionPointContainer,
                        public com::IPersistStreamInit,
                        public com::IControl,
                        public com::IInPlaceControl,
                        public com::IProvideClassInfo2 {
 public:
  CRastCtrl();
  ~CRastCtrl();
  CRastCtrl(const CRastCtrl&) = delete;
  CRastCtrl& operator=(const CRastCtrl&) = delete;

  // Creates a control and hands out the interface asked for.
  static com::HRESULT create(const com::IID& iid, void** out);

  // IUnknown
  com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  // IDispatch
  com::HRESULT GetTypeInfoCount(uint32_t* count) override;
  com::HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, com::ITypeInfo** out) override;
  com::HRESULT GetIDsOfNames(const com::IID& iid, const char* const* names, uint32_t count,
                             uint32_t lcid, com::DISPID* ids) override;
  com::HRESULT Invoke(com::DISPID id, const com::IID& iid, uint32_t lcid, uint16_t flags,
                      com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excep,
                      uint32_t* arg_err) override;
  // IConnectionPointContainer
  com::HRESULT FindConnectionPoint(const com::IID& iid, com::IConnectionPoint** out) override;
  // IPersistStreamInit
  com::HRESULT GetClassID(com::CLSID* out) override;
  com::HRESULT IsDirty() override;
  com::HRESULT Load(com::IStream* stream) override;
  com::HRESULT Save(com::IStream* stream, int32_t clear_dirty) override;
  com::HRESULT GetSizeMax(uint64_t* size) override;
  com::HRESULT InitNew() override;
  // IControl
  com::HRESULT SetSite(com::IControlSite* site) override;
  com::HRESULT GetExtent(int32_t* cx, int32_t* cy) override;
  com::HRESULT SetExtent(int32_t cx, int32_t cy) override;
  // IInPlaceControl (rast_window.cpp)
  com::HRESULT InPlaceActivate(uintptr_t parent, const int32_t* rect) override;
  com::HRESULT SetObjectRect(const int32_t* rect) override;
  com::HRESULT InPlaceDeactivate() override;
  com::HRESULT GetWindow(uintptr_t* window) override;
  com::HRESULT Draw(uintptr_t dc, const int32_t* bounds) override;
  // IProvideClassInfo2: the class "Rast", its default and its event
  // interface, for hosts that connect to events they do not know
  com::HRESULT GetClassInfo(com::ITypeInfo** out) override;
  com::HRESULT GetGUID(uint32_t kind, com::GUID* out) override;

  // Typed access, the same path a host's Invoke takes.
  com::HRESULT put(int32_t dispid, const com::VARIANT& value);
  com::HRESULT get(int32_t dispid, com::VARIANT* out);

  // State a test or the windowing layer looks at.
  RX_HIMAGE current_image() const { return current_; }
  RX_HIMAGE slot_image(int32_t index) const;
  int32_t page_count() const { return page_count_; }
  bool document_open() const { return document_open_; }
  ErrorReport& error_report() { return error_report_; }
  bool modified() const { return modified_; }
  // The stored value of an integer or BOOL member, as the control keeps it.
  int64_t member(int32_t dispid) const { return lng(dispid); }
  // The about box's three texts; `About` = TRUE and AboutBox open it.
  AboutTexts about_box_texts() const { return about_texts(); }

  uintptr_t window() const { return window_; }
  // The magnify window (kDispMagnifyWindow) or the pan window
  // (kDispPanWindow) while it exists, shown or hidden; else 0.
  uintptr_t tool_window(int32_t dispid) const;
  // The control's window procedure hands its messages here.
  intptr_t on_message(uintptr_t window, uint32_t message, uintptr_t wparam, intptr_t lparam);
  // Ends a rubber-band selection: `rect` is the dragged rectangle in the
  // window's coordinates (rast_mouse.cpp).
  void selection_done(const int32_t* rect);

  // Engine callbacks (static trampolines take the control as user value).
  static int32_t status_routine(uintptr_t user, int32_t row, int32_t rows);
  static int32_t tag_routine(uintptr_t user, int32_t tag_id, int32_t type, uintptr_t data,
                             int32_t count);
  // The thumbnail window calls this when the user chooses a picture.
  static int32_t thumbnail_choice_routine(uintptr_t user, uintptr_t window, const char* file_name,
                                          const RX_BITMAPINFOHEADER* info, int32_t page);
  // A progressive load calls this once its image exists, before rows.
  static void display_created_routine(uintptr_t user, RX_HIMAGE image);
  int32_t progressive_images() const { return progressive_images_; }

 private:
  // ---- property store (indexed by DISPID) ----
  int64_t num(int32_t id) const { return num_[static_cast<size_t>(id)]; }
  int32_t lng(int32_t id) const { return static_cast<int32_t>(num_[static_cast<size_t>(id)]); }
  bool flag(int32_t id) const { return num_[static_cast<size_t>(id)] != 0; }
  double dbl(int32_t id) const { return dbl_[static_cast<size_t>(id)]; }
  const std::string& str(int32_t id) const { return str_[static_cast<size_t>(id)]; }
  void set_num(int32_t id, int64_t v) { num_[static_cast<size_t>(id)] = v; }
  void set_str(int32_t id, std::string v) { str_[static_cast<size_t>(id)] = std::move(v); }
  void reset_members();

  com::HRESULT put_member(const PropDesc& p, const com::VARIANT& value);
  com::HRESULT get_member(const PropDesc& p, com::VARIANT* out);
  com::HRESULT get_computed(int32_t dispid, com::VARIANT* out);
  com::HRESULT put_computed(int32_t dispid, const com::VARIANT& value);
  com::HRESULT put_stock(int32_t dispid, const com::VARIANT& value);
  com::HRESULT get_stock(int32_t dispid, com::VARIANT* out);
  bool user_mode() const;
  void run_change(int32_t dispid);
  // Clamps or maps a member's new value (previous: its value before the
  // write); false when the value is refused and the change must not run.
  bool write_shape(int32_t dispid, int64_t previous);
  com::HRESULT put_tool_geometry(int32_t dispid, const com::VARIANT& value);
  com::HRESULT get_tool_geometry(int32_t dispid, com::VARIANT* out);

  // ---- the common shape of an action ----
  // A step's error count; after a failing step of the same write the
  // failure stays (rast_error_hold.h).
  void set_err_count(int32_t count) {
    if (error_hold_.take(count)) set_num(kErrCountId, count);
  }
  int32_t err_count() const { return lng(kErrCountId); }
  void error_check();
  void refresh_image_info();
  void apply_display_settings();
  int32_t associate_with_window();
  void update_tool_windows();
  // The control's own tool windows (rast_tool_windows.cpp).
  void on_magnify_window();
  void on_pan_window();
  using ToolWindowMaker = int32_t (*)(RX_HIMAGE, uintptr_t, const char*, int32_t, int32_t, int32_t,
                                      int32_t, uintptr_t*);
  void tool_window_show(uintptr_t* window, const char* cls, size_t geometry, const char* caption,
                        ToolWindowMaker make);
  bool magnifier_shown() const;
  void tool_windows_close();
  void redraw();
  void set_modified() { modified_ = true; }
  bool current_valid() const;

  // ---- images the control owns ----
  RX_HIMAGE& slot() { return slots_[static_cast<size_t>(image_index_)]; }
  // Deletes an image and forgets every reference to it (slots, pages,
  // current), so no stale handle is ever kept.
  int32_t release_image(RX_HIMAGE image);
  // Puts an image into slot ImageIndex (releasing what was there) and
  // makes it current.
  void place_in_slot(RX_HIMAGE image);
  void release_all_images();
  // A new current image is associated with the window, given the display
  // settings and shown in the tool windows; attach also stores it in the
  // slot first and refreshes the image information.
  void show_new_image();
  void attach(RX_HIMAGE image);

  // ---- the window (rast_window.cpp) and the mouse (rast_mouse.cpp) ----
  intptr_t on_create();
  intptr_t on_erase_background(uintptr_t dc);
  void on_paint();
  void on_scroll(uint32_t message, uintptr_t wparam, intptr_t lparam);
  void on_mouse_move(uintptr_t keys, int32_t x, int32_t y);
  void on_zoom_key(uintptr_t character);
  void on_left_button(uint32_t message, uintptr_t keys, int32_t x, int32_t y);
  void mouse_tools_start(int32_t x, int32_t y);
  void fire_mouse(int32_t event, uintptr_t keys, int32_t x, int32_t y);
  void fill_client(uintptr_t dc, uint32_t colour);
  void window_gone();

  // ---- the view (rast_view.cpp) ----
  bool put_view(int32_t dispid);
  void on_display_lut();
  void on_zoom_level();
  int32_t fit(int32_t method);
  // Whether the control's window has the engine's association.
  bool associated() const;
  bool client_rect_whole() const;
  void on_alias();
  void on_display_angle();
  void on_fit_method();
  void on_transparent();
  void on_auto_redraw();
  void on_clear_image();
  void on_display_effect_index();
  void zoom_to_rect();
  void zoom_to_image_rect(const int32_t* side);
  void paint_option(bool on);
  int32_t view_rect(int32_t dispid);
  int32_t device_rect(int32_t dispid);

  // ---- file operations ----
  void on_load_image();
  void on_save_image();
  void on_save_quality();
  void on_page();
  void load_memory_page();
  void on_mem_load();
  void on_mem_page();
  void on_mem_save();
  void on_get_file_info();
  void on_load_document();
  void on_load_thumbnail();
  void on_ccitt_load();
  void on_import(bool dib);
  void on_del_image();
  void on_image_index();
  com::HRESULT put_data_bound(const com::VARIANT& value);
  void on_auto_detect(bool on);
  void on_auto_reduce();
  void on_auto_resize();
  void on_load_rect();
  void on_ascii_font();
  void on_tag_event();
  void on_image_info_write();
  void on_image_rect_write(int32_t dispid);
  int32_t load_file(const std::string& path, bool display, RX_HIMAGE* out);
  int32_t file_info(int32_t* format, int32_t* compression);
  int32_t count_pages(bool memory);

  // ---- contrast and tone ----
  void on_invert();
  void on_brightness_contrast();
  void on_contrast_equalize();
  void on_contrast_stretch();

  // ---- geometry ----
  void on_flip();
  void on_rotate();
  void on_rotate_any();
  void after_turn();
  void reapply_zoom();
  void on_resize_image();
  void on_crop_image();

  // ---- special effects (rast_fx.cpp) ----
  void on_effect(int32_t dispid);
  void after_effect(int32_t errors);
  void on_despeckle();

  // ---- colours ----
  void on_gray();
  bool current_is_gray() const;
  void on_promote_color();
  void after_reduction(int32_t errors);
  void on_octree();
  void on_median_cut();
  void on_popularity();
  void on_bayer(int32_t dispid, int32_t bits);
  void on_diffusion(int32_t dispid, int32_t bits);
  void on_halftone();

  // ---- convolution ----
  void on_smooth_sharpen(int32_t dispid);
  void on_edge_map();
  // ---- scrambling and deskew ----
  void on_scramble(bool decrypt);
  void on_auto_deskew();

  // ---- palette entries and pixels ----
  void on_palette_get();
  void on_palette_set();
  void on_pixel_get();
  void on_pixel_set();
  void on_runs_to_dib();
  void put_dpi(int32_t dispid, int32_t dpi);
  int32_t current_dpi(int32_t dispid) const;
  void step_pixel_position();
  // A colour member's low byte: 0 red, 1 green, 2 blue.
  uint8_t colour_byte(size_t i) const { return static_cast<uint8_t>(colour_[i] & 0xFF); }

  // ---- printing (rast_print.cpp) ----
  void on_print_image();

  // ---- events ----
  void on_status_event();
  void on_about();
  void fire_error_event(int32_t count);
  void fire_status(int32_t* percent);
  void fire_thumbnail(const char* file_name, int32_t page);
  void fire_tag(int32_t tag_id, int32_t type, int32_t count, int16_t word, int32_t lng,
                const std::string& text);

  static constexpr int32_t kErrCountId = 7;
  static constexpr size_t kMembers = 197;

  std::atomic<uint32_t> refs_{1};
  std::array<int64_t, kMembers> num_{};
  std::array<double, kMembers> dbl_{};
  std::array<std::string, kMembers> str_{};

  // Stock properties, extent and host.
  uint32_t back_color_ = 0x00FFFFFFu;
  int16_t border_style_ = 0;
  int16_t appearance_ = 0;
  int32_t extent_cx_ = 450, extent_cy_ = 450;  // HIMETRIC
  com::IControlSite* site_ = nullptr;
  // The in-place window, the client area record handed to the engine's
  // zoom and fit, and the device rectangle of the host's last draw.
  uintptr_t window_ = 0;
  std::array<int32_t, 4> client_rect_{};
  std::array<int32_t, 4> device_rect_{};
  std::array<int32_t, 4> zoom_store_{};  // ZoomLeft, ZoomTop, ZoomRight, ZoomBottom as written
  bool modified_ = false;

  // Images.
  RX_HIMAGE current_ = 0;
  std::array<RX_HIMAGE, kSlotCount> slots_{};
  int32_t image_index_ = 1;  // the slot loads store into; always 0..8
  int32_t page_count_ = 0;
  std::array<RX_HIMAGE, kDocumentPages> doc_pages_{};
  int32_t doc_page_count_ = 0;
  bool document_open_ = false;

  // Other state of the control.
  std::array<int32_t, 4> processing_rect_{};
  int32_t compression_ = 0;  // of the current image
  int32_t error_index_ = 0;  // which entry ErrorCode reads
  int32_t last_percent_ = 0;
  int32_t status_steps_ = 0;
  std::array<int32_t, kAuxCount> aux_{1, 256, 1, 0, 0, 0, 0, 0, 0};
  int32_t control_mode_ = 0;
  std::array<int16_t, 3> colour_{};  // VRed, VGreen, VBlue
  // Tool windows: the one GUIWindow selects, and each one's x, y, width
  // and height (rast_tool_geometry.cpp).
  static constexpr int32_t kToolWindowCount = 4;
  int32_t gui_window_ = -1;
  std::array<std::array<int16_t, 4>, kToolWindowCount> tool_geometry_{
      {{0, 0, 320, 200}, {0, 0, 128, 96}, {0, 0, 128, 96}, {0, 0, 160, 160}}};
  uintptr_t magnify_window_ = 0;
  uintptr_t pan_window_ = 0;
  ErrorReport error_report_;
  ErrorHold error_hold_;
  com::ConnectionPoint events_;
  int32_t progressive_images_ = 0;  // images a progressive load announced
};

// What the control's library keeps for the whole process (rast_events.cpp):
// the engine callbacks a control installed, removed when that control goes,
// and the hook that shows the about box (rast_about_box.h; null puts it back).
void uninstall_engine_callbacks(const CRastCtrl* ctrl);
using AboutBoxHook = void (*)(CRastCtrl* owner, const AboutTexts& texts);
void about_box_hook_set(AboutBoxHook hook);

}  // namespace rast
