#include "formats.h"

#include <array>
#include <cctype>
#include <cstdio>

#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

struct Alias {
  std::string_view name;
  std::string_view format;
};

// Spellings people use for formats whose engine name is the short one.
constexpr std::array<Alias, 3> kAliases = {{{"JPEG", "JPG"}, {"JPE", "JPG"}, {"TIFF", "TIF"}}};

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view canonical(std::string_view name) {
  for (const Alias& a : kAliases)
    if (same_ignoring_case(name, a.name)) return a.format;
  return name;
}

}  // namespace

std::optional<uint32_t> format_code_by_name(std::string_view name) {
  const std::string_view wanted = canonical(name);
  for (int32_t code = RX_FORMAT_UNKNOWN + 1; code <= kLastNamedFormat; ++code)
    if (same_ignoring_case(wanted, RX_format_name_get(code))) return static_cast<uint32_t>(code);
  return std::nullopt;
}

bool is_image_extension(std::string_view extension) {
  // Text files turn into images only when text detection is switched on,
  // and a folder's notes and listings are rarely meant for conversion.
  const std::optional<uint32_t> code = format_code_by_name(extension);
  return code.has_value() && *code != RX_FORMAT_TEXT;
}

int run_formats() {
  for (int32_t code = RX_FORMAT_UNKNOWN + 1; code <= kLastNamedFormat; ++code)
    std::printf("%d\t%s\n", code, RX_format_name_get(code));
  return 0;
}

}  // namespace rxcli
