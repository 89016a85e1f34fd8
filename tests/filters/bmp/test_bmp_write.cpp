// The BMP writer: the file layout of each header type, row order, the
// choice of coding, tags, short writes, and round trips through our
// reader, the pipelines and Pillow for every depth, header type and coding.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "SUPPORT/img_ctrl.h"
#include "filters/bmp/bmp_harness.h"
#include "support/engine_fixture.h"
#include "support/peers.h"

namespace {

using bmpt::Bytes;
using bmpt::get;
namespace fs = std::filesystem;

// Flat stretches on the left, busy pixels on the right; padding is 0.
bmpt::Image served(int32_t w, int32_t h, int bits) {
  bmpt::Image im;
  RPb_DIB_init(&im.header, w, h, bits, 0, 2835, 3780);
  for (int i = 0; i < 256; ++i) im.palette[i] = RX_RGBQUAD{uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0};
  for (int r = 0; r < h; ++r) {
    Bytes row(rx::dib_stride(bits, w), 0);
    for (int x = 0; x < w && bits != 16; ++x) {
      const uint32_t v = x < w / 2 ? r % 3 : x * 7 + r;
      if (bits == 24) row[3 * x] = uint8_t(v), row[3 * x + 1] = uint8_t(v * 2), row[3 * x + 2] = uint8_t(v * 3);
      else row[x * bits / 8] |= uint8_t((v & ((1u << bits) - 1)) << (8 - bits - x * bits % 8));
    }
    im.rows.push_back(row);
  }
  return im;
}

// Every kind of file: depth, header type, and coding where it fits.
template <typename F>
void each_kind(F f) {
  for (int bits : {1, 4, 8, 24})
    for (uint32_t type : {0u, 1u, 2u})
      for (uint32_t coding : {0u, 1u, 2u})
        if (coding == 0 || (type != 0 && coding == (bits == 8 ? 1u : bits == 4 ? 2u : 9u))) f(bits, type, coding);
}

class BmpWrite : public EngineTest {
 protected:
  // The first error code, 0 on success; a failed write must rewind.
  int32_t save(const bmpt::Image& im, rx::BMP_FLAGS flags, int32_t option = 0, Bytes* file = nullptr,
               size_t capacity = 1 << 20, std::vector<int32_t>* order = nullptr) {
    bmpt::Stream s({}, capacity);
    s.image = im;
    RPb_AF_error_clear();
    const int32_t errors = rx::bmp_write(&s.io, &flags, 0, 1, option);
    if (file != nullptr) *file = s.written();
    if (order != nullptr) *order = s.image.order;
    EXPECT_TRUE(errors == 0 || RPb_IO_tell(&s.io) == 0) << "a failed write rewinds";
    return errors == 0 ? 0 : error_codes().at(0);
  }
};

TEST_F(BmpWrite, FileLayout) {
  const bmpt::Image im = served(3, 10, 8);
  for (auto [type, top_down] : {std::pair{0u, 1u}, {1u, 0u}, {2u, 1u}}) {
    Bytes f;
    std::vector<int32_t> order;
    ASSERT_EQ(save(im, {top_down, type, 0}, 0, &f, 1 << 20, &order), 0);
    const uint32_t size = type == 0 ? 12 : type == 1 ? 40 : 64, offset = type == 0 ? 794 : 14 + size + 1024;
    EXPECT_EQ(std::vector<uint32_t>({get(f, 0, 2), get(f, 2), get(f, 10), get(f, 14), get(f, 14 + size + 9 * (type == 0 ? 3 : 4), 3)}),
              std::vector<uint32_t>({'B' | 'M' << 8, uint32_t(f.size()), offset, size, 0x3FF61B}));
    // The 12-byte header is always bottom-up.
    const int32_t first = top_down && type != 0 ? 0 : 9;
    const int32_t height = type == 0 ? int16_t(get(f, 20, 2)) : int32_t(get(f, 22));
    EXPECT_EQ(std::make_pair(height, order.front()), std::make_pair(first ? 10 : -10, first)) << type;
    EXPECT_EQ(Bytes(f.begin() + offset, f.begin() + offset + 4), im.rows[first]);
  }
}

TEST_F(BmpWrite, RoundTripsThroughTheReader) {
  each_kind([&](int bits, uint32_t type, uint32_t coding) {
    for (uint32_t top_down : {0u, 1u}) {
      const bmpt::Image im = served(bits == 24 ? 9 : 37, 5, bits);
      Bytes f;
      ASSERT_EQ(save(im, {top_down, type, coding}, 0, &f), 0);
      bmpt::Stream back(f);
      ASSERT_EQ(rx::bmp_read(&back.io, nullptr, 1, 1), 0) << bits << " " << type << " " << coding;
      EXPECT_EQ(back.image.rows, im.rows) << bits << " " << type << " " << coding;
      EXPECT_EQ(bmpt::rgb_of(back.image), bmpt::rgb_of(im));
      const uint64_t image_size = type == 0 || coding ? 0 : 5 * rx::dib_stride(bits, im.header.biWidth);
      EXPECT_EQ(type == 0 ? 0 : get(f, 34), image_size) << "image size";
    }
  });
}

TEST_F(BmpWrite, RefusalsAndShortWrites) {
  bmpt::Image masks = served(4, 2, 16);
  masks.header.biCompression = RX_BI_BITFIELDS;
  const bmpt::Image big = served(40, 30, 8);
  // Image, flags, option, capacity, code, iVal.
  const std::tuple<bmpt::Image, rx::BMP_FLAGS, int32_t, size_t, int32_t, int32_t> cases[] = {
      {served(4, 2, 24), {0, 1, 0}, 1, 4096, RXE_INVALID_COMPRESSION, 1},
      {served(4, 2, 4), {0, 1, 1}, 0, 4096, RXE_INVALID_COMPRESSION, 1},
      {served(4, 2, 8), {0, 1, 7}, 0, 4096, RXE_INVALID_COMPRESSION, 7},
      {served(4, 2, 8), {0, 0, 1}, 0, 4096, RXE_INVALID_COMPRESSION, 1},  // no field to say so
      {served(4, 2, 8), {0, 3, 0}, 0, 4096, RXE_INVALID_FILE_HEADER, 3},
      {served(70000, 1, 8), {0, 0, 0}, 0, 4096, RXE_PARAMETERS_OUT_OF_LIMITS, 70000},
      {served(4, 2, 16), {0, 0, 0}, 0, 4096, RXE_INVALID_BITCOUNT_FOR_FORMAT, 16},
      {masks, {0, 1, 0}, 0, 4096, RXE_INVALID_BITCOUNT_FOR_FORMAT, 16},
      {big, {0, 1, 0}, 0, 10, RXE_CANT_WRITE_HEADER, 14},
      {big, {0, 1, 0}, 0, 20, RXE_CANT_WRITE_HEADER, 40},
      {big, {0, 1, 0}, 0, 100, RXE_CANT_WRITE_PALETTE, 1024},
      {big, {0, 1, 0}, 0, 1200, RXE_CANT_WRITE_PIXEL_DATA, 122},
      {big, {0, 1, 1}, 0, 1200, RXE_CANT_WRITE_PIXEL_DATA, 2},
  };
  for (const auto& [im, flags, option, capacity, code, iVal] : cases) {
    Bytes f;
    EXPECT_EQ(save(im, flags, option, &f, capacity), code) << capacity;
    EXPECT_EQ(error_entries().at(0).iVal, iVal) << capacity;
    EXPECT_TRUE(capacity < 4096 || f.empty()) << "a refusal writes nothing";
  }
  std::vector<int32_t> order;
  bmpt::Image failing = served(4, 6, 8);
  failing.fail_row = 3;
  EXPECT_EQ(save(failing, {0, 1, 1}, 0, nullptr, 4096, &order), RXE_INTERRUPTED_BY_USER);
  EXPECT_EQ(order, (std::vector<int32_t>{5, 4, 3})) << "the first failing callback stops the write";
}

TEST_F(BmpWrite, TagsReplaceFields) {
  bmpt::Stream s({}, 1 << 16);
  s.image = served(4, 2, 24);
  s.io.tag_get = [](uintptr_t, int32_t id, int32_t* type, void* buffer, int32_t size) {
    const uint32_t v = 0x01010101u * uint32_t(id - 100);
    std::memcpy(buffer, &v, size);
    *type = size == 2 ? 3 : 4;
    return int32_t{id != 108};
  };
  rx::BMP_FLAGS flags{0, 2, 0};
  ASSERT_EQ(rx::bmp_write(&s.io, &flags, 0, 1, 0), 0);
  const Bytes f = s.written();
  // Colours used (108) gets no answer and stays; the reserved word has no tag.
  EXPECT_EQ(std::vector<uint32_t>({get(f, 38), get(f, 46), get(f, 50), get(f, 54, 2), get(f, 56, 2), get(f, 58, 2),
                                   get(f, 60, 2), get(f, 62), get(f, 74)}),
            std::vector<uint32_t>({0x06060606, 0, 0x09090909, 0x0A0A, 0, 0x0B0B, 0x0C0C, 0x0D0D0D0D, 0x10101010}));
}

TEST_F(BmpWrite, RunLengthOptionThroughTheSavePipeline) {
  for (int bits : {4, 8}) {
    const bmpt::Image im = served(37, 5, bits);
    Bytes dib(40 + 4 * (1 << bits));
    std::memcpy(dib.data(), &im.header, 40);
    std::memcpy(dib.data() + 40, im.palette.data(), 4 * (1 << bits));
    for (int r = 4; r >= 0; --r) dib.insert(dib.end(), im.rows[r].begin(), im.rows[r].end());
    RX_HIMAGE image = 0;
    ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
    Bytes file(4096);
    int32_t size = 0;
    const uint32_t rle = RX_FORMAT_BMP | 1 << 16;
    ASSERT_EQ(RX_image_save_memory(image, file.data(), 0, file.size(), 0, 1, rle, &size), 0);
    RX_image_delete(image);
    EXPECT_EQ(std::make_pair(get(file, 2), get(file, 30)), std::make_pair(uint32_t(size), bits == 8 ? 1u : 2u));
    ASSERT_EQ(RX_image_load_memory(file.data(), size, 1, 1, &image), 0);
    EXPECT_EQ(bmpt::image_of_handle(image).rows, im.rows);
    RX_image_delete(image);
  }
}

// Pillow reads every kind of file we write with the pixels we meant.
TEST_F(BmpWrite, PillowReadsOurFiles) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  const fs::path dir = fs::temp_directory_path() / ("rastrix_bmp_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  auto keep = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  };
  each_kind([&](int bits, uint32_t type, uint32_t coding) {
    // An even width gives the 4-bit coder even literals, an odd one odd.
    for (auto [top_down, width] : {std::pair{0u, 29}, {0u, 28}, {type != 0, 29}}) {
      const bmpt::Image im = served(width, 6, bits);
      Bytes f;
      ASSERT_EQ(save(im, {top_down, type, coding}, 0, &f), 0);
      const std::string name = "b" + std::to_string(bits) + "_h" + std::to_string(type) + "_c" +
                               std::to_string(coding) + "_t" + std::to_string(top_down) + "_w" + std::to_string(width);
      keep(name + ".bmp", f);
      keep(name + ".rgb", bmpt::rgb_of(im));
    }
  });
  const std::string check = std::string(rxtest::kPeersRequired ? "RX_REQUIRE_PEERS=1 " : "") +
                            RX_PEER_PYTHON " " RX_TEST_DATA_DIR "/../interop/check_bmp_with_pillow.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "files in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace
