// The buffered stream: reads and writes across buffer boundaries over memory
// and file streams, the stream length and buffer size as hard limits, and
// where the record stands after close.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <vector>

#include "IO/io_rec.h"
#include "IO/iobuffer.h"
#include "support/engine_fixture.h"

namespace {

namespace fs = std::filesystem;
using rx::IO_BUFFER;
using rx::kIoBufferRead;
using rx::kIoBufferWrite;

constexpr int32_t kSize = 16;

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

class BufferTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    RPb_IO_inst_lookup(&io);
    tag = RPb_AF_mem_unique_tag_get();
  }
  void TearDown() override {
    EXPECT_LE(RPb_AF_mem_free_all(tag), 0) << "a buffer outlived its close";
    EngineTest::TearDown();
  }
  void attach(std::vector<uint8_t>& d, int32_t valid) {
    rx::io_memory_attach(&io, d.data(), static_cast<int32_t>(d.size()), valid);
  }
  std::vector<uint8_t> drain() {
    IO_BUFFER b;
    std::vector<uint8_t> out;
    EXPECT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
    uint8_t v;
    while (rx::io_buffer_byte_get(&b, &v) == 1) out.push_back(v);
    EXPECT_EQ(rx::io_buffer_close(&b), 1);
    return out;
  }

  IO_REC io{};
  uint32_t tag = 0;
};

using BufferRead = BufferTest;

TEST_F(BufferRead, EveryByteUpToTheDataEnd) {
  for (size_t n : {size_t{3 * kSize + 1}, size_t{2 * kSize}}) {
    auto data = pattern(n);
    attach(data, static_cast<int32_t>(n));
    EXPECT_EQ(drain(), data) << n;
  }
  auto data = pattern(64);
  attach(data, 20);
  EXPECT_EQ(drain().size(), 20u) << "stops at the data, not the block";
}

TEST_F(BufferRead, StraddlingRequests) {
  auto data = pattern(kSize + 18);
  attach(data, kSize + 18);
  IO_BUFFER b;
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
  ASSERT_NE(rx::io_buffer_get(&b, kSize - 1), nullptr);
  uint8_t two[2];
  ASSERT_EQ(rx::io_buffer_two_peek(&b, two), 1);
  ASSERT_EQ(rx::io_buffer_two_get(&b, two), 1);
  EXPECT_EQ(two[1], data[kSize]);
  const uint8_t* p = rx::io_buffer_get(&b, 10);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(std::equal(p, p + 10, data.begin() + kSize + 1));
  EXPECT_EQ(rx::io_buffer_get(&b, kSize + 1), nullptr) << "larger than the buffer";
  EXPECT_EQ(rx::io_buffer_get(&b, -3), nullptr);
  EXPECT_EQ(rx::io_buffer_get(&b, 8), nullptr) << "only 7 bytes are left";
  EXPECT_EQ(rx::io_buffer_peek(&b, 7)[6], data.back()) << "the failure took nothing";
  rx::io_buffer_close(&b);
}

TEST_F(BufferRead, CloseLeavesTheRecordAfterTheLastByteTaken) {
  auto data = pattern(100);
  attach(data, 100);
  RPb_IO_seek(&io, 7, RX_SEEK_SET);
  IO_BUFFER b;
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
  ASSERT_NE(rx::io_buffer_get(&b, 5), nullptr);
  EXPECT_EQ(RPb_IO_tell(&io), 7 + kSize);
  EXPECT_EQ(rx::io_buffer_close(&b), 1);
  EXPECT_EQ(RPb_IO_tell(&io), 12);
  uint8_t v;
  EXPECT_EQ(rx::io_buffer_byte_get(&b, &v), 0) << "a closed buffer gives nothing";
}

TEST_F(BufferRead, Seek) {
  auto data = pattern(100);
  attach(data, 100);
  IO_BUFFER b;
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
  uint8_t v;
  rx::io_buffer_get(&b, 8);
  const std::tuple<int32_t, int32_t, size_t> steps[] = {
      {-6, RX_SEEK_CUR, 2}, {60, RX_SEEK_SET, 60}, {-50, RX_SEEK_CUR, 11}};
  for (auto [offset, origin, want] : steps) {
    ASSERT_EQ(rx::io_buffer_seek(&b, offset, origin), 1);
    ASSERT_EQ(rx::io_buffer_byte_get(&b, &v), 1);
    EXPECT_EQ(v, data[want]);
  }
  EXPECT_EQ(rx::io_buffer_seek(&b, -1, RX_SEEK_SET), 0);
  EXPECT_EQ(rx::io_buffer_seek(&b, 101, RX_SEEK_SET), 0);
  EXPECT_EQ(rx::io_buffer_seek(&b, INT32_MAX, RX_SEEK_CUR), 0);
  EXPECT_EQ(b.position, 12) << "failed seeks move nothing";
  ASSERT_EQ(rx::io_buffer_seek(&b, 100, RX_SEEK_SET), 1) << "the end is a place to stand";
  EXPECT_EQ(rx::io_buffer_byte_get(&b, &v), 0);
  EXPECT_EQ(rx::io_buffer_close(&b), 1);
}

