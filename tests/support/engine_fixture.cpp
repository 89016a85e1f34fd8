#include "support/engine_fixture.h"
#include "support/files.h"

#include <fstream>
#include <iterator>

#include "SUPPORT/mem_tag.h"

void EngineTest::SetUp() { ASSERT_EQ(RX_engine_start(0x1234), 1); }

void EngineTest::TearDown() {
  RX_engine_stop();
  EXPECT_EQ(rx::mem_live_block_count(), 0) << "engine stop left tagged blocks behind";
}

std::vector<ErrorEntry> error_entries() {
  std::vector<ErrorEntry> out;
  for (int32_t i = 0; i < RPb_AF_error_check(); ++i) {
    ErrorEntry e;
    char name[16];
    RX_error_get(i, name, sizeof name, &e.line, &e.code, &e.iVal, &e.lVal);
    e.file = name;
    out.push_back(e);
  }
  return out;
}

std::vector<int32_t> error_codes() {
  std::vector<int32_t> out;
  for (const ErrorEntry& e : error_entries()) out.push_back(e.code);
  return out;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
