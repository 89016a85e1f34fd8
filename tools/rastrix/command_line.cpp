#include "command_line.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "arg_scanner.h"
#include "formats.h"

namespace rxcli {
namespace {

enum OptionId { kHelp, kJson, kFormatCode, kFormatName, kQuality, kPage, kTo, kOutDir, kRecursive,
                kKeepExisting, kJobs, kMaxPixels, kFirstOperation };

constexpr std::array<OptionDef, 2> kInfoOptions = {{
    {'h', "help", false, kHelp},
    {0, "json", false, kJson},
}};

constexpr std::array<OptionDef, 11> kConvertOptions = {{
    {'h', "help", false, kHelp},
    {'f', "", true, kFormatCode},
    {0, "format", true, kFormatName},
    {'q', "quality", true, kQuality},
    {'p', "page", true, kPage},
    {0, "to", true, kTo},
    {'o', "out-dir", true, kOutDir},
    {'r', "recursive", false, kRecursive},
    {'n', "no-overwrite", false, kKeepExisting},
    {'j', "jobs", true, kJobs},
    {0, "max-pixels", true, kMaxPixels},
}};

// The options of `convert`: its own, then one per operation (and alias),
// whose id is kFirstOperation plus the operation's row.
std::vector<OptionDef> convert_option_defs() {
  std::vector<OptionDef> defs(kConvertOptions.begin(), kConvertOptions.end());
  const std::span<const OperationDef> ops = operation_table();
  for (size_t i = 0; i < ops.size(); ++i) {
    const int id = kFirstOperation + static_cast<int>(i);
    defs.push_back({0, ops[i].name, !ops[i].argument.empty(), id});
    if (!ops[i].alias.empty()) defs.push_back({0, ops[i].alias, !ops[i].argument.empty(), id});
  }
  return defs;
}

// Everything `convert` accepts, before deciding between one file and a batch.
struct ConvertOptions {
  std::optional<uint32_t> format;
  std::optional<uint32_t> quality;
  int32_t page = 1;
  std::optional<std::string> to;
  std::optional<std::string> out_dir;
  bool recursive = false;
  bool keep_existing = false;
  std::optional<int> jobs;
  uint64_t max_pixels = kDefaultMaxPixels;
  std::string batch_only;  // spelling of the first batch-only option seen
  std::vector<Operation> operations;
};

bool has_help(const ScanResult& r) {
  for (const ScannedOption& o : r.options)
    if (o.id == kHelp) return true;
  return false;
}

// A whole decimal number in [low, high], or nothing.
std::optional<int64_t> parse_number(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    return std::nullopt;
  return value;
}

std::string range_error(const ScannedOption& o, int64_t low, int64_t high) {
  return "option '" + o.spelling + "' needs a whole number from " + std::to_string(low) + " to " +
         std::to_string(high) + ", not '" + o.value + "'";
}

std::string normalise_extension(std::string ext, std::string& error) {
  if (ext.starts_with('.')) ext.erase(0, 1);
  if (ext.empty() || ext.find('/') != std::string::npos || ext.starts_with('.'))
    error = "'--to' needs an extension such as 'jpg'";
  return ext;
}

std::string set_format(ConvertOptions& c, const ScannedOption& o) {
  if (c.format) return "give the output format once, with '-f' or with '--format'";
  if (o.id == kFormatName) {
    c.format = format_code_by_name(o.value);
    if (!c.format) return "unknown format name '" + o.value + "' (see 'rastrix formats')";
    return {};
  }
  const auto code = parse_number(o.value, 0, 0xFFFF);
  if (!code) return range_error(o, 0, 0xFFFF);
  c.format = static_cast<uint32_t>(*code);
  return {};
}

// Numbered options; returns an error message or nothing.
std::string set_number(ConvertOptions& c, const ScannedOption& o) {
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
  const int64_t high = o.id == kQuality ? 100 : o.id == kJobs ? 256 : kIntMax;
  const auto n = parse_number(o.value, 1, high);
  if (!n) return range_error(o, 1, high);
  if (o.id == kQuality) c.quality = static_cast<uint32_t>(*n);
  if (o.id == kPage) c.page = static_cast<int32_t>(*n);
  if (o.id == kJobs) c.jobs = static_cast<int>(*n);
  return {};
}

// Options that only a batch takes; the first one seen is remembered so a
// single conversion can name it when refusing it.
std::string apply_batch_option(ConvertOptions& c, const ScannedOption& o) {
  if (c.batch_only.empty()) c.batch_only = o.spelling;
  switch (o.id) {
    case kOutDir:
      c.out_dir = o.value;
      return o.value.empty() ? "option '" + o.spelling + "' needs a folder name" : std::string();
    case kRecursive: c.recursive = true; return {};
    case kKeepExisting: c.keep_existing = true; return {};
    default: return set_number(c, o);
  }
}

// 0 or a pixel count up to what any image can have.
std::string set_max_pixels(ConvertOptions& c, const ScannedOption& o) {
  constexpr int64_t kHigh = std::numeric_limits<int64_t>::max();
  const auto n = parse_number(o.value, 0, kHigh);
  if (!n) return "option '" + o.spelling + "' needs a whole number of pixels (0 for no limit " +
                 "but the engine's own), not '" + o.value + "'";
  c.max_pixels = static_cast<uint64_t>(*n);
  return {};
}

std::string add_operation(ConvertOptions& c, const ScannedOption& o) {
  Operation op;
  const auto row = static_cast<size_t>(o.id - kFirstOperation);
  std::string error = parse_operation(operation_table()[row], o.spelling, o.value, op);
  if (error.empty()) c.operations.push_back(std::move(op));
  return error;
}

std::string apply_option(ConvertOptions& c, const ScannedOption& o) {
  if (o.id >= kFirstOperation) return add_operation(c, o);
  switch (o.id) {
    case kMaxPixels: return set_max_pixels(c, o);
    case kFormatCode:
    case kFormatName: return set_format(c, o);
    case kQuality:
    case kPage: return set_number(c, o);
    case kTo: {
      std::string error;
      c.to = normalise_extension(o.value, error);
      return error;
    }
    default: return apply_batch_option(c, o);
  }
}

Command single_request(const ConvertOptions& c, const std::vector<std::string>& operands) {
  if (!c.batch_only.empty())
    return UsageError{"option '" + c.batch_only + "' needs '--to'", HelpTopic::Convert};
  if (operands.size() != 2)
    return UsageError{"convert needs an input and an output file (or '--to EXT' and inputs)",
                      HelpTopic::Convert};
  return ConvertRequest{operands[0], operands[1], c.format.value_or(RX_FORMAT_UNKNOWN), c.page,
                        c.quality, c.max_pixels, c.operations};
}

Command batch_request(const ConvertOptions& c, const std::vector<std::string>& operands) {
  if (c.format)
    return UsageError{"'-f' and '--format' do not go with '--to': the extension decides",
                      HelpTopic::Convert};
  if (operands.empty()) return UsageError{"'--to' needs files or folders", HelpTopic::Convert};
  BatchRequest b;
  b.extension = *c.to;
  b.out_dir = c.out_dir;
  b.recursive = c.recursive;
  b.keep_existing = c.keep_existing;
  b.jobs = c.jobs.value_or(1);
  b.page = c.page;
  b.quality = c.quality;
  b.max_pixels = c.max_pixels;
  b.operations = c.operations;
  b.inputs = operands;
  return b;
}

Command parse_convert(std::span<const std::string> args) {
  const ScanResult r = scan_arguments(args, convert_option_defs());
  if (!r.error.empty()) return UsageError{r.error, HelpTopic::Convert};
  if (has_help(r)) return HelpRequest{HelpTopic::Convert};
  ConvertOptions c;
  for (const ScannedOption& o : r.options)
    if (std::string error = apply_option(c, o); !error.empty())
      return UsageError{error, HelpTopic::Convert};
  return c.to ? batch_request(c, r.operands) : single_request(c, r.operands);
}

Command parse_info(std::span<const std::string> args) {
  const ScanResult r = scan_arguments(args, kInfoOptions);
  if (!r.error.empty()) return UsageError{r.error, HelpTopic::Info};
  if (has_help(r)) return HelpRequest{HelpTopic::Info};
  if (r.operands.empty()) return UsageError{"info needs at least one file", HelpTopic::Info};
  InfoRequest request;
  request.files = r.operands;
  for (const ScannedOption& o : r.options) request.json = request.json || o.id == kJson;
  return request;
}

// ---- render ------------------------------------------------------------------

enum RenderOptionId { kRHelp, kRSize, kRDepth, kRFit, kRZoom, kRAspect, kRCentre, kRRotate, kRAlias,
                      kRDither, kRGamma, kRBrightness, kRContrast, kRRop, kRTransparent, kRBackground,
                      kRPrinter, kRPage, kRMaxPixels };

constexpr std::array<OptionDef, 19> kRenderOptions = {{
    {'h', "help", false, kRHelp},         {0, "size", true, kRSize},
    {0, "depth", true, kRDepth},          {0, "fit", true, kRFit},
    {0, "zoom", true, kRZoom},            {0, "aspect", true, kRAspect},
    {0, "centre", false, kRCentre},       {0, "rotate", true, kRRotate},
    {0, "alias", true, kRAlias},          {0, "dither", true, kRDither},
    {0, "gamma", true, kRGamma},          {0, "brightness", true, kRBrightness},
    {0, "contrast", true, kRContrast},    {0, "rop", true, kRRop},
    {0, "transparent", true, kRTransparent}, {0, "background", true, kRBackground},
    {0, "printer", false, kRPrinter},     {'p', "page", true, kRPage},
    {0, "max-pixels", true, kRMaxPixels},
}};

// The largest surface side the drawing layer makes.
constexpr int64_t kMaxSurfaceSide = 65535;

std::optional<double> parse_real(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<uint32_t> parse_hex(std::string text, size_t digits_max) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || text.size() > digits_max || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::string size_option(RenderRequest& r, const ScannedOption& o) {
  const size_t x = o.value.find_first_of("xX");
  const auto w = x == std::string::npos ? std::nullopt : parse_number(o.value.substr(0, x), 1, kMaxSurfaceSide);
  const auto h = x == std::string::npos ? std::nullopt : parse_number(o.value.substr(x + 1), 1, kMaxSurfaceSide);
  if (!w || !h) return "option '--size' needs WIDTHxHEIGHT, each from 1 to 65535, not '" + o.value + "'";
  r.width = static_cast<int32_t>(*w);
  r.height = static_cast<int32_t>(*h);
  return {};
}

std::string alias_option(RenderRequest& r, const ScannedOption& o) {
  const size_t comma = o.value.find(',');
  const auto mode = parse_number(o.value.substr(0, comma), 0, 4);
  std::optional<int64_t> quality = int64_t{100};
  if (comma != std::string::npos) quality = parse_number(o.value.substr(comma + 1), 0, 100);
  if (!mode || !quality) return "option '--alias' needs MODE 0 to 4 and an optional ,QUALITY 0 to 100, not '" + o.value + "'";
  r.alias_mode = static_cast<int32_t>(*mode);
  r.alias_quality = static_cast<int32_t>(*quality);
  return {};
}

std::string colour_option(std::optional<uint32_t>& out, const ScannedOption& o) {
  out = o.value.size() == 6 ? parse_hex(o.value, 6) : std::nullopt;
  if (!out) return "option '" + o.spelling + "' needs a colour RRGGBB in hexadecimal, not '" + o.value + "'";
  return {};
}

std::string real_option(std::optional<double>& out, const ScannedOption& o) {
  out = parse_real(o.value);
  if (!out) return "option '" + o.spelling + "' needs a number, not '" + o.value + "'";
  return {};
}

std::string ranged(std::optional<int32_t>& out, const ScannedOption& o, int64_t low, int64_t high) {
  const auto n = parse_number(o.value, low, high);
  if (!n) return range_error(o, low, high);
  out = static_cast<int32_t>(*n);
  return {};
}

std::string apply_render_option(RenderRequest& r, const ScannedOption& o) {
  std::optional<int32_t> v;
  std::string error;
  switch (o.id) {
    case kRSize: return size_option(r, o);
    case kRDepth:
      error = ranged(v, o, 1, 32);
      if (error.empty() && *v != 1 && *v != 4 && *v != 8 && *v != 16 && *v != 24 && *v != 32)
        error = "option '--depth' needs 1, 4, 8, 16, 24 or 32, not '" + o.value + "'";
      if (error.empty()) r.depth = *v;
      return error;
    case kRFit: return ranged(r.fit, o, 0, 3);
    case kRZoom: return ranged(r.zoom, o, 1, std::numeric_limits<int32_t>::max());
    case kRAspect: return ranged(r.aspect, o, 0, 4);
    case kRCentre: r.centre = true; return {};
    case kRRotate: return ranged(r.rotate, o, 0, 3);
    case kRAlias: return alias_option(r, o);
    case kRDither: return ranged(r.dither, o, 0, 2);
    case kRGamma: return real_option(r.gamma, o);
    case kRBrightness: return real_option(r.brightness, o);
    case kRContrast: return real_option(r.contrast, o);
    case kRRop:
      r.rop = parse_hex(o.value, 8);
      return r.rop ? std::string() : "option '--rop' needs a raster operation in hexadecimal, not '" + o.value + "'";
    case kRTransparent: return colour_option(r.transparent, o);
    case kRBackground: return colour_option(r.background, o);
    case kRPrinter: r.printer = true; return {};
    case kRPage:
      error = ranged(v, o, 1, std::numeric_limits<int32_t>::max());
      if (error.empty()) r.page = *v;
      return error;
    default: {
      ConvertOptions c;
      error = set_max_pixels(c, o);
      r.max_pixels = c.max_pixels;
      return error;
    }
  }
}

Command parse_render(std::span<const std::string> args) {
  const ScanResult scanned = scan_arguments(args, kRenderOptions);
  if (!scanned.error.empty()) return UsageError{scanned.error, HelpTopic::Render};
  if (has_help(scanned)) return HelpRequest{HelpTopic::Render};
  RenderRequest r;
  for (const ScannedOption& o : scanned.options)
    if (std::string error = apply_render_option(r, o); !error.empty())
      return UsageError{error, HelpTopic::Render};
  if (r.fit && r.zoom) return UsageError{"give '--fit' or '--zoom', not both", HelpTopic::Render};
  if (r.printer && r.depth != 24)
    return UsageError{"a printer page is 24 bits deep: '--depth' does not go with '--printer'",
                      HelpTopic::Render};
  if (scanned.operands.size() != 2)
    return UsageError{"render needs an input and an output file", HelpTopic::Render};
  r.input = scanned.operands[0];
  r.output = scanned.operands[1];
  return r;
}

std::optional<HelpTopic> topic_named(const std::string& name) {
  if (name == "info") return HelpTopic::Info;
  if (name == "convert") return HelpTopic::Convert;
  if (name == "formats") return HelpTopic::Formats;
  if (name == "render") return HelpTopic::Render;
  if (name == "extensions") return HelpTopic::Extensions;
  if (name == "ops") return HelpTopic::Ops;
  return std::nullopt;
}

Command parse_help(std::span<const std::string> args) {
  if (args.empty()) return HelpRequest{};
  if (const auto topic = topic_named(args[0]); topic && args.size() == 1) return HelpRequest{*topic};
  return UsageError{"help takes one command name: info, convert, render, formats, extensions or ops"};
}

Command parse_formats(std::span<const std::string> args) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help"))
    return HelpRequest{HelpTopic::Formats};
  if (!args.empty()) return UsageError{"formats takes no arguments", HelpTopic::Formats};
  return FormatsRequest{};
}

Command parse_extensions(std::span<const std::string> args) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help"))
    return HelpRequest{HelpTopic::Extensions};
  if (!args.empty()) return UsageError{"extensions takes no arguments", HelpTopic::Extensions};
  return ExtensionsRequest{};
}

Command parse_ops(std::span<const std::string> args) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) return HelpRequest{HelpTopic::Ops};
  if (!args.empty()) return UsageError{"ops takes no arguments", HelpTopic::Ops};
  return OpsRequest{};
}

}  // namespace

Command parse_command_line(std::span<const std::string> args) {
  if (args.empty()) return UsageError{"no command given"};
  const std::string& first = args[0];
  const std::span<const std::string> rest = args.subspan(1);
  if (first == "help" || first == "-h" || first == "--help") return parse_help(rest);
  if (first == "--version") {
    if (!rest.empty()) return UsageError{"'--version' takes no arguments"};
    return VersionRequest{};
  }
  if (first == "info") return parse_info(rest);
  if (first == "convert") return parse_convert(rest);
  if (first == "formats") return parse_formats(rest);
  if (first == "render") return parse_render(rest);
  if (first == "extensions") return parse_extensions(rest);
  if (first == "ops") return parse_ops(rest);
  return UsageError{"unknown command '" + first + "'"};
}

}  // namespace rxcli
