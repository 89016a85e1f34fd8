// The load entry points: open or attach the stream, detect the format, run
// its reader through the load callbacks, and leave either a whole image or
// none. Also the file and memory descriptions and page counts, which stop
// after detection and the filter's header parse.
#include "LOAD/load.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "LOAD/detect.h"
#include "LOAD/dfltldcb.h"
#include "LOAD/filter_table.h"
#include "IO/io_rec.h"
#include "SUPPORT/error.h"
#include "SUPPORT/img_ctrl.h"
#include "SUPPORT/limits.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\LOAD\\load.cpp");

namespace rx {

LoadDisplayHook g_load_display_hook = nullptr;

namespace {

// Page 1 and the fourth value of a plain file load; the raw CCITT load
// passes 0 instead.
constexpr int32_t kFirstPage = 1;
constexpr int32_t kPlainFourth = 1;
constexpr int32_t kRawFourth = 0;

// Flags blocks hold 32-bit fields; keep the buffer aligned for them.
struct FlagsBuffer {
  alignas(4) uint8_t bytes[kMaxFlagsBlock];
};

// A progressive load wraps the load's own callbacks. The callback data
// comes first, so the data pointer in the stream record leads here too.
struct ProgressiveLoad {
  LOAD_CB_DATA cb;
  RX_DIB_CREATE_CB create;
  RX_RASTER_SET_CB raster_set;
  uintptr_t device_context;
  RX_LOAD_CREATED_CB created;
  uintptr_t value;
};
static_assert(std::is_standard_layout_v<ProgressiveLoad> && offsetof(ProgressiveLoad, cb) == 0);

int32_t errors() { return RPb_AF_error_check(); }

bool handle_out_valid(RX_HIMAGE* image_out) {
  if (image_out == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return false;
  }
  *image_out = 0;
  return true;
}

bool open_read(IO_REC* io, const char* name) {
  if (RPb_IO_open(io, name, RX_ACCESS_READ) >= 0) return true;
  RX_ERR(RXE_FILE_OPEN_FAILED, 0, 0);
  return false;
}

// Makes the stream a file stream on the caller's open file.
bool attach_file(IO_REC* io, int32_t file) {
  if (file < 0) {
    RX_ERR(RXE_FILE_OPEN_FAILED, file, 0);
    return false;
  }
  io_file_attach(io, file);
  return true;
}

// The filter's reader with its flags block copied out of the options. A
// detected format without a reader would otherwise load nothing and
// report success.
RX_READ_FN reader_of(int32_t filter, FlagsBuffer* flags) {
  RX_READ_FN read = filter_read(filter);
  if (read == nullptr) {
    RX_ERR(RXE_NOT_IMPLEMENTED, filter_format_code(filter), filter);
    return nullptr;
  }
  filter_image_flags_get(filter, flags->bytes);
  return read;
}

// Runs the reader (unless an error came first), then frees the callbacks'
// scratch and, on any error, deletes what the reader began.
int32_t read_prepared(IO_REC* io, LOAD_CB_DATA* cb, RX_READ_FN read, void* flags, int32_t page,
                      int32_t fourth) {
  if (read != nullptr && errors() == 0) {
    LoadAllocationScope limit;
    const int32_t result = read(io, flags, page, fourth);
    // A reader must not answer success without an image, nor failure
    // without saying why.
    if (result != 0 && errors() == 0) RX_ERR(RXE_FAILURE, result, page);
    if (errors() == 0 && load_image(cb) == nullptr) RX_ERR(RXE_NO_RASTER_IMAGE, page, 0);
  }
  RPb_RPr_load_CB_data_free(cb);
  if (errors() != 0) {
    if (RPb_iRX_image_is_valid(*cb->image_out)) RPb_iRX_image_delete(record_of(*cb->image_out));
    *cb->image_out = 0;
  }
  return errors();
}

int32_t detect_then_read(IO_REC* io, LOAD_CB_DATA* cb, int32_t page, int32_t fourth) {
  int32_t filter = -1;
  FlagsBuffer flags{};
  RX_READ_FN read = detect(io, &filter) == 0 ? reader_of(filter, &flags) : nullptr;
  return read_prepared(io, cb, read, flags.bytes, page, fourth);
}

// ---- Progressive display --------------------------------------------------

ProgressiveLoad* progressive_of(IO_REC* io, int32_t slot) {
  return reinterpret_cast<ProgressiveLoad*>(io->cb_data[slot]);
}

int32_t progressive_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                           const RX_RGBQUAD* palette) {
  ProgressiveLoad* p = progressive_of(io, RX_CBD_DIB_CREATE);
  if (p->create(io, header, palette) == 0 && p->created != nullptr &&
      load_image(&p->cb) != nullptr)
    p->created(p->value, *p->cb.image_out);
  return errors();
}

void rows_draw(const ProgressiveLoad* p, int32_t first, int32_t count) {
  const IMAGE_REC* record = load_image(&p->cb);
  LoadDisplayBand band{};
  if (g_load_display_hook == nullptr || record == nullptr ||
      !load_display_band(record, first, count, &band))
    return;
  g_load_display_hook(p->device_context, *p->cb.image_out, &band);
}

// Where the row will land is asked before it is stored: storing the last
// row releases the map that answers.
int32_t progressive_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                               int32_t byte_count) {
  ProgressiveLoad* p = progressive_of(io, RX_CBD_RASTER_SET);
  int32_t first = 0;
  const int32_t count = load_stored_rows(&p->cb, row_index, &first);
  if (p->raster_set(io, row, row_index, byte_count) == 0 && count > 0) rows_draw(p, first, count);
  return errors();
}

