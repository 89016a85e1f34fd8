// The registration store is a text file a user may edit by hand. Each input
// becomes that file; lookups must cope with whatever it holds, and a change
// written over it must read back exactly, with the file still readable.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/com.h"

namespace {

std::string g_file;

void setup_home() {
  char dir[] = "/tmp/rx-fuzz-reg-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  setenv("XDG_CONFIG_HOME", dir, 1);
  std::string sub = std::string(dir) + "/rastrix";
  if (mkdir(sub.c_str(), 0700) != 0) std::abort();
  g_file = sub + "/com-registry";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_file.empty()) setup_home();
  FILE* f = std::fopen(g_file.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  com::CLSID id{};
  char value[256];
  com::CLSIDFromName("RASTLib.Rast", &id);
  com::CLSIDFromProgID("RAST.RastCtrl.1", &id);
  com::reg_get_value("CLSID\\{610D108F-C0C1-4A6E-AD7A-047FEE122592}\\InprocServer32", nullptr,
                     value, sizeof value);

  // A change either is refused, leaving the file as it was, or reads back.
  if (com::reg_set_value("Fuzz\\Key", "name", "value \\ with\r\nbreaks") == com::S_OK) {
    if (com::reg_get_value("Fuzz\\Key", "name", value, sizeof value) != com::S_OK ||
        std::strcmp(value, "value \\ with\r\nbreaks") != 0)
      std::abort();
    if (com::reg_delete_tree("Fuzz") != com::S_OK) std::abort();
    if (com::reg_get_value("Fuzz\\Key", "name", value, sizeof value) == com::S_OK) std::abort();
  }
  return 0;
}
