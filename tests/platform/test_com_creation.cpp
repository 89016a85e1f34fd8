// Creating objects from a component library by name, its loading and
// unloading, its self-registration and the late-bound helpers.
#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdlib>

#include "com_test_component.h"
#include "com_test_env.h"

using namespace com;

class ComCreation : public ComStoreTest {
 protected:
  void TearDown() override {
    unsetenv(comtest::kRefuseLoadEnv);
    CoFreeUnusedLibraries();
    ComStoreTest::TearDown();
  }
  static void register_component() { ASSERT_EQ(com_library_register(COM_TEST_COMPONENT, false), S_OK); }
  static bool component_loaded() {
    void* h = dlopen(COM_TEST_COMPONENT, RTLD_NOW | RTLD_NOLOAD);
    if (h != nullptr) dlclose(h);
    return h != nullptr;
  }
  static HRESULT create(const char* name, IDispatch** out) {
    return CoCreateInstanceByName(name, IID_IDispatch, reinterpret_cast<void**>(out));
  }
  int run_rxregsvr(const std::string& args) {
    std::string cmd = std::string("'") + RXREGSVR + "' " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(ComCreation, CreatesByProgIdTypeLibraryNameAndClassId) {
  register_component();
  char braced[39];
  guid_to_string(comtest::kWidgetClsid, braced);
  for (const char* name : {comtest::kProgId, "RxTestLib.Widget", "rxtestlib.WIDGET", static_cast<const char*>(braced)}) {
    IDispatch* d = nullptr;
    ASSERT_EQ(create(name, &d), S_OK) << name;
    VARIANT v;
    EXPECT_EQ(disp_get(d, comtest::kDispValue, &v), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    d->Release();
  }
}

TEST_F(ComCreation, NothingIsCreatedWhileUnregistered) {
  IDispatch* d = nullptr;
  EXPECT_EQ(create(comtest::kProgId, &d), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(create("RxTestLib.Widget", &d), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(comtest::kWidgetClsid, nullptr, IID_IDispatch, reinterpret_cast<void**>(&d)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(create("{not-a-guid}", &d), CO_E_CLASSSTRING);
  EXPECT_EQ(create("", &d), CO_E_CLASSSTRING);

  register_component();
  ASSERT_EQ(com_library_register(COM_TEST_COMPONENT, true), S_OK);
  CLSID id;
  EXPECT_EQ(CLSIDFromProgID(comtest::kProgId, &id), CO_E_CLASSSTRING);
  EXPECT_EQ(create("RxTestLib.Widget", &d), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(store_text().find("RxTest"), std::string::npos);
}

TEST_F(ComCreation, MissingOrBrokenLibraryFile) {
  CLSID id;
  ASSERT_TRUE(guid_from_string("{0A1B2C3D-0000-4000-8000-000000000001}", &id));
  IDispatch* d = nullptr;
  ASSERT_EQ(reg_register_class(id, "Rx.Gone", "gone", (dir_ + "/gone.so").c_str()), S_OK);
  EXPECT_EQ(create("Rx.Gone", &d), CO_E_DLLNOTFOUND);
  std::ofstream(dir_ + "/text.so") << "not a shared object";
  ASSERT_EQ(reg_register_class(id, "Rx.Gone", "gone", (dir_ + "/text.so").c_str()), S_OK);
  EXPECT_EQ(create("Rx.Gone", &d), CO_E_ERRORINDLL);
  // A library that loads but does not serve this class.
  ASSERT_EQ(reg_register_class(id, "Rx.Gone", "gone", COM_TEST_COMPONENT), S_OK);
  EXPECT_EQ(create("Rx.Gone", &d), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(com_library_register((dir_ + "/gone.so").c_str(), false), CO_E_DLLNOTFOUND);
}

TEST_F(ComCreation, LibraryThatRefusesToStartCreatesNothing) {
  register_component();
  CoFreeUnusedLibraries();
  ASSERT_FALSE(component_loaded());
  setenv(comtest::kRefuseLoadEnv, "1", 1);
  IDispatch* d = nullptr;
  EXPECT_EQ(create(comtest::kProgId, &d), CO_E_ERRORINDLL);
  EXPECT_FALSE(component_loaded());  // closed again
  unsetenv(comtest::kRefuseLoadEnv);
  ASSERT_EQ(create(comtest::kProgId, &d), S_OK);
  d->Release();
}

TEST_F(ComCreation, UnusedLibrariesAreUnloadedOnlyWhenUnused) {
  register_component();
  IDispatch* d = nullptr;
  ASSERT_EQ(create(comtest::kProgId, &d), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(component_loaded());  // an object is alive

  IClassFactory* f = nullptr;
  ASSERT_EQ(CoGetClassObject(comtest::kWidgetClsid, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  ASSERT_EQ(f->LockServer(1), S_OK);
  f->Release();
  d->Release();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(component_loaded());  // locked
  ASSERT_EQ(CoGetClassObject(comtest::kWidgetClsid, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  ASSERT_EQ(f->LockServer(0), S_OK);
  f->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(component_loaded());
}

TEST_F(ComCreation, LateBoundPropertiesAndErrors) {
  register_component();
  IDispatch* d = nullptr;
  ASSERT_EQ(create(comtest::kProgId, &d), S_OK);
  DISPID id = 0;
  ASSERT_EQ(disp_id_of(d, "caPTION", &id), S_OK);
  EXPECT_EQ(id, comtest::kDispCaption);
  EXPECT_EQ(disp_id_of(d, "Nope", &id), DISP_E_UNKNOWNNAME);

  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = 41.5;
  ASSERT_EQ(disp_put(d, comtest::kDispCaption, v), S_OK);  // the widget converts to text
  VARIANT got;
  ASSERT_EQ(disp_get(d, comtest::kDispCaption, &got), S_OK);
  EXPECT_STREQ(got.bstrVal, "41.5");
  VariantClear(&got);
  ASSERT_EQ(disp_put(d, comtest::kDispValue, v), S_OK);  // and to an integer, half to even
  ASSERT_EQ(disp_get(d, comtest::kDispValue, &got), S_OK);
  EXPECT_EQ(got.lVal, 42);

  EXPECT_EQ(disp_put(d, comtest::kDispCount, v), CTL_E_SETNOTSUPPORTED);
  EXPECT_EQ(disp_get(d, 999, &got), DISP_E_MEMBERNOTFOUND);
  ASSERT_EQ(disp_call(d, comtest::kDispPing, nullptr, 0, &got), S_OK);
  EXPECT_EQ(got.lVal, 0);  // no sinks
  EXPECT_EQ(disp_call(d, comtest::kDispPing, nullptr, 2, &got), E_INVALIDARG);
  EXPECT_EQ(disp_get(nullptr, 1, &got), E_POINTER);
  d->Release();
}

TEST_F(ComCreation, PropertiesPersistThroughAStream) {
  register_component();
  IDispatch* d = nullptr;
  ASSERT_EQ(create(comtest::kProgId, &d), S_OK);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = -12;
  ASSERT_EQ(disp_put(d, comtest::kDispValue, v), S_OK);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString("saved\ttext");
  ASSERT_EQ(disp_put(d, comtest::kDispCaption, v), S_OK);
  VariantClear(&v);

  IPersistStreamInit* p = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&p)), S_OK);
  EXPECT_EQ(p->IsDirty(), S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(CreateMemoryStream(nullptr, 0, &s), S_OK);
  ASSERT_EQ(p->Save(s, 1), S_OK);
  EXPECT_EQ(p->IsDirty(), S_FALSE);
  p->Release();
  d->Release();

  ASSERT_EQ(create(comtest::kProgId, &d), S_OK);
  ASSERT_EQ(d->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&p)), S_OK);
  ASSERT_EQ(s->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(p->Load(s), S_OK);
  VARIANT got;
  ASSERT_EQ(disp_get(d, comtest::kDispValue, &got), S_OK);
  EXPECT_EQ(got.lVal, -12);
  ASSERT_EQ(disp_get(d, comtest::kDispCaption, &got), S_OK);
  EXPECT_STREQ(got.bstrVal, "saved\ttext");
  VariantClear(&got);

  // A stream cut short is refused with a read fault.
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(MemoryStreamContent(s, &data, &size), S_OK);
  IStream* cut = nullptr;
  ASSERT_EQ(CreateMemoryStream(data, size - 3, &cut), S_OK);
  EXPECT_EQ(p->Load(cut), STG_E_READFAULT);
  cut->Release();
  s->Release();
  p->Release();
  d->Release();
}

TEST_F(ComCreation, ModulePathIsAbsolute) {
  char path[4096];
  ASSERT_EQ(com_module_path(reinterpret_cast<const void*>(&CoCreateInstance), path, sizeof path), S_OK);
  EXPECT_EQ(std::filesystem::path(path), std::filesystem::canonical("/proc/self/exe"));
  char tiny[4];
  EXPECT_EQ(com_module_path(reinterpret_cast<const void*>(&CoCreateInstance), tiny, sizeof tiny),
            E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(com_module_path(nullptr, path, sizeof path), E_INVALIDARG);
}

TEST_F(ComCreation, RegistrationToolExitCodes) {
  EXPECT_EQ(run_rxregsvr(""), 2);
  EXPECT_EQ(run_rxregsvr("-x lib.so"), 2);
  EXPECT_EQ(run_rxregsvr("a.so b.so"), 2);
  EXPECT_EQ(run_rxregsvr("'" + dir_ + "/missing.so'"), 1);

  EXPECT_EQ(run_rxregsvr(std::string("'") + COM_TEST_COMPONENT + "'"), 0);
  CLSID id;
  ASSERT_EQ(CLSIDFromProgID(comtest::kProgId, &id), S_OK);  // the tool wrote our private store
  EXPECT_EQ(run_rxregsvr(std::string("/u '") + COM_TEST_COMPONENT + "'"), 0);
  EXPECT_EQ(CLSIDFromProgID(comtest::kProgId, &id), CO_E_CLASSSTRING);

  setenv(comtest::kRefuseLoadEnv, "1", 1);
  EXPECT_EQ(run_rxregsvr(std::string("-u '") + COM_TEST_COMPONENT + "'"), 1);
}
