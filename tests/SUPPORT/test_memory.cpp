// Tagged memory and the process instance tables.
#include <cstring>

#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

using rx::kHeapC;
using rx::kHeapGlobal;

class MemoryTags : public EngineTest {};

// Two tags whose low five bits agree, as the counter hands out 32 apart.
static void bucket_mates(uint32_t* a, uint32_t* b) {
  *a = RPb_AF_mem_unique_tag_get();
  do *b = RPb_AF_mem_unique_tag_get();
  while ((*b & 31) != (*a & 31));
}

TEST_F(MemoryTags, TagsAreUniqueAndMarked) {
  uint32_t a = RPb_AF_mem_unique_tag_get(), b = RPb_AF_mem_unique_tag_get();
  EXPECT_NE(a, b);
  EXPECT_EQ(a & 0x10000000u, 0x10000000u);
}

TEST_F(MemoryTags, TagsSharingABucketAreIndependent) {
  uint32_t a, b;
  bucket_mates(&a, &b);
  auto* pa = static_cast<char*>(RPb_AF_mem_alloc(a, 100));
  auto* pb = static_cast<char*>(RPb_AF_mem_alloc(b, 100));
  auto* pb2 = static_cast<char*>(RPb_AF_mem_alloc(b, 2000));
  ASSERT_TRUE(pa && pb && pb2);
  std::memset(pb, 0x5A, 100);
  EXPECT_EQ(RPb_AF_mem_free_all(a), 1);
  EXPECT_EQ(rx::mem_block_flags(b, pb), kHeapC);
  EXPECT_EQ(rx::mem_block_flags(b, pb2), kHeapGlobal);
  EXPECT_EQ(pb[99], 0x5A);
  // Freeing the first tag of the bucket keeps the chained second one found.
  EXPECT_EQ(RPb_AF_mem_free_all(b), 2);
  EXPECT_EQ(RPb_AF_mem_free_all(b), -1);
}

TEST_F(MemoryTags, FreeOneBlockOfABucketMate) {
  uint32_t a, b;
  bucket_mates(&a, &b);
  void* pa = RPb_AF_mem_alloc(a, 8);
  void* pb = RPb_AF_mem_alloc(b, 8);
  EXPECT_EQ(RPb_AF_mem_free(b, pb), 0);
  EXPECT_EQ(rx::mem_block_flags(a, pa), kHeapC);
  EXPECT_EQ(rx::mem_block_flags(b, pb), 0u);
  // A block freed under the wrong tag is left alone.
  EXPECT_EQ(RPb_AF_mem_free(b, pa), 0);
  EXPECT_EQ(rx::mem_block_flags(a, pa), kHeapC);
}

TEST_F(MemoryTags, HeapSplitAt1024Bytes) {
  uint32_t t = RPb_AF_mem_unique_tag_get();
  void* small = RPb_AF_mem_alloc(t, 1024);
  void* large = RPb_AF_mem_alloc(t, 1025);
  EXPECT_EQ(rx::mem_block_flags(t, small), kHeapC);
  EXPECT_EQ(rx::mem_block_flags(t, large), kHeapGlobal);
  RPb_AF_mem_free_all(t);
}

TEST_F(MemoryTags, ReallocMovesToGlobalHeapKeepingData) {
  uint32_t t = RPb_AF_mem_unique_tag_get();
  auto* p = static_cast<uint8_t*>(RPb_AF_mem_alloc(t, 100));
  for (int i = 0; i < 100; ++i) p[i] = static_cast<uint8_t>(i * 7);
  auto* q = static_cast<uint8_t*>(RPb_AF_mem_realloc(t, p, 60000));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(rx::mem_block_flags(t, q), kHeapC) << "below 65536 bytes it stays in the C heap";
  auto* r = static_cast<uint8_t*>(RPb_AF_mem_realloc(t, q, 70000));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(rx::mem_block_flags(t, r), kHeapGlobal);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(r[i], static_cast<uint8_t>(i * 7));
  r[69999] = 1;
  auto* s = static_cast<uint8_t*>(RPb_AF_mem_realloc(t, r, 50));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(rx::mem_block_flags(t, s), kHeapGlobal) << "global blocks stay global";
  EXPECT_EQ(s[49], static_cast<uint8_t>(49 * 7));
  EXPECT_EQ(RPb_AF_mem_free_all(t), 1);
}

TEST_F(MemoryTags, ReallocOfAForeignBlockFails) {
  uint32_t t = RPb_AF_mem_unique_tag_get(), u = RPb_AF_mem_unique_tag_get();
  void* p = RPb_AF_mem_alloc(t, 10);
  EXPECT_EQ(RPb_AF_mem_realloc(u, p, 20), nullptr);
  EXPECT_EQ(rx::mem_block_flags(t, p), kHeapC);
  RPb_AF_mem_free_all(t);
}

