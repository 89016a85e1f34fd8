// Image records: their life cycle, the registry of live records behind
// handle validation, the record accessors extensions use, and the public
// image create, delete and query functions.
#include <algorithm>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\rxh_util.cpp");

namespace rx {
namespace {

// Handles are looked up here before their memory is touched, so a stale
// or made-up handle is refused without reading it. The sorted addresses
// live in a block of the registry's own tag.
struct Registry {
  uint32_t tag;
  uint32_t count;
  uint32_t capacity;
  uintptr_t* items;
};

Registry g_registry;

constexpr uint32_t kRegistryFirstCapacity = 16;

// Engine stop releases every tagged block, this one too; the records it
// listed went with it.
void registry_refresh() {
  if (g_registry.items != nullptr && mem_block_flags(g_registry.tag, g_registry.items) == 0)
    g_registry = Registry{};
}

uintptr_t* registry_slot(uintptr_t address) {
  return std::lower_bound(g_registry.items, g_registry.items + g_registry.count, address);
}

bool registry_grow() {
  if (g_registry.tag == 0) g_registry.tag = RPb_AF_mem_unique_tag_get();
  const uint32_t capacity = std::max(kRegistryFirstCapacity, g_registry.capacity * 2);
  void* grown = RPb_AF_mem_realloc(g_registry.tag, g_registry.items, capacity * sizeof(uintptr_t));
  if (grown == nullptr) return false;
  g_registry.items = static_cast<uintptr_t*>(grown);
  g_registry.capacity = capacity;
  return true;
}

bool registry_insert(IMAGE_REC* record) {
  registry_refresh();
  if (g_registry.count == g_registry.capacity && !registry_grow()) return false;
  const uintptr_t address = handle_of(record);
  uintptr_t* slot = registry_slot(address);
  uintptr_t* end = g_registry.items + g_registry.count;
  if (slot != end && *slot == address) return true;
  std::memmove(slot + 1, slot, static_cast<size_t>(end - slot) * sizeof(uintptr_t));
  *slot = address;
  ++g_registry.count;
  return true;
}

void resolution_defaults(IMAGE_REC* record) {
  record->x_res[0] = 300;
  record->x_res[1] = 1;
  record->y_res[0] = 300;
  record->y_res[1] = 1;
  record->res_units = 3;
  record->orientation = 1;
}

void display_defaults(IMAGE_REC* record) {
  DISPLAY_ATTR& d = record->display;
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const int32_t right = h->biWidth - 1;
  const int32_t bottom = h->biHeight - 1;
  d.image_rect[0] = d.image_rect[1] = 0;
  d.image_rect[2] = right;
  d.image_rect[3] = bottom;
  // The device rectangle excludes its right and bottom edges: the image
  // at its own size.
  d.device_rect[0] = d.device_rect[1] = 0.0;
  d.device_rect[2] = h->biWidth;
  d.device_rect[3] = h->biHeight;
  d.alias_mode = 0;
  d.alias_quality = 100;
  d.alias_variant = 0;
  d.rop = kRopSourceCopy;
  std::memset(d.background_color, 127, sizeof d.background_color);
  d.attr_word2 = 100;
  d.attr_word3 = 1;
  for (uint32_t i = 0; i < 256; ++i)
    d.lut_red[i] = d.lut_green[i] = d.lut_blue[i] = static_cast<uint8_t>(i);
}

// The info block's tag may be anything a reader chose, but never the
// record's own: freeing that would free the record under our feet.
void info_release(IMAGE_REC* record) {
  if (record->info_tag != 0 && record->info_tag != record->tag)
    RPb_AF_mem_free_all(record->info_tag);
}

const RX_BITMAPINFOHEADER* header_or_null(IMAGE_REC* record) {
  return record != nullptr && record->dib != nullptr ? dib_header(record->dib) : nullptr;
}

}  // namespace

void image_registry_add(IMAGE_REC* record) { registry_insert(record); }

void image_registry_remove(IMAGE_REC* record) {
  registry_refresh();
  const uintptr_t address = handle_of(record);
  uintptr_t* slot = registry_slot(address);
  uintptr_t* end = g_registry.items + g_registry.count;
  if (slot == end || *slot != address) return;
  std::memmove(slot, slot + 1, static_cast<size_t>(end - slot - 1) * sizeof(uintptr_t));
  --g_registry.count;
}

bool image_registry_contains(const void* address) {
  registry_refresh();
  const uintptr_t a = reinterpret_cast<uintptr_t>(address);
  const uintptr_t* slot = registry_slot(a);
  return slot != g_registry.items + g_registry.count && *slot == a;
}

IMAGE_REC* record_create(uint32_t tag) {
  auto* record = static_cast<IMAGE_REC*>(RPb_AF_mem_alloc(tag, sizeof(IMAGE_REC)));
  if (record == nullptr) {
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, sizeof(IMAGE_REC), 0);
    return nullptr;
  }
  std::memset(record, 0, sizeof(IMAGE_REC));
  record->tag = tag;
  resolution_defaults(record);
  if (!registry_insert(record)) {
    RPb_AF_mem_free(tag, record);
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, sizeof(IMAGE_REC), 0);
    return nullptr;
  }
  return record;
}

