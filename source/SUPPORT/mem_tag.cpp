// The tag registry: 32 buckets chosen by the tag's low five bits, each a
// chain of tag records (the first one static); each tag owns a chain of
// 13-slot block tables. Small blocks come from the C heap, larger ones from
// the platform's global heap, and each slot records which one.
#include "SUPPORT/mem_tag.h"

#include <cstdlib>
#include <cstring>

#include "platform/kernel.h"

namespace rx {
namespace {

constexpr int kBuckets = 32;
constexpr int kSlotsPerTable = 13;
constexpr uint32_t kTagMark = 0x10000000u;

struct BlockSlot {
  uint32_t flags;  // 0 = free slot
  size_t size;
  void* block;
};

struct BlockTable {
  int32_t used;
  BlockSlot slots[kSlotsPerTable];
  BlockTable* prev;
  BlockTable* next;
};

struct TagRecord {
  uint32_t tag;  // 0 = unused (only the static head of a bucket)
  BlockTable* tables;
  TagRecord* prev;
  TagRecord* next;
};

TagRecord g_buckets[kBuckets];
uint32_t g_counter = 0;
// The largest block handed out; see mem_alloc_limit_set.
size_t g_alloc_limit = SIZE_MAX;

TagRecord* find_record(uint32_t tag) {
  if (tag == 0) return nullptr;
  for (TagRecord* r = &g_buckets[tag & 31]; r != nullptr; r = r->next)
    if (r->tag == tag) return r;
  return nullptr;
}

TagRecord* find_or_add_record(uint32_t tag) {
  if (TagRecord* r = find_record(tag)) return r;
  TagRecord* head = &g_buckets[tag & 31];
  if (head->tag == 0) {
    head->tag = tag;
    head->tables = nullptr;
    return head;
  }
  auto* r = static_cast<TagRecord*>(std::calloc(1, sizeof(TagRecord)));
  if (r == nullptr) return nullptr;
  r->tag = tag;
  r->prev = head;
  r->next = head->next;
  if (head->next) head->next->prev = r;
  head->next = r;
  return r;
}

void drop_record_if_empty(TagRecord* r) {
  if (r->tables != nullptr) return;
  TagRecord* head = &g_buckets[r->tag & 31];
  if (r == head) {
    head->tag = 0;  // the static head stays linked to the rest of the chain
    return;
  }
  r->prev->next = r->next;
  if (r->next) r->next->prev = r->prev;
  std::free(r);
}

BlockSlot* find_slot(TagRecord* r, const void* block, BlockTable** table_out) {
  for (BlockTable* t = r->tables; t != nullptr; t = t->next)
    for (BlockSlot& s : t->slots)
      if (s.flags != 0 && s.block == block) {
        if (table_out) *table_out = t;
        return &s;
      }
  return nullptr;
}

BlockSlot* free_slot(TagRecord* r, BlockTable** table_out) {
  for (BlockTable* t = r->tables; t != nullptr; t = t->next) {
    if (t->used >= kSlotsPerTable) continue;
    for (BlockSlot& s : t->slots)
      if (s.flags == 0) {
        *table_out = t;
        return &s;
      }
  }
  // A new table is pushed at the head of the chain.
  auto* t = static_cast<BlockTable*>(std::calloc(1, sizeof(BlockTable)));
  if (t == nullptr) return nullptr;
  t->next = r->tables;
  if (r->tables) r->tables->prev = t;
  r->tables = t;
  *table_out = t;
  return &t->slots[0];
}

void release_block(uint32_t flags, void* block) {
  if (flags == kHeapGlobal) pk_global_free(block);
  else std::free(block);
}

void unlink_table(TagRecord* r, BlockTable* t) {
  if (t->prev) t->prev->next = t->next;
  else r->tables = t->next;
  if (t->next) t->next->prev = t->prev;
  std::free(t);
}

// Releases every block of a record and its tables; returns the block count.
int32_t release_record_blocks(TagRecord* r) {
  int32_t n = 0;
  BlockTable* t = r->tables;
  while (t != nullptr) {
    for (BlockSlot& s : t->slots)
      if (s.flags != 0) {
        release_block(s.flags, s.block);
        ++n;
      }
    BlockTable* next = t->next;
    std::free(t);
    t = next;
  }
  r->tables = nullptr;
  return n;
}

// A block from the heap its size calls for, recorded under the tag.
void* tagged_alloc(uint32_t tag, size_t size, bool zeroed) {
  if (tag == 0 || size > g_alloc_limit) return nullptr;
  const uint32_t flags = size <= kSmallBlockMax ? kHeapC : kHeapGlobal;
  const size_t bytes = size == 0 ? 1 : size;
  void* block = nullptr;
  if (flags == kHeapC) block = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
  else block = zeroed ? pk_global_alloc_zeroed(size) : pk_global_alloc(size);
  if (block == nullptr) return nullptr;
  TagRecord* r = find_or_add_record(tag);
  BlockTable* t = nullptr;
  BlockSlot* s = r ? free_slot(r, &t) : nullptr;
  if (s == nullptr) {
    // No bookkeeping memory: give the block back.
    release_block(flags, block);
    if (r) drop_record_if_empty(r);
    return nullptr;
  }
  *s = BlockSlot{flags, size, block};
  ++t->used;
  return block;
}

}  // namespace

void* mem_alloc_zeroed(uint32_t tag, size_t size) { return tagged_alloc(tag, size, true); }

size_t mem_alloc_limit_set(size_t limit) {
  const size_t previous = g_alloc_limit;
  g_alloc_limit = limit;
  return previous;
}

int32_t mem_release_everything() {
  int32_t n = 0;
  for (TagRecord& head : g_buckets) {
    TagRecord* r = head.next;
    while (r != nullptr) {
      TagRecord* next = r->next;
      n += release_record_blocks(r);
      std::free(r);
      r = next;
    }
    n += release_record_blocks(&head);
    head = TagRecord{};
  }
  return n;
}

uint32_t mem_block_flags(uint32_t tag, const void* block) {
  TagRecord* r = find_record(tag);
  if (r == nullptr) return 0;
  BlockSlot* s = find_slot(r, block, nullptr);
  return s ? s->flags : 0;
}

int32_t mem_live_block_count() {
  int32_t n = 0;
  for (TagRecord& head : g_buckets)
    for (TagRecord* r = &head; r != nullptr; r = r->next)
      for (BlockTable* t = r->tables; t != nullptr; t = t->next) n += t->used;
  return n;
}

}  // namespace rx

