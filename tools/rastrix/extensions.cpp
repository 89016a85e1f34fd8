#include "extensions.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "error_report.h"
#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

namespace fs = std::filesystem;

bool g_extensions_wanted = true;

std::vector<fs::path> shipped_modules() {
  std::vector<fs::path> modules;
  std::error_code ec;
  for (fs::directory_iterator it(shipped_extension_dir(), ec), end; !ec && it != end;
       it.increment(ec))
    if (it->path().extension() == ".so" && it->is_regular_file(ec)) modules.push_back(it->path());
  std::sort(modules.begin(), modules.end());
  return modules;
}

}  // namespace

std::string shipped_extension_dir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : (self.parent_path() / "extensions").string();
}

std::span<const std::string> global_options_take(std::span<const std::string> args) {
  while (!args.empty() && args[0] == "--no-extensions") {
    g_extensions_wanted = false;
    args = args.subspan(1);
  }
  return args;
}

bool extensions_wanted() { return g_extensions_wanted; }

bool engine_start_for_tool() {
  if (RX_engine_start(0) != 1) return false;
  if (!g_extensions_wanted) return true;
  for (const fs::path& module : shipped_modules()) {
    const int32_t errors = RX_extension_load(module.c_str());
    if (errors != 0)
      print_report(engine_report("extension module " + quote_name(module.native()) + " not loaded",
                                  errors));
  }
  return true;
}

}  // namespace rxcli
