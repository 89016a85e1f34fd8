// The control's file operations: loading from files and memory (with merge),
// saving, pages and documents, file information, imports, and the load
// options. A failed load never costs the host the image it had.
#include <algorithm>
#include <cstring>
#include <vector>

#include "RastCtl.h"
#include "platform/kernel.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

namespace rast {

using namespace com;

namespace {

constexpr char kMemoryImage[] = "Memory Image";
// A thumbnail fits in this square, keeping its aspect.
constexpr int32_t kThumbnailSide = 96;

const void* address_of(int64_t value) {
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(value));
}

}  // namespace

int32_t CRastCtrl::load_file(const std::string& path, bool display, RX_HIMAGE* out) {
  *out = 0;
  if (display) {
    // The drawing of rows arrives with the display layer; the load already
    // takes the progressive path and prepares the new image's display.
    return RX_image_load_display(path.c_str(), 0, &CRastCtrl::display_created_routine,
                                 reinterpret_cast<uintptr_t>(this), out);
  }
  return RX_image_load_file(path.c_str(), out);
}

// Before rows arrive: the control's window would hide its scroll bars and
// hand ScrollBars, DrawMode, DitherMode and the zoom to the new image's
// display record, all of which belong to the display layer.
void CRastCtrl::display_created_routine(uintptr_t user, RX_HIMAGE image) {
  auto* self = reinterpret_cast<CRastCtrl*>(user);
  if (self != nullptr && image != 0) ++self->progressive_images_;
}

// The file named by LoadImage, or the memory image after a memory load.
int32_t CRastCtrl::file_info(int32_t* format, int32_t* compression) {
  if (str(kDispLoadImage) == kMemoryImage)
    return RX_memory_info_get(address_of(num(kDispMemLoad)), lng(kDispMemSize),
                              lng(kDispMemPage), format, compression, nullptr);
  return RX_file_info_get(str(kDispLoadImage).c_str(), format, compression, nullptr);
}

int32_t CRastCtrl::count_pages(bool memory) {
  int32_t count = 0, result;
  if (memory)
    result = RX_memory_page_count_get(address_of(num(kDispMemLoad)), lng(kDispMemSize), &count);
  else
    result = RX_file_page_count_get(str(kDispLoadImage).c_str(), &count);
  if (result == 0) page_count_ = count;
  return result;
}

void CRastCtrl::on_load_image() {
  const std::string path = str(kDispLoadImage);
  if (path.empty()) return;
  RX_HIMAGE loaded = 0;
  set_err_count(load_file(path, flag(kDispDisplayWhileLoading), &loaded));
  error_check();
  if (err_count() == 0) {
    RX_HIMAGE fresh = loaded;
    if (flag(kDispLoadMerge) && current_valid()) {
      set_err_count(RX_IP_merge(current_, loaded, nullptr, lng(kDispLoadMergeLeft),
                                lng(kDispLoadMergeTop), lng(kDispLoadMergeOP)));
      error_check();
      // A merged load keeps the merged current image and drops the file's.
      if (err_count() == 0) {
        RX_image_delete(loaded);
        fresh = current_;
      }
    }
    place_in_slot(fresh);
    refresh_image_info();
    set_err_count(count_pages(false));
    error_check();
    show_new_image();
  }
  redraw();
  set_modified();
}

void CRastCtrl::on_save_image() {
  if (current_valid()) {
    set_err_count(RX_image_save_file(current_, str(kDispSaveImage).c_str(),
                                     static_cast<uint32_t>(lng(kDispSaveFormat))));
    error_check();
  }
  set_modified();
}

void CRastCtrl::on_save_quality() {
  const auto quality = static_cast<uint32_t>(lng(kDispSaveQuality));
  set_err_count(RX_image_control_set(RX_OPTION_JPEG_QUALITY, static_cast<uintptr_t>(quality)));
  set_modified();
}

void CRastCtrl::on_page() {
  if (document_open_) {
    const int32_t page = std::clamp(lng(kDispPage), 1, doc_page_count_);
    set_num(kDispPage, page);
    current_ = doc_pages_[static_cast<size_t>(page - 1)];
    refresh_image_info();
    pk_debug_printf("Page: %d", page);
    show_new_image();
    redraw();
    return;
  }
  if (current_valid()) {
    set_err_count(count_pages(false));
    error_check();
    const int32_t page = lng(kDispPage);
    if (page <= page_count_) {
      RX_HIMAGE loaded = 0;
      int32_t file = pk_file_open(str(kDispLoadImage).c_str(), PK_ACCESS_READ);
      set_err_count(RX_image_load_open_file(file, 0, page, 0, &loaded));
      if (file >= 0) pk_file_close(file);
      // Unlike LoadImage, a page that fails to load leaves no current image.
      attach(loaded);
    }
  }
  redraw();
  set_modified();
}