TEST_F(MemoryTags, FreeAllAcrossTwoBlockTables) {
  uint32_t t = RPb_AF_mem_unique_tag_get();
  void* blocks[14];
  for (void*& b : blocks) b = RPb_AF_mem_alloc(t, 16);
  // Free one from the middle and reuse its slot before freeing all.
  RPb_AF_mem_free(t, blocks[5]);
  blocks[5] = RPb_AF_mem_alloc(t, 16);
  EXPECT_EQ(rx::mem_block_flags(t, blocks[13]), kHeapC);
  EXPECT_EQ(RPb_AF_mem_free_all(t), 14);
  EXPECT_EQ(RPb_AF_mem_free_all(t), -1);
}

TEST_F(MemoryTags, FreeingEveryBlockOneByOneDropsTheTag) {
  uint32_t t = RPb_AF_mem_unique_tag_get();
  const int32_t before = rx::mem_live_block_count();
  void* blocks[30];
  for (void*& b : blocks) b = RPb_AF_mem_alloc(t, 3000);
  for (void* b : blocks) RPb_AF_mem_free(t, b);
  EXPECT_EQ(rx::mem_live_block_count(), before);
  EXPECT_EQ(RPb_AF_mem_free_all(t), -1);
}

TEST_F(MemoryTags, GuardFreesItsTagOnEveryExit) {
  uint32_t t;
  {
    rx::TagGuard g;
    t = g.tag();
    ASSERT_NE(g.alloc(50), nullptr);
  }
  EXPECT_EQ(RPb_AF_mem_free_all(t), -1);
  uint32_t kept;
  {
    rx::TagGuard g;
    g.alloc(50);
    kept = g.release();
  }
  EXPECT_EQ(RPb_AF_mem_free_all(kept), 1);
}

TEST(MemoryRelease, EngineStopReleasesEveryBlock) {
  ASSERT_EQ(RX_engine_start(0), 1);
  uint32_t t = RPb_AF_mem_unique_tag_get();
  for (int i = 0; i < 20; ++i) RPb_AF_mem_alloc(t, static_cast<size_t>(i) * 500);
  EXPECT_GE(RX_engine_stop(), 20);
  EXPECT_EQ(rx::mem_live_block_count(), 0);
}

class Instance : public EngineTest {};

TEST_F(Instance, KeysSetGetAndRemove) {
  int a = 1, b = 2;
  EXPECT_EQ(rx::instance_slot_set(5000, &a), rx::kInstOk);
  EXPECT_EQ(rx::instance_slot_set(5000, &b), rx::kInstKeyPresent);
  void* v = nullptr;
  EXPECT_EQ(rx::instance_slot_get(5000, &v), rx::kInstOk);
  EXPECT_EQ(v, &a) << "a refused set keeps the old value";
  EXPECT_EQ(rx::instance_slot_remove(5000), rx::kInstOk);
  EXPECT_EQ(rx::instance_slot_get(5000, &v), rx::kInstKeyAbsent);
  EXPECT_EQ(rx::instance_slot_remove(5000), rx::kInstKeyAbsent);
}

TEST_F(Instance, ManyKeysSpanSeveralTables) {
  static int values[40];
  for (int i = 0; i < 40; ++i) ASSERT_EQ(rx::instance_slot_set(6000 + i, &values[i]), 0);
  for (int i = 0; i < 40; ++i) {
    void* v = nullptr;
    ASSERT_EQ(rx::instance_slot_get(6000 + i, &v), 0);
    EXPECT_EQ(v, &values[i]);
  }
  for (int i = 0; i < 40; ++i) rx::instance_slot_remove(6000 + i);
}

TEST_F(Instance, SecondRegistrationIsRefused) {
  EXPECT_EQ(rx::instance_is_registered(), 1);
  EXPECT_EQ(rx::instance_register(7), rx::kInstAlreadyRegistered);
  EXPECT_EQ(RX_engine_start(7), 0);
  EXPECT_EQ(rx::instance_module(), 0x1234u);
}

TEST(InstanceUnregistered, CallsBeforeStartFailCleanly) {
  void* v = nullptr;
  EXPECT_EQ(rx::instance_is_registered(), 0);
  EXPECT_EQ(rx::instance_slot_set(1, &v), rx::kInstNotRegistered);
  EXPECT_EQ(rx::instance_slot_get(1, &v), rx::kInstNotRegistered);
  EXPECT_EQ(rx::instance_unregister(), rx::kInstNotRegistered);
}
