// rastrix: describe, convert and render raster images from the command line.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "atomic_output.h"
#include "batch.h"
#include "command_line.h"
#include "convert_single.h"
#include "exit_status.h"
#include "extensions.h"
#include "extensions_list.h"
#include "formats.h"
#include "help.h"
#include "info.h"
#include "operations.h"
#include "render.h"

namespace rxcli {
namespace {

struct Dispatch {
  int operator()(const HelpRequest& r) const {
    std::fputs(help_text(r.topic).c_str(), stdout);
    return kExitOk;
  }
  int operator()(const VersionRequest&) const {
    std::printf("rastrix %s\n", RASTRIX_VERSION);
    return kExitOk;
  }
  int operator()(const FormatsRequest&) const { return run_formats(); }
  int operator()(const ExtensionsRequest&) const { return run_extensions(); }
  int operator()(const OpsRequest&) const {
    std::fputs(operations_listing().c_str(), stdout);
    return kExitOk;
  }
  int operator()(const InfoRequest& r) const { return run_info(r); }
  int operator()(const ConvertRequest& r) const { return run_convert(r); }
  int operator()(const BatchRequest& r) const { return run_batch(r); }
  int operator()(const RenderRequest& r) const { return run_render(r); }
  int operator()(const UsageError& e) const {
    const char* command = e.topic == HelpTopic::Info      ? " info"
                          : e.topic == HelpTopic::Convert ? " convert"
                          : e.topic == HelpTopic::Formats ? " formats"
                          : e.topic == HelpTopic::Render  ? " render"
                          : e.topic == HelpTopic::Extensions ? " extensions"
                          : e.topic == HelpTopic::Ops     ? " ops"
                                                          : "";
    std::fprintf(stderr, "rastrix: %s\nTry 'rastrix%s --help'.\n", e.message.c_str(), command);
    return kExitUsage;
  }
};

// Output that could not be written (a full disk, a closed pipe) is a
// failure too; scripts must not take a truncated listing for a whole one.
int finish(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("rastrix: cannot write to standard output\n", stderr);
    return status == kExitOk ? kExitFailed : status;
  }
  return status;
}

}  // namespace
}  // namespace rxcli

int main(int argc, char** argv) {
  using namespace rxcli;
  // A closed pipe shows up as a write error, not as a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  install_cleanup_handlers();
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return finish(std::visit(Dispatch{}, parse_command_line(global_options_take(args))));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rastrix: %s\n", e.what());
    return kExitFailed;
  }
}
