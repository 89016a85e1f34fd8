// PNG speed and memory against libpng and zlib, measured in one run on the
// same data (the 12-megapixel picture of make_photo, given as a 24-bit BMP):
//   inflate:  the IDAT stream of a libpng file (level 6, adaptive filters),
//             our zlib_decompress  vs  zlib's uncompress (both check the
//             Adler-32)
//   decode:   that PNG from memory to pixels, our load (an engine image)
//             vs  libpng reading into rows
//   encode:   the picture to PNG in memory, our writer (one fixed-Huffman
//             block, filter None)  vs  libpng at zlib level 1, filter None
//   memory:   peak memory of our load beyond the image and the file, in a
//             child process
// Prints the best of RUNS times for each (processor time of the thread),
// interleaving the programs.
//
//   png_bench PHOTO.bmp [RUNS]
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "filters/codecs/inflate.h"
#include "rastrix/rastrix.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Picture {
  int width = 0, height = 0;
  Bytes rgb;  // top row first
};

Bytes slurp(const char* path) {
  Bytes b;
  if (FILE* f = std::fopen(path, "rb")) {
    std::fseek(f, 0, SEEK_END);
    b.resize(static_cast<size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(b.data(), 1, b.size(), f) != b.size()) b.clear();
    std::fclose(f);
  }
  return b;
}

uint32_t le32(const Bytes& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, &b[at], 4);
  return v;
}

bool picture_read(const char* path, Picture* p) {
  const Bytes b = slurp(path);
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le32(b, 28) != 24) return false;
  p->width = static_cast<int>(le32(b, 18));
  p->height = static_cast<int>(le32(b, 22));
  const size_t stride = (static_cast<size_t>(p->width) * 3 + 3) & ~size_t{3};
  const size_t offset = le32(b, 10);
  if (b.size() < offset + stride * p->height) return false;
  p->rgb.resize(static_cast<size_t>(p->width) * 3 * p->height);
  for (int y = 0; y < p->height; ++y) {
    const uint8_t* s = &b[offset + (p->height - 1 - y) * stride];
    uint8_t* d = &p->rgb[static_cast<size_t>(y) * p->width * 3];
    for (int x = 0; x < p->width; ++x) {
      d[3 * x] = s[3 * x + 2];
      d[3 * x + 1] = s[3 * x + 1];
      d[3 * x + 2] = s[3 * x];
    }
  }
  return true;
}

void to_vector(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

Bytes libpng_encode(const Picture& p, int level, bool adaptive) {
  Bytes out;
  out.reserve(p.rgb.size() / 2);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, to_vector, nullptr);
  png_set_compression_level(png, level);
  if (!adaptive) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < p.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&p.rgb[static_cast<size_t>(y) * p.width * 3]));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct Reader {
  const Bytes* data;
  size_t at;
};

void from_memory(png_structp png, png_bytep out, size_t size) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->at + size > r->data->size()) png_error(png, "read past the end");
  std::memcpy(out, r->data->data() + r->at, size);
  r->at += size;
}

// libpng into freshly allocated rows, as a real decode would.
size_t libpng_decode(const Bytes& file) {
  Reader r{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &r, from_memory);
  png_read_info(png, info);
  const size_t row = png_get_rowbytes(png, info);
  const uint32_t height = png_get_image_height(png, info);
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[row * height]);
  std::vector<png_bytep> rows(height);
  for (uint32_t y = 0; y < height; ++y) rows[y] = pixels.get() + row * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return static_cast<size_t>(pixels[row * height / 2]);
}

Bytes idat_of(const Bytes& png) {
  Bytes z;
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t length = uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
    if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) z.insert(z.end(), &png[pos + 8], &png[pos + 8 + length]);
    pos += 12 + length;
  }
  return z;
}

// The processor time of this thread: on a machine shared with other work
// it counts only the time the program actually ran.
double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename F>
double seconds(F&& f) {
  const double start = thread_seconds();
  f();
  return thread_seconds() - start;
}

RX_HIMAGE image_from(const Picture& p) {
  const size_t stride = (static_cast<size_t>(p.width) * 3 + 3) & ~size_t{3};
  Bytes dib(40 + stride * p.height, 0);
  RX_BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = p.width;
  h.biHeight = p.height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  std::memcpy(dib.data(), &h, 40);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < 3; ++c)
        dib[40 + (p.height - 1 - y) * stride + 3 * x + c] = p.rgb[(static_cast<size_t>(y) * p.width + x) * 3 + 2 - c];
  RX_HIMAGE image = 0;
  RX_image_create_from_DIB(dib.data(), dib.size(), &image);
  return image;
}

