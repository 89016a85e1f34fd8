// The error stack and the status message table.
#include <cstring>
#include <set>
#include <string>

#include "SUPPORT/status_msg.h"
#include "support/engine_fixture.h"

class ErrorStack : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    RPb_AF_error_clear();
  }
};

TEST_F(ErrorStack, ClearedStackReadsEmpty) {
  RPb_AF_error_set("source\\x.cpp", 1, RXE_FAILURE, 2, 3);
  RPb_AF_error_clear();
  EXPECT_EQ(RPb_AF_error_check(), 0);
  char name[16] = "garbage";
  int32_t line = 9, code = 9, i = 9, l = 9;
  EXPECT_EQ(RX_error_get(0, name, sizeof name, &line, &code, &i, &l), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(line | code | i | l, 0) << "stale entries must not show through";
}

TEST_F(ErrorStack, KeepsTheFirst29Pushes) {
  for (int k = 0; k < 31; ++k) RPb_AF_error_set("source\\a.cpp", k, -1000 - k, k, -k);
  EXPECT_EQ(RPb_AF_error_check(), 29);
  auto entries = error_entries();
  ASSERT_EQ(entries.size(), 29u);
  for (int k = 0; k < 29; ++k) {
    EXPECT_EQ(entries[k].line, k);
    EXPECT_EQ(entries[k].code, -1000 - k);
    EXPECT_EQ(entries[k].iVal, k);
    EXPECT_EQ(entries[k].lVal, -k);
  }
}

TEST_F(ErrorStack, FileNameIsTheLastComponentCutTo13) {
  RPb_AF_error_set("source\\filters\\Bmpread.cpp", 10, RXE_FILE_NOT_BMP, 0, 0);
  RPb_AF_error_set("no_backslash_here_at_all.cpp", 11, RXE_FAILURE, 0, 0);
  RPb_AF_error_set("source\\a_very_long_file_name.cpp", 12, RXE_FAILURE, 0, 0);
  RPb_AF_error_set("source\\", 13, RXE_FAILURE, 0, 0);
  auto e = error_entries();
  EXPECT_EQ(e[0].file, "Bmpread.cpp");
  EXPECT_EQ(e[1].file, "no_backslash_");
  EXPECT_EQ(e[2].file, "a_very_long_f");
  EXPECT_EQ(e[3].file, "");
}

TEST_F(ErrorStack, GetCutsTheNameToTheCallersLength) {
  RPb_AF_error_set("source\\Bmpread.cpp", 1, RXE_FAILURE, 0, 0);
  char small[4];
  std::memset(small, 'x', sizeof small);
  RX_error_get(0, small, sizeof small, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(std::string(small, 3), "Bmp");
  EXPECT_EQ(small[3], '\0') << "the copy stays inside the buffer and terminated";
  // Null outputs are allowed.
  EXPECT_EQ(RX_error_get(0, nullptr, 0, nullptr, nullptr, nullptr, nullptr), 1);
}

TEST_F(ErrorStack, SetReturnsTheCodeForEveryCode) {
  for (int k = 0; k < rx::kStatusMessageCount; ++k) {
    RPb_AF_error_clear();
    const int32_t code = rx::kStatusMessages[k].code;
    EXPECT_EQ(RPb_AF_error_set("s\\f.cpp", 1, code, 0, 0), code);
  }
}

TEST(ErrorStackMissing, PushWithoutEngineReportsMinus101) {
  EXPECT_EQ(RPb_AF_error_set("s\\f.cpp", 1, RXE_FAILURE, 0, 0), -101);
  EXPECT_EQ(RPb_AF_error_check(), 0);
  RPb_AF_error_clear();  // harmless
  char name[8] = "x";
  EXPECT_EQ(RX_error_get(0, name, sizeof name, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "");
}

TEST(StatusMessages, TableIsInOrderAndEndsWithTheEndPair) {
  ASSERT_GT(rx::kStatusMessageCount, 150);
  EXPECT_EQ(rx::kStatusMessages[0].code, RXE_SUCCESS);
  EXPECT_STREQ(rx::kStatusMessages[0].message, "Success");
  const auto& last = rx::kStatusMessages[rx::kStatusMessageCount - 1];
  EXPECT_EQ(last.code, RXE_END_OF_TABLE);
  EXPECT_STREQ(last.message, "");
  std::set<int32_t> seen;
  for (int k = 0; k < rx::kStatusMessageCount; ++k)
    EXPECT_TRUE(seen.insert(rx::kStatusMessages[k].code).second) << rx::kStatusMessages[k].code;
}

TEST(StatusMessages, LookupKeepsTheSystemsOwnTexts) {
  EXPECT_STREQ(RX_error_message_get(RXE_INVALID_FILE_HEADER), "Invalild file header");
  EXPECT_STREQ(RX_error_message_get(RXE_RUNS_FORMAT),
               "This function can not be used on DIBs in the Runs format - convert first "
               "RX_IP_convert_runs_to_DIB");
  EXPECT_STREQ(RX_error_message_get(RXE_SYSTEM_FILE_HELP), "File is a Microsoft sytem Help file");
  EXPECT_STREQ(RX_error_message_get(RXE_TWAIN_CANNOT_OPEN_DEFAULT_DS),
               "TWAIN cannot open Defauld DS");
  EXPECT_STREQ(RX_error_message_get(RXE_INVALID_FILE_NAME), "Invalid file name");
}

TEST(StatusMessages, UnknownCodesStopAtTheEndPair) {
  EXPECT_EQ(RX_error_message_get(-12345), nullptr);
  EXPECT_EQ(RX_error_message_get(-101), nullptr);
  EXPECT_EQ(RX_error_message_get(RXE_END_OF_TABLE), nullptr);
}
