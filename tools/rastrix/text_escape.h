// How file names are written into machine-read output. Linux names are
// bytes: they may hold tabs, newlines or bytes that are not UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace rxcli {

// A JSON string literal, quotes included. Valid UTF-8 passes through;
// control characters are escaped; each byte that is not part of valid
// UTF-8 becomes U+FFFD, so the output is always valid JSON.
std::string json_string(std::string_view text);

// A tab-separated field: tab, newline, carriage return and backslash are
// written as \t, \n, \r and \\ so one record stays on one line.
std::string tsv_field(std::string_view text);

}  // namespace rxcli
