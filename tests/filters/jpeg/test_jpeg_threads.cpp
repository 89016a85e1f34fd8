// The JPEG codecs' helper threads, as the caller sees them: every callback
// (image rows, stream transfers through the caller's own file functions,
// the status callback) comes on the caller's thread, each kind in the
// plain path's order, on success and on failure alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "IO/io_rec.h"
#include "SUPPORT/dib_builder.h"
#include "SUPPORT/dib_size.h"
#include "SUPPORT/kernels.h"
#include "filters/jpeg/jpeg.h"
#include "filters/jpeg/jpeg_bands.h"
#include "filters/jpeg/jpeg_read.h"
#include "filters/jpeg/jpeg_paths.h"
#include "support/engine_fixture.h"

namespace {

using namespace jpegpath;

// One call into the caller's code: its kind, two values that tell it
// apart, and whether it came on the thread that made the call.
struct Event {
  char kind;  // r row fetch, w stream write, k seek, R stream read, c create, s row set, p status
  int64_t a, b;
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) { *os << e.kind << "(" << e.a << ", " << e.b << ")"; }

struct Log {
  std::thread::id caller;
  std::vector<Event> events;
  int32_t off_thread = 0;
  void clear() {
    events.clear();
    off_thread = 0;
  }
  void add(char kind, int64_t a, int64_t b) {
    if (std::this_thread::get_id() != caller) ++off_thread;
    events.push_back({kind, a, b});
  }
  // The events of one kind, in the order they came.
  std::vector<Event> of(char kind) const {
    std::vector<Event> out;
    for (const Event& e : events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
};

// The stream: a file the caller's own functions keep in memory. A write
// past `capacity` moves only what fits, as a full disk would.
struct FakeFile {
  std::vector<uint8_t> data;
  int64_t pos = 0;
  int64_t capacity = INT32_MAX;
};

Log g_log;
FakeFile g_file;
int32_t g_refuse_row = -1;  // the row the reader's row callback refuses

int32_t file_write(int32_t, const void* buffer, int32_t count) {
  g_log.add('w', g_file.pos, count);
  const auto n = static_cast<int32_t>(std::clamp<int64_t>(g_file.capacity - g_file.pos, 0, count));
  if (g_file.data.size() < size_t(g_file.pos + n)) g_file.data.resize(size_t(g_file.pos + n));
  std::memcpy(g_file.data.data() + g_file.pos, buffer, size_t(n));
  g_file.pos += n;
  return n;
}

int32_t file_read(int32_t, void* buffer, int32_t count) {
  g_log.add('R', g_file.pos, count);
  const auto n = static_cast<int32_t>(
      std::clamp<int64_t>(int64_t(g_file.data.size()) - g_file.pos, 0, count));
  std::memcpy(buffer, g_file.data.data() + g_file.pos, size_t(n));
  g_file.pos += n;
  return n;
}

int32_t file_seek(int32_t, int32_t offset, int32_t origin) {
  g_log.add('k', offset, origin);
  const int64_t base = origin == RX_SEEK_SET ? 0
                       : origin == RX_SEEK_CUR ? g_file.pos
                                               : int64_t(g_file.data.size());
  if (base + offset < 0) return -1;
  g_file.pos = base + offset;
  return static_cast<int32_t>(g_file.pos);
}

// A 24-bit picture, top row first: smooth ramps under noise, so that
// every band codes to a few kilobytes.
struct Picture {
  int32_t width, height, stride;
  std::vector<uint8_t> pixels;
};

Picture picture(int32_t w, int32_t h) {
  Picture p{w, h, int32_t(rx::dib_stride(24, w)), {}};
  p.pixels.resize(size_t(p.stride) * h);
  std::mt19937 rng(7);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < 3 * w; ++x)
      p.pixels[size_t(y) * p.stride + x] = uint8_t((x + 2 * y) / 3 + rng() % 48);
  return p;
}

int32_t serve_header(IO_REC* io, RX_BITMAPINFOHEADER* h, RX_RGBQUAD*) {
  const auto* p = reinterpret_cast<const Picture*>(io->cb_data[RX_CBD_DIB_GET]);
  g_log.add('c', p->width, p->height);
  *h = {40, p->width, p->height, 1, 24, 0, 0, 2835, 2835, 0, 0};
  return 0;
}

int32_t serve_row(IO_REC* io, uint8_t* row, int32_t r, int32_t n) {
  const auto* p = reinterpret_cast<const Picture*>(io->cb_data[RX_CBD_RASTER_GET]);
  g_log.add('r', r, n);
  if (r < 0 || r >= p->height || n != p->stride) return 1;
  std::memcpy(row, p->pixels.data() + size_t(r) * p->stride, size_t(n));
  return 0;
}

int32_t take_header(IO_REC*, const RX_BITMAPINFOHEADER* h, const RX_RGBQUAD*) {
  g_log.add('c', h->biWidth, h->biHeight);
  return 0;
}

// Takes every row; refuses the row `refuse` names, as a full disk would.
int32_t take_row(IO_REC* io, const uint8_t* row, int32_t r, int32_t n) {
  auto* rows = reinterpret_cast<std::vector<std::vector<uint8_t>>*>(io->cb_data[RX_CBD_RASTER_SET]);
  g_log.add('s', r, n);
  rows->emplace_back(row, row + n);
  if (r == g_refuse_row)
    return RPb_AF_error_set("source\\test", 1, RXE_INTERRUPTED_BY_USER, r, 0) != 0;
  return 0;
}

// Stops the operation at row `user` (a DIB row) when it is reached.
int32_t status(uintptr_t user, int32_t dib_row, int32_t height) {
  g_log.add('p', dib_row, height);
  return dib_row == int32_t(user) ? 0 : 1;
}

struct Call {
  int32_t result = 0;
  std::vector<ErrorEntry> errors;
  Log log;
  std::vector<uint8_t> bytes;                 // the stream afterwards
  std::vector<std::vector<uint8_t>> rows;     // what a read delivered
};

class JpegCallerThread : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    g_log = Log{};
    g_log.caller = std::this_thread::get_id();
  }
  void TearDown() override {
    RX_status_callback_set(nullptr, 0);
    EngineTest::TearDown();
  }

