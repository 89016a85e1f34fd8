// The stream record: memory and file streams, multi-byte values, the
// template, tag exchange and the image-callback forwarders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <vector>

#include "IO/io_rec.h"
#include "support/engine_fixture.h"

namespace {

namespace fs = std::filesystem;

IO_REC memory_stream(std::vector<uint8_t>& data, int32_t valid) {
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  rx::io_memory_attach(&io, data.data(), static_cast<int32_t>(data.size()), valid);
  return io;
}

std::vector<uint8_t> counting(size_t n) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), uint8_t{0});
  return v;
}

using IoMemory = EngineTest;

TEST_F(IoMemory, TransfersAreClippedAtTheLimit) {
  auto data = counting(100);
  IO_REC io = memory_stream(data, 100);
  uint8_t out[10] = {};
  ASSERT_EQ(RPb_IO_seek(&io, 95, RX_SEEK_SET), 95);
  EXPECT_EQ(RPb_IO_read(&io, out, 10), 5);
  EXPECT_EQ(out[4], 99);
  EXPECT_EQ(RPb_IO_tell(&io), 100);
  EXPECT_EQ(RPb_IO_read(&io, out, 10), 0);

  std::vector<uint8_t> block(16);
  io = memory_stream(block, 0);
  EXPECT_EQ(RPb_IO_write(&io, data.data(), 10), 10);
  EXPECT_EQ(RPb_IO_write(&io, data.data() + 10, 10), 6);
  EXPECT_EQ(rx::io_data_length_get(&io), 16);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin()));
}

TEST_F(IoMemory, SeekBounds) {
  auto data = counting(100);
  IO_REC io = memory_stream(data, 50);
  ASSERT_EQ(RPb_IO_seek(&io, 40, RX_SEEK_SET), 40);
  EXPECT_EQ(RPb_IO_seek(&io, -1, RX_SEEK_SET), -1);
  EXPECT_EQ(RPb_IO_seek(&io, 101, RX_SEEK_SET), -1);
  EXPECT_EQ(RPb_IO_seek(&io, INT32_MAX, RX_SEEK_CUR), -1) << "must not wrap";
  EXPECT_EQ(RPb_IO_seek(&io, 0, 3), -1);
  EXPECT_EQ(RPb_IO_tell(&io), 40);
  EXPECT_EQ(RPb_IO_seek(&io, -10, RX_SEEK_END), 40) << "the end is the data, not the block";
  EXPECT_EQ(RPb_IO_seek(&io, 100, RX_SEEK_SET), 100);
  EXPECT_EQ(rx::io_data_length_get(&io), 100);
}

TEST_F(IoMemory, InvalidStreamAndBadCountsMoveNothing) {
  auto data = counting(10);
  IO_REC io = memory_stream(data, 50);
  EXPECT_EQ(rx::io_data_length_get(&io), 10) << "valid length kept inside the block";
  uint8_t out[4] = {7, 7, 7, 7};
  EXPECT_EQ(RPb_IO_read(&io, out, -5), 0);
  EXPECT_EQ(RPb_IO_write(&io, out, -5), 0);
  EXPECT_EQ(RPb_IO_read(&io, nullptr, 4), 0);
  EXPECT_EQ(RPb_IO_tell(&io), 0);
  for (int32_t capacity : {10, 0, -4}) {
    void* block = capacity == 10 ? nullptr : data.data();
    EXPECT_EQ(rx::io_memory_attach(&io, block, capacity, 10), 0);
    EXPECT_EQ(io.handle, -1);
    EXPECT_EQ(RPb_IO_read(&io, out, 1), 0);
    EXPECT_EQ(RPb_IO_write(&io, out, 4), 0);
    EXPECT_EQ(RPb_IO_tell(&io), -1);
  }
  // A record filled in by hand, block set but at position -1.
  io.memory = data.data();
  io.limit = 10;
  EXPECT_EQ(RPb_IO_read(&io, out, 4), 0);
  EXPECT_EQ(out[0], 7);
  EXPECT_EQ(RPb_IO_read(nullptr, out, 1), 0);
}

