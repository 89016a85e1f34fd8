#include "extensions_list.h"

#include <cstdio>
#include <string>

#include "engine_session.h"
#include "error_report.h"
#include "exit_status.h"
#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

std::string abilities(int32_t kind, int32_t able) {
  const bool filter = kind == RX_EXT_ITEM_FILTER;
  std::string s;
  if (able & RX_EXT_ABLE_READ) s = filter ? "read" : "decode";
  if (able & RX_EXT_ABLE_WRITE) s += std::string(s.empty() ? "" : ",") + (filter ? "write" : "encode");
  return s.empty() ? "-" : s;
}

std::string name_or_dash(const char* name) { return name != nullptr && *name ? name : "-"; }

void item_print(int32_t n, int32_t item) {
  int32_t kind = 0, code = 0, able = 0;
  if (RX_extension_item_get(n, item, &kind, &code, &able) != 0) return;
  if (kind == RX_EXT_ITEM_FILTER)
    std::printf("\tfilter\t%d\t%s\t%s\n", code, name_or_dash(RX_format_name_get(code)).c_str(),
                abilities(kind, able).c_str());
  else if (kind == RX_EXT_ITEM_CODEC)
    std::printf("\tcodec\t%d\t%s\t%s\n", code, name_or_dash(RX_compression_name_get(code)).c_str(),
                abilities(kind, able).c_str());
  else
    std::printf("\tother\t%d\t-\t-\n", code);
}

}  // namespace

int run_extensions() {
  EngineSession engine;
  if (!engine.started()) {
    print_report(kEngineStartFailed);
    return kExitFailed;
  }
  int32_t count = 0;
  RX_extension_count_get(&count);
  // The engine lists the newest first; the listing shows load order.
  for (int32_t n = count - 1; n >= 0; --n) {
    char path[4096] = {};
    int32_t items = 0;
    if (RX_extension_get(n, path, sizeof path, &items) != 0) continue;
    std::printf("%s\n", path);
    for (int32_t item = 0; item < items; ++item) item_print(n, item);
  }
  return kExitOk;
}

}  // namespace rxcli
