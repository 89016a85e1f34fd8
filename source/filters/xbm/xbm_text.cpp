// XBM lines and words.
#include "filters/xbm/xbm_text.h"

namespace rx {

bool xbm_line_read(IO_BUFFER* in, char* line, uint32_t* length) {
  uint32_t n = 0;
  bool any = false;
  uint8_t c = 0;
  while (io_buffer_byte_get(in, &c) != 0) {
    any = true;
    if (c == '\n') break;
    if (n < kXbmLineBytes - 1) line[n++] = static_cast<char>(c);
  }
  if (n > 0 && line[n - 1] == '\r') --n;
  *length = n;
  return any;
}

std::string_view xbm_word(std::string_view line, uint32_t index) {
  size_t at = 0;
  for (uint32_t k = 0;; ++k) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) return {};
    const size_t end = line.find(' ', at);
    const std::string_view word = line.substr(at, end == std::string_view::npos ? end : end - at);
    if (k == index) return word;
    if (end == std::string_view::npos) return {};
    at = end;
  }
}

}  // namespace rx
