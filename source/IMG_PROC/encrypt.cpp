// Scrambling the pixels of a rectangle under a password, and undoing it.
//
// A line is the rectangle's part of one column or row, one byte per pixel
// (three for 24-bit pixels, so the channels mix too). A line pass
// transposes every line through a table whose column count (the stride)
// comes from the password and then rotates it by a password byte chosen by
// the line's image column or row; the mixing pass xors the row lines with
// the password. Scrambling is column, row, mix, column, row; unscrambling
// runs the exact inverses in the reverse order. Values that the xor takes
// out of a 1- or 4-bit pixel's range are stored by their low bits, which
// the second xor restores, so 1- and 4-bit images come back exactly too.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\encrypt.cpp");

namespace rx::ip {
namespace {

// The password as the passes use it: its bytes as signed values, and the
// transposition stride, their sum divided by their count.
struct Key {
  const int8_t* c;
  int64_t length;
  int64_t stride;
  int32_t at(int64_t i) const { return c[i % length]; }
};

// A rectangle's lines on a plain DIB in one-byte-per-pixel form.
class Lines {
 public:
  Lines(IMAGE_REC* record, const Span& span)
      : dib_(record->dib), span_(span), bits_(dib_header(record->dib)->biBitCount),
        bytes_per_pixel_(bits_ == 24 ? 3 : 1) {}

  uint32_t row_bytes() const { return static_cast<uint32_t>(span_.columns()) * bytes_per_pixel_; }
  uint32_t column_bytes() const { return static_cast<uint32_t>(span_.rows()) * bytes_per_pixel_; }

  void row_read(int32_t y, uint8_t* out) const {
    const uint8_t* row = dib_image_row(dib_, y);
    for (int32_t x = span_.left; x <= span_.right; ++x, out += bytes_per_pixel_) pixel_get(row, x, out);
  }
  void row_write(int32_t y, const uint8_t* in) const {
    uint8_t* row = dib_image_row(dib_, y);
    for (int32_t x = span_.left; x <= span_.right; ++x, in += bytes_per_pixel_) pixel_put(row, x, in);
  }
  void column_read(int32_t x, uint8_t* out) const {
    for (int32_t y = span_.top; y <= span_.bottom; ++y, out += bytes_per_pixel_)
      pixel_get(dib_image_row(dib_, y), x, out);
  }
  void column_write(int32_t x, const uint8_t* in) const {
    for (int32_t y = span_.top; y <= span_.bottom; ++y, in += bytes_per_pixel_)
      pixel_put(dib_image_row(dib_, y), x, in);
  }

 private:
  void pixel_get(const uint8_t* row, int32_t x, uint8_t* out) const {
    const auto ux = static_cast<uint32_t>(x);
    if (bits_ == 1) *out = (row[ux >> 3] >> (7 - (ux & 7))) & 1u;
    else if (bits_ == 4) *out = (ux & 1) ? row[ux >> 1] & 15u : row[ux >> 1] >> 4;
    else std::memcpy(out, row + size_t{ux} * bytes_per_pixel_, bytes_per_pixel_);
  }
  // 1- and 4-bit values keep their low bits, as the engine's row access
  // stores them.
  void pixel_put(uint8_t* row, int32_t x, const uint8_t* in) const {
    const auto ux = static_cast<uint32_t>(x);
    if (bits_ == 1) {
      const auto mask = static_cast<uint8_t>(0x80u >> (ux & 7));
      row[ux >> 3] = static_cast<uint8_t>((*in & 1) ? row[ux >> 3] | mask : row[ux >> 3] & ~mask);
    } else if (bits_ == 4) {
      const uint32_t keep = (ux & 1) ? 0xF0u : 0x0Fu;
      const uint32_t put = (ux & 1) ? (*in & 15u) : (*in & 15u) << 4;
      row[ux >> 1] = static_cast<uint8_t>((row[ux >> 1] & keep) | put);
    } else {
      std::memcpy(row + size_t{ux} * bytes_per_pixel_, in, bytes_per_pixel_);
    }
  }

  void* dib_;
  Span span_;
  uint32_t bits_;
  uint32_t bytes_per_pixel_;
};

// Byte i of the line sits at row i / k, column i mod k of a k-column table;
// the table is read out column by column. `forward` transposes from `in`
// to `out`, otherwise puts a transposed line back.
void transpose(const uint8_t* in, uint8_t* out, int64_t n, int64_t k, bool forward) {
  int64_t pos = 0;
  for (int64_t column = 0; column < k && column < n; ++column) {
    for (int64_t i = column; i < n; i += k, ++pos) {
      if (forward) out[pos] = in[i];
      else out[i] = in[pos];
    }
  }
}

// out[j] = in[(j + s) mod n].
void rotate(const uint8_t* in, uint8_t* out, int64_t n, int64_t s) {
  int64_t from = s % n;
  if (from < 0) from += n;
  std::memcpy(out, in + from, static_cast<size_t>(n - from));
  std::memcpy(out + (n - from), in, static_cast<size_t>(from));
}

// Walks the passes, reporting each line to the status callback.
class Scrambler {
 public:
  Scrambler(const Lines& lines, const Span& span, const Key& key, uint8_t* a, uint8_t* b)
      : lines_(lines), span_(span), key_(key), a_(a), b_(b),
        total_(3 * (span.bottom - span.top) + 2 * (span.right - span.left) + 5) {}