using namespace rx;

extern "C" uint32_t RPb_AF_mem_unique_tag_get(void) {
  uint32_t tag = g_counter | kTagMark;
  ++g_counter;
  return tag;
}

extern "C" void* RPb_AF_mem_alloc(uint32_t tag, size_t size) {
  return tagged_alloc(tag, size, false);
}

extern "C" void* RPb_AF_mem_realloc(uint32_t tag, void* block, size_t size) {
  if (block == nullptr) return RPb_AF_mem_alloc(tag, size);
  if (size > g_alloc_limit) return nullptr;
  TagRecord* r = find_record(tag);
  BlockSlot* s = r ? find_slot(r, block, nullptr) : nullptr;
  if (s == nullptr) return nullptr;
  void* moved = nullptr;
  if (s->flags == kHeapC && size < kCHeapGrowLimit) {
    moved = std::realloc(block, size == 0 ? 1 : size);
    if (moved == nullptr) return nullptr;
  } else if (s->flags == kHeapC) {
    moved = pk_global_alloc(size);
    if (moved == nullptr) return nullptr;
    std::memcpy(moved, block, s->size < size ? s->size : size);
    std::free(block);
    s->flags = kHeapGlobal;
  } else {
    moved = pk_global_realloc(block, size);
    if (moved == nullptr) return nullptr;
  }
  s->block = moved;
  s->size = size;
  return moved;
}

extern "C" int32_t RPb_AF_mem_free(uint32_t tag, void* block) {
  TagRecord* r = find_record(tag);
  if (r == nullptr || block == nullptr) return 0;
  BlockTable* t = nullptr;
  BlockSlot* s = find_slot(r, block, &t);
  if (s == nullptr) return 0;
  release_block(s->flags, s->block);
  *s = BlockSlot{};
  if (--t->used == 0) unlink_table(r, t);
  drop_record_if_empty(r);
  return 0;
}

extern "C" int32_t RPb_AF_mem_free_all(uint32_t tag) {
  TagRecord* r = find_record(tag);
  if (r == nullptr) return -1;
  int32_t n = release_record_blocks(r);
  drop_record_if_empty(r);
  return n;
}
