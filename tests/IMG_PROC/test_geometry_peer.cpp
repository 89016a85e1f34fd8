// Quarter turns, mirrors, crops and the grey conversion give exactly what
// Pillow's operations of the same definition give, at every depth Pillow
// can hold and for 1-bit images in both formats.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "IMG_PROC/op_images.h"

using namespace iptest;
namespace fs = std::filesystem;

namespace {

class GeometryPeer : public EngineTest {};

struct Source {
  std::string name, mode;
  std::function<RX_HIMAGE()> make;
};

// The image's pixels as Pillow's raw decoder reads `mode`: red first for
// RGB, 1-bit pixels as grey levels 0 and 255, 16-bit pixels as they are.
std::vector<uint8_t> raw_of(RX_HIMAGE image, const std::string& mode) {
  const Snapshot s = snapshot(image);
  std::vector<uint8_t> out;
  for (auto row : s.rows) {
    if (mode == "RGB")
      for (size_t i = 0; i + 2 < row.size(); i += 3) std::swap(row[i], row[i + 2]);
    if (s.bits == 1)
      for (auto& v : row) v = v ? 255 : 0;
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

TEST_F(GeometryPeer, PillowAgrees) {
  if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) GTEST_SKIP() << "python3 with PIL is not installed";
  auto pattern = [](int32_t x, int32_t y) { return uint8_t((x * 29 + y * 71 + x * y * 13) ^ (y << 3)); };
  auto bit = [](int32_t x, int32_t y) { return uint8_t((x * 3 + y * 5 + x * y) % 7 < 3); };
  const Source sources[] = {
      {"rgb", "RGB", [&] { return make_fn(24, 37, 23, pattern); }},
      {"grey", "L", [&] { return make_fn(8, 37, 23, pattern); }},
      {"nibble", "L", [&] { return make_fn(4, 37, 23, [&](int32_t x, int32_t y) { return uint8_t(pattern(x, y) & 15); }); }},
      {"deep", "I;16", [&] { return make16(37, 23, RX_BI_GRAY16, [&](int32_t x, int32_t y) { return uint16_t(pattern(x, y) * 257 + x); }); }},
      {"mono", "L", [&] { return make_fn(1, 45, 19, bit); }},
      {"runs", "L", [&] { return make_fn(1, 45, 19, bit, true); }},
  };
  struct Op {
    std::string name;
    std::function<int32_t(RX_HIMAGE)> run;
  };
  static const int32_t kInner[4] = {3, 2, 30, 17}, kCorner[4] = {0, 0, 0, 0}, kEdge[4] = {36, 5, 36, 18};
  const Op ops[] = {
      {"rotate 1", [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); }},
      {"rotate 2", [](RX_HIMAGE i) { return RX_IP_rotate(i, 2); }},
      {"rotate 3", [](RX_HIMAGE i) { return RX_IP_rotate(i, 3); }},
      {"flip 0", [](RX_HIMAGE i) { return RX_IP_flip(i, 0); }},
      {"flip 1", [](RX_HIMAGE i) { return RX_IP_flip(i, 1); }},
      {"crop 3 2 30 17", [](RX_HIMAGE i) { return RX_IP_crop(i, kInner); }},
      {"crop 0 0 0 0", [](RX_HIMAGE i) { return RX_IP_crop(i, kCorner); }},
      {"crop 36 5 36 18", [](RX_HIMAGE i) { return RX_IP_crop(i, kEdge); }},
  };
  const fs::path dir = fs::temp_directory_path() / ("rastrix_geometry_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream cases(dir / "cases.txt");
  int n = 0;
  auto add = [&](const Source& s, const std::string& op, const std::function<int32_t(RX_HIMAGE)>& run) {
    RX_HIMAGE image = s.make();
    const Snapshot before = snapshot(image);
    const std::string name = s.name + std::to_string(n++);
    write(dir / (name + ".in"), raw_of(image, s.mode));
    ASSERT_EQ(run(image), 0) << name << " " << op;
    write(dir / (name + ".out"), raw_of(image, s.mode == "RGB" && op == "gray" ? "L" : s.mode));
    cases << name << ' ' << s.mode << ' ' << before.width << ' ' << before.height << ' ' << op << '\n';
    RX_image_delete(image);
  };
  for (const Source& s : sources)
    for (const Op& op : ops) add(s, op.name, op.run);
  add(sources[0], "gray", [](RX_HIMAGE i) { return RX_IP_gray(i); });
  cases.close();
  const std::string check = "/usr/bin/python3 " RX_TEST_DATA_DIR "/../interop/pillow_geometry.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "cases in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}
