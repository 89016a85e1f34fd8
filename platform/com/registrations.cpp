// Class and type-library registrations: each one a single locked change
// of the store, so that a reader never sees half a registration.
#include <cstdio>

#include "com_internal.h"

namespace com {

namespace {

using detail::RegStore;

// A ProgID becomes a key of its own at the top of the store, so it must
// not be able to name one of the store's own trees.
bool valid_prog_id(const char* prog_id) {
  if (prog_id == nullptr || *prog_id == '\0' || *prog_id == '{') return false;
  if (std::strpbrk(prog_id, "\\\r\n") != nullptr) return false;
  return !detail::iequal(prog_id, "CLSID") && !detail::iequal(prog_id, "TypeLib");
}

bool valid_component_name(const char* name) {
  return name != nullptr && *name != '\0' && std::strpbrk(name, "\\\r\n") == nullptr;
}

std::string typelib_version_key(const GUID& libid, uint16_t major, uint16_t minor) {
  // snprintf rather than std::to_string, whose digit table would be one
  // more symbol exported from every component library.
  char version[16];
  std::snprintf(version, sizeof version, "%u.%u", unsigned{major}, unsigned{minor});
  return "TypeLib\\" + detail::guid_string(libid) + '\\' + version;
}

// Removes a ProgID only while it still names this class: another class
// may have taken the name over since.
void remove_prog_id(RegStore& s, const std::string& prog_id, const std::string& clsid_text) {
  const detail::RegKey* k = s.find(prog_id + "\\CLSID");
  const std::string* owner = k ? k->find("") : nullptr;
  if (owner == nullptr || detail::iequal(owner->c_str(), clsid_text.c_str())) s.delete_tree(prog_id);
}

}  // namespace

HRESULT reg_register_class(const CLSID& clsid, const char* prog_id, const char* type_name,
                           const char* library_path) {
  if (library_path == nullptr || *library_path == '\0' || std::strpbrk(library_path, "\r\n"))
    return E_INVALIDARG;
  if (prog_id != nullptr && !valid_prog_id(prog_id)) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    std::string id = detail::guid_string(clsid);
    std::string key = detail::clsid_key(clsid);
    std::string type = type_name ? type_name : "";
    std::string path = library_path;
    std::string prog = prog_id ? prog_id : "";
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      // A class registered again under another ProgID loses the old one.
      if (const detail::RegKey* old = s.find(key + "\\ProgID")) {
        const std::string* old_prog = old->find("");
        if (old_prog != nullptr && !detail::iequal(old_prog->c_str(), prog.c_str()))
          remove_prog_id(s, *old_prog, id);
      }
      // Set, not replaced: a library may have added its own values below
      // the class key before this call.
      s.open(key).set("", type);
      s.open(key + "\\InprocServer32").set("", path);
      if (!prog.empty()) {
        s.open(key + "\\ProgID").set("", prog);
        s.open(prog).set("", type);
        s.open(prog + "\\CLSID").set("", id);
      }
      return S_OK;
    });
  });
}

HRESULT reg_unregister_class(const CLSID& clsid, const char* prog_id) {
  if (prog_id != nullptr && !valid_prog_id(prog_id)) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    std::string id = detail::guid_string(clsid);
    std::string key = detail::clsid_key(clsid);
    std::string prog = prog_id ? prog_id : "";
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      size_t before = s.keys.size();
      if (const detail::RegKey* k = s.find(key + "\\ProgID")) {
        const std::string* registered = k->find("");
        if (registered != nullptr && valid_prog_id(registered->c_str()))
          remove_prog_id(s, *registered, id);
      }
      if (!prog.empty()) remove_prog_id(s, prog, id);
      s.delete_tree(key);
      return s.keys.size() == before ? S_FALSE : S_OK;
    });
  });
}

HRESULT reg_register_typelib(const GUID& libid, uint16_t major, uint16_t minor, const char* name,
                             const char* doc, const char* library_path,
                             const CoclassEntry* coclasses, uint32_t count) {
  if (!valid_component_name(name) || std::strchr(name, '.') != nullptr) return E_INVALIDARG;
  if (library_path != nullptr && std::strpbrk(library_path, "\r\n")) return E_INVALIDARG;
  if (coclasses == nullptr && count > 0) return E_INVALIDARG;
  for (uint32_t i = 0; i < count; ++i)
    if (!valid_component_name(coclasses[i].name)) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    std::string key = typelib_version_key(libid, major, minor);
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      s.delete_tree(key);
      detail::RegKey& k = s.open(key);
      k.set("", doc ? doc : "");
      k.set("name", name);
      k.set("path", library_path ? library_path : "");
      for (uint32_t i = 0; i < count; ++i)
        s.open(key + "\\Coclass\\" + coclasses[i].name).set("", detail::guid_string(coclasses[i].clsid));
      return S_OK;
    });
  });
}

HRESULT reg_unregister_typelib(const GUID& libid, uint16_t major, uint16_t minor) {
  return detail::guarded([&]() -> HRESULT {
    std::string lib = "TypeLib\\" + detail::guid_string(libid);
    std::string key = typelib_version_key(libid, major, minor);
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      size_t before = s.keys.size();
      s.delete_tree(key);
      // The library's own key goes with its last version.
      if (s.children(lib).empty()) s.delete_tree(lib);
      return s.keys.size() == before ? S_FALSE : S_OK;
    });
  });
}

}  // namespace com