// Device coordinates are doubles that may hold anything a caller set.
int32_t device_coordinate(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -2147483648.0) return INT32_MIN;
  if (value >= 2147483646.0) return 2147483646;
  return static_cast<int32_t>(value);
}

// ---- Descriptions and page counts ------------------------------------------

int32_t describe(IO_REC* io, int32_t page, int32_t* format, int32_t* compression,
                 RX_BITMAPINFOHEADER* header) {
  int32_t filter = -1;
  if (detect(io, &filter) != 0) return errors();
  RX_INFO_FN info = filter_info(filter);
  if (info == nullptr) return RX_ERR(RXE_NOT_IMPLEMENTED, filter_format_code(filter), filter);
  FlagsBuffer flags{};
  filter_image_flags_get(filter, flags.bytes);
  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD palette[256] = {};
  int32_t code = 0;
  LoadAllocationScope limit;
  const int32_t result = info(io, &h, palette, &code, flags.bytes, page);
  if (result != 0 && errors() == 0) RX_ERR(RXE_FAILURE, result, page);
  if (errors() != 0) return errors();
  if (format != nullptr) *format = filter_format_code(filter);
  if (compression != nullptr) *compression = code;
  if (header != nullptr) *header = h;
  return 0;
}

int32_t pages_count(IO_REC* io, int32_t* count) {
  int32_t filter = -1;
  if (detect(io, &filter) != 0) return errors();
  RX_PAGE_COUNT_FN pages = filter_page_count(filter);
  if (pages == nullptr) return RX_ERR(RXE_NOT_IMPLEMENTED, filter_format_code(filter), filter);
  FlagsBuffer flags{};
  filter_image_flags_get(filter, flags.bytes);
  int32_t n = 0;
  LoadAllocationScope limit;
  const int32_t result = pages(io, flags.bytes, &n);
  if (result != 0 && errors() == 0) RX_ERR(RXE_FAILURE, result, 0);
  if (errors() == 0 && count != nullptr) *count = n;
  return errors();
}

void description_clear(int32_t* format, int32_t* compression, RX_BITMAPINFOHEADER* header) {
  if (format != nullptr) *format = RX_FORMAT_UNKNOWN;
  if (compression != nullptr) *compression = RX_COMPRESSION_NONE;
  if (header != nullptr) *header = RX_BITMAPINFOHEADER{};
}

}  // namespace

int32_t load_with_reader(IO_REC* io, RX_READ_FN read, void* flags, int32_t page, int32_t fourth,
                         RX_HIMAGE* image_out) {
  LOAD_CB_DATA cb;
  if (RPb_RPr_load_CB_data_init(io, &cb, image_out) != 0) return errors();
  return read_prepared(io, &cb, read, flags, page, fourth);
}

int32_t load_detected(IO_REC* io, int32_t page, int32_t fourth, RX_HIMAGE* image_out) {
  LOAD_CB_DATA cb;
  if (RPb_RPr_load_CB_data_init(io, &cb, image_out) != 0) return errors();
  return detect_then_read(io, &cb, page, fourth);
}

