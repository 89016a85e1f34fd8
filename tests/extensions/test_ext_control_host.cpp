// A host that reaches the engine only through the control library, opened
// privately, loads the LZW module and a GIF file with it: the module finds
// the library's RPb_ functions although the host exports none.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "extensions/rxlzw_harness.h"

namespace {

std::string host_output(const std::string& module, const std::string& image) {
  const std::string command = std::string(RX_CONTROL_HOST) + " " RAST32PO_LIBRARY " " + module +
                              " " + image + " 2>&1";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    pclose(p);
  }
  return out;
}

TEST(ExtensionControlHost, LoadsTheModuleThroughTheControlLibrary) {
  // The sizes of the first frame as Pillow recorded it.
  const rxlzw_test::Bytes want =
      rxlzw_test::file_bytes(RX_TEST_DATA_DIR "/gif/pillow_animated.0.rgba");
  ASSERT_GE(want.size(), 4u);
  const std::string sizes =
      std::to_string(want[0] | want[1] << 8) + " " + std::to_string(want[2] | want[3] << 8) + " ";
  const std::string out = host_output(RX_RXLZW_MODULE, RX_TEST_DATA_DIR "/gif/pillow_animated.gif");
  EXPECT_EQ(out.rfind(sizes, 0), 0u) << out;
  EXPECT_NE(host_output("/no/such/module.so", RX_TEST_DATA_DIR "/gif/pillow_animated.gif")
                .find("code " + std::to_string(RXE_EXTENSION_NOT_PRESENT)),
            std::string::npos);
}

}  // namespace
