// Extension modules for the rastrix command: the modules that ship beside
// it are loaded into every engine the command starts (the tool's own and
// each worker's) unless `--no-extensions` asks for the bare engine
// (`rastrix extensions` lists them: extensions_list.h).
#pragma once

#include <span>
#include <string>

namespace rxcli {

// The shipped modules: every "*.so" in the folder "extensions" beside the
// rastrix executable, loaded in name order.
std::string shipped_extension_dir();

// Leading global options (before the command): "--no-extensions".
// Returns the arguments after them.
std::span<const std::string> global_options_take(std::span<const std::string> args);

// Whether engines started by the command load the shipped modules (on
// unless --no-extensions was given).
bool extensions_wanted();

// Starts the engine and loads the shipped modules when wanted; a module
// that will not load is reported on standard error and left out. False
// when the engine itself would not start.
bool engine_start_for_tool();

}  // namespace rxcli