bool load_display_band(const IMAGE_REC* record, int32_t first, int32_t count,
                       LoadDisplayBand* band) {
  const DISPLAY_ATTR& d = record->display;
  const int64_t top = d.image_rect[1];
  const int64_t bottom = d.image_rect[3];
  const int64_t from = std::max<int64_t>(first, top);
  const int64_t to = std::min<int64_t>(int64_t{first} + count - 1, bottom);
  if (count <= 0 || from > to) return false;
  const auto span = static_cast<double>(bottom - top + 1);
  const double height = d.device_rect[3] - d.device_rect[1];
  const double y0 = d.device_rect[1] + static_cast<double>(from - top) * height / span;
  const double y1 = d.device_rect[1] + static_cast<double>(to + 1 - top) * height / span;
  band->left = device_coordinate(d.device_rect[0]);
  band->right = device_coordinate(d.device_rect[2]);
  band->top = device_coordinate(std::floor(std::min(y0, y1)));
  band->bottom = std::max(band->top + 1, device_coordinate(std::ceil(std::max(y0, y1))));
  return true;
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_image_load_file(const char* name, RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  IO_REC io;
  if (!handle_out_valid(image_out) || !io_from_template(&io)) return errors();
  if (open_read(&io, name)) {
    load_detected(&io, kFirstPage, kPlainFourth, image_out);
    RPb_IO_close(&io);
  }
  return errors();
}

extern "C" int32_t RX_image_load_open_file(int32_t file, int32_t offset, int32_t page,
                                           int32_t fourth, RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  IO_REC io;
  if (!handle_out_valid(image_out) || !io_from_template(&io) || !attach_file(&io, file))
    return errors();
  const int32_t home = RPb_IO_tell(&io);
  if (home < 0) {
    RX_ERR(RXE_FILE_OPEN_FAILED, file, 0);
    return errors();
  }
  if (RPb_IO_seek(&io, offset, RX_SEEK_CUR) < 0) RX_ERR(RXE_CANT_READ_FILE, offset, home);
  else load_detected(&io, page, fourth, image_out);
  RPb_IO_seek(&io, home, RX_SEEK_SET);
  return errors();
}

extern "C" int32_t RX_image_load_display(const char* name, uintptr_t device_context,
                                         RX_LOAD_CREATED_CB created, uintptr_t value,
                                         RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  IO_REC io;
  if (!handle_out_valid(image_out) || !io_from_template(&io)) return errors();
  ProgressiveLoad p{};
  if (RPb_RPr_load_CB_data_init(&io, &p.cb, image_out) != 0) return errors();
  p.create = io.dib_create;
  p.raster_set = io.raster_set;
  p.device_context = device_context;
  p.created = created;
  p.value = value;
  io.dib_create = progressive_create;
  io.raster_set = progressive_raster_set;
  if (open_read(&io, name)) {
    detect_then_read(&io, &p.cb, kFirstPage, kPlainFourth);
    RPb_IO_close(&io);
  } else {
    RPb_RPr_load_CB_data_free(&p.cb);
  }
  return errors();
}

extern "C" int32_t RX_image_load_raw_CCITT(int32_t file, int32_t width, int32_t height,
                                           int32_t compression, int32_t decoder_option,
                                           RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  IO_REC io;
  if (!handle_out_valid(image_out) || !io_from_template(&io)) return errors();
  // The raw load names its file by a positive number only.
  if (file <= 0) {
    RX_ERR(RXE_FILE_OPEN_FAILED, file, 0);
    return errors();
  }
  attach_file(&io, file);
  const bool group3 = compression == 3 || compression == 11;
  const int32_t filter = filter_search(group3 ? RX_FORMAT_RAW_G3 : RX_FORMAT_RAW_G4);
  FlagsBuffer flags{};
  RX_READ_FN read = reader_of(filter, &flags);
  if (read == nullptr) return errors();
  // The caller's geometry goes into this load's copy of the block only.
  const int32_t fields[4] = {width, height, decoder_option, 1};
  std::memcpy(flags.bytes, fields, sizeof fields);
  return load_with_reader(&io, read, flags.bytes, kFirstPage, kRawFourth, image_out);
}

extern "C" int32_t RX_image_load_memory(const void* block, int32_t size, int32_t page,
                                        int32_t fourth, RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  IO_REC io;
  if (!handle_out_valid(image_out) || !io_from_template(&io)) return errors();
  // Readers only read; the stream is writable in general.
  io_memory_attach(&io, const_cast<void*>(block), size, size);
  return load_detected(&io, page, fourth, image_out);
}

extern "C" int32_t RX_image_load_reserved(const char*, RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  if (image_out != nullptr) *image_out = 0;
  RX_ERR(RXE_NOT_IMPLEMENTED, 0, 0);
  return errors();
}

extern "C" int32_t RX_file_info_get(const char* name, int32_t* format, int32_t* compression,
                                    RX_BITMAPINFOHEADER* header) {
  RPb_AF_error_clear();
  description_clear(format, compression, header);
  IO_REC io;
  if (!io_from_template(&io) || !open_read(&io, name)) return errors();
  describe(&io, kFirstPage, format, compression, header);
  RPb_IO_close(&io);
  return errors();
}

extern "C" int32_t RX_memory_info_get(const void* block, int32_t size, int32_t page,
                                      int32_t* format, int32_t* compression,
                                      RX_BITMAPINFOHEADER* header) {
  RPb_AF_error_clear();
  description_clear(format, compression, header);
  IO_REC io;
  if (!io_from_template(&io)) return errors();
  io_memory_attach(&io, const_cast<void*>(block), size, size);
  describe(&io, page, format, compression, header);
  return errors();
}

extern "C" int32_t RX_file_page_count_get(const char* name, int32_t* count) {
  RPb_AF_error_clear();
  if (count != nullptr) *count = 0;
  IO_REC io;
  if (!io_from_template(&io) || !open_read(&io, name)) return errors();
  pages_count(&io, count);
  RPb_IO_close(&io);
  return errors();
}

extern "C" int32_t RX_memory_page_count_get(const void* block, int32_t size, int32_t* count) {
  RPb_AF_error_clear();
  if (count != nullptr) *count = 0;
  IO_REC io;
  if (!io_from_template(&io)) return errors();
  io_memory_attach(&io, const_cast<void*>(block), size, size);
  pages_count(&io, count);
  return errors();
}
