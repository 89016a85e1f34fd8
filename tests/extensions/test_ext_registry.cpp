// The extension registry: loading and unloading modules with every failure
// code, filter items ahead of the built-in rows, option delegation, codec
// lookup, and the listing. The modules are built from
// tests/extensions/modules/test_module.cpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "LOAD/filter_table.h"
#include "SUPPORT/ext.h"
#include "support/engine_fixture.h"

namespace {

using Codes = std::vector<int32_t>;

std::string module_path(const char* variant) {
  return std::string(RX_TEST_MODULE_DIR) + "/libtest_ext_" + variant + ".so";
}

// Whether the library is still mapped into the process.
bool is_mapped(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) dlclose(h);
  return h != nullptr;
}

int32_t loaded_count() {
  int32_t n = -1;
  RX_extension_count_get(&n);
  return n;
}

// "BM" makes the BMP test claim the file too; the module's filter wants
// "BMFMT100" and takes the 9th byte as its first pixel.
const uint8_t kFakeFile[9] = {'B', 'M', 'F', 'M', 'T', '1', '0', '0', 200};

class ExtensionRegistry : public EngineTest {};

TEST_F(ExtensionRegistry, FailedLoadsLeaveNoRecordAndReleaseTheLibrary) {
  struct Case {
    const char* variant;
    int32_t code;
  };
  for (const Case c : {Case{"no_set", RXE_EXTENSION_INVALID}, Case{"refuse", RXE_EXTENSION_INIT_FAILED},
                       Case{"bad_code", RXE_EXTENSION_INVALID},
                       Case{"many_items", RXE_EXTENSION_INVALID}}) {
    const std::string path = module_path(c.variant);
    EXPECT_EQ(RX_extension_load(path.c_str()), 1) << c.variant;
    EXPECT_EQ(error_codes(), Codes{c.code}) << c.variant;
    EXPECT_EQ(loaded_count(), 0) << c.variant;
    EXPECT_EQ(rx::filter_count(), rx::kBuiltinFilterCount) << c.variant;
    EXPECT_EQ(RPb_RPr_filter_search(100), RXE_INVALID_IMAGE_FORMAT) << c.variant;
    EXPECT_FALSE(is_mapped(path)) << c.variant << " still loaded";
  }
}

// A module without RastExtInfoSet is refused with -700 and leaves what
// is already loaded as it was: its filter, its option values, its codec.
TEST_F(ExtensionRegistry, AFailedLoadChangesNothingAlreadyLoaded) {
  ASSERT_EQ(RX_extension_load(module_path("ok").c_str()), 0);
  ASSERT_EQ(RX_image_control_set(0x164, 77), 0);
  RX_CODEC_DECODE_FN decode = rx::extension_decoder_find(RX_COMPRESSION_LZW);
  ASSERT_NE(decode, nullptr);
  for (const char* variant : {"no_set", "bad_code", "refuse"}) {
    EXPECT_EQ(RX_extension_load(module_path(variant).c_str()), 1) << variant;
    EXPECT_EQ(loaded_count(), 1) << variant;
    EXPECT_EQ(rx::filter_count(), rx::kBuiltinFilterCount + 1) << variant;
    EXPECT_EQ(rx::filter_first(), 4196) << variant;
    EXPECT_EQ(rx::extension_decoder_find(RX_COMPRESSION_LZW), decode) << variant;
    uint32_t value = 0;
    EXPECT_EQ(RX_image_control_get(0x164, &value), 0) << variant;
    EXPECT_EQ(value, 77u) << variant;
  }
  EXPECT_EQ(RX_extension_load(module_path("no_set").c_str()), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_EXTENSION_INVALID});
}

TEST_F(ExtensionRegistry, MissingLibraryGives500WithThePlatformResult) {
  EXPECT_EQ(RX_extension_load("/no/such/libmodule.so"), 1);
  const std::vector<ErrorEntry> e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, RXE_EXTENSION_NOT_PRESENT);
  EXPECT_EQ(e[0].iVal, 0);
  EXPECT_EQ(RX_extension_load(nullptr) + RX_extension_load(""), 2);
  EXPECT_EQ(loaded_count(), 0);
}