  // Runs `op` on a stream through the caller's file functions, over a
  // file of `data` on a disk of `capacity` bytes.
  template <class Op>
  static Call run(std::vector<uint8_t> data, int64_t capacity, Op op) {
    g_log.clear();
    g_file = FakeFile{std::move(data), 0, capacity};
    IO_REC io{};
    RPb_IO_inst_lookup(&io);
    rx::io_file_attach(&io, 3);
    io.write_fn = file_write;
    io.read_fn = file_read;
    io.seek_fn = file_seek;
    RPb_AF_error_clear();
    Call c;
    c.result = op(&io, &c);
    c.errors = error_entries();
    c.log = g_log;
    c.bytes = g_file.data;
    return c;
  }

  // Saves at quality 100, 2x1.
  static Call save(Picture& p, int64_t capacity) {
    return run({}, capacity, [&](IO_REC* io, Call*) {
      io->dib_get = serve_header;
      io->raster_get = serve_row;
      io->cb_data[RX_CBD_DIB_GET] = io->cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(&p);
      uint32_t flags[7] = {1, 16, 16, 0, 0, 100, 0x211111};
      return rx::jpeg_write(io, flags, 0, 1, 0);
    });
  }

  static Call read(const std::vector<uint8_t>& file, int32_t refuse_row = -1) {
    g_refuse_row = refuse_row;
    return run(file, INT32_MAX, [](IO_REC* io, Call* c) {
      io->dib_create = take_header;
      io->raster_set = take_row;
      io->cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&c->rows);
      return rx::jpeg_read(io, nullptr, 1, 1);
    });
  }
};

// The same result and the same entries, each with its values and file.
void expect_same_errors(const Call& a, const Call& b) {
  EXPECT_EQ(a.result, b.result);
  ASSERT_EQ(a.errors.size(), b.errors.size());
  for (size_t i = 0; i < a.errors.size(); ++i) {
    const ErrorEntry &x = a.errors[i], &y = b.errors[i];
    EXPECT_EQ(std::tie(x.code, x.iVal, x.lVal, x.file), std::tie(y.code, y.iVal, y.lVal, y.file));
  }
}