  bool columns(bool forward) {
    const int64_t n = lines_.column_bytes();
    for (int32_t x = span_.left; x <= span_.right; ++x) {
      lines_.column_read(x, a_);
      line_pass(n, key_.at(x), forward);
      lines_.column_write(x, a_);
      if (!line_done()) return false;
    }
    return true;
  }

  bool rows(bool forward) {
    const int64_t n = lines_.row_bytes();
    for (int32_t y = span_.top; y <= span_.bottom; ++y) {
      lines_.row_read(y, a_);
      line_pass(n, key_.at(y), forward);
      lines_.row_write(y, a_);
      if (!line_done()) return false;
    }
    return true;
  }

  bool mix() {
    const int64_t n = lines_.row_bytes();
    for (int32_t y = span_.top; y <= span_.bottom; ++y) {
      lines_.row_read(y, a_);
      for (int64_t j = 0; j < n; ++j) a_[j] = static_cast<uint8_t>(a_[j] ^ static_cast<uint8_t>(key_.at(j)));
      lines_.row_write(y, a_);
      if (!line_done()) return false;
    }
    return true;
  }

 private:
  // The line is in a_ and ends there.
  void line_pass(int64_t n, int32_t c, bool forward) {
    if (forward) {
      transpose(a_, b_, n, key_.stride, true);
      rotate(b_, a_, n, -c);
    } else {
      rotate(a_, b_, n, c);
      transpose(b_, a_, n, key_.stride, false);
    }
  }

  bool line_done() {
    ++done_;
    if (progress_.go_on(done_, total_)) return true;
    push_interrupted(done_, total_);
    return false;
  }

  const Lines& lines_;
  Span span_;
  Key key_;
  uint8_t* a_;
  uint8_t* b_;
  const int32_t total_;
  int32_t done_ = 0;
  const Progress progress_;
};

bool depth_ok(uint32_t bits) {
  if (bits == 1 || bits == 4 || bits == 8 || bits == 24) return true;
  RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, bits, 0);
  return false;
}

// The key of a password; a stride below 1 leaves the transposition
// undefined, so such passwords are refused like an empty one.
bool key_of(const char* password, Key* key) {
  const size_t length = password == nullptr ? 0 : std::strlen(password);
  if (length == 0) {
    RX_ERR(RXE_INVALID_PASSWORD_LENGTH, 0, 0);
    return false;
  }
  int64_t sum = 0;
  for (size_t i = 0; i < length; ++i) sum += static_cast<int8_t>(password[i]);
  key->c = reinterpret_cast<const int8_t*>(password);
  key->length = static_cast<int64_t>(length);
  key->stride = sum / key->length;
  if (key->stride >= 1) return true;
  RX_ERR(RXE_INVALID_PASSWORD_LENGTH, static_cast<int32_t>(std::min<size_t>(length, INT32_MAX)),
         static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX)));
  return false;
}

bool passes(IMAGE_REC* record, const Span& span, const Key& key, uint8_t* a, uint8_t* b, bool forward) {
  RecordLock lock(record);
  if (!lock.held()) {
    push_lock_failed();
    return false;
  }
  const Lines lines(record, span);
  Scrambler s(lines, span, key, a, b);
  if (forward) return s.columns(true) && s.rows(true) && s.mix() && s.columns(true) && s.rows(true);
  return s.rows(false) && s.columns(false) && s.mix() && s.rows(false) && s.columns(false);
}

void scramble(RX_HIMAGE image, const int32_t* rect, int32_t method, const char* password, bool forward) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return;
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t bits = h->biBitCount;
  Key key{};
  if (!depth_ok(bits) || !key_of(password, &key)) return;
  const Span span = span_clamp(rect, h);
  // Two line buffers as long as the rectangle's longer side.
  const uint64_t line = uint64_t{static_cast<uint32_t>(std::max(span.columns(), span.rows()))} * (bits == 24 ? 3 : 1);
  TagGuard scratch;
  auto* a = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(line)));
  auto* b = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(line)));
  if (a == nullptr || b == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(line, INT32_MAX)), 0);
    return;
  }
  if (method != RX_ENCRYPT_METHOD_TRANSPOSE) {
    RX_ERR(RXE_INVALID_ENCRYPTION_MODE, method, 0);
    return;
  }
  // A runs image is scrambled as plain rows and stored as runs again, even
  // after a stop, so that it keeps its format.
  const bool runs = dib_is_runs(record->dib);
  if (runs && runs_to_plain(record) != 0) return;
  passes(record, span, key, a, b, forward);
  if (runs) plain_to_runs(record);
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_encrypt(RX_HIMAGE image, const int32_t* rect, int32_t method, const char* password) {
  scramble(image, rect, method, password, true);
  return error_count();
}

extern "C" int32_t RX_IP_decrypt(RX_HIMAGE image, const int32_t* rect, int32_t method, const char* password) {
  scramble(image, rect, method, password, false);
  return error_count();
}
