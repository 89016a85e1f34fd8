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

enum class HelpTopic { General, Info, Convert, Formats, Ops };

struct HelpRequest {
  HelpTopic topic = HelpTopic::General;
};

struct VersionRequest {};

struct FormatsRequest {};

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

struct UsageError {
  std::string message;
  HelpTopic topic = HelpTopic::General;
};

using Command = std::variant<HelpRequest, VersionRequest, FormatsRequest, OpsRequest, InfoRequest,
                             ConvertRequest, BatchRequest, UsageError>;

// `args` excludes the program name.
Command parse_command_line(std::span<const std::string> args);

}  // namespace rxcli
