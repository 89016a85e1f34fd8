// The image control options: the per-process record of per-format blocks,
// its defaults, and the option ids through which applications set and read
// single fields.
#include "SUPPORT/img_ctrl.h"

#include <cstring>

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/error.h"
#include "SUPPORT/ext_options.h"
#include "SUPPORT/instance.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\img_ctrl.cpp");

namespace rx {
namespace {


enum class Width { k32, k16, kFont };

struct OptionField {
  uint32_t id;
  uint32_t offset;  // from the start of the record
  Width width;
};

constexpr uint32_t kBmp = offsetof(IMG_CTRL_OPTIONS, bmp);
constexpr uint32_t kJpeg = offsetof(IMG_CTRL_OPTIONS, jpeg);
constexpr uint32_t kKfx = offsetof(IMG_CTRL_OPTIONS, kfx);
constexpr uint32_t kPict = offsetof(IMG_CTRL_OPTIONS, pict);
constexpr uint32_t kTiff = offsetof(IMG_CTRL_OPTIONS, tiff);
constexpr uint32_t kText = offsetof(IMG_CTRL_OPTIONS, text);

// Option id = format code in the low byte, option number in the next.
constexpr OptionField kOptions[] = {
    {RX_OPTION_BMP_HEADER_TYPE, kBmp + 4, Width::k32},
    {RX_OPTION_BMP_TOP_DOWN, kBmp + 0, Width::k32},
    {RX_OPTION_JPEG_QUALITY, kJpeg + 20, Width::k32},
    {RX_OPTION_JPEG_SAMPLING, kJpeg + 24, Width::k32},
    {RX_OPTION_JPEG_THUMBNAIL, kJpeg + 0, Width::k32},
    {RX_OPTION_JPEG_THUMBNAIL_WIDTH, kJpeg + 4, Width::k32},
    {RX_OPTION_JPEG_THUMBNAIL_HEIGHT, kJpeg + 8, Width::k32},
    {RX_OPTION_KFX_1, kKfx + 4, Width::k32},
    {RX_OPTION_PICT_1, kPict + 4, Width::k32},
    {RX_OPTION_TIFF_ONE_STRIP, kTiff + 24, Width::k32},
    {RX_OPTION_TIFF_FILL_ORDER, kTiff + 28, Width::k16},
    {RX_OPTION_TIFF_7, kTiff + 32, Width::k32},
    {RX_OPTION_TIFF_PHOTOMETRIC, kTiff + 14, Width::k16},
    {RX_OPTION_TEXT_X_RESOLUTION, kText + offsetof(TEXT_FLAGS, x_resolution), Width::k32},
    {RX_OPTION_TEXT_Y_RESOLUTION, kText + offsetof(TEXT_FLAGS, y_resolution), Width::k32},
    {RX_OPTION_TEXT_MARGIN_LEFT, kText + offsetof(TEXT_FLAGS, margin_left), Width::k32},
    {RX_OPTION_TEXT_MARGIN_TOP, kText + offsetof(TEXT_FLAGS, margin_top), Width::k32},
    {RX_OPTION_TEXT_MARGIN_RIGHT, kText + offsetof(TEXT_FLAGS, margin_right), Width::k32},
    {RX_OPTION_TEXT_MARGIN_BOTTOM, kText + offsetof(TEXT_FLAGS, margin_bottom), Width::k32},
    {RX_OPTION_TEXT_PAGE_WIDTH, kText + offsetof(TEXT_FLAGS, page_width), Width::k32},
    {RX_OPTION_TEXT_PAGE_HEIGHT, kText + offsetof(TEXT_FLAGS, page_height), Width::k32},
    {RX_OPTION_TEXT_POINT_SIZE, kText + offsetof(TEXT_FLAGS, point_size), Width::k32},
    {RX_OPTION_TEXT_TAB_WIDTH, kText + offsetof(TEXT_FLAGS, tab_width), Width::k32},
    {RX_OPTION_TEXT_BOLD, kText + offsetof(TEXT_FLAGS, bold), Width::k32},
    {RX_OPTION_TEXT_ITALIC, kText + offsetof(TEXT_FLAGS, italic), Width::k32},
    {RX_OPTION_TEXT_FONT_NAME, kText + offsetof(TEXT_FLAGS, font_name), Width::kFont},
};

const OptionField* find_option(uint32_t id) {
  for (const OptionField& f : kOptions)
    if (f.id == id) return &f;
  return nullptr;
}

void put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }
void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

void set_defaults(IMG_CTRL_OPTIONS* o) {
  o->bmp[1] = 1;
  o->dcx[0] = 1;
  o->dcx[1] = 1;
  o->eps[1] = 1;
  o->gif[1] = 1;
  o->iff[0] = 1;
  const uint32_t jpeg[7] = {1, 16, 16, 0, 0, 70, 0x211111};
  std::memcpy(o->jpeg, jpeg, sizeof jpeg);
  o->pcx[0] = 1;
  o->sun[0] = 1;
  // TIFF: 0, 1, 0, two 16-bit fields 0 and 0xFFFF, 1, 0, 0, two 16-bit
  // fields 0xFFFF and 0, then 0.
  put32(o->tiff + 4, 1);
  put16(o->tiff + 14, 0xFFFF);
  put32(o->tiff + 16, 1);
  put16(o->tiff + 28, 0xFFFF);
  // Text: a Letter page with one-inch margins at 200 dots per inch.
  TEXT_FLAGS text{};
  text.x_resolution = 200;
  text.y_resolution = 200;
  text.margin_left = text.margin_top = text.margin_right = text.margin_bottom = 1000;
  text.page_width = 8500;
  text.page_height = 11000;
  text.point_size = 10;
  text.tab_width = 3;
  std::memcpy(o->text, &text, sizeof text);
}

uint8_t* field_address(IMG_CTRL_OPTIONS* o, const OptionField& f) {
  return reinterpret_cast<uint8_t*>(o) + f.offset;
}

void option_store(IMG_CTRL_OPTIONS* o, const OptionField& f, uintptr_t value) {
  uint8_t* p = field_address(o, f);
  switch (f.width) {
    case Width::k32: put32(p, static_cast<uint32_t>(value)); break;
    case Width::k16: put16(p, static_cast<uint16_t>(value)); break;
    case Width::kFont: {
      // Names are cut to 31 characters so the field always stays terminated.
      char name[sizeof(TEXT_FLAGS::font_name)] = {};
      const char* src = reinterpret_cast<const char*>(value);
      if (src != nullptr) std::strncpy(name, src, kFontNameMax);
      std::memcpy(p, name, sizeof name);
      break;
    }
  }
}

void option_load(IMG_CTRL_OPTIONS* o, const OptionField& f, void* out) {
  const uint8_t* p = field_address(o, f);
  switch (f.width) {
    case Width::k32: std::memcpy(out, p, 4); break;
    case Width::k16: {
      uint16_t v;
      std::memcpy(&v, p, sizeof v);
      const uint32_t wide = v;
      std::memcpy(out, &wide, sizeof wide);
      break;
    }
    case Width::kFont: std::memcpy(out, p, sizeof(TEXT_FLAGS::font_name)); break;  // terminated
  }
}

}  // namespace

