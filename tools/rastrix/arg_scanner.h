// Splits a command line into options and operands. Options may come before,
// between or after operands; "--" ends them. Short flags group ("-rn"), a
// short option's value may be attached ("-q90") or follow, and a long
// option's value may follow '=' or come as the next argument.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rxcli {

struct OptionDef {
  char short_name;             // 0 when the option has only a long name
  std::string_view long_name;  // empty when the option has only a short name
  bool takes_value;
  int id;
};

struct ScannedOption {
  int id;
  std::string spelling;  // as the user wrote it, for messages
  std::string value;
};

struct ScanResult {
  std::vector<ScannedOption> options;
  std::vector<std::string> operands;
  std::string error;  // empty when the whole line scanned
};

ScanResult scan_arguments(std::span<const std::string> args, std::span<const OptionDef> defs);

}  // namespace rxcli
