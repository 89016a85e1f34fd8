#include "text_escape.h"

#include <cstdint>
#include <cstdio>

namespace rxcli {
namespace {

uint8_t byte_at(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

bool is_continuation(std::string_view s, size_t i) {
  return i < s.size() && (byte_at(s, i) & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence of two or more bytes at i, or 0.
// Overlong forms, surrogates and values past U+10FFFF are not well formed.
size_t utf8_sequence(std::string_view s, size_t i) {
  const uint8_t lead = byte_at(s, i);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0xC2 || lead > 0xF4) return 0;
  uint32_t value = lead & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    if (!is_continuation(s, i + k)) return 0;
    value = value << 6 | (byte_at(s, i + k) & 0x3Fu);
  }
  const uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

void append_ascii_escaped(std::string& out, char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
    out += code;
  } else {
    out += c;
  }
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    if (byte_at(text, i) < 0x80) {
      append_ascii_escaped(out, text[i++]);
    } else if (const size_t n = utf8_sequence(text, i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out + "\"";
}

std::string tsv_field(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace rxcli
