#include "error_report.h"

#include <cstdio>

#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

std::string stack_entry(int32_t index) {
  char file[64] = {};
  int32_t line = 0, code = 0, i_val = 0, l_val = 0;
  RX_error_get(index, file, sizeof file, &line, &code, &i_val, &l_val);
  const char* message = RX_error_message_get(code);
  char text[512];
  std::snprintf(text, sizeof text, "  #%d %s:%d code %d (%d, %d) %s\n", index, file, line, code,
                i_val, l_val, message != nullptr ? message : "Error Not Found");
  return text;
}

}  // namespace

std::string engine_report(std::string_view headline, int32_t count) {
  std::string out = "rastrix: ";
  out.append(headline);
  out += ":\n";
  if (count <= 0) out += "  (the engine gave no reason)\n";
  for (int32_t i = 0; i < count; ++i) out += stack_entry(i);
  return out;
}

std::string plain_report(std::string_view headline, std::string_view reason) {
  std::string out = "rastrix: ";
  out.append(headline);
  out += ": ";
  out.append(reason);
  out += '\n';
  return out;
}

std::string quote_name(std::string_view name) {
  std::string out = "'";
  out.append(name);
  return out + "'";
}

void print_report(const std::string& report) {
  std::fwrite(report.data(), 1, report.size(), stderr);
  std::fflush(stderr);
}

}  // namespace rxcli