using BufferWrite = BufferTest;

// Puts `data` as single bytes, pairs and reserved runs of five, in turn.
void put_mixed(IO_BUFFER& b, const std::vector<uint8_t>& data) {
  for (size_t i = 0, step = 0; i < data.size(); ++step) {
    const size_t left = data.size() - i;
    if (step % 3 == 1 && left >= 2) {
      ASSERT_EQ(rx::io_buffer_two_put(&b, &data[i]), 1);
      i += 2;
    } else if (step % 3 == 2 && left >= 5) {
      uint8_t* p = rx::io_buffer_reserve(&b, 5);
      ASSERT_NE(p, nullptr);
      std::copy_n(&data[i], 5, p);
      i += 5;
    } else {
      ASSERT_EQ(rx::io_buffer_byte_put(&b, data[i++]), 1);
    }
  }
}

TEST_F(BufferWrite, FileRoundTripAcrossBoundaries) {
  std::string dir = (fs::temp_directory_path() / "rxbufXXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  ASSERT_GE(rx::io_create(&io, (dir + "/out.bin").c_str()), 0);
  const auto data = pattern(5 * kSize + 3);
  IO_BUFFER b;
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferWrite), 0);
  put_mixed(b, data);
  EXPECT_EQ(rx::io_buffer_reserve(&b, kSize + 1), nullptr);
  ASSERT_EQ(rx::io_buffer_close(&b), 1);
  ASSERT_EQ(RPb_IO_seek(&io, 0, RX_SEEK_SET), 0);
  EXPECT_EQ(drain(), data);
  RPb_IO_close(&io);
  fs::remove_all(dir);
}

TEST_F(BufferWrite, FailedFlushIsReported) {
  std::vector<uint8_t> block(20);
  attach(block, 0);
  IO_BUFFER b;
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferWrite), 0);
  int32_t failures = 0;
  for (int i = 0; i < 40; ++i) failures += rx::io_buffer_byte_put(&b, 1) == 0;
  EXPECT_GT(failures, 0) << "the block holds only 20 bytes";
  EXPECT_EQ(rx::io_buffer_close(&b), 0);
}

using BufferOpen = BufferTest;

TEST_F(BufferOpen, BadModeOrSizeAndMisuse) {
  auto data = pattern(32);
  const auto original = data;
  attach(data, 32);
  IO_BUFFER b;
  EXPECT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, 3), RXE_GLOBAL_MEMORY_DEPLETED);
  EXPECT_EQ(rx::io_buffer_open(&io, tag, &b, -8, kIoBufferRead), RXE_GLOBAL_MEMORY_DEPLETED);
  const auto entries = error_entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].iVal, kSize);
  EXPECT_EQ(static_cast<uint32_t>(entries[0].lVal), tag);
  EXPECT_EQ(entries[1].iVal, -8);
  EXPECT_EQ(rx::io_buffer_byte_put(&b, 1), 0);
  EXPECT_EQ(rx::io_buffer_byte_get(nullptr, nullptr), 0);

  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
  EXPECT_EQ(rx::io_buffer_byte_put(&b, 0xFF), 0) << "a reader does not write";
  rx::io_buffer_close(&b);
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferWrite), 0);
  EXPECT_EQ(rx::io_buffer_get(&b, 1), nullptr) << "a writer does not read";
  rx::io_buffer_close(&b);
  EXPECT_EQ(data, original);

  rx::io_memory_attach(&io, nullptr, 0, 0);
  ASSERT_EQ(rx::io_buffer_open(&io, tag, &b, kSize, kIoBufferRead), 0);
  EXPECT_EQ(rx::io_buffer_peek(&b, 1), nullptr) << "the invalid stream gives nothing";
  EXPECT_EQ(rx::io_buffer_close(&b), 0) << "nor has a position to return to";
}

}  // namespace
