// The debug output channel: silent until a host or a test installs a sink.
#include <cstdarg>
#include <cstdio>

#include "platform/kernel.h"

namespace {
pk_debug_sink_fn g_sink = nullptr;
void* g_sink_user = nullptr;
}  // namespace

extern "C" void pk_debug_sink_set(pk_debug_sink_fn sink, void* user) {
  g_sink = sink;
  g_sink_user = user;
}

extern "C" void pk_debug_printf(const char* format, ...) {
  if (g_sink == nullptr || format == nullptr) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_sink(g_sink_user, text);
}
