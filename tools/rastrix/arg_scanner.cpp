#include "arg_scanner.h"

namespace rxcli {
namespace {

const OptionDef* find_long(std::span<const OptionDef> defs, std::string_view name) {
  for (const OptionDef& s : defs)
    if (!s.long_name.empty() && s.long_name == name) return &s;
  return nullptr;
}

const OptionDef* find_short(std::span<const OptionDef> defs, char name) {
  for (const OptionDef& s : defs)
    if (s.short_name != 0 && s.short_name == name) return &s;
  return nullptr;
}

// Scans the long option at args[i]; returns the index of the last argument used.
size_t scan_long(std::span<const std::string> args, size_t i, std::span<const OptionDef> defs,
                 ScanResult& r) {
  const std::string& arg = args[i];
  const size_t eq = arg.find('=');
  const std::string spelling = arg.substr(0, eq);
  const OptionDef* def = find_long(defs, std::string_view(spelling).substr(2));
  if (def == nullptr) {
    r.error = "unknown option '" + spelling + "'";
  } else if (!def->takes_value && eq != std::string::npos) {
    r.error = "option '" + spelling + "' takes no value";
  } else if (!def->takes_value) {
    r.options.push_back({def->id, spelling, {}});
  } else if (eq != std::string::npos) {
    r.options.push_back({def->id, spelling, arg.substr(eq + 1)});
  } else if (i + 1 < args.size()) {
    r.options.push_back({def->id, spelling, args[++i]});
  } else {
    r.error = "option '" + spelling + "' needs a value";
  }
  return i;
}

// Scans a group of short options at args[i]; returns the index of the last
// argument used.
size_t scan_short(std::span<const std::string> args, size_t i, std::span<const OptionDef> defs,
                  ScanResult& r) {
  const std::string& arg = args[i];
  for (size_t k = 1; k < arg.size(); ++k) {
    const std::string spelling = std::string("-") + arg[k];
    const OptionDef* def = find_short(defs, arg[k]);
    if (def == nullptr) {
      r.error = "unknown option '" + spelling + "'";
      return i;
    }
    if (!def->takes_value) {
      r.options.push_back({def->id, spelling, {}});
      continue;
    }
    if (k + 1 < arg.size()) {
      r.options.push_back({def->id, spelling, arg.substr(k + 1)});
    } else if (i + 1 < args.size()) {
      r.options.push_back({def->id, spelling, args[++i]});
    } else {
      r.error = "option '" + spelling + "' needs a value";
    }
    return i;
  }
  return i;
}

}  // namespace

ScanResult scan_arguments(std::span<const std::string> args, std::span<const OptionDef> defs) {
  ScanResult r;
  for (size_t i = 0; i < args.size() && r.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      r.operands.insert(r.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        args.end());
      break;
    }
    if (arg.starts_with("--"))
      i = scan_long(args, i, defs, r);
    else if (arg.size() > 1 && arg[0] == '-')
      i = scan_short(args, i, defs, r);
    else
      r.operands.push_back(arg);  // "-" alone is an operand too
  }
  return r;
}

}  // namespace rxcli
