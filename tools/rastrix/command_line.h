// What the user asked for, parsed from the command line into one request
// per command. Parsing checks everything that needs no file system, so a
// bad command line is refused before any file is touched.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "operations.h"
#include "rastrix/rx_codes.h"

namespace rxcli {

enum class HelpTopic { General, Info, Convert, Formats, Render, Extensions, Ops };

struct HelpRequest {
  HelpTopic topic = HelpTopic::General;
};

struct VersionRequest {};

struct FormatsRequest {};

struct ExtensionsRequest {};
struct OpsRequest {};

struct InfoRequest {
  bool json = false;
  std::vector<std::string> files;
};

// The largest image a conversion loads unless --max-pixels says otherwise:
// a 179-megapixel image takes over 500 MB as 24-bit pixels.
inline constexpr uint64_t kDefaultMaxPixels = 179000000;

struct ConvertRequest {
  std::string input;
  std::string output;
  uint32_t format = RX_FORMAT_UNKNOWN;  // by the output's extension
  int32_t page = 1;
  std::optional<uint32_t> quality;
  uint64_t max_pixels = kDefaultMaxPixels;  // 0: the engine's own limit
  std::vector<Operation> operations;        // applied in this order
};

struct BatchRequest {
  std::string extension;  // without the dot
  std::optional<std::string> out_dir;
  bool recursive = false;
  bool keep_existing = false;
  int jobs = 1;
  int32_t page = 1;
  std::optional<uint32_t> quality;
  uint64_t max_pixels = kDefaultMaxPixels;  // 0: the engine's own limit
  std::vector<Operation> operations;        // applied in this order
  std::vector<std::string> inputs;
};

// `rastrix render`: draws an image through the display engine into a
// surface and saves the surface. Each option sets one display attribute.
struct RenderRequest {
  std::string input;
  std::string output;
  int32_t page = 1;
  int32_t width = 0, height = 0;  // 0: the image's size, turned as it is shown
  int32_t depth = 24;              // bits per pixel of the surface
  std::optional<int32_t> fit;      // 0..3
  std::optional<int32_t> zoom;     // percent
  std::optional<int32_t> aspect;
  bool centre = false;
  std::optional<int32_t> rotate;   // 0..3
  std::optional<int32_t> alias_mode;  // 0..4; 3 and 4 are 1 and 2 with the variant
  int32_t alias_quality = 100;
  std::optional<int32_t> dither;
  std::optional<double> gamma, brightness, contrast;
  std::optional<uint32_t> rop;
  std::optional<uint32_t> transparent;  // 0xRRGGBB
  std::optional<uint32_t> background;   // 0xRRGGBB
  bool printer = false;
  uint64_t max_pixels = kDefaultMaxPixels;
};

struct UsageError {
  std::string message;
  HelpTopic topic = HelpTopic::General;
};

using Command = std::variant<HelpRequest, VersionRequest, FormatsRequest, ExtensionsRequest,
                             OpsRequest, InfoRequest, ConvertRequest, BatchRequest, RenderRequest,
                             UsageError>;

// `args` excludes the program name and the global options
// (global_options_take in extensions.h).
Command parse_command_line(std::span<const std::string> args);

}  // namespace rxcli