TEST(IoTemplate, LookupBeforeStartFailsAfterStartHasNoFile) {
  IO_REC io{};
  EXPECT_EQ(RPb_IO_inst_lookup(&io), 0);
  ASSERT_EQ(RX_engine_start(1), 1);
  ASSERT_EQ(RPb_IO_inst_lookup(&io), 1);
  EXPECT_EQ(io.handle, -1) << "a fresh record must not read descriptor 0";
  EXPECT_EQ(io.byte_order, RX_ORDER_INTEL);
  uint8_t b;
  EXPECT_EQ(RPb_IO_read(&io, &b, 1), 0);
  RX_engine_stop();
}

using IoFile = EngineTest;

TEST_F(IoFile, RoundTripThroughAUtf8NameAndSafeClose) {
  std::string dir = (fs::temp_directory_path() / "rxioXXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string name = dir + "/写真.bmp";
  IO_REC out{}, in{}, other{};
  RPb_IO_inst_lookup(&out);
  in = other = out;
  EXPECT_LT(RPb_IO_open(&in, name.c_str(), RX_ACCESS_READ), 0);
  EXPECT_EQ(RPb_IO_close(&in), -1);
  ASSERT_GE(rx::io_create(&out, name.c_str()), 0);
  const auto data = counting(300);
  EXPECT_EQ(RPb_IO_write(&out, data.data(), 300), 300);
  EXPECT_EQ(RPb_IO_close(&out), 0);
  // The closed descriptor's number goes to the next file; a second close
  // through the old record must not reach it.
  ASSERT_GE(RPb_IO_open(&other, name.c_str(), RX_ACCESS_READ), 0);
  EXPECT_EQ(RPb_IO_close(&out), -1);
  EXPECT_EQ(RPb_IO_seek(&other, 250, RX_SEEK_SET), 250);
  std::vector<uint8_t> back(100);
  EXPECT_EQ(RPb_IO_read(&other, back.data(), 100), 50);
  EXPECT_EQ(back[49], data[299]);
  EXPECT_EQ(RPb_IO_close(&other), 0);
  fs::remove_all(dir);
}

using IoOrder = EngineTest;

TEST_F(IoOrder, ValuesInEitherOrder) {
  std::vector<uint8_t> data = {0x01, 0x02, 0x03, 0x04, 0, 0, 0, 0, 0, 0};
  IO_REC io = memory_stream(data, 4);
  uint32_t d = 0;
  uint16_t w = 0;
  EXPECT_EQ(RPb_IO_mm_dword_read(&io, &d), 4);
  EXPECT_EQ(d, 0x01020304u);
  RPb_IO_seek(&io, 0, RX_SEEK_SET);
  EXPECT_EQ(RPb_IO_ii_dword_read(&io, &d), 4);
  EXPECT_EQ(d, 0x04030201u);
  RPb_IO_seek(&io, 0, RX_SEEK_SET);
  EXPECT_EQ(RPb_IO_byte_order_set(&io, RX_ORDER_MOTOROLA), 1);
  EXPECT_EQ(RPb_IO_byte_order_set(&io, 2), 0);
  EXPECT_EQ(RPb_IO_word_read(&io, &w), 2);
  EXPECT_EQ(w, 0x0102);
  RPb_IO_byte_order_set(&io, RX_ORDER_INTEL);
  EXPECT_EQ(RPb_IO_word_read(&io, &w), 2);
  EXPECT_EQ(w, 0x0403);

  const uint16_t v = 0xA1B2;
  EXPECT_EQ(RPb_IO_word_write(&io, &v), 2);
  EXPECT_EQ(RPb_IO_mm_word_write(&io, &v), 2);
  EXPECT_EQ(RPb_IO_mm_dword_write(&io, &d), 2) << "only two bytes of room";
  EXPECT_EQ(data[4], 0xB2);
  EXPECT_EQ(data[6], 0xA1);
  RPb_IO_seek(&io, -2, RX_SEEK_CUR);
  d = 0x12345678;
  EXPECT_EQ(RPb_IO_dword_read(&io, &d), 2);
  EXPECT_EQ(d, 0x12345678u) << "a short read leaves the value";
  EXPECT_EQ(RPb_mm_dword_swap(0x12345678u), 0x78563412u);
}

struct TagSeen {
  uintptr_t user = 0, data = 0;
  int32_t type = 0, count = 0;
};
TagSeen g_seen;

int32_t on_tag_set(uintptr_t user, int32_t, int32_t type, uintptr_t data, int32_t count) {
  g_seen = {user, data, type, count};
  return 5;
}
int32_t on_tag_get(uintptr_t user, int32_t, int32_t* type, void* buffer, int32_t size) {
  g_seen = {user, 0, *type, size};
  std::memset(buffer, 0xAB, static_cast<size_t>(size));
  return 6;
}

using IoTags = EngineTest;

TEST_F(IoTags, QuietWithoutCallbacksExactWithThem) {
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  EXPECT_EQ(RPb_IO_tag_dword_set(&io, 256, 5), 0);
  int32_t id = 7, type = 7, count = 7;
  uint8_t buf[4];
  EXPECT_EQ(RPb_IO_tag_get(&io, 256, &type, buf, 4), 0);
  EXPECT_EQ(RPb_IO_tag_user_get(&io, &id, &type, buf, &count), 0);
  EXPECT_EQ(id + type + count, 0);

  ASSERT_EQ(RX_tag_set_callback_install(on_tag_set, 0xFEED), 0);
  ASSERT_EQ(RX_tag_get_callback_install(on_tag_get, nullptr, 0xBEAD), 0);
  RPb_IO_inst_lookup(&io);
  EXPECT_EQ(RPb_IO_tag_word_set(&io, 11, 0xBEEF), 5);
  EXPECT_EQ(g_seen.user, 0xFEEDu);
  EXPECT_EQ(g_seen.data, 0xBEEFu);
  EXPECT_EQ(g_seen.type * 10 + g_seen.count, 32);
  RPb_IO_tag_dword_set(&io, 12, 7);
  EXPECT_EQ(g_seen.type * 10 + g_seen.count, 44);
  struct { uint16_t value, guard; } w = {0, 0x5555};
  EXPECT_EQ(RPb_IO_tag_word_get(&io, 33, &w.value), 6);
  EXPECT_EQ(g_seen.user, 0xBEADu);
  EXPECT_EQ(g_seen.type * 10 + g_seen.count, 32);
  EXPECT_EQ(w.value, 0xABAB);
  EXPECT_EQ(w.guard, 0x5555) << "the application got exactly two bytes";
  EXPECT_EQ(RPb_IO_tag_get(&io, 36, nullptr, &w, 2), 0);
  EXPECT_EQ(RPb_IO_tag_user_get_exists(&io), 0);
}

int32_t on_raster_set(IO_REC* io, const uint8_t*, int32_t row, int32_t) {
  return row + static_cast<int32_t>(io->cb_data[RX_CBD_RASTER_SET]);
}

using IoCallbacks = EngineTest;

TEST_F(IoCallbacks, ForwardOrReportNotImplemented) {
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  uint8_t row[4] = {};
  int32_t v = 0;
  EXPECT_EQ(RPb_IO_attribute_set(&io, RX_ATTR_PAIR, 2), 0);
  EXPECT_EQ(RPb_IO_attribute_get(&io, RX_ATTR_PAIR, &v), 0);
  io.dib_create = nullptr;
  EXPECT_EQ(RPb_IO_DIB_create(&io, nullptr, nullptr), 1);
  EXPECT_EQ(RPb_IO_raster_get(nullptr, row, 0, 4), 2);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_NOT_IMPLEMENTED, RXE_NOT_IMPLEMENTED}));
  io.raster_set = on_raster_set;
  io.cb_data[RX_CBD_RASTER_SET] = 1000;
  EXPECT_EQ(RPb_IO_raster_set(&io, row, 7, 4), 1007);
}

}  // namespace
