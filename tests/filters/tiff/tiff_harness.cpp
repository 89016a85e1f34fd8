#include "filters/tiff/tiff_harness.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SUPPORT/dib_size.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"
#include "support/files.h"

#if RX_HAVE_PEER_LIBTIFF
#include <tiffio.h>
#endif

namespace tifft {
namespace {

void put16(Bytes& b, size_t at, uint32_t v, bool mm) {
  b[at + (mm ? 1 : 0)] = static_cast<uint8_t>(v);
  b[at + (mm ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v, bool mm) {
  for (int i = 0; i < 4; ++i) b[at + (mm ? 3 - i : i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t size_of(uint16_t type) {
  switch (type) {
    case kShort: case kSShort: return 2;
    case kLong: case kSLong: case kFloat: return 4;
    case kRational: case kSRational: case kDouble: return 8;
    default: return 1;
  }
}

// The value bytes of a field in file order.
Bytes value_bytes(const Field& f, bool mm) {
  if (!f.raw.empty()) return f.raw;
  const uint32_t size = f.type == kRational || f.type == kSRational ? 4 : size_of(f.type);
  Bytes b(f.values.size() * size, 0);
  for (size_t i = 0; i < f.values.size(); ++i) {
    if (size == 1) b[i] = static_cast<uint8_t>(f.values[i]);
    else if (size == 2) put16(b, 2 * i, f.values[i], mm);
    else put32(b, 4 * i, f.values[i], mm);
  }
  return b;
}

bool has(const std::vector<Field>& fields, uint16_t tag) {
  return std::any_of(fields.begin(), fields.end(), [&](const Field& f) { return f.tag == tag; });
}

}  // namespace

Field num(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
  Field f;
  f.tag = tag;
  f.type = type;
  f.values = std::move(values);
  return f;
}

std::vector<Field> basic(uint32_t width, uint32_t height, uint32_t bps, uint32_t spp,
                         uint32_t compression, uint32_t photometric) {
  return {num(256, kLong, {width}),         num(257, kLong, {height}),
          num(258, kShort, std::vector<uint32_t>(spp, bps)), num(259, kShort, {compression}),
          num(262, kShort, {photometric}),  num(277, kShort, {spp})};
}

Bytes build(const std::vector<Page>& pages, bool mm) {
  Bytes f(8, 0);
  f[0] = f[1] = mm ? 'M' : 'I';
  put16(f, 2, 42, mm);
  size_t link = 4;
  for (const Page& page : pages) {
    std::vector<uint32_t> offsets, counts;
    for (const Bytes& s : page.strips) {
      offsets.push_back(static_cast<uint32_t>(f.size()));
      counts.push_back(static_cast<uint32_t>(s.size()));
      f.insert(f.end(), s.begin(), s.end());
    }
    std::vector<Field> fields = page.fields;
    const uint16_t off_tag = page.tiled ? 324 : 273, count_tag = page.tiled ? 325 : 279;
    if (!page.strips.empty() && !has(fields, off_tag)) fields.push_back(num(off_tag, kLong, offsets));
    if (!page.strips.empty() && !has(fields, count_tag)) fields.push_back(num(count_tag, kLong, counts));
    if (page.sort)
      std::stable_sort(fields.begin(), fields.end(),
                       [](const Field& a, const Field& b) { return a.tag < b.tag; });
    if (f.size() & 1) f.push_back(0);
    const size_t ifd = f.size();
    if (link != 0) put32(f, link, static_cast<uint32_t>(ifd), mm);
    const size_t n = fields.size();
    f.resize(ifd + 2 + 12 * n + 4, 0);
    put16(f, ifd, static_cast<uint32_t>(n), mm);
    for (size_t i = 0; i < n; ++i) {
      const Field& fd = fields[i];
      const size_t e = ifd + 2 + 12 * i;
      const Bytes v = value_bytes(fd, mm);
      const uint32_t count = fd.count >= 0 ? static_cast<uint32_t>(fd.count)
                                           : static_cast<uint32_t>(v.size() / size_of(fd.type));
      put16(f, e, fd.tag, mm);
      put16(f, e + 2, fd.type, mm);
      put32(f, e + 4, count, mm);
      if (fd.offset >= 0) {
        put32(f, e + 8, static_cast<uint32_t>(fd.offset), mm);
      } else if (v.size() <= 4) {
        std::copy(v.begin(), v.end(), f.begin() + static_cast<ptrdiff_t>(e + 8));
      } else {
        if (f.size() & 1) f.push_back(0);
        put32(f, e + 8, static_cast<uint32_t>(f.size()), mm);
        f.insert(f.end(), v.begin(), v.end());
      }
    }
    const size_t next = ifd + 2 + 12 * n;
    if (page.next >= 0) {
      put32(f, next, static_cast<uint32_t>(page.next), mm);
      link = 0;
    } else {
      link = next;
    }
  }
  return f;
}

Pixels pixels_of(RX_HIMAGE image) {
  Pixels p;
  RX_image_dimensions_get(image, &p.width, &p.height, &p.bits);
  const RX_RGBQUAD* pal = RPb_palette_pointer_get(reinterpret_cast<IMAGE_REC*>(image));
  Bytes row(rx::dib_stride(p.bits, p.width) + 8);
  for (int32_t r = 0; r < p.height; ++r) {
    RX_DIB_raster_get(image, r, row.data(), RX_ROW_PACKED);
    for (int32_t x = 0; x < p.width; ++x) {
      if (p.bits == 24) {
        p.rgb.insert(p.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      const uint32_t bit = static_cast<uint32_t>(x * p.bits);
      const uint32_t i = (row[bit / 8] >> (8 - p.bits - bit % 8)) & ((1u << p.bits) - 1);
      p.rgb.insert(p.rgb.end(), {pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue});
    }
  }
  return p;
}

RX_HIMAGE load(const Bytes& file, int32_t page, int32_t tile) {
  RX_HIMAGE image = 0;
  RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), page, tile, &image);
  return image;
}

std::vector<int32_t> refusal(const Bytes& file) {
  const RX_HIMAGE image = load(file);
  const std::vector<int32_t> codes = error_codes();
  EXPECT_EQ(image, 0u) << "the file loaded";
  if (image != 0) RX_image_delete(image);
  return codes;
}

std::vector<int32_t> only_error() {
  const std::vector<ErrorEntry> e = error_entries();
  if (e.size() != 1) return {};
  return {e[0].code, e[0].iVal, e[0].lVal};
}

int32_t page_count(const Bytes& file) {
  int32_t count = 0;
  const int32_t status = RX_memory_page_count_get(file.data(), static_cast<int32_t>(file.size()), &count);
  return status == 0 ? count : -1;
}

int32_t info(const Bytes& file, RX_BITMAPINFOHEADER* header, int32_t* compression) {
  RX_BITMAPINFOHEADER h{};
  int32_t format = 0, c = 0;
  return RX_memory_info_get(file.data(), static_cast<int32_t>(file.size()), 1, &format,
                            compression != nullptr ? compression : &c,
                            header != nullptr ? header : &h);
}

Pixels load_pixels(const Bytes& file, int32_t page, int32_t tile) {
  RX_HIMAGE image = load(file, page, tile);
  if (image == 0) return {};
  Pixels p = pixels_of(image);
  RX_image_delete(image);
  return p;
}

int32_t save(RX_HIMAGE image, Bytes* file, int32_t compression, int32_t position, size_t capacity) {
  const size_t valid = file->size();
  if (capacity == 0) {
    int32_t w = 0, h = 0, bits = 0;
    RX_image_dimensions_get(image, &w, &h, &bits);
    capacity = valid + 2 * rx::dib_stride(bits < 8 ? 8 : bits, w) * h + 65536;
  }
  file->resize(capacity, 0);
  int32_t size = 0;
  const uint32_t word = 40u | static_cast<uint32_t>(compression) << 16;
  const int32_t errors =
      RX_image_save_memory(image, file->data(), static_cast<int32_t>(valid),
                           static_cast<int32_t>(capacity), position, 0, word, &size);
  file->resize(static_cast<size_t>(std::max(size, 0)));
  return errors;
}

RX_HIMAGE image_from(int32_t width, int32_t height, int32_t bits, const std::vector<Bytes>& rows,
                     const std::vector<RX_RGBQUAD>& palette) {
  const uint32_t entries = bits <= 8 ? 1u << bits : 0;
  const uint32_t stride = static_cast<uint32_t>(rx::dib_stride(bits, width));
  Bytes dib(40 + 4 * entries + size_t{stride} * height, 0);
  RX_BITMAPINFOHEADER h{40, width, height, 1, static_cast<uint16_t>(bits), 0, 0, 11811, 11811, 0, 0};
  std::memcpy(dib.data(), &h, 40);
  for (uint32_t i = 0; i < entries; ++i) {
    RX_RGBQUAD q{};
    if (i < palette.size()) q = palette[i];
    else q.rgbRed = q.rgbGreen = q.rgbBlue = static_cast<uint8_t>(i * 255 / (entries - 1));
    std::memcpy(dib.data() + 40 + 4 * i, &q, 4);
  }
  for (int32_t r = 0; r < height && r < static_cast<int32_t>(rows.size()); ++r)
    std::memcpy(dib.data() + 40 + 4 * entries + size_t{stride} * (height - 1 - r), rows[r].data(),
                std::min<size_t>(stride, rows[r].size()));
  RX_HIMAGE image = 0;
  RX_image_create_from_DIB(dib.data(), dib.size(), &image);
  return image;
}

RX_HIMAGE picture(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
  const uint32_t stride = static_cast<uint32_t>(rx::dib_stride(bits, width));
  std::vector<Bytes> rows(height, Bytes(stride, 0));
  uint32_t noise = seed * 2654435761u + 1;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const uint32_t n = (noise >> 16) & 15;
      if (bits == 24) {
        rows[y][3 * x] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
        rows[y][3 * x + 1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1) ^ n);
        rows[y][3 * x + 2] = static_cast<uint8_t>((x + y + seed) * 3 + n);
      } else if (bits == 8) {
        rows[y][x] = static_cast<uint8_t>((x * 2 + y + n + seed) & 0xFF);
      } else if (bits == 4) {
        const uint32_t v = ((x / 3 + y / 2 + seed) + (n >> 3)) & 15;
        rows[y][x / 2] |= static_cast<uint8_t>(v << (x % 2 ? 0 : 4));
      } else {
        // Marks like letters: short bars and blocks on white (1 = white).
        const bool ink = ((x / 5 + y / 7 + seed) % 3 == 0 && (y % 7) < 5 && (x % 5) < 3) ||
                         (y % 37 == 0 && x % 53 < 40);
        if (!ink) rows[y][x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    }
  }
  std::vector<RX_RGBQUAD> palette;
  if (bits == 1) palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  return image_from(width, height, bits, rows, palette);
}

namespace {
// The folders the tests made, removed when the tests end.
struct TempDirs {
  std::vector<std::filesystem::path> made;
  ~TempDirs() {
    std::error_code e;
    for (const auto& d : made) std::filesystem::remove_all(d, e);
  }
};
TempDirs g_temp_dirs;
}  // namespace

std::string temp_dir() {
  static std::atomic<int> counter{0};
  const auto dir = std::filesystem::temp_directory_path() /
                   ("rastrix_tiff_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  g_temp_dirs.made.push_back(dir);
  return dir.string();
}

Bytes read_file(const std::string& path) { return file_bytes(path); }

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

#if RX_HAVE_PEER_LIBTIFF
namespace {

std::string g_complaints;

// libtiff hands its messages over as printf formats.
__attribute__((format(printf, 2, 0))) void collect(const char* module, const char* fmt, va_list ap) {
  char text[1024];
  vsnprintf(text, sizeof text, fmt, ap);
  g_complaints += std::string(module != nullptr ? module : "") + ": " + text + "\n";
}

struct Handlers {
  TIFFErrorHandler warning, error;
  Handlers() : warning(TIFFSetWarningHandler(collect)), error(TIFFSetErrorHandler(collect)) {
    g_complaints.clear();
  }
  ~Handlers() {
    TIFFSetWarningHandler(warning);
    TIFFSetErrorHandler(error);
  }
};

}  // namespace

Pixels libtiff_pixels(const std::string& path, int page, bool* ok) {
  Handlers quiet;
  Pixels p;
  *ok = false;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return p;
  uint32_t w = 0, h = 0;
  if (TIFFSetDirectory(t, static_cast<tdir_t>(page - 1)) && TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w) &&
      TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h)) {
    std::vector<uint32_t> rgba(size_t{w} * h);
    if (TIFFReadRGBAImageOriented(t, w, h, rgba.data(), ORIENTATION_TOPLEFT, 0)) {
      p.width = static_cast<int32_t>(w);
      p.height = static_cast<int32_t>(h);
      for (uint32_t v : rgba)
        p.rgb.insert(p.rgb.end(), {static_cast<uint8_t>(TIFFGetR(v)), static_cast<uint8_t>(TIFFGetG(v)),
                                   static_cast<uint8_t>(TIFFGetB(v))});
      *ok = true;
    }
  }
  TIFFClose(t);
  return p;
}

std::string libtiff_complaints(const std::string& path) {
  Handlers quiet;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return g_complaints + "cannot open";
  do {
    const tstrip_t strips = TIFFNumberOfStrips(t);
    std::vector<uint8_t> buffer(static_cast<size_t>(TIFFStripSize(t)) + 16);
    for (tstrip_t s = 0; s < strips; ++s)
      if (TIFFReadEncodedStrip(t, s, buffer.data(), static_cast<tmsize_t>(buffer.size())) < 0)
        g_complaints += "strip " + std::to_string(s) + " unreadable\n";
  } while (TIFFReadDirectory(t));
  TIFFClose(t);
  return g_complaints;
}

::testing::AssertionResult libtiff_sees(const std::string& path, int page, const Bytes& rgb) {
  bool ok = false;
  const Pixels p = libtiff_pixels(path, page, &ok);
  const std::string complaints = libtiff_complaints(path);
  if (!ok || p.rgb != rgb || !complaints.empty())
    return ::testing::AssertionFailure() << path << " page " << page << (ok ? "" : ": not decoded")
                                         << (ok && p.rgb != rgb ? ": other pixels" : "") << "\n"
                                         << complaints;
  return ::testing::AssertionSuccess();
}

std::vector<uint32_t> libtiff_field(const std::string& path, int page, uint32_t tag) {
  Handlers quiet;
  std::vector<uint32_t> out;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return out;
  if (TIFFSetDirectory(t, static_cast<tdir_t>(page - 1))) {
    uint16_t a = 0, b = 0;
    uint32_t l = 0;
    float r = 0;
    switch (tag) {
      case TIFFTAG_PAGENUMBER:
      case TIFFTAG_YCBCRSUBSAMPLING:
        if (TIFFGetField(t, tag, &a, &b)) out = {a, b};
        break;
      case TIFFTAG_ROWSPERSTRIP: case TIFFTAG_T4OPTIONS: case TIFFTAG_SUBFILETYPE:
      case TIFFTAG_IMAGEWIDTH: case TIFFTAG_IMAGELENGTH:
        if (TIFFGetField(t, tag, &l)) out = {l};
        break;
      case TIFFTAG_XRESOLUTION: case TIFFTAG_YRESOLUTION:
        if (TIFFGetField(t, tag, &r)) out = {static_cast<uint32_t>(r * 1000 + 0.5f)};
        break;
      case TIFFTAG_DATETIME: case TIFFTAG_ARTIST: {
        char* s = nullptr;
        if (TIFFGetField(t, tag, &s) && s != nullptr) out.assign(s, s + std::strlen(s));
        break;
      }
      default:
        if (TIFFGetField(t, tag, &a)) out = {a};
        break;
    }
  }
  TIFFClose(t);
  return out;
}
#endif

}  // namespace tifft