// Memory loads build the new image first and replace the slot's image only
// when the load succeeded.
void CRastCtrl::load_memory_page() {
  RX_HIMAGE loaded = 0;
  set_err_count(RX_image_load_memory(address_of(num(kDispMemLoad)), lng(kDispMemSize),
                                     lng(kDispMemPage), 1, &loaded));
  if (err_count() == 0) {
    set_str(kDispLoadImage, kMemoryImage);
    attach(loaded);
  }
  redraw();
}

void CRastCtrl::on_mem_load() {
  load_memory_page();
  set_modified();
}

void CRastCtrl::on_mem_page() {
  if (current_valid() && num(kDispMemLoad) != 0 && lng(kDispMemSize) > 0) load_memory_page();
  set_modified();
}

void CRastCtrl::on_mem_save() {
  if (current_valid() && num(kDispMemSave) != 0) {
    int32_t written = 0;
    auto* block = reinterpret_cast<void*>(static_cast<uintptr_t>(num(kDispMemSave)));
    set_err_count(RX_image_save_memory(current_, block, 0, lng(kDispMemSize), lng(kDispMemPage),
                                       0, static_cast<uint32_t>(lng(kDispSaveFormat)),
                                       &written));
    set_num(kDispMemSize, written);
  }
  set_modified();
}

void CRastCtrl::on_get_file_info() {
  RX_BITMAPINFOHEADER header{};
  int32_t format = 0, compression = 0;
  set_err_count(RX_file_info_get(str(kDispGetFileInfo).c_str(), &format, &compression, &header));
  set_num(kDispImageWidth, header.biWidth);
  set_num(kDispImageHeight, header.biHeight);
  set_num(kDispImageBitsPerPixel, header.biBitCount);
  if (err_count() == 0) {
    int32_t count = 0;
    set_err_count(RX_file_page_count_get(str(kDispGetFileInfo).c_str(), &count));
    if (err_count() == 0) page_count_ = count;
  }
  error_check();
  set_modified();
}

// All pages of a file at once, at most the table's 20. The pages are loaded
// before anything is dropped, so a document that fails to load leaves the
// control as it was.
void CRastCtrl::on_load_document() {
  const std::string& path = str(kDispLoadDocument);
  int32_t count = 0;
  set_err_count(RX_file_page_count_get(path.c_str(), &count));
  if (count < 2) {
    pk_debug_printf("Not enough pages for a document\n");
    set_modified();
    return;
  }
  pk_debug_printf("Loading document %d\n", count);
  if (count > kDocumentPages) count = kDocumentPages;
  std::array<RX_HIMAGE, kDocumentPages> pages{};
  int32_t file = pk_file_open(path.c_str(), PK_ACCESS_READ);
  bool ok = true;
  for (int32_t page = 1; page <= count; ++page) {
    RX_HIMAGE image = 0;
    set_err_count(RX_image_load_open_file(file, 0, page, 1, &image));
    if (err_count() > 0) {
      pk_debug_printf("Error\n");
      ok = false;
      break;
    }
    pages[static_cast<size_t>(page - 1)] = image;
    pk_debug_printf("Page %lx %d\n", static_cast<unsigned long>(image), page);
  }
  if (file >= 0) pk_file_close(file);
  if (!ok) {
    for (RX_HIMAGE image : pages)
      if (image != 0) RX_image_delete(image);
    error_check();
    set_modified();
    return;
  }
  if (!document_open_) {
    release_image(slot());
    release_image(current_);
  } else {
    // The previous document's own count bounds its clean-up.
    for (int32_t i = 0; i < doc_page_count_; ++i) release_image(doc_pages_[static_cast<size_t>(i)]);
  }
  doc_pages_ = pages;
  doc_page_count_ = count;
  page_count_ = count;
  document_open_ = true;
  set_num(kDispPage, 1);
  current_ = doc_pages_[0];
  refresh_image_info();
  if (err_count() == 0) show_new_image();
  redraw();
  set_modified();
}

// Until the thumbnail window exists, a thumbnail is the first page reduced
// to fit a small square, through the load pipeline's resize.
void CRastCtrl::on_load_thumbnail() {
  const std::string& path = str(kDispLoadThumbnail);
  RX_BITMAPINFOHEADER header{};
  RX_HIMAGE loaded = 0;
  set_err_count(RX_file_info_get(path.c_str(), nullptr, nullptr, &header));
  if (err_count() == 0) {
    const int64_t w = header.biWidth;
    const int64_t h = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    int64_t tw = w, th = h;
    if (w > kThumbnailSide || h > kThumbnailSide) {
      if (w >= h) {
        tw = kThumbnailSide;
        th = std::max<int64_t>(1, h * kThumbnailSide / std::max<int64_t>(w, 1));
      } else {
        th = kThumbnailSide;
        tw = std::max<int64_t>(1, w * kThumbnailSide / std::max<int64_t>(h, 1));
      }
    }
    // The host's own settings come back afterwards, without clearing the
    // error stack, so the load's errors stay readable.
    RX_LOAD_SETTINGS saved{};
    const bool have_saved = RX_load_settings_get(&saved) != 0;
    RX_load_resize_set(static_cast<int32_t>(tw), static_cast<int32_t>(th));
    set_err_count(RX_image_load_file(path.c_str(), &loaded));
    if (have_saved) RX_load_settings_restore(&saved);
  }
  if (err_count() == 0) attach(loaded);
  else error_check();
  redraw();
  set_modified();
}