// Every call on the caller's thread, and the calls of each kind in `kinds`
// as in `b`.
void expect_same_calls(const Call& a, const Call& b, const std::string& kinds) {
  EXPECT_EQ(a.log.off_thread, 0);
  for (char k : kinds) EXPECT_EQ(a.log.of(k), b.log.of(k)) << k;
}

// The rows 0 .. count - 1, each once, in order, as a writer fetches them.
std::vector<Event> rows_in_order(char kind, int32_t count, int32_t bytes) {
  std::vector<Event> out;
  for (int32_t r = 0; r < count; ++r) out.push_back({kind, r, bytes});
  return out;
}

// 13 bands of 8 rows, the last one short: enough for the helper to take
// several chunks.
TEST_F(JpegCallerThread, WriterCallsBackOnTheCallersThreadInOrder) {
  Picture p = picture(200, 100);
  const Call plain = on_plain_path([&] { return save(p, INT32_MAX); });
  ASSERT_EQ(plain.result, 0);
  EXPECT_EQ(plain.log.of('r'), rows_in_order('r', 100, p.stride));
  ASSERT_GT(plain.log.of('w').size(), 2u) << "the data leaves in several writes";
  on_every_path([&] {
    const Call s = save(p, INT32_MAX);
    EXPECT_EQ(s.result, 0);
    expect_same_calls(s, plain, "crwk");  // writes of the same sizes at the same places
    EXPECT_EQ(s.bytes, plain.bytes);
  });
}

// The disk fills up in the middle of the data: the same failure, the same
// band named, the same bytes on the disk and the same seeks back, on every
// path. The helper's path
// fetches up to two chunks of rows ahead of the coding, so it may have
// fetched more rows than the plain path by then, but always in order.
TEST_F(JpegCallerThread, WriterFailsAlikeWhenTheDiskFills) {
  Picture p = picture(200, 100);
  const Call full = on_plain_path([&] { return save(p, INT32_MAX); });
  const auto size = int64_t(full.bytes.size());
  for (int64_t capacity : {size / 4, size / 2, size - 100}) {
    const Call plain = on_plain_path([&] { return save(p, capacity); });
    ASSERT_GT(plain.result, 0);
    EXPECT_EQ(plain.errors[0].code, RXE_CANT_WRITE_PIXEL_DATA);
    SCOPED_TRACE("capacity " + std::to_string(capacity));
    on_every_path([&] {
      const Call s = save(p, capacity);
      expect_same_errors(s, plain);
      expect_same_calls(s, plain, "wk");  // the stream goes back alike
      EXPECT_EQ(s.bytes, plain.bytes);
      const auto rows = s.log.of('r');
      EXPECT_GE(rows.size(), plain.log.of('r').size());
      EXPECT_EQ(rows, rows_in_order('r', int32_t(rows.size()), p.stride));
    });
  }
}

// A saved file read back through the caller's file functions: the image
// created once, rows delivered top down, stream reads the same on every
// path; a refused row ends the read alike everywhere.
TEST_F(JpegCallerThread, ReaderCallsBackOnTheCallersThreadInOrder) {
  Picture p = picture(200, 100);
  const std::vector<uint8_t> file = on_plain_path([&] { return save(p, INT32_MAX).bytes; });
  for (int32_t refuse : {-1, 0, 7, 8, 40, 99}) {
    const Call plain = on_plain_path([&] { return read(file, refuse); });
    const int32_t delivered = refuse < 0 ? 100 : refuse + 1;
    ASSERT_EQ(plain.result > 0, refuse >= 0) << refuse;
    EXPECT_EQ(plain.errors.size(), refuse >= 0 ? 1u : 0u) << "the refusal is the only entry, " << refuse;
    EXPECT_EQ(plain.log.of('c'), (std::vector<Event>{{'c', 200, 100}}));
    EXPECT_EQ(plain.log.of('s'), rows_in_order('s', delivered, p.stride)) << refuse;
    SCOPED_TRACE("refused row " + std::to_string(refuse));
    on_every_path([&] {
      const Call s = read(file, refuse);
      expect_same_errors(s, plain);
      expect_same_calls(s, plain, refuse < 0 ? "csR" : "cs");
      EXPECT_EQ(s.rows, plain.rows);
    });
  }
}

