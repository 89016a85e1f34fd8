// The per-user registration store: a text file of sections, one per key,
// holding "name=value" lines ("@" is the default value). Readers just read
// it; writers serialize on a lock file next to it and replace the file by
// rename, so a reader sees either the old file or the new one, whole.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "com_internal.h"

namespace com {

namespace detail {

HRESULT copy_out(const std::string& text, char* out, uint32_t size) {
  if (out == nullptr) return E_POINTER;
  if (text.size() >= size) {
    if (size > 0) out[0] = '\0';
    return E_NOT_SUFFICIENT_BUFFER;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return S_OK;
}

const std::string* RegKey::find(const std::string& value_name) const {
  for (const auto& v : values)
    if (iequal(v.first.c_str(), value_name.c_str())) return &v.second;
  return nullptr;
}

void RegKey::set(const std::string& value_name, const std::string& value) {
  for (auto& v : values) {
    if (iequal(v.first.c_str(), value_name.c_str())) {
      v.second = value;
      return;
    }
  }
  values.emplace_back(value_name, value);
}

void RegKey::erase(const std::string& value_name) {
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (iequal(it->first.c_str(), value_name.c_str())) {
      values.erase(it);
      return;
    }
  }
}

const RegKey* RegStore::find(const std::string& key) const {
  auto it = keys.find(lower(key));
  return it == keys.end() ? nullptr : &it->second;
}

RegKey& RegStore::open(const std::string& key) {
  RegKey& k = keys[lower(key)];
  if (k.name.empty()) k.name = key;
  return k;
}

void RegStore::delete_tree(const std::string& key) {
  std::string low = lower(key);
  std::string prefix = low + '\\';
  keys.erase(low);
  auto it = keys.lower_bound(prefix);
  while (it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = keys.erase(it);
}

std::vector<std::string> RegStore::children(const std::string& key) const {
  std::string prefix = lower(key) + '\\';
  std::vector<std::string> out;
  std::string last;
  for (auto it = keys.lower_bound(prefix);
       it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    size_t end = it->first.find('\\', prefix.size());
    std::string child_low = it->first.substr(prefix.size(), end - prefix.size());
    if (child_low == last) continue;
    last = child_low;
    out.push_back(it->second.name.substr(prefix.size(), child_low.size()));
  }
  return out;
}

std::string normalize_key(const char* key) {
  if (key == nullptr || *key == '\0') return {};
  std::string k(key);
  if (k.find_first_of("\r\n") != std::string::npos) return {};
  if (k.front() == '\\' || k.back() == '\\' || k.find("\\\\") != std::string::npos) return {};
  return k;
}

bool valid_value_name(const char* name) {
  return name == nullptr || std::strchr(name, '\n') == nullptr;
}

}  // namespace detail

namespace {

using detail::RegKey;
using detail::RegStore;

constexpr size_t kMaxStoreBytes = size_t{64} << 20;

std::string config_home() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative values are to be ignored, as the base-directory rules say.
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string h;
  if (home != nullptr && home[0] == '/') {
    h = home;
  } else {
    struct passwd pw;
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
      h = found->pw_dir;
  }
  if (h.empty()) return {};
  return h + "/.config";
}

std::string store_dir() {
  std::string base = config_home();
  return base.empty() ? base : base + "/rastrix";
}

std::string store_file(const std::string& dir) { return dir + "/com-registry"; }

std::string store_path() {
  std::string dir = store_dir();
  return dir.empty() ? dir : store_file(dir);
}

bool make_dirs(const std::string& dir) {
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i == dir.size() || dir[i] == '/') {
      std::string part = dir.substr(0, i);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Escapes what would break the line structure. In names also '=' and a
// first character that would read as a section, a comment or the default.
std::string escape(const std::string& s, bool is_name) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (is_name && c == '=') out += "\\=";
    else if (is_name && i == 0 && (c == '[' || c == ';' || c == '#' || c == '@')) (out += '\\') += c;
    else out += c;
  }
  return out;
}

std::string unescape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

void parse(const std::string& text, RegStore* store) {
  RegKey* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.size() < 3 || line.back() != ']') continue;
      std::string key = detail::normalize_key(line.substr(1, line.size() - 2).c_str());
      if (!key.empty()) current = &store->open(key);
      continue;
    }
    if (current == nullptr) continue;
    // The name ends at the first '=' not escaped.
    size_t eq = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\') ++i;
      else if (line[i] == '=') { eq = i; break; }
    }
    if (eq == std::string::npos) continue;
    std::string raw_name = line.substr(0, eq);
    std::string name = raw_name == "@" ? std::string() : unescape(raw_name);
    current->set(name, unescape(line.substr(eq + 1)));
  }
}

