// The pieces of the rastrix command that need no files: option parsing,
// the escaping of names in machine-read output, and output names.
#include <gtest/gtest.h>

#include "command_line.h"
#include "path_map.h"
#include "text_escape.h"

namespace {

using rxcli::json_string;

TEST(RastrixText, JsonPassesValidUtf8AndEscapesControlCharacters) {
  EXPECT_EQ(json_string("plain.bmp"), "\"plain.bmp\"");
  EXPECT_EQ(json_string("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(json_string(std::string("\b\f\n\r\t\x01\x1F\x7F", 8)),
            "\"\\b\\f\\n\\r\\t\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(json_string(std::string("a\0b", 3)), "\"a\\u0000b\"");
  // Two-, three- and four-byte sequences, including the highest code point.
  EXPECT_EQ(json_string("é写\xF0\x9F\x93\xB7\xF4\x8F\xBF\xBF"), "\"é写\xF0\x9F\x93\xB7\xF4\x8F\xBF\xBF\"");
}

TEST(RastrixText, JsonReplacesEachByteThatIsNotUtf8) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(json_string("\x80"), "\"" + fffd + "\"");               // stray continuation
  EXPECT_EQ(json_string("\xC0\xAF"), "\"" + fffd + fffd + "\"");    // overlong '/'
  EXPECT_EQ(json_string("\xE0\x80\xAF"), "\"" + fffd + fffd + fffd + "\"");
  EXPECT_EQ(json_string("\xED\xA0\x80"), "\"" + fffd + fffd + fffd + "\"");  // surrogate
  EXPECT_EQ(json_string("\xF4\x90\x80\x80"), "\"" + fffd + fffd + fffd + fffd + "\"");
  EXPECT_EQ(json_string("ok\xE5\x86"), "\"ok" + fffd + fffd + "\"");  // cut short at the end
  EXPECT_EQ(json_string("\xE5\x86x"), "\"" + fffd + fffd + "x\"");
}

TEST(RastrixText, TabSeparatedFieldsStayOnOneLine) {
  EXPECT_EQ(rxcli::tsv_field("a\tb\nc\rd\\e \"f\""), "a\\tb\\nc\\rd\\\\e \"f\"");
}

TEST(RastrixText, OutputNamesReplaceOnlyTheLastExtension) {
  using std::filesystem::path;
  const auto map = [](const path& in, const path& sub, const std::optional<path>& out) {
    return rxcli::output_path(in, sub, "jpg", out).native();
  };
  EXPECT_EQ(map("dir/a.bmp", "", std::nullopt), "dir/a.jpg");
  EXPECT_EQ(map("a.tar.bmp", "", std::nullopt), "a.tar.jpg");
  EXPECT_EQ(map("dir/README", "", std::nullopt), "dir/README.jpg");
  EXPECT_EQ(map("dir/.hidden", "", std::nullopt), "dir/.hidden.jpg");
  EXPECT_EQ(map("dir/a.", "", std::nullopt), "dir/a.jpg");
  EXPECT_EQ(map("src/x/y/a.bmp", "x/y", path("out")), "out/x/y/a.jpg");
  EXPECT_EQ(map("src/a.bmp", "", path("out")), "out/a.jpg");
}

TEST(RastrixText, OptionsTakeEveryUsualSpelling) {
  const std::vector<std::string> args = {"convert", "-rnj2", "--to=.png", "-q90", "in",
                                         "--out-dir", "o", "--page=3", "--", "-odd-name"};
  const rxcli::Command command = rxcli::parse_command_line(args);
  const auto* batch = std::get_if<rxcli::BatchRequest>(&command);
  ASSERT_NE(batch, nullptr);
  EXPECT_TRUE(batch->recursive);
  EXPECT_TRUE(batch->keep_existing);
  EXPECT_EQ(batch->jobs, 2);
  EXPECT_EQ(batch->extension, "png");
  EXPECT_EQ(batch->quality, 90u);
  EXPECT_EQ(batch->out_dir, "o");
  EXPECT_EQ(batch->page, 3);
  EXPECT_EQ(batch->inputs, (std::vector<std::string>{"in", "-odd-name"}));

  const std::vector<std::string> single = {"convert", "--format", "jpeg", "a", "b"};
  const rxcli::Command c2 = rxcli::parse_command_line(single);
  const auto* one = std::get_if<rxcli::ConvertRequest>(&c2);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->format, uint32_t{RX_FORMAT_JPEG}) << "JPEG is another spelling of JPG";
}

}  // namespace