// Through the pipelines: the status callback sees the same rows on every
// path, on the caller's thread, and stopping it at a row stops the save or
// the load there, alike on every path.
TEST_F(JpegCallerThread, StatusCallbackAlikeOnEveryPath) {
  auto dib = test::make_dib(160, 120, 24);
  test::fill_pattern(dib, 5);
  const RX_HIMAGE image = test::create(dib);
  ASSERT_NE(image, 0u);
  std::vector<uint8_t> jpeg(1 << 20);
  int32_t size = 0;
  ASSERT_EQ(on_plain_path([&] {
              return RX_image_save_memory(image, jpeg.data(), 0, int32_t(jpeg.size()), 0, 1,
                                          RX_FORMAT_JPEG, &size);
            }), 0);
  jpeg.resize(size_t(size));

  struct Piped {
    int32_t result;
    std::vector<Event> status;
    int32_t off_thread;
    std::vector<uint8_t> bytes;  // the file saved, or the rows loaded
    std::vector<ErrorEntry> errors;
  };
  // Runs `op` with the status callback stopping it at DIB row `stop`.
  const auto piped = [](int32_t stop, auto op) {
    RX_status_callback_set(status, uintptr_t(uint32_t(stop)));
    g_log.clear();
    Piped o;
    o.result = op(&o.bytes);
    o.errors = error_entries();
    o.status = g_log.of('p');
    o.off_thread = g_log.off_thread;
    return o;
  };
  const auto save_with = [&](int32_t stop) {
    return piped(stop, [&](std::vector<uint8_t>* out) {
      out->resize(1 << 20);
      int32_t n = 0;
      const int32_t r =
          RX_image_save_memory(image, out->data(), 0, int32_t(out->size()), 0, 1, RX_FORMAT_JPEG, &n);
      out->resize(r == 0 ? size_t(n) : 0);
      return r;
    });
  };
  const auto load_with = [&](int32_t stop) {
    return piped(stop, [&](std::vector<uint8_t>* out) {
      RX_HIMAGE loaded = 0;
      const int32_t r = RX_image_load_memory(jpeg.data(), int32_t(jpeg.size()), 1, 1, &loaded);
      std::vector<uint8_t> row(size_t(test::stride_of(160, 24)));
      for (int32_t y = 0; loaded != 0 && y < 120; ++y) {
        RX_DIB_raster_get(loaded, y, row.data(), RX_ROW_PACKED);
        out->insert(out->end(), row.begin(), row.end());
      }
      if (loaded != 0) RX_image_delete(loaded);
      return r;
    });
  };
  const auto same = [](const Piped& a, const Piped& b) {
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.off_thread, 0);
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.bytes, b.bytes);
    ASSERT_EQ(a.errors.size(), b.errors.size());
    for (size_t i = 0; i < a.errors.size(); ++i) EXPECT_EQ(a.errors[i].code, b.errors[i].code);
  };

  for (int32_t stop : {-1, 119, 60, 0}) {  // DIB rows count from the bottom
    SCOPED_TRACE("stopped at " + std::to_string(stop));
    const Piped plain_save = on_plain_path([&] { return save_with(stop); });
    const Piped plain_load = on_plain_path([&] { return load_with(stop); });
    if (stop < 0) {
      EXPECT_EQ(plain_save.result, 0);
      EXPECT_EQ(plain_save.status.size(), 120u) << "once a row";
      EXPECT_EQ(plain_load.result, 0);
      EXPECT_FALSE(plain_load.status.empty());
    } else {
      ASSERT_GT(plain_save.result, 0);
      EXPECT_EQ(plain_save.status.back(), (Event{'p', stop, 120}));
      EXPECT_EQ(plain_save.errors[0].code, RXE_INTERRUPTED_BY_USER);
      ASSERT_GT(plain_load.result, 0);
      EXPECT_EQ(plain_load.status.back().a, stop);
      EXPECT_EQ(plain_load.errors[0].code, RXE_INTERRUPTED_BY_USER);
    }
    on_every_path([&] {
      same(save_with(stop), plain_save);
      same(load_with(stop), plain_load);
    });
  }
  RX_image_delete(image);
}

}  // namespace