std::string serialize(const RegStore& store) {
  std::string out =
      "; Component registrations of this user: one [key] per section, \"@\" is its\n"
      "; default value. Rewritten whole on every change.\n";
  for (const auto& [low, key] : store.keys) {
    out += '\n';
    out += '[';
    out += key.name;
    out += "]\n";
    for (const auto& [name, value] : key.values) {
      out += name.empty() ? std::string("@") : escape(name, true);
      out += '=';
      out += escape(value, false);
      out += '\n';
    }
  }
  return out;
}

HRESULT read_file(const std::string& path, std::string* text) {
  text->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? S_FALSE : (errno == EACCES ? E_ACCESSDENIED : E_FAIL);
  HRESULT hr = S_OK;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) { hr = E_FAIL; break; }
    if (n == 0) break;
    if (text->size() + static_cast<size_t>(n) > kMaxStoreBytes) { hr = E_FAIL; break; }
    text->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return hr;
}

bool write_all(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

HRESULT replace_file(const std::string& dir, const std::string& path, const std::string& text) {
  std::string tmp = dir + "/.com-registry.XXXXXX";
  int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return REGDB_E_WRITEREGDB;
  bool ok = write_all(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return REGDB_E_WRITEREGDB;
  }
  // The rename itself must survive a crash too.
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return S_OK;
}

// Holds the writers' lock for its lifetime.
class StoreLock {
 public:
  explicit StoreLock(const std::string& dir) {
    std::string path = dir + "/com-registry.lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

namespace detail {

HRESULT reg_load(RegStore* store) {
  std::string path = store_path();
  if (path.empty()) return E_FAIL;
  std::string text;
  HRESULT hr = read_file(path, &text);
  if (FAILED(hr)) return hr;
  parse(text, store);
  return S_OK;
}

HRESULT reg_edit_impl(HRESULT (*edit)(RegStore&, void*), void* context) {
  std::string dir = store_dir();
  if (dir.empty()) return REGDB_E_WRITEREGDB;
  if (!make_dirs(dir)) return REGDB_E_WRITEREGDB;
  StoreLock lock(dir);
  if (!lock.held()) return REGDB_E_WRITEREGDB;
  std::string path = store_file(dir);
  std::string text;
  // A store that cannot be read must not be replaced by a near-empty one.
  if (FAILED(read_file(path, &text))) return REGDB_E_WRITEREGDB;
  RegStore store;
  parse(text, &store);
  HRESULT hr = edit(store, context);
  if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;  // S_FALSE: nothing changed
  return replace_file(dir, path, serialize(store));
}

}  // namespace detail

HRESULT reg_path(char* out, uint32_t size) {
  if (out == nullptr) return E_POINTER;
  return detail::guarded([&]() -> HRESULT {
    std::string path = store_path();
    if (path.empty()) {
      if (size > 0) out[0] = '\0';
      return E_FAIL;
    }
    return detail::copy_out(path, out, size);
  });
}

HRESULT reg_set_value(const char* key, const char* name, const char* value) {
  if (value == nullptr) return E_INVALIDARG;
  return detail::guarded([&]() -> HRESULT {
    std::string k = detail::normalize_key(key);
    if (k.empty() || !detail::valid_value_name(name)) return E_INVALIDARG;
    std::string n = name ? name : "";
    std::string v = value;
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      s.open(k).set(n, v);
      return S_OK;
    });
  });
}

HRESULT reg_get_value(const char* key, const char* name, char* out, uint32_t size) {
  if (out == nullptr) return E_POINTER;
  if (size > 0) out[0] = '\0';
  return detail::guarded([&]() -> HRESULT {
    std::string k = detail::normalize_key(key);
    if (k.empty() || !detail::valid_value_name(name)) return E_INVALIDARG;
    RegStore s;
    HRESULT hr = detail::reg_load(&s);
    if (FAILED(hr)) return hr;
    const RegKey* found = s.find(k);
    const std::string* v = found ? found->find(name ? name : "") : nullptr;
    if (v == nullptr) return E_FAIL;
    return detail::copy_out(*v, out, size);
  });
}

HRESULT reg_delete_tree(const char* key) {
  return detail::guarded([&]() -> HRESULT {
    std::string k = detail::normalize_key(key);
    if (k.empty()) return E_INVALIDARG;
    // Nothing to delete needs neither the lock nor a rewrite.
    RegStore current;
    if (SUCCEEDED(detail::reg_load(&current)) && current.find(k) == nullptr &&
        current.children(k).empty())
      return S_OK;
    return detail::reg_edit([&](RegStore& s) -> HRESULT {
      size_t before = s.keys.size();
      s.delete_tree(k);
      return s.keys.size() == before ? S_FALSE : S_OK;
    });
  });
}

}  // namespace com
