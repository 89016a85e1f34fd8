// The registration store: values, keys, the file it keeps, concurrent
// writers, and the class and type-library registrations built on it.
#include <sys/wait.h>
#include <unistd.h>

#include "com_test_env.h"

using namespace com;

class ComRegistry : public ComStoreTest {};

namespace {
CLSID numbered_clsid(uint32_t n) { return {0x5e7a0000u + n, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}}; }
}  // namespace

TEST_F(ComRegistry, PathHonoursConfigHomeAndCreatesTheDirectory) {
  char path[512];
  ASSERT_EQ(reg_path(path, sizeof path), S_OK);
  EXPECT_EQ(std::string(path), store_file());
  char tiny[8];
  EXPECT_EQ(reg_path(tiny, sizeof tiny), E_NOT_SUFFICIENT_BUFFER);
  EXPECT_STREQ(tiny, "");
  ASSERT_EQ(reg_set_value("A\\B", nullptr, "x"), S_OK);
  EXPECT_TRUE(std::filesystem::is_regular_file(store_file()));
}

TEST_F(ComRegistry, ValuesRoundTripWithCaseInsensitiveNames) {
  EXPECT_EQ(get("CLSID\\{X}"), "<absent>");  // no file yet
  ASSERT_EQ(reg_set_value("CLSID\\{ab}\\InprocServer32", "", "/lib/one.so"), S_OK);
  ASSERT_EQ(reg_set_value("clsid\\{AB}\\inprocserver32", "ThreadingModel", "Both"), S_OK);
  EXPECT_EQ(get("CLSID\\{Ab}\\INPROCSERVER32"), "/lib/one.so");
  EXPECT_EQ(get("CLSID\\{ab}\\InprocServer32", "threadingmodel"), "Both");
  ASSERT_EQ(reg_set_value("CLSID\\{AB}\\InprocServer32", nullptr, "/lib/two.so"), S_OK);
  EXPECT_EQ(get("CLSID\\{ab}\\InprocServer32"), "/lib/two.so");
  // The first spelling stays; the file shows one section.
  std::string text = store_text();
  EXPECT_NE(text.find("[CLSID\\{ab}\\InprocServer32]\n@=/lib/two.so\nThreadingModel=Both\n"), std::string::npos)
      << text;

  char small[4];
  EXPECT_EQ(reg_get_value("CLSID\\{ab}\\InprocServer32", nullptr, small, sizeof small), E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(reg_get_value("CLSID\\{ab}\\InprocServer32", "missing", small, sizeof small), E_FAIL);
}

TEST_F(ComRegistry, AwkwardTextSurvivesTheFile) {
  const char* value = "line1\nline2\\n [x] =;\r";
  ASSERT_EQ(reg_set_value("K", "a=b", value), S_OK);
  ASSERT_EQ(reg_set_value("K", "[section", "v"), S_OK);
  ASSERT_EQ(reg_set_value("K", "@", "named, not default"), S_OK);
  ASSERT_EQ(reg_set_value("K", "", " padded "), S_OK);
  EXPECT_EQ(get("K", "a=b"), value);
  EXPECT_EQ(get("K", "[section"), "v");
  EXPECT_EQ(get("K", "@"), "named, not default");
  EXPECT_EQ(get("K"), " padded ");
  EXPECT_EQ(store_text().find("[section]"), std::string::npos);

  EXPECT_EQ(reg_set_value("", nullptr, "v"), E_INVALIDARG);
  EXPECT_EQ(reg_set_value("A\\\\B", nullptr, "v"), E_INVALIDARG);
  EXPECT_EQ(reg_set_value("A\\", nullptr, "v"), E_INVALIDARG);
  EXPECT_EQ(reg_set_value("A\nB", nullptr, "v"), E_INVALIDARG);
  EXPECT_EQ(reg_set_value("A", "x\ny", "v"), E_INVALIDARG);
  EXPECT_EQ(reg_set_value("A", nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ComRegistry, DeleteTreeTakesChildrenButNotNeighbours) {
  ASSERT_EQ(reg_set_value("Root\\Child", nullptr, "1"), S_OK);
  ASSERT_EQ(reg_set_value("ROOT\\child\\Grand", nullptr, "2"), S_OK);
  ASSERT_EQ(reg_set_value("RootSibling", nullptr, "3"), S_OK);
  ASSERT_EQ(reg_set_value("Root", nullptr, "0"), S_OK);
  ASSERT_EQ(reg_delete_tree("root"), S_OK);
  EXPECT_EQ(get("Root"), "<absent>");
  EXPECT_EQ(get("Root\\Child\\Grand"), "<absent>");
  EXPECT_EQ(get("RootSibling"), "3");
  EXPECT_EQ(reg_delete_tree("Root"), S_OK);  // absent is fine
}

TEST_F(ComRegistry, HandEditedFileIsReadTolerantly) {
  std::filesystem::create_directories(dir_ + "/config/rastrix");
  std::ofstream(store_file()) << "stray=before any section\r\n[Key]\r\n@=value\r\nno equals sign\r\n[]\r\n[Broken\n";
  EXPECT_EQ(get("key"), "value");
  ASSERT_EQ(reg_set_value("Other", nullptr, "x"), S_OK);
  EXPECT_EQ(get("Key"), "value");
}

TEST_F(ComRegistry, ConcurrentWritersNeverLoseOrCorrupt) {
  constexpr int kEach = 25;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      for (int i = 0; i < kEach; ++i) {
        std::string prog = "Writer" + std::to_string(c) + ".Class." + std::to_string(i);
        if (FAILED(reg_register_class(numbered_clsid(c * 100 + i), prog.c_str(), "type", "/x.so"))) _exit(1);
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kEach; ++i) {
      std::string prog = "Writer" + std::to_string(c) + ".Class." + std::to_string(i);
      CLSID got{};
      ASSERT_EQ(CLSIDFromProgID(prog.c_str(), &got), S_OK) << prog;
      EXPECT_TRUE(guid_equal(got, numbered_clsid(c * 100 + i)));
    }
  }
  // Writers leave no temporary files behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_ + "/config/rastrix")) ++files, (void)e;
  EXPECT_EQ(files, 2);  // the store and its lock file
}

TEST_F(ComRegistry, ClassRegistrationTwiceThenUnregister) {
  CLSID id = numbered_clsid(1);
  char text[39];
  guid_to_string(id, text);
  for (int round = 0; round < 2; ++round)
    ASSERT_EQ(reg_register_class(id, "Rx.Thing.1", "Rastrix thing", "/opt/rx/thing.so"), S_OK);
  std::string key = std::string("CLSID\\") + text;
  EXPECT_EQ(get(key.c_str()), "Rastrix thing");
  EXPECT_EQ(get((key + "\\InprocServer32").c_str()), "/opt/rx/thing.so");
  EXPECT_EQ(get((key + "\\ProgID").c_str()), "Rx.Thing.1");
  EXPECT_EQ(get("Rx.Thing.1\\CLSID"), text);

  // A new ProgID for the class replaces the old one.
  ASSERT_EQ(reg_register_class(id, "Rx.Thing.2", "Rastrix thing", "/opt/rx/thing.so"), S_OK);
  EXPECT_EQ(get("Rx.Thing.1\\CLSID"), "<absent>");

  ASSERT_EQ(reg_unregister_class(id, "Rx.Thing.2"), S_OK);
  EXPECT_EQ(get(key.c_str()), "<absent>");
  CLSID got;
  EXPECT_EQ(CLSIDFromProgID("Rx.Thing.2", &got), CO_E_CLASSSTRING);
  EXPECT_EQ(reg_unregister_class(id, "Rx.Thing.2"), S_OK);  // twice is fine
}

TEST_F(ComRegistry, UnregisteringLeavesAProgIdTakenOverByAnotherClass) {
  ASSERT_EQ(reg_register_class(numbered_clsid(1), "Rx.Shared", "one", "/one.so"), S_OK);
  ASSERT_EQ(reg_register_class(numbered_clsid(2), "Rx.Shared", "two", "/two.so"), S_OK);
  ASSERT_EQ(reg_unregister_class(numbered_clsid(1), "Rx.Shared"), S_OK);
  CLSID got;
  ASSERT_EQ(CLSIDFromProgID("Rx.Shared", &got), S_OK);
  EXPECT_TRUE(guid_equal(got, numbered_clsid(2)));
}

TEST_F(ComRegistry, ProgIdsCannotReachTheStoresOwnTrees) {
  ASSERT_EQ(reg_register_class(numbered_clsid(1), "Rx.Keep", "t", "/k.so"), S_OK);
  for (const char* bad : {"CLSID", "typelib", "A\\B", "{00000000-0000-0000-0000-000000000000}", ""})
    EXPECT_EQ(reg_register_class(numbered_clsid(2), bad, "t", "/x.so"), E_INVALIDARG) << bad;
  EXPECT_EQ(reg_unregister_class(numbered_clsid(2), "clsid"), E_INVALIDARG);
  EXPECT_EQ(reg_register_class(numbered_clsid(2), "Rx.X", "t", nullptr), E_INVALIDARG);
  CLSID got;
  EXPECT_EQ(CLSIDFromProgID("Rx.Keep", &got), S_OK);
}

TEST_F(ComRegistry, TypeLibraryNamesItsCoclasses) {
  const GUID lib = numbered_clsid(50);
  const CoclassEntry v1[] = {{"Rast", numbered_clsid(51)}, {"Page", numbered_clsid(52)}};
  const CoclassEntry v2[] = {{"Rast", numbered_clsid(61)}};
  ASSERT_EQ(reg_register_typelib(lib, 1, 0, "RASTLib", "Rastrix imaging", "/rast.so", v1, 2), S_OK);
  ASSERT_EQ(reg_register_typelib(lib, 1, 10, "RASTLib", "Rastrix imaging", "/rast.so", v2, 1), S_OK);
  CLSID got;
  ASSERT_EQ(CLSIDFromName("rastlib.RAST", &got), S_OK);
  EXPECT_TRUE(guid_equal(got, numbered_clsid(61)));  // 1.10 is newer than 1.0
  ASSERT_EQ(CLSIDFromName("RASTLib.Page", &got), S_OK);
  EXPECT_TRUE(guid_equal(got, numbered_clsid(52)));
  EXPECT_EQ(CLSIDFromName("RASTLib.Nothing", &got), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromName("Other.Rast", &got), CO_E_CLASSSTRING);

  ASSERT_EQ(reg_unregister_typelib(lib, 1, 10), S_OK);
  ASSERT_EQ(CLSIDFromName("RASTLib.Rast", &got), S_OK);
  EXPECT_TRUE(guid_equal(got, numbered_clsid(51)));
  ASSERT_EQ(reg_unregister_typelib(lib, 1, 0), S_OK);
  EXPECT_EQ(store_text().find("TypeLib"), std::string::npos);  // the last version takes the library key
  EXPECT_EQ(reg_register_typelib(lib, 1, 0, "Bad.Name", "", "/x.so", v1, 2), E_INVALIDARG);
}

TEST_F(ComRegistry, HandEditedTypeLibraryVersionsMustBeWellFormed) {
  char good[39], bad[39];
  guid_to_string(numbered_clsid(71), good);
  guid_to_string(numbered_clsid(72), bad);
  std::filesystem::create_directories(dir_ + "/config/rastrix");
  std::ofstream file(store_file());
  // Only 1.0 is a version registration could have written.
  for (const char* version : {"1.0", "-1.0", "2.0x", "70000.0", "3", " 4.0"}) {
    const std::string key = std::string("[TypeLib\\{0}\\") + version;
    file << key << "]\nname=Hand\n" << key << "\\Coclass\\C]\n@="
         << (std::string(version) == "1.0" ? good : bad) << "\n";
  }
  file.close();
  CLSID got;
  ASSERT_EQ(CLSIDFromName("Hand.C", &got), S_OK);
  EXPECT_TRUE(guid_equal(got, numbered_clsid(71)));
}