// Peak resident memory that one load adds, in a child process; -1 if the
// child could not tell.
long load_peak_kb(const Bytes& file) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    RX_HIMAGE image = 0;
    const int32_t code = RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const long grown = code == 0 ? after.ru_maxrss - before.ru_maxrss : -1;
    _exit(write(fds[1], &grown, sizeof grown) == sizeof grown ? 0 : 1);
  }
  close(fds[1]);
  long grown = -1;
  if (read(fds[0], &grown, sizeof grown) != sizeof grown) grown = -1;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return grown;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: png_bench PHOTO.bmp [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  Picture pic;
  if (!picture_read(argv[1], &pic)) {
    std::fprintf(stderr, "png_bench: %s is not a 24-bit BMP\n", argv[1]);
    return 2;
  }
  RX_engine_start(0);
  const Bytes file = libpng_encode(pic, 6, true);
  const Bytes z = idat_of(file);
  const size_t raw_size = (static_cast<size_t>(pic.width) * 3 + 1) * pic.height;
  std::unique_ptr<uint8_t[]> out(new uint8_t[raw_size]);
  auto inflater = std::make_unique<rx::codec::Inflater>();
  RX_HIMAGE source = image_from(pic);
  Bytes ours_file(pic.rgb.size() * 2);
  int32_t ours_size = 0;
  Bytes peer_file;

  double inflate_ours = 1e9, inflate_peer = 1e9, decode_ours = 1e9, decode_peer = 1e9;
  double encode_ours = 1e9, encode_peer = 1e9;
  bool ok = true;
  for (int r = 0; r < runs; ++r) {
    inflate_peer = std::min(inflate_peer, seconds([&] {
      uLongf n = static_cast<uLongf>(raw_size);
      ok &= uncompress(out.get(), &n, z.data(), static_cast<uLong>(z.size())) == Z_OK && n == raw_size;
    }));
    inflate_ours = std::min(inflate_ours, seconds([&] {
      size_t n = 0;
      ok &= rx::codec::zlib_decompress(inflater.get(), z.data(), z.size(), out.get(), raw_size, &n) ==
                rx::codec::InflateStatus::kDone &&
            n == raw_size;
    }));
    decode_peer = std::min(decode_peer, seconds([&] { libpng_decode(file); }));
    decode_ours = std::min(decode_ours, seconds([&] {
      RX_HIMAGE image = 0;
      ok &= RX_image_load_memory(file.data(), static_cast<int32_t>(file.size()), 1, 1, &image) == 0;
      RX_image_delete(image);
    }));
    encode_peer = std::min(encode_peer, seconds([&] { peer_file = libpng_encode(pic, 1, false); }));
    encode_ours = std::min(encode_ours, seconds([&] {
      ok &= RX_image_save_memory(source, ours_file.data(), 0, static_cast<int32_t>(ours_file.size()), 0, 1, 33,
                                 &ours_size) == 0;
    }));
  }
  if (!ok) {
    std::fprintf(stderr, "png_bench: a run failed\n");
    return 1;
  }

  // Memory: a child loads once; its peak growth less the image it keeps.
  const long grown_kb = load_peak_kb(file);
  const long image_kb = static_cast<long>(40 + ((static_cast<size_t>(pic.width) * 3 + 3) & ~size_t{3}) * pic.height) / 1024;

  std::printf("picture: %d x %d; libpng file (level 6, adaptive filters) %zu bytes, IDAT %zu bytes\n",
              pic.width, pic.height, file.size(), z.size());
  std::printf("%-8s %-44s %10s\n", "task", "program", "ms");
  std::printf("%-8s %-44s %10.1f\n", "inflate", "rastrix zlib_decompress", inflate_ours * 1e3);
  std::printf("%-8s %-44s %10.1f\n", "inflate", "zlib uncompress", inflate_peer * 1e3);
  std::printf("%-8s %-44s %10.1f\n", "decode", "rastrix load from memory", decode_ours * 1e3);
  std::printf("%-8s %-44s %10.1f\n", "decode", "libpng png_read_image", decode_peer * 1e3);
  std::printf("%-8s %-44s %10.1f  %d bytes\n", "encode", "rastrix save (fixed Huffman, filter None)",
              encode_ours * 1e3, ours_size);
  std::printf("%-8s %-44s %10.1f  %zu bytes\n", "encode", "libpng level 1, filter None", encode_peer * 1e3,
              peer_file.size());
  std::printf("inflate time ratio %.2f (target <= 0.6)\n", inflate_ours / inflate_peer);
  std::printf("decode time ratio %.2f (target <= 0.8)\n", decode_ours / decode_peer);
  std::printf("encode time ratio %.2f (target <= 1.0), size ratio %.2f\n", encode_ours / encode_peer,
              static_cast<double>(ours_size) / static_cast<double>(peer_file.size()));
  std::printf("load peak memory: %ld KB grown, image %ld KB, so %ld KB beyond the image (target <= 1024)\n",
              grown_kb, image_kb, grown_kb - image_kb);
  RX_image_delete(source);
  RX_engine_stop();
  return 0;
}
