// Format names as users type them: the engine's names of format codes,
// matched without regard to case, and the file extensions a folder walk
// treats as images.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "rastrix/rx_codes.h"

namespace rxcli {

inline constexpr int32_t kLastNamedFormat = RX_FORMAT_XWD;

// The code of a format name ("bmp", "JPG", "jpeg"), or nothing.
std::optional<uint32_t> format_code_by_name(std::string_view name);

// Whether a file with this extension (without the dot) is taken from a
// folder: any format name except TXT, plus JPEG, JPE and TIFF.
bool is_image_extension(std::string_view extension);

// `rastrix formats`: "code<TAB>name" for each named format.
int run_formats();

}  // namespace rxcli
