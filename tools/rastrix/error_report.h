// Failure reports: a line naming the file and the operation, then the
// engine's error stack, one entry per line. Reports are built as text so a
// worker process can hand them to the parent whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rxcli {

// "rastrix: <headline>" followed by the first `count` entries of the
// engine's error stack.
std::string engine_report(std::string_view headline, int32_t count);

// "rastrix: <headline>: <reason>", for failures found outside the engine.
std::string plain_report(std::string_view headline, std::string_view reason);

// A file name quoted for a message.
std::string quote_name(std::string_view name);

// Writes a report to standard error as one piece.
void print_report(const std::string& report);

}  // namespace rxcli
