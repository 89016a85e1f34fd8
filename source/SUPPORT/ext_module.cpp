// Loading and unloading extension modules. A load either registers the
// whole module or leaves the registry as it was: the record is linked only
// once every item has been read, and a failure after the module's attach
// tells it it is detached before the library is released.
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "SUPPORT/error.h"
#include "SUPPORT/ext.h"
#include "SUPPORT/ext_record.h"
#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "platform/kernel.h"
#include "platform/module_scope.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\ext_module.cpp");

namespace rx {
namespace {

// A module declares at most this many items; more is taken for a broken
// module rather than allocated.
constexpr int32_t kMaxItems = 256;
// The private block a module may ask the engine to keep for it.
constexpr uintptr_t kMaxPrivateBlock = 1u << 20;
// Format codes an extension filter may use: its index (code + 4096) must
// stay clear of the built-in rows and inside 32 bits.
constexpr uintptr_t kMaxExtensionFormatCode = 0xFFFF;

struct Module {
  void* library = nullptr;
  RX_EXT_ENTRY_FN entry = nullptr;
  RX_EXT_INFO_GET_FN info_get = nullptr;
  RX_EXT_INFO_SET_FN info_set = nullptr;
  bool attached = false;

  // Detaches and releases a module whose load failed.
  void abandon() {
    if (attached) entry(instance_module(), RX_EXT_DETACH, pk_process_id());
    pk_module_free(library);
  }
};

uintptr_t get(const Module& m, int32_t id) {
  uintptr_t value = 0;
  m.info_get(id, &value);
  return value;
}

template <typename Fn>
Fn get_fn(const Module& m, int32_t id) {
  return reinterpret_cast<Fn>(get(m, id));
}

// Any address of the engine's own names the library it lives in.
const char kEngineAnchor = 0;

int32_t open_module(const char* path, Module* m) {
  pk_module_expose(&kEngineAnchor);
  m->library = pk_module_load(path);
  if (m->library == nullptr) {
    pk_debug_printf("extension %s: %s\n", path != nullptr ? path : "(null)", pk_module_error());
    return RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  }
  m->entry = reinterpret_cast<RX_EXT_ENTRY_FN>(pk_module_symbol(m->library, RX_EXT_ENTRY_NAME));
  m->info_get =
      reinterpret_cast<RX_EXT_INFO_GET_FN>(pk_module_symbol(m->library, RX_EXT_INFO_GET_NAME));
  m->info_set =
      reinterpret_cast<RX_EXT_INFO_SET_FN>(pk_module_symbol(m->library, RX_EXT_INFO_SET_NAME));
  if (m->entry == nullptr || m->info_get == nullptr || m->info_set == nullptr) {
    m->abandon();
    return RX_ERR(RXE_EXTENSION_INVALID, 0, 0);
  }
  if (m->entry(instance_module(), RX_EXT_ATTACH, pk_process_id()) == 0) {
    m->abandon();
    return RX_ERR(RXE_EXTENSION_INIT_FAILED, 0, 0);
  }
  m->attached = true;
  return 0;
}

int32_t read_filter(const Module& m, uint32_t tag, int32_t n, EXT_ITEM* item) {
  const uintptr_t code = get(m, RX_EXT_INFO_FORMAT_CODE);
  if (code > kMaxExtensionFormatCode) return RX_ERR(RXE_EXTENSION_INVALID, n, code);
  FILTER_RECORD& f = item->filter;
  f.format_code = static_cast<int32_t>(code);
  f.info = get_fn<RX_INFO_FN>(m, RX_EXT_INFO_INFO_FN);
  f.read = get_fn<RX_READ_FN>(m, RX_EXT_INFO_READ_FN);
  f.detect = get_fn<RX_DETECT_FN>(m, RX_EXT_INFO_DETECT_FN);
  f.page_count = get_fn<RX_PAGE_COUNT_FN>(m, RX_EXT_INFO_PAGE_COUNT_FN);
  item->spare = get_fn<void (*)(void)>(m, RX_EXT_INFO_SPARE_FN);
  f.write = get_fn<RX_WRITE_FN>(m, RX_EXT_INFO_WRITE_FN);
  const uintptr_t flags_size = get(m, RX_EXT_INFO_FLAGS_SIZE);
  item->extra = get(m, RX_EXT_INFO_EXTRA);
  // The pipelines copy a filter's flags into a block of kMaxFlagsBlock
  // bytes; a larger block could not reach the filter whole.
  if (flags_size > kMaxFlagsBlock) return RX_ERR(RXE_EXTENSION_INVALID, n, flags_size);
  if (flags_size > 0) {
    f.flags_block = RPb_AF_mem_alloc(tag, flags_size);
    if (f.flags_block == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, flags_size, 0);
    std::memset(f.flags_block, 0, flags_size);
    m.info_get(RX_EXT_INFO_FLAGS, f.flags_block);
  }
  f.flags_size = static_cast<uint32_t>(flags_size);
  return 0;
}

void read_codec(const Module& m, EXT_ITEM* item) {
  item->compression = static_cast<int32_t>(get(m, RX_EXT_INFO_COMPRESSION));
  item->encoder = get_fn<RX_CODEC_ENCODE_FN>(m, RX_EXT_INFO_ENCODER);
  item->decoder = get_fn<RX_CODEC_DECODE_FN>(m, RX_EXT_INFO_DECODER);
  item->extra = get(m, RX_EXT_INFO_EXTRA);
}

int32_t read_items(const Module& m, uint32_t tag, EXT_RECORD* x) {
  for (int32_t n = 0; n < x->item_count; ++n) {
    EXT_ITEM* item = &x->items[n];
    m.info_set(RX_EXT_INFO_ITEM_SELECT, static_cast<uintptr_t>(n));
    item->detect_switch = 1;
    item->kind = static_cast<int32_t>(get(m, RX_EXT_INFO_ITEM_KIND));
    if (item->kind == RX_EXT_ITEM_FILTER) {
      if (int32_t code = read_filter(m, tag, n, item); code != 0) return code;
    } else if (item->kind == RX_EXT_ITEM_CODEC) {
      read_codec(m, item);
    }
  }
  return 0;
}

int32_t read_private_block(const Module& m, uint32_t tag, EXT_RECORD* x) {
  const uintptr_t size = get(m, RX_EXT_INFO_PRIVATE_SIZE);
  if (size == 0) return 0;
  if (size > kMaxPrivateBlock) return RX_ERR(RXE_EXTENSION_INVALID, 0, size);
  x->private_block = RPb_AF_mem_alloc(tag, size);
  if (x->private_block == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, size, 0);
  std::memset(x->private_block, 0, size);
  x->private_size = static_cast<uint32_t>(size);
  m.info_get(RX_EXT_INFO_PRIVATE, x->private_block);
  return 0;
}

// Frees what a record holds under the registry's tag, and the record.
void record_free(uint32_t tag, EXT_RECORD* x) {
  for (int32_t n = 0; n < x->item_count; ++n)
    if (x->items[n].filter.flags_block != nullptr)
      RPb_AF_mem_free(tag, x->items[n].filter.flags_block);
  RPb_AF_mem_free(tag, x->name);
  RPb_AF_mem_free(tag, x->private_block);
  RPb_AF_mem_free(tag, x->scratch);
  RPb_AF_mem_free(tag, x);
}

// Builds the record of an attached module; null (after pushing why, and
// freeing what it took) on failure.
EXT_RECORD* record_build(const Module& m, uint32_t tag, const char* path) {
  const uintptr_t count = get(m, RX_EXT_INFO_ITEM_COUNT);
  if (count > kMaxItems) {
    RX_ERR(RXE_EXTENSION_INVALID, 0, count);
    return nullptr;
  }
  const size_t bytes = sizeof(EXT_RECORD) + sizeof(EXT_ITEM) * count;
  auto* x = static_cast<EXT_RECORD*>(RPb_AF_mem_alloc(tag, bytes));
  if (x == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, bytes, 0);
    return nullptr;
  }
  std::memset(x, 0, bytes);
  x->items = reinterpret_cast<EXT_ITEM*>(x + 1);
  x->item_count = static_cast<int32_t>(count);
  const size_t name_bytes = std::strlen(path) + 1;
  x->name = static_cast<char*>(RPb_AF_mem_alloc(tag, name_bytes));
  int32_t code = x->name != nullptr ? 0 : RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, name_bytes, 0);
  if (code == 0) {
    std::memcpy(x->name, path, name_bytes);
    x->module = m.library;
    x->entry = m.entry;
    x->info_get = m.info_get;
    x->info_set = m.info_set;
    for (int32_t w = 0; w < 3; ++w) x->words[w] = get(m, RX_EXT_INFO_WORD_1 + w);
    code = read_private_block(m, tag, x);
  }
  if (code == 0) code = read_items(m, tag, x);
  if (code == 0) return x;
  record_free(tag, x);
  return nullptr;
}

