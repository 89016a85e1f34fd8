#include "info.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "engine_session.h"
#include "error_report.h"
#include "exit_status.h"
#include "rastrix/rastrix.h"
#include "text_escape.h"

namespace rxcli {
namespace {

struct FileInfo {
  int32_t format = 0;
  int32_t compression = 0;
  int64_t width = 0, height = 0;
  int32_t bits = 0;
  int32_t pages = 0;
};

std::optional<FileInfo> describe(const std::string& path) {
  FileInfo info;
  RX_BITMAPINFOHEADER header{};
  int32_t errors = RX_file_info_get(path.c_str(), &info.format, &info.compression, &header);
  if (errors != 0) {
    print_report(engine_report("cannot read the header of " + quote_name(path), errors));
    return std::nullopt;
  }
  errors = RX_file_page_count_get(path.c_str(), &info.pages);
  if (errors != 0) {
    print_report(engine_report("cannot count the pages of " + quote_name(path), errors));
    return std::nullopt;
  }
  info.width = header.biWidth;
  // A negative height marks top-down rows; the image is just as tall.
  info.height = std::llabs(static_cast<int64_t>(header.biHeight));
  info.bits = header.biBitCount;
  return info;
}

std::string tsv_line(const std::string& path, const FileInfo& f) {
  std::string line = tsv_field(path);
  line += '\t' + std::to_string(f.format) + '\t' + tsv_field(RX_format_name_get(f.format));
  line += '\t' + tsv_field(RX_compression_name_get(f.compression));
  line += '\t' + std::to_string(f.width) + '\t' + std::to_string(f.height);
  line += '\t' + std::to_string(f.bits) + '\t' + std::to_string(f.pages);
  return line + '\n';
}

std::string json_line(const std::string& path, const FileInfo& f) {
  std::string line = "{\"path\":" + json_string(path);
  line += ",\"format\":" + std::to_string(f.format);
  line += ",\"format_name\":" + json_string(RX_format_name_get(f.format));
  line += ",\"compression\":" + json_string(RX_compression_name_get(f.compression));
  line += ",\"width\":" + std::to_string(f.width) + ",\"height\":" + std::to_string(f.height);
  line += ",\"bits\":" + std::to_string(f.bits) + ",\"pages\":" + std::to_string(f.pages);
  return line + "}\n";
}

}  // namespace

int run_info(const InfoRequest& request) {
  EngineSession engine;
  if (!engine.started()) {
    print_report(kEngineStartFailed);
    return kExitFailed;
  }
  int status = kExitOk;
  for (const std::string& path : request.files) {
    const std::optional<FileInfo> info = describe(path);
    if (!info) {
      status = kExitFailed;
      continue;
    }
    const std::string line = request.json ? json_line(path, *info) : tsv_line(path, *info);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);  // keeps lines and failure reports in order on a terminal
  }
  return status;
}

}  // namespace rxcli
