// The control library exports exactly the names of work/ocx32/exports.txt,
// and that list names every function the public headers declare: an
// export can never go missing without a test failing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

using Names = std::set<std::string>;

Names list_in_tree() {
  std::ifstream in(RX_EXPORTS_LIST);
  Names names;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') names.insert(line);
  return names;
}

// What the dynamic linker sees: defined names of the dynamic symbol table.
Names library_exports() {
  Names names;
  const std::string command = std::string("nm -D --defined-only ") + RAST32PO_LIBRARY;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return names;
  char line[1024];
  while (std::fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    const size_t last = s.find_last_of(' ');
    std::string name = s.substr(last + 1);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (!name.empty()) names.insert(name);
  }
  pclose(p);
  return names;
}

// Every RX_ and RPb_ function the public headers declare.
Names declared_in_headers() {
  Names names;
  const std::regex api(R"(RX_API[^;(]*\b((RX|RPb)_[A-Za-z0-9_]+)\s*\()");
  for (const char* header : {"rastrix.h", "rpb.h", "rx_ip.h"}) {
    std::ifstream in(std::string(RX_PUBLIC_INCLUDE) + "/rastrix/" + header);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    for (std::sregex_iterator m(text.begin(), text.end(), api), end; m != end; ++m)
      names.insert((*m)[1].str());
  }
  return names;
}

Names minus(const Names& a, const Names& b) {
  Names out;
  for (const std::string& n : a)
    if (!b.count(n)) out.insert(n);
  return out;
}

std::string joined(const Names& names) {
  std::string out;
  for (const std::string& n : names) out += n + " ";
  return out;
}

TEST(RastExports, TheLibraryExportsExactlyTheList) {
  const Names list = list_in_tree();
  const Names exported = library_exports();
  ASSERT_FALSE(exported.empty()) << "nm -D could not read " << RAST32PO_LIBRARY;
  EXPECT_EQ(minus(list, exported), Names{}) << "missing: " << joined(minus(list, exported));
  EXPECT_EQ(minus(exported, list), Names{}) << "unlisted: " << joined(minus(exported, list));
}

TEST(RastExports, TheListNamesEveryPublicFunction) {
  const Names declared = declared_in_headers();
  ASSERT_GT(declared.size(), 100u);
  EXPECT_EQ(minus(declared, list_in_tree()), Names{})
      << "declared but not exported: " << joined(minus(declared, list_in_tree()));
}

TEST(RastExports, TheRowAccessorsAndTheNamedEngineFunctionsAreThere) {
  const Names exported = library_exports();
  for (const char* name :
       {"RX_DIB_raster_get", "RX_DIB_raster_set", "RX_DIB_row_get", "RX_DIB_row_set",
        "RX_IP_convert_runs_to_DIB", "RX_image_compression_type_get", "RX_IP_contrast_invert",
        "RPb_RPr_load_CB_data_init", "RPb_status_callback_get", "DllGetClassObject"})
    EXPECT_TRUE(exported.count(name)) << name;
}

}  // namespace