TEST_F(ExtensionRegistry, FilterCode100IsIndex4196AndDetectedFirst) {
  const std::string path = module_path("ok");
  ASSERT_EQ(RX_extension_load(path.c_str()), 0);
  EXPECT_EQ(RPb_RPr_filter_search(100), 4196);
  EXPECT_EQ(rx::filter_count(), rx::kBuiltinFilterCount + 1) << "the codec and the unknown kind are no filters";
  EXPECT_EQ(rx::filter_first(), 4196);
  EXPECT_EQ(rx::filter_next(4196), 0) << "then the built-in rows";
  EXPECT_EQ(rx::filter_format_code(4196), 100);

  RX_HIMAGE image = 0;
  ASSERT_EQ(RX_image_load_memory(kFakeFile, sizeof kFakeFile, 1, 1, &image), 0);
  uint8_t pixel = 0;
  EXPECT_EQ(RX_image_pixel_get(image, 0, 0, &pixel), 0);
  EXPECT_EQ(pixel, 200);
  RX_image_delete(image);

  // Switched off, the same bytes go to the BMP reader, which refuses them.
  EXPECT_EQ(RX_detection_switch_set(100, 0), 0);
  EXPECT_GT(RX_image_load_memory(kFakeFile, sizeof kFakeFile, 1, 1, &image), 0);
  EXPECT_EQ(image, 0u);
  EXPECT_EQ(RX_detection_switch_set(100, 1), 0);
  EXPECT_EQ(RX_image_load_memory(kFakeFile, sizeof kFakeFile, 1, 1, &image), 0);
  RX_image_delete(image);
}

TEST_F(ExtensionRegistry, UnloadIgnoresLetterCaseAndUnknownNamesGive500) {
  const std::string path = module_path("ok");
  ASSERT_EQ(RX_extension_load(path.c_str()), 0);
  std::string shouted = path;
  std::transform(shouted.begin(), shouted.end(), shouted.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  ASSERT_NE(shouted, path);
  EXPECT_EQ(RX_extension_unload(shouted.c_str()), 0);
  EXPECT_EQ(loaded_count(), 0);
  EXPECT_EQ(RPb_RPr_filter_search(100), RXE_INVALID_IMAGE_FORMAT);
  EXPECT_FALSE(is_mapped(path));
  EXPECT_EQ(RX_extension_unload(path.c_str()), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_EXTENSION_NOT_PRESENT});
  EXPECT_EQ(RX_extension_unload(nullptr), 1);
}

TEST_F(ExtensionRegistry, UnknownOptionIdsGoToTheFilterThatClaimsThem) {
  uint32_t value = 0;
  EXPECT_EQ(RX_image_control_set(0x164, 77), 1) << "no module yet";
  EXPECT_EQ(error_entries().at(0).iVal, 0x164);
  ASSERT_EQ(RX_extension_load(module_path("ok").c_str()), 0);
  EXPECT_EQ(RX_image_control_get(0x164, &value), 0);
  EXPECT_EQ(value, 55u) << "the module's default";
  EXPECT_EQ(RX_image_control_set(0x164, 77), 0);
  EXPECT_EQ(RX_image_control_get(0x164, &value), 0);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(RX_image_control_set(0x264, 1), 1) << "an id the module does not claim";
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_IMAGE_CONTROL_OPTION_ID});
  // The value reaches the filter through its flags block at the next load.
  RX_HIMAGE image = 0;
  ASSERT_EQ(RX_image_load_memory(kFakeFile, sizeof kFakeFile, 1, 1, &image), 0);
  uint8_t pixel = 0;
  RX_image_pixel_get(image, 1, 0, &pixel);
  EXPECT_EQ(pixel, 77);
  RX_image_delete(image);
  // Built-in ids stay with the built-in table.
  EXPECT_EQ(RX_image_control_get(RX_OPTION_JPEG_QUALITY, &value), 0);
  EXPECT_EQ(value, 70u);
}

