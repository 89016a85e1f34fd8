#include "convert_file.h"

#include <unistd.h>

#include <system_error>

#include "atomic_output.h"
#include "error_report.h"
#include "load_page.h"
#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

namespace fs = std::filesystem;

TaskResult failed(std::string report) { return {Outcome::Failed, std::move(report)}; }

bool exists_here(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

// The rename would put a plain file in place of a folder, a device or a
// pipe (think of /dev/null when run as root); only files and links to
// anything may be replaced.
bool replaceable(const fs::path& p) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(p, ec);
  return !fs::exists(st) || fs::is_regular_file(st) || fs::is_symlink(st);
}

std::string save_headline(const ConvertJob& job) {
  return "cannot save " + quote_name(job.output.native()) + " (from " + quote_name(job.input.native()) +
         ")";
}

// Quality is a process-wide engine option, so it is set before every save
// rather than once: the job, not the process, owns the setting.
// After a failed load: when the image was refused for its size, how to
// let it through.
std::string limit_hint(uint64_t max_pixels) {
  int32_t code = 0, width = 0, height = 0;
  for (int32_t i = 0; RX_error_get(i, nullptr, 0, nullptr, &code, &width, &height) == 1; ++i) {
    if (code != RXE_LOAD_LIMIT_EXCEEDED) continue;
    const std::string limit = max_pixels != 0 ? std::to_string(max_pixels) + " pixels"
                                              : "the engine's own limit";
    return "  the image is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels, more than the limit of " + limit +
           "; raise it with --max-pixels N (0: the engine's own limit)\n";
  }
  return {};
}

std::optional<std::string> set_quality(const ConvertJob& job) {
  if (!job.quality) return std::nullopt;
  const int32_t errors = RX_image_control_set(RX_OPTION_JPEG_QUALITY, *job.quality);
  if (errors == 0) return std::nullopt;
  return engine_report("cannot set quality " + std::to_string(*job.quality), errors);
}

std::optional<std::string> make_parent(const ConvertJob& job) {
  const fs::path dir = job.output.parent_path();
  std::error_code ec;
  if (!job.make_directories || dir.empty() || fs::is_directory(dir, ec)) return std::nullopt;
  fs::create_directories(dir, ec);
  std::error_code again;
  if (!ec || fs::is_directory(dir, again)) return std::nullopt;  // another worker made it
  return plain_report("cannot create the folder " + quote_name(dir.native()), ec.message());
}

TaskResult save(const Image& image, const ConvertJob& job) {
  PendingOutput temp(temp_path_for(job.output, getpid(), job.temp_tag));
  const int32_t errors = RX_image_save_file(image.get(), temp.path().c_str(), job.format);
  if (errors != 0) return failed(engine_report(save_headline(job), errors));
  std::string error;
  switch (temp.commit(job.output, job.keep_existing, error)) {
    case CommitResult::Done: return {Outcome::Converted, {}};
    case CommitResult::Exists: return {Outcome::Skipped, {}};
    case CommitResult::Failed: break;
  }
  return failed(plain_report("cannot move the new file into place as " +
                                 quote_name(job.output.native()),
                             error));
}

}  // namespace

bool is_same_file(const fs::path& input, const fs::path& output) {
  std::error_code ec;
  return fs::equivalent(input, output, ec) && !ec;
}

TaskResult convert_file(const ConvertJob& job) {
  if (job.keep_existing && exists_here(job.output)) return {Outcome::Skipped, {}};
  if (is_same_file(job.input, job.output))
    return failed(plain_report("cannot convert " + quote_name(job.input.native()),
                               "the output is the input itself"));
  if (!replaceable(job.output))
    return failed(plain_report("cannot write " + quote_name(job.output.native()),
                               "it exists and is not a regular file"));
  std::string report;
  RX_load_limits_set(job.max_pixels, 0);
  const Image image = load_page(job.input.native(), job.page, report);
  if (!image) return failed(report + limit_hint(job.max_pixels));
  if (std::string error = apply_operations(image.get(), job.operations, job.input.native());
      !error.empty())
    return failed(error);
  if (auto error = set_quality(job)) return failed(*error);
  if (auto error = make_parent(job)) return failed(*error);
  return save(image, job);
}

}  // namespace rxcli
