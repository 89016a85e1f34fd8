// Pieces shared by the component-model sources and nothing else.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/com.h"

namespace com::detail {

// Every public entry point runs its body through this, so that no C++
// exception ever reaches a caller on the other side of the ABI.
template <class F>
HRESULT guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// QueryInterface of an object that answers one interface besides IUnknown.
template <class I>
HRESULT query_one(I* self, const IID& own, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (!guid_equal(iid, IID_IUnknown) && !guid_equal(iid, own)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = self;
  self->AddRef();
  return S_OK;
}

inline char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
std::string lower(const std::string& s);
bool iequal(const char* a, const char* b);

// Copies text with its terminator into a caller's buffer; the buffer gets
// "" when it is too small so that a caller never reads a cut-off value.
HRESULT copy_out(const std::string& text, char* out, uint32_t size);

// The registration store, loaded whole. Keys are kept under their lower-case
// form; the first spelling seen is what the file shows.
struct RegKey {
  std::string name;
  std::vector<std::pair<std::string, std::string>> values;  // "" is the default value
  const std::string* find(const std::string& value_name) const;
  void set(const std::string& value_name, const std::string& value);
  void erase(const std::string& value_name);
};
struct RegStore {
  std::map<std::string, RegKey> keys;
  const RegKey* find(const std::string& key) const;
  RegKey& open(const std::string& key);
  void delete_tree(const std::string& key);
  // The names of the direct children of key, in their stored spelling.
  std::vector<std::string> children(const std::string& key) const;
};

// Validates a key name and returns its canonical form ("" when invalid):
// no empty components, no line breaks.
std::string normalize_key(const char* key);
bool valid_value_name(const char* name);

HRESULT reg_load(RegStore* store);
// Locks the store, rereads it, lets edit change it and writes it back
// atomically. edit returns a failure to abandon the change.
template <class F>
HRESULT reg_edit(F&& edit);
HRESULT reg_edit_impl(HRESULT (*edit)(RegStore&, void*), void* context);
template <class F>
HRESULT reg_edit(F&& edit) {
  return reg_edit_impl([](RegStore& s, void* c) -> HRESULT { return (*static_cast<F*>(c))(s); },
                       &edit);
}

std::string guid_string(const GUID& g);
// Where the store keeps a class: "CLSID\\{...}".
std::string clsid_key(const CLSID& clsid);

}  // namespace com::detail

namespace com::detail {
// Runs a component library's DllRegisterServer or DllUnregisterServer,
// loading it as creation does when it is not loaded yet.
HRESULT library_self_register(const char* path, bool unregister);
}  // namespace com::detail
