// Rows a reader may write in place: the stream layer's side of the offer,
// which the load pipeline answers.
#include "IO/io_direct_rows.h"

#include <algorithm>

#include "platform/kernel.h"

namespace rx {
namespace {

DirectRowsFn g_direct_rows = nullptr;
DirectRowsFn g_source_rows = nullptr;

bool ask(DirectRowsFn fn, IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows) {
  return fn != nullptr && io != nullptr && rows != nullptr && fn(io, height, row_bytes, rows);
}

}  // namespace

void io_direct_rows_install(DirectRowsFn fn) { g_direct_rows = fn; }
void io_source_rows_install(DirectRowsFn fn) { g_source_rows = fn; }

bool io_direct_rows(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows) {
  return ask(g_direct_rows, io, height, row_bytes, rows);
}

bool io_source_rows(IO_REC* io, int32_t height, uint32_t row_bytes, DirectRows* rows) {
  return ask(g_source_rows, io, height, row_bytes, rows);
}

void io_direct_rows_prepare(const DirectRows& rows, int32_t y0, int32_t count) {
  y0 = std::clamp(y0, 0, rows.height);
  count = std::clamp(count, 0, rows.height - y0);
  if (count == 0) return;
  uint8_t* first = rows.row(y0);
  uint8_t* last = rows.row(y0 + count - 1);
  uint8_t* low = std::min(first, last);
  pk_memory_prepare(low, static_cast<size_t>(std::max(first, last) - low) + rows.bytes);
}

}  // namespace rx