void CRastCtrl::on_ccitt_load() {
  const std::string& path = str(kDispCCITTLoad);
  if (path.empty()) {
    set_modified();
    return;
  }
  RX_HIMAGE loaded = 0;
  int32_t file = pk_file_open(path.c_str(), PK_ACCESS_READ);
  if (file >= 0 && pk_file_seek(file, lng(kDispCCITTOffset), PK_SEEK_SET) < 0) {
    pk_file_close(file);
    file = -1;
  }
  set_err_count(RX_image_load_raw_CCITT(file, lng(kDispCCITTXSize), lng(kDispCCITTYSize),
                                        lng(kDispCCITTType), lng(kDispCCITTFillOrder), &loaded));
  if (file >= 0) pk_file_close(file);
  if (err_count() == 0) {
    attach(loaded);
    redraw();
  } else {
    error_check();
  }
  set_modified();
}

// The imported image replaces the slot's previous one, which is released
// rather than left without an owner.
void CRastCtrl::on_import(bool dib) {
  const int64_t handle = num(dib ? kDispImportDIB : kDispImportDDB);
  if (handle != 0) {
    RX_HIMAGE image = 0;
    if (dib) {
      const void* packed = address_of(handle);
      set_err_count(RX_image_create_from_DIB(packed, RPb_DIB_DIB_size_get(packed), &image));
    } else {
      set_err_count(RX_image_create_from_bitmap(static_cast<uintptr_t>(handle), 0, &image));
    }
    if (err_count() == 0) attach(image);
    else error_check();
    redraw();
  }
  set_modified();
}

void CRastCtrl::on_del_image() {
  RX_HIMAGE image = slot();
  if (image != 0 && RPb_iRX_image_is_valid(image) && flag(kDispDelImage)) {
    set_err_count(release_image(image));
    error_check();
    redraw();
    current_ = 0;
    set_num(kDispDelImage, 0);
  }
  set_modified();
}

// ImageIndex always names one of the nine slots: a write outside 0..8 is
// refused and the previous index stays.
void CRastCtrl::on_image_index() {
  const int32_t index = lng(kDispImageIndex);
  if (index < 0 || index >= kSlotCount) {
    set_num(kDispImageIndex, image_index_);
    set_modified();
    return;
  }
  image_index_ = index;
  RX_HIMAGE image = slot();
  if (image != 0 && RPb_iRX_image_is_valid(image)) {
    current_ = image;
    refresh_image_info();
    show_new_image();
    redraw();
  }
  set_modified();
}

HRESULT CRastCtrl::put_data_bound(const VARIANT& value) {
  VARIANT v;
  VariantInit(&v);
  HRESULT hr = VariantChangeType(&v, &value, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  std::string path = v.bstrVal != nullptr ? v.bstrVal : "";
  VariantClear(&v);
  if (site_ != nullptr && site_->OnRequestEdit(kDispDataBoundProperty) != S_OK)
    return CTL_E_PERMISSIONDENIED;
  set_str(kDispDataBoundProperty, path);
  set_modified();
  RX_HIMAGE loaded = 0;
  set_err_count(path.empty() ? 0 : RX_image_load_file(path.c_str(), &loaded));
  error_check();
  if (loaded != 0 && err_count() == 0) {
    attach(loaded);
    int32_t count = 0;
    if (RX_file_page_count_get(path.c_str(), &count) == 0) page_count_ = count;
    redraw();
  }
  if (site_ != nullptr) site_->OnChanged(kDispDataBoundProperty);
  return S_OK;
}

void CRastCtrl::on_auto_detect(bool on) {
  set_err_count(RX_detection_switch_set(lng(on ? kDispAutoDetectOn : kDispAutoDetectOff), on));
  set_modified();
}

void CRastCtrl::on_auto_reduce() {
  const int32_t value = lng(kDispAutoReduce);
  const int32_t mode = value == 1 ? 1 : value == 4 ? 2 : value == 8 ? 3 : 0;
  set_err_count(RX_load_conversion_set(mode));
  error_check();
  set_modified();
}

void CRastCtrl::on_auto_resize() {
  set_err_count(RX_load_resize_set(lng(kDispAutoResizeX), lng(kDispAutoResizeY)));
  error_check();
  set_modified();
}

void CRastCtrl::on_load_rect() {
  const int32_t left = lng(kDispLoadRectLeft), top = lng(kDispLoadRectTop);
  set_err_count(RX_load_crop_set(left, top, lng(kDispLoadRectRight) - left,
                                 lng(kDispLoadRectBottom) - top));
  error_check();
  set_modified();
}

void CRastCtrl::on_ascii_font() {
  set_err_count(RX_image_control_set(RX_OPTION_TEXT_FONT_NAME,
                                     reinterpret_cast<uintptr_t>(str(kDispAsciiSetFont).c_str())));
  error_check();
  set_modified();
}

}  // namespace rast