IMG_CTRL_OPTIONS* options_record() { return instance_table<IMG_CTRL_OPTIONS>(kKeyOptions); }

uint32_t options_block_copy(int32_t format_code, void* out, uint32_t out_size) {
  IMG_CTRL_OPTIONS* o = options_record();
  const FlagsBlock b = options_block_of(format_code);
  if (o == nullptr || b.size == 0 || out == nullptr || out_size < b.size) return 0;
  std::memcpy(out, reinterpret_cast<const uint8_t*>(o) + b.offset, b.size);
  return b.size;
}

int32_t options_create() {
  void* table = nullptr;
  int32_t code = table_create(kKeyOptions, sizeof(IMG_CTRL_OPTIONS), &table);
  if (code == 0) set_defaults(static_cast<IMG_CTRL_OPTIONS*>(table));
  return code;
}

void options_destroy() { table_destroy(kKeyOptions); }

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_image_control_set(uint32_t option_id, uintptr_t value) {
  RPb_AF_error_clear();
  IMG_CTRL_OPTIONS* o = options_record();
  const OptionField* f = find_option(option_id);
  if (o != nullptr && f != nullptr) option_store(o, *f, value);
  else if (extension_option_set(option_id, value) == 0)
    RX_ERR(RXE_INVALID_IMAGE_CONTROL_OPTION_ID, option_id, 0);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_control_get(uint32_t option_id, void* value) {
  RPb_AF_error_clear();
  IMG_CTRL_OPTIONS* o = options_record();
  const OptionField* f = find_option(option_id);
  if (value == nullptr) RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, option_id, 0);
  else if (o != nullptr && f != nullptr) option_load(o, *f, value);
  else if (extension_option_get(option_id, value) == 0)
    RX_ERR(RXE_INVALID_IMAGE_CONTROL_OPTION_ID, option_id, 0);
  return RPb_AF_error_check();
}