void release(EXT_RECORD* x) {
  x->entry(instance_module(), RX_EXT_DETACH, pk_process_id());
  pk_module_free(x->module);
}

// The n-th loaded record (0 = newest), or null.
EXT_RECORD* record_at(int32_t n) {
  EXT_REGISTRY* r = extension_registry();
  EXT_RECORD* x = r != nullptr && n >= 0 ? r->head : nullptr;
  for (; x != nullptr && n > 0; --n) x = x->next;
  return x;
}

int32_t load(const char* path) {
  EXT_REGISTRY* r = extension_registry();
  if (r == nullptr) return RX_ERR(RXE_INSTANCE_FAILURE, 0, 0);
  Module m;
  if (int32_t code = open_module(path, &m); code != 0) return code;
  EXT_RECORD* x = record_build(m, r->tag, path);
  if (x == nullptr) {
    m.abandon();
    return RPb_AF_error_check();
  }
  x->next = r->head;
  r->head = x;
  ++r->count;
  return 0;
}

int32_t unload(const char* path) {
  EXT_REGISTRY* r = extension_registry();
  EXT_RECORD** link = r != nullptr ? &r->head : nullptr;
  while (link != nullptr && *link != nullptr && strcasecmp((*link)->name, path) != 0)
    link = &(*link)->next;
  if (link == nullptr || *link == nullptr || path == nullptr)
    return RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  EXT_RECORD* x = *link;
  *link = x->next;
  --r->count;
  release(x);
  record_free(r->tag, x);
  return 0;
}

}  // namespace

