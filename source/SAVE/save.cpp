// Saving an image: choose the writer, open the file or attach the caller's
// block, and let the writer pull the image through the stream's callbacks.
// Everything that can be known to fail is checked before the file is
// created, so a save that cannot succeed never empties an existing file.
#include "SAVE/save.h"

#include <cstring>

#include "LOAD/filter_table.h"
#include "IO/io_rec.h"
#include "SAVE/dfltsvcb.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/img_ctrl.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SAVE\\save.cpp");

namespace rx {
namespace {

constexpr uint32_t kFormatCodeMask = 0xFFFF;
constexpr uint32_t kOptionShift = 16;
// Longer than any listed extension: such a name cannot match, and is
// refused before anything is copied.
constexpr size_t kExtensionMax = 8;

// The upper-cased extension of the name's last component; false when it
// has none or one too long to be listed.
bool extension_of(const char* name, char (&out)[kExtensionMax + 1], size_t* length) {
  const char* slash = std::strrchr(name, '/');
  const char* dot = std::strrchr(slash != nullptr ? slash + 1 : name, '.');
  if (dot == nullptr) return false;
  const size_t n = std::strlen(dot + 1);
  if (n == 0 || n > kExtensionMax) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = dot[1 + i];
    out[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  *length = n;
  return true;
}

// True when one item of a list of "|"-terminated items is the extension.
// Whole items are compared, so "TIF|TIFF" as an extension matches nothing.
bool list_has(const char* list, const char* ext, size_t n) {
  for (const char* item = list; *item != '\0';) {
    const char* bar = std::strchr(item, '|');
    if (bar == nullptr) return false;
    if (static_cast<size_t>(bar - item) == n && std::memcmp(item, ext, n) == 0) return true;
    item = bar + 1;
  }
  return false;
}

// Failures known before anything is written, so that the file or block
// stays as it was.
bool save_possible(const IMAGE_REC* record, const SaveTarget& target) {
  if (target.write == nullptr) {
    RX_ERR(RXE_FILE_READ_ONLY, target.filter_index, 0);
    return false;
  }
  if (record->lock != 0) {
    RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
    return false;
  }
  return true;
}

// A multi-page format adds a page to the file that is there; anything
// else, or a file that will not open, starts from an empty file.
bool file_prepare(IO_REC* io, const char* name, int32_t multi_page) {
  if (multi_page != 0 && RPb_IO_open(io, name, RX_ACCESS_READ_WRITE) >= 0) return true;
  if (io_create(io, name) >= 0) return true;
  RX_ERR(RXE_FILE_CREATE_FAILED, 0, 0);
  return false;
}

// A format without a writer leaves the empty file its save created, as it
// always has; but a file that is already there is never emptied by a save
// that cannot write it.
bool read_only_target_touch(const char* name) {
  IO_REC io{};
  if (!io_from_template(&io)) return false;
  if (RPb_IO_open(&io, name, RX_ACCESS_READ) < 0 && io_create(&io, name) < 0) {
    RX_ERR(RXE_FILE_CREATE_FAILED, 0, 0);
    return false;
  }
  RPb_IO_close(&io);
  return true;
}

bool block_attach(IO_REC* io, const SaveBlock& b) {
  if (io_memory_attach(io, b.block, b.capacity, b.valid_length) != 0) return true;
  if (b.block == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, b.capacity, b.valid_length);
  return false;
}

// The high-water mark of a block nothing was written to.
int32_t block_length(const SaveBlock& b) {
  IO_REC io{};
  io_memory_attach(&io, b.block, b.capacity, b.valid_length);
  return io_data_length_get(&io);
}

// A writer that reports failure without saying why still fails the save.
void write_run(IO_REC* io, const SaveTarget& target, int32_t a, int32_t b, int32_t option) {
  uint8_t flags[kMaxFlagsBlock] = {};
  filter_image_flags_get(target.filter_index, flags);
  const int32_t result = target.write(io, flags, a, b, option);
  if (result != 0 && RPb_AF_error_check() == 0) RX_ERR(RXE_CANT_WRITE_FILE, result, 0);
}

// The callback data of one save, released on every path out.
struct CallbackScope {
  SAVE_CB_DATA data{};
  CallbackScope() = default;
  CallbackScope(const CallbackScope&) = delete;
  CallbackScope& operator=(const CallbackScope&) = delete;
  ~CallbackScope() { save_cb_data_free(&data); }
};

}  // namespace

int32_t save_filter_by_extension(const char* name) {
  char ext[kExtensionMax + 1] = {};
  size_t n = 0;
  if (name == nullptr || !extension_of(name, ext, &n)) return RXE_SAVE_EXTENSION_UNKNOWN;
  for (int32_t i = 0; i < kBuiltinFilterCount; ++i) {
    const char* list = filter_extensions(i);
    if (list != nullptr && list_has(list, ext, n)) return i;
  }
  return RXE_SAVE_EXTENSION_UNKNOWN;
}

SaveTarget save_target_of(int32_t filter_index) {
  return SaveTarget{filter_write(filter_index), filter_multi_page(filter_index), filter_index};
}

int32_t save_file_run(IMAGE_REC* record, const char* name, const SaveTarget& target,
                      int32_t option) {
  IO_REC io{};
  CallbackScope cb;
  if (target.write == nullptr && record->lock == 0 && !read_only_target_touch(name))
    return RPb_AF_error_check();
  if (!save_possible(record, target) || !io_from_template(&io) ||
      save_cb_data_init(&io, &cb.data, record) != 0 ||
      !file_prepare(&io, name, target.multi_page))
    return RPb_AF_error_check();
  write_run(&io, target, 0, 1, option);
  // Data the platform could not flush at close is data lost.
  if (RPb_IO_close(&io) != 0 && RPb_AF_error_check() == 0) RX_ERR(RXE_FILE_CLOSE_FAILED, 0, 0);
  return RPb_AF_error_check();
}

int32_t save_memory_run(IMAGE_REC* record, const SaveBlock& block, const SaveTarget& target,
                        int32_t a, int32_t b, int32_t option, int32_t* size_out) {
  if (size_out != nullptr) *size_out = 0;
  IO_REC io{};
  CallbackScope cb;
  if (!io_from_template(&io)) return RPb_AF_error_check();
  if (block_attach(&io, block) && save_possible(record, target) &&
      save_cb_data_init(&io, &cb.data, record) == 0)
    write_run(&io, target, a, b, option);
  if (size_out != nullptr) *size_out = io_data_length_get(&io);
  return RPb_AF_error_check();
}

}  // namespace rx

using namespace rx;

namespace {

int32_t format_code_of(uint32_t format_word) {
  return static_cast<int32_t>(format_word & kFormatCodeMask);
}
int32_t option_of(uint32_t format_word) { return static_cast<int32_t>(format_word >> kOptionShift); }

}  // namespace

extern "C" int32_t RX_image_save_file(RX_HIMAGE image, const char* name, uint32_t format_word) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (name == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t code = format_code_of(format_word);
  // A failed choice is the status code to report.
  const int32_t index =
      code != RX_FORMAT_UNKNOWN ? filter_search(code) : save_filter_by_extension(name);
  if (index < 0) {
    RX_ERR(index, code, 0);
    return RPb_AF_error_check();
  }
  return save_file_run(record, name, save_target_of(index), option_of(format_word));
}

extern "C" int32_t RX_image_save_memory(RX_HIMAGE image, void* block, int32_t valid_length,
                                        int32_t capacity, int32_t a, int32_t b,
                                        uint32_t format_word, int32_t* size_out) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const SaveBlock target_block{block, valid_length, capacity};
  const int32_t code = format_code_of(format_word);
  // RX_FORMAT_UNKNOWN asks for a choice by extension, which a block does not
  // have.
  const int32_t index = code != RX_FORMAT_UNKNOWN ? filter_search(code) : RXE_INVALID_IMAGE_FORMAT;
  if (index < 0) {
    RX_ERR(RXE_INVALID_IMAGE_FORMAT, code, 0);
    if (size_out != nullptr) *size_out = block_length(target_block);
    return RPb_AF_error_check();
  }
  return save_memory_run(record, target_block, save_target_of(index), a, b,
                         option_of(format_word), size_out);
}
