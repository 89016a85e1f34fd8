// libtiff over a block of memory, for the benchmarks that time libtiff
// without the file system: a growing byte vector with a position.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace bench {

struct MemFile {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
};

namespace mem_detail {

inline tmsize_t mem_read(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  const size_t take =
      std::min<size_t>(static_cast<size_t>(n), f->bytes.size() - std::min(f->pos, f->bytes.size()));
  std::memcpy(buf, f->bytes.data() + f->pos, take);
  f->pos += take;
  return static_cast<tmsize_t>(take);
}
inline tmsize_t mem_write(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos + static_cast<size_t>(n) > f->bytes.size()) f->bytes.resize(f->pos + static_cast<size_t>(n));
  std::memcpy(f->bytes.data() + f->pos, buf, static_cast<size_t>(n));
  f->pos += static_cast<size_t>(n);
  return n;
}
inline toff_t mem_seek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(f->pos)
                       : whence == SEEK_END ? static_cast<int64_t>(f->bytes.size())
                                            : 0;
  f->pos = static_cast<size_t>(base + static_cast<int64_t>(off));
  return f->pos;
}
inline int mem_close(thandle_t) { return 0; }
inline toff_t mem_size(thandle_t h) { return static_cast<MemFile*>(h)->bytes.size(); }
inline int mem_map(thandle_t, void**, toff_t*) { return 0; }
inline void mem_unmap(thandle_t, void*, toff_t) {}

}  // namespace mem_detail

// Opens the block from its start for libtiff ("r" or "w").
inline TIFF* mem_open(MemFile* f, const char* mode) {
  using namespace mem_detail;
  f->pos = 0;
  return TIFFClientOpen("mem", mode, f, mem_read, mem_write, mem_seek, mem_close, mem_size, mem_map,
                        mem_unmap);
}

}  // namespace bench