TEST_F(ExtensionRegistry, CodecsAreFoundByCompressionNumberWhileLoaded) {
  // Without a module the TIFF reader and writer find no LZW codec: their
  // missing-extension errors follow from these nulls.
  EXPECT_EQ(rx::extension_decoder_find(RX_COMPRESSION_LZW), nullptr);
  EXPECT_EQ(rx::extension_encoder_find(RX_COMPRESSION_LZW), nullptr);
  EXPECT_STREQ(RX_error_message_get(RXE_LZW_EXTENSION_MISSING),
               "The RX LZW Extension is not loaded and is required to load this image");
  EXPECT_STREQ(RX_error_message_get(RXE_TIFF_COMPRESSION_UNSUPPORTED),
               "TIFF compression is not supported");
  ASSERT_EQ(RX_extension_load(module_path("ok").c_str()), 0);
  RX_CODEC_DECODE_FN decode = rx::extension_decoder_find(RX_COMPRESSION_LZW);
  ASSERT_NE(decode, nullptr);
  uint8_t buffer[4] = {};
  EXPECT_EQ(decode(nullptr, buffer, 4, 0, nullptr, 1, 8, 1, nullptr, nullptr), 0);
  EXPECT_EQ(buffer[3], 0xAB);
  EXPECT_EQ(rx::extension_encoder_find(RX_COMPRESSION_LZW), nullptr) << "the module only decodes";
  EXPECT_EQ(rx::extension_decoder_find(RX_COMPRESSION_PACKBITS), nullptr);
  ASSERT_EQ(RX_extension_unload(module_path("ok").c_str()), 0);
  EXPECT_EQ(rx::extension_decoder_find(RX_COMPRESSION_LZW), nullptr);
}

TEST_F(ExtensionRegistry, ListingShowsModulesNewestFirstWithTheirItems) {
  ASSERT_EQ(RX_extension_load(module_path("ok").c_str()), 0);
  const std::string twice = std::string(RX_TEST_MODULE_DIR) + "/./libtest_ext_ok.so";
  ASSERT_EQ(RX_extension_load(twice.c_str()), 0);
  EXPECT_EQ(loaded_count(), 2);
  char path[512];
  int32_t items = 0;
  ASSERT_EQ(RX_extension_get(0, path, sizeof path, &items), 0);
  EXPECT_EQ(std::string(path), twice);
  EXPECT_EQ(items, 3);
  char small[5];
  ASSERT_EQ(RX_extension_get(1, small, sizeof small, nullptr), 0);
  EXPECT_EQ(std::string(small), module_path("ok").substr(0, 4));
  EXPECT_EQ(RX_extension_get(2, path, sizeof path, &items), 1);
  Codes got;
  for (int32_t i = 0; i < 3; ++i) {
    int32_t kind = -1, code = -1, able = -1;
    EXPECT_EQ(RX_extension_item_get(0, i, &kind, &code, &able), 0);
    got.insert(got.end(), {kind, code, able});
  }
  EXPECT_EQ(got, Codes({RX_EXT_ITEM_FILTER, 100, RX_EXT_ABLE_READ, 7, 0, 0, RX_EXT_ITEM_CODEC,
                        RX_COMPRESSION_LZW, RX_EXT_ABLE_READ}));
  EXPECT_EQ(RX_extension_item_get(0, 3, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(RX_extension_item_get(-1, 0, nullptr, nullptr, nullptr), 1);
  // Unloading one of the two leaves the other's filter in place.
  ASSERT_EQ(RX_extension_unload(twice.c_str()), 0);
  EXPECT_EQ(RPb_RPr_filter_search(100), 4196);
}

TEST_F(ExtensionRegistry, EngineStopDetachesAndReleasesEveryModule) {
  const std::string path = module_path("ok");
  ASSERT_EQ(RX_extension_load(path.c_str()), 0);
  ASSERT_TRUE(is_mapped(path));
  RX_engine_stop();
  EXPECT_FALSE(is_mapped(path));
  ASSERT_EQ(RX_engine_start(0x1234), 1);
  EXPECT_EQ(loaded_count(), 0);
}

}  // namespace