int32_t record_lock(IMAGE_REC* record) {
  if (record == nullptr || record->lock != 0) return 0;
  record->lock = 1;
  return 1;
}

void record_unlock(IMAGE_REC* record) {
  if (record != nullptr && record->lock > 0) --record->lock;
}

IMAGE_REC* image_enter(RX_HIMAGE image) {
  RPb_AF_error_clear();
  return RPb_iRX_image_is_valid(image) ? record_of(image) : nullptr;
}

RX_BITMAPINFOHEADER* image_header(IMAGE_REC* record) {
  if (record->dib == nullptr) {
    RX_ERR(RXE_DIB_POINTER_NULL, 0, 0);
    return nullptr;
  }
  return dib_header(record->dib);
}

}  // namespace rx

using namespace rx;

// ---- Validation and life cycle ---------------------------------------------

extern "C" int32_t RPb_iRX_image_is_valid(RX_HIMAGE image) {
  const auto value = static_cast<intptr_t>(image);
  if (value >= -255 && value <= 255) return 0;
  if (!image_registry_contains(record_of(image))) return 0;
  return std::memcmp(record_of(image)->signature, kImageSignature, 4) == 0 ? 1 : 0;
}

extern "C" int32_t RPb_image_associate(void* dib, IMAGE_REC* record, int32_t init) {
  if (record == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  if (init != 0 && dib == nullptr) return RX_ERR(RXE_DIB_POINTER_NULL, 0, 0);
  std::memcpy(record->signature, kImageSignature, 4);
  record->dib = dib;
  if (init == 0) return 0;
  display_defaults(record);
  resolution_defaults(record);
  return RPb_logical_palette_update(record);
}

extern "C" int32_t RPb_iRX_image_delete(IMAGE_REC* record) {
  if (record == nullptr || !image_registry_contains(record)) return RPb_AF_error_check();
  // A record that an operation is rebuilding stays until the operation ends.
  if (record->lock != 0) {
    RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
    return RPb_AF_error_check();
  }
  info_release(record);
  if (record->display.logical_palette != nullptr)
    RPb_AF_mem_free(record->tag, record->display.logical_palette);
  RPb_DIB_free(record->dib, record);
  image_registry_remove(record);
  const uint32_t tag = record->tag;
  std::memset(record, 0, sizeof(IMAGE_REC));
  RPb_AF_mem_free_all(tag);
  return RPb_AF_error_check();
}

// ---- Attached format information -------------------------------------------

extern "C" void RPb_image_info_type_set(IMAGE_REC* record, uint32_t type) {
  if (record != nullptr) record->info_type = type;
}

extern "C" uint32_t RPb_image_info_type_get(IMAGE_REC* record) {
  return record != nullptr ? record->info_type : 0;
}

extern "C" void RPb_image_info_mem_tag_set(IMAGE_REC* record, uint32_t tag) {
  if (record == nullptr || record->info_tag == tag) return;
  info_release(record);
  record->info_tag = tag;
}

extern "C" uint32_t RPb_image_info_mem_tag_get(IMAGE_REC* record) {
  return record != nullptr ? record->info_tag : 0;
}

extern "C" void RPb_image_info_set(IMAGE_REC* record, void* info) {
  if (record != nullptr) record->info = info;
}

extern "C" void* RPb_image_info_get(IMAGE_REC* record) {
  return record != nullptr ? record->info : nullptr;
}

// ---- Record accessors ------------------------------------------------------

extern "C" void* RPb_DIB_pointer_get(IMAGE_REC* record) {
  return record != nullptr ? record->dib : nullptr;
}

extern "C" uint8_t* RPb_image_pointer_get(IMAGE_REC* record) {
  return header_or_null(record) ? RPb_DIB_image_pointer_get(record->dib) : nullptr;
}

extern "C" RX_RGBQUAD* RPb_palette_pointer_get(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = header_or_null(record);
  if (h == nullptr || dib_palette_entries(h->biBitCount, h->biCompression) == 0) return nullptr;
  return dib_palette(record->dib);
}

extern "C" int32_t RPb_width_get(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = header_or_null(record);
  return h ? h->biWidth : 0;
}

extern "C" int32_t RPb_height_get(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = header_or_null(record);
  return h ? h->biHeight : 0;
}

extern "C" int32_t RPb_bits_per_pixel_get(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = header_or_null(record);
  return h ? h->biBitCount : 0;
}

extern "C" int32_t RPb_bytes_per_raster_get(IMAGE_REC* record) {
  return header_or_null(record) ? RPb_DIB_bytes_per_raster_get(record->dib) : 0;
}

extern "C" uint8_t* RPb_image_run_row_get(IMAGE_REC* record, int32_t dib_row) {
  if (record == nullptr) return nullptr;
  return const_cast<uint8_t*>(runs_row(record, dib_row));
}

// ---- Public image functions ------------------------------------------------

namespace {

// Takes over a checked copy of the caller's DIB; null on failure, with
// everything under the tag left for the caller's guard to free.
IMAGE_REC* image_from_copy(uint32_t tag, void* copy) {
  IMAGE_REC* record = record_create(tag);
  if (record == nullptr) return nullptr;
  record->dib = copy;
  const bool built = !dib_is_runs(copy) || runs_table_build(record) == 0;
  if (built && RPb_image_associate(record->dib, record, 1) == 0) return record;
  image_registry_remove(record);
  return nullptr;
}

}  // namespace

extern "C" int32_t RX_image_create_from_DIB(const void* dib, size_t dib_bytes,
                                            RX_HIMAGE* image_out) {
  RPb_AF_error_clear();
  if (image_out == nullptr || dib == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  *image_out = 0;
  TagGuard tag;
  void* copy = dib_copy_checked(tag.tag(), dib, dib_bytes);
  IMAGE_REC* record = copy != nullptr ? image_from_copy(tag.tag(), copy) : nullptr;
  if (record != nullptr) {
    tag.release();
    *image_out = handle_of(record);
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_delete(RX_HIMAGE image) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  return RPb_iRX_image_delete(record);
}

extern "C" int32_t RX_image_dimensions_get(RX_HIMAGE image, int32_t* width, int32_t* height,
                                           int32_t* bits) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h != nullptr) {
    if (width) *width = h->biWidth;
    if (height) *height = h->biHeight;
    if (bits) *bits = h->biBitCount;
  }
  return RPb_AF_error_check();
}

extern "C" int32_t RX_image_compression_type_get(RX_HIMAGE image, int32_t* code) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h != nullptr && code == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  if (h != nullptr && code != nullptr) *code = static_cast<int32_t>(h->biCompression);
  return RPb_AF_error_check();
}