void extension_unload_all() {
  EXT_REGISTRY* r = extension_registry();
  if (r == nullptr) return;
  while (EXT_RECORD* x = r->head) {
    r->head = x->next;
    --r->count;
    release(x);
    record_free(r->tag, x);
  }
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_extension_load(const char* path) {
  RPb_AF_error_clear();
  if (path == nullptr || *path == '\0') RX_ERR(RXE_EXTENSION_NOT_PRESENT, 0, 0);
  else load(path);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_extension_unload(const char* path) {
  RPb_AF_error_clear();
  unload(path != nullptr ? path : "");
  return RPb_AF_error_check();
}

extern "C" int32_t RX_extension_count_get(int32_t* count) {
  RPb_AF_error_clear();
  const EXT_REGISTRY* r = extension_registry();
  if (count == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else *count = r != nullptr ? r->count : 0;
  return RPb_AF_error_check();
}

extern "C" int32_t RX_extension_get(int32_t n, char* path, uint32_t path_size,
                                    int32_t* item_count) {
  RPb_AF_error_clear();
  const EXT_RECORD* x = record_at(n);
  if (x == nullptr) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, n, 0);
    return RPb_AF_error_check();
  }
  if (path != nullptr && path_size > 0) {
    const size_t len = std::min<size_t>(std::strlen(x->name), path_size - 1);
    std::memcpy(path, x->name, len);
    path[len] = '\0';
  }
  if (item_count != nullptr) *item_count = x->item_count;
  return RPb_AF_error_check();
}

extern "C" int32_t RX_extension_item_get(int32_t n, int32_t item, int32_t* kind, int32_t* code,
                                         int32_t* abilities) {
  RPb_AF_error_clear();
  const EXT_RECORD* x = record_at(n);
  if (x == nullptr || item < 0 || item >= x->item_count) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, n, item);
    return RPb_AF_error_check();
  }
  const EXT_ITEM& i = x->items[item];
  const bool filter = i.kind == RX_EXT_ITEM_FILTER, codec = i.kind == RX_EXT_ITEM_CODEC;
  const bool reads = filter ? i.filter.read != nullptr : codec && i.decoder != nullptr;
  const bool writes = filter ? i.filter.write != nullptr : codec && i.encoder != nullptr;
  if (kind != nullptr) *kind = i.kind;
  if (code != nullptr) *code = filter ? i.filter.format_code : codec ? i.compression : 0;
  if (abilities != nullptr)
    *abilities = (reads ? RX_EXT_ABLE_READ : 0) | (writes ? RX_EXT_ABLE_WRITE : 0);
  return RPb_AF_error_check();
}
