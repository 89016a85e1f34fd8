// The JPEG reader's marker loop and the segments in front of the scan:
// Huffman and quantisation tables, the restart interval, JFIF, other
// application segments, comments and the frame header. Every length and
// count comes from the file, so each one is checked against what the
// segment really holds before anything is indexed with it.
#include <algorithm>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_read.h"
#include "filters/jpeg/jpeg_tables.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_markers.cpp");

namespace rx::jpeg {

bool read_u8(Decoder* d, uint8_t* v) {
  if (RPb_IO_byte_read(d->io, v) != 1) return fail(d, RXE_CANT_READ_HEADER, 1, 0);
  return true;
}

bool read_u16(Decoder* d, uint16_t* v) {
  const int32_t got = RPb_IO_word_read(d->io, v);
  if (got != 2) return fail(d, RXE_CANT_READ_HEADER, 2, got);
  return true;
}

bool read_bytes(Decoder* d, void* out, int32_t n) {
  if (n <= 0) return true;
  const int32_t got = RPb_IO_read(d->io, out, n);
  if (got != n) return fail(d, RXE_CANT_READ_HEADER, n, got);
  return true;
}

bool skip_bytes(Decoder* d, int32_t n) {
  if (n < 0) return fail(d, RXE_CANT_READ_HEADER, n, 0);
  if (n == 0) return true;
  const int32_t here = RPb_IO_tell(d->io);
  if (here < 0 || RPb_IO_seek(d->io, n, RX_SEEK_CUR) != here + n)
    return fail(d, RXE_CANT_READ_HEADER, n, here);
  return true;
}

namespace {

// The bytes of a segment after its length word.
bool segment_length(Decoder* d, int32_t* left) {
  uint16_t length = 0;
  if (!read_u16(d, &length)) return false;
  if (length < 2) return fail(d, RXE_CANT_READ_HEADER, length, 2);
  *left = length - 2;
  return true;
}

// Takes the next marker. Between segments only a marker belongs; anything
// else is passed over up to the next 0xFF, and 0xFF fill bytes after it.
bool marker_next(Decoder* d, uint16_t* marker) {
  uint16_t word = 0;
  if (!read_u16(d, &word)) return false;
  auto b = static_cast<uint8_t>(word & 0xFF);
  if ((word >> 8) == 0xFF && b != 0x00 && b != 0xFF) {
    *marker = word;
    return true;
  }
  while (b != 0xFF)
    if (!read_u8(d, &b)) return false;
  do {
    if (!read_u8(d, &b)) return false;
  } while (b == 0xFF);
  *marker = static_cast<uint16_t>(0xFF00 | b);
  return true;
}

bool dht_read(Decoder* d) {
  int32_t left = 0;
  if (!segment_length(d, &left)) return false;
  while (left > 0) {
    uint8_t id = 0;
    uint8_t counts[16];
    uint8_t values[256];
    // A table must lie within the segment: reading on into the next one
    // would take its bytes for codes.
    if (left < 17) return fail(d, RXE_CANT_READ_HEADER, left, 17);
    if (!read_u8(d, &id) || !read_bytes(d, counts, 16)) return false;
    left -= 17;
    if ((id & 0xEC) != 0) return fail(d, RXE_JPEG_HUFFMAN_CLASS, id, 0);
    int32_t total = 0;
    for (uint8_t c : counts) total += c;
    if (total > 256) return fail(d, RXE_JPEG_HUFFMAN_COUNTS, total, 0);
    if (left < total) return fail(d, RXE_CANT_READ_HEADER, left, total);
    if (!read_bytes(d, values, total)) return false;
    left -= total;
    const bool dc = (id & 0x10) == 0;
    HuffTable* t = dc ? &d->dc[id & 3] : &d->ac[id & 3];
    if (!huff_table_build(t, dc, counts, values)) return fail(d, RXE_JPEG_HUFFMAN_COUNTS, id, total);
  }
  return true;
}

void quant_store(Decoder* d, int tq, const uint16_t raw[64]) {
  // Scaled once here, so the inverse DCT needs no multiplications for its
  // input scale: entry k carries P(u, v) / 2 of its natural position.
  for (int k = 0; k < 64; ++k)
    d->quant[tq][k] = kPostScale[kZigzag[k]] * int32_t{raw[k]} / 2;
  d->quant_defined[tq] = true;
}

bool dqt_table(Decoder* d, int32_t* left) {
  uint8_t pq_tq = 0;
  if (!read_u8(d, &pq_tq)) return false;
  *left -= 1;
  const int tq = pq_tq & 15;
  const int pq = pq_tq >> 4;
  if (tq >= 4) return fail(d, RXE_JPEG_QUANT_SELECTOR, tq, 0);
  if (pq > 1) return fail(d, RXE_JPEG_QUANT_PRECISION, pq, 0);
  const int32_t size = pq == 0 ? 64 : 128;
  // A 16-bit table must lie within the segment, or the bytes left over
  // would be counted backwards into it.
  if (*left < size) return fail(d, RXE_CANT_READ_HEADER, *left, size);
  uint8_t stored[128];
  if (!read_bytes(d, stored, size)) return false;
  *left -= size;
  uint16_t raw[64];
  for (int k = 0; k < 64; ++k)
    raw[k] = pq == 0 ? stored[k] : static_cast<uint16_t>(stored[2 * k] << 8 | stored[2 * k + 1]);
  quant_store(d, tq, raw);
  if (d->tags)
    RPb_IO_tag_set(d->io, tag::kQuant + tq, tag::kTypeBytes, reinterpret_cast<uintptr_t>(stored),
                   size);
  return true;
}

bool dqt_read(Decoder* d) {
  int32_t left = 0;
  if (!segment_length(d, &left)) return false;
  while (left >= 65)
    if (!dqt_table(d, &left)) return false;
  return skip_bytes(d, left);
}

bool dri_read(Decoder* d) {
  uint16_t length = 0;
  if (!read_u16(d, &length)) return false;
  if (length != 4) return fail(d, RXE_CANT_READ_HEADER, length, 4);
  return read_u16(d, &d->restart_interval);
}

void jfif_report(Decoder* d) {
  const Jfif& j = d->jfif;
  IO_REC* io = d->io;
  RPb_IO_tag_set(io, tag::kJfifIdent, tag::kTypeBytes, reinterpret_cast<uintptr_t>(j.ident), 5);
  RPb_IO_tag_word_set(io, tag::kJfifVersion, j.version);
  RPb_IO_tag_byte_set(io, tag::kJfifUnits, j.units);
  RPb_IO_tag_word_set(io, tag::kXDensity, j.x_density);
  RPb_IO_tag_word_set(io, tag::kYDensity, j.y_density);
  RPb_IO_tag_byte_set(io, tag::kThumbWidth, j.thumb_width);
  RPb_IO_tag_byte_set(io, tag::kThumbHeight, j.thumb_height);
}

bool app0_read(Decoder* d) {
  int32_t left = 0;
  uint8_t ident[5];
  if (!segment_length(d, &left) || !read_bytes(d, ident, 5)) return false;
  left -= 5;
  // Other APP0 segments (JFIF extensions among them) carry no JFIF fields:
  // taking their bytes as densities would give the image a made-up
  // resolution, or refuse a sound file.
  if (std::memcmp(ident, "JFIF\0", 5) != 0) return skip_bytes(d, left);
  Jfif j{};
  std::memcpy(j.ident, ident, 5);
  if (!read_u16(d, &j.version) || !read_u8(d, &j.units) || !read_u16(d, &j.x_density) ||
      !read_u16(d, &j.y_density) || !read_u8(d, &j.thumb_width) || !read_u8(d, &j.thumb_height))
    return false;
  left -= 9;
  d->jfif = j;
  if (d->tags) jfif_report(d);  // the fields as the file has them
  if (j.x_density == 0) d->jfif.x_density = kDefaultDensity;
  if (j.y_density == 0) d->jfif.y_density = kDefaultDensity;
  // A thumbnail's pixels are passed over; without one the segment must end here.
  if (j.thumb_width != 0) return skip_bytes(d, left);
  if (left != 0) return fail(d, RXE_CANT_READ_HEADER, left, 0);
  return true;
}

bool appn_read(Decoder* d, uint16_t marker) {
  int32_t left = 0;
  if (!segment_length(d, &left)) return false;
  if (!d->tags || left == 0) return skip_bytes(d, left);
  void* body = RPb_AF_mem_alloc(d->tag, static_cast<size_t>(left));
  if (body == nullptr) return fail(d, RXE_GLOBAL_MEMORY_DEPLETED, left, 0);
  const bool ok = read_bytes(d, body, left);
  if (ok)
    RPb_IO_tag_set(d->io, tag::kApp1 + (marker - 0xFFE1), tag::kTypeBytes,
                   reinterpret_cast<uintptr_t>(body), left);
  RPb_AF_mem_free(d->tag, body);
  return ok;
}

bool com_read(Decoder* d) {
  int32_t left = 0;
  if (!segment_length(d, &left)) return false;
  const int32_t keep = std::min(left, kCommentBytes);
  std::memset(d->comment, 0, sizeof d->comment);
  if (!read_bytes(d, d->comment, keep)) return false;
  if (d->tags)
    RPb_IO_tag_set(d->io, tag::kComment, tag::kTypeAscii, reinterpret_cast<uintptr_t>(d->comment),
                   kCommentBytes);
  return skip_bytes(d, left - keep);
}

void frame_report(Decoder* d) {
  const Frame& f = d->frame;
  IO_REC* io = d->io;
  RPb_IO_tag_byte_set(io, tag::kPrecision, f.precision);
  RPb_IO_tag_word_set(io, tag::kLines, f.lines);
  RPb_IO_tag_word_set(io, tag::kSamples, f.samples);
  RPb_IO_tag_byte_set(io, tag::kCount, f.count);
  for (int i = 0; i < std::min<int>(f.count, tag::kPerComponent); ++i) {
    RPb_IO_tag_byte_set(io, tag::kCompId + i, f.comp[i].id);
    RPb_IO_tag_byte_set(io, tag::kCompSampling + i, f.comp[i].sampling);
    RPb_IO_tag_byte_set(io, tag::kCompQuant + i, f.comp[i].quant);
  }
}

}  // namespace

bool marker_loop(Decoder* d, uint16_t* marker) {
  for (;;) {
    uint16_t m = 0;
    if (!marker_next(d, &m)) return false;
    bool ok = true;
    if (m == kMarkerDHT) ok = dht_read(d);
    else if (m == kMarkerDAC) ok = fail(d, RXE_JPEG_UNSUPPORTED, kMarkerDAC, 0);
    else if (m == kMarkerDQT) ok = dqt_read(d);
    else if (m == kMarkerDRI) ok = dri_read(d);
    else if (m == kMarkerAPP0) ok = app0_read(d);
    else if (m > kMarkerAPP0 && m <= kMarkerAPP15) ok = appn_read(d, m);
    else if (m == kMarkerCOM) ok = com_read(d);
    else {
      *marker = m;
      return true;
    }
    if (!ok) return false;
  }
}

bool frame_read(Decoder* d) {
  int32_t left = 0;
  Frame f{};
  if (!segment_length(d, &left) || !read_u8(d, &f.precision) || !read_u16(d, &f.lines) ||
      !read_u16(d, &f.samples) || !read_u8(d, &f.count))
    return false;
  left -= 6;
  const int kept = std::min<int>(f.count, 4);
  for (int i = 0; i < kept; ++i) {
    FrameComponent& c = f.comp[i];
    if (!read_u8(d, &c.id) || !read_u8(d, &c.sampling) || !read_u8(d, &c.quant)) return false;
    left -= 3;
  }
  if (left < 0) return fail(d, RXE_CANT_READ_HEADER, left, 0);
  f.read = true;
  d->frame = f;
  if (d->tags) frame_report(d);
  return skip_bytes(d, left);
}

}  // namespace rx::jpeg
