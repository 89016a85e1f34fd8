#include "input_walk.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>
#include <utility>

#include "error_report.h"
#include "formats.h"

namespace rxcli {
namespace {

namespace fs = std::filesystem;

using FileId = std::pair<dev_t, ino_t>;

std::string extension_of(const fs::path& name) {
  const std::string dotted = name.extension().native();
  return dotted.empty() ? dotted : dotted.substr(1);
}

class Walker {
 public:
  Walker(bool recursive, const std::optional<fs::path>& out_dir) : recursive_(recursive) {
    struct stat st {};
    if (out_dir && stat(out_dir->c_str(), &st) == 0) out_dir_id_ = FileId{st.st_dev, st.st_ino};
  }

  void argument(const std::string& arg);
  InputList take() { return std::move(list_); }

 private:
  void folder(const fs::path& dir, const fs::path& sub_dir);
  void entry(const fs::directory_entry& e, const fs::path& sub_dir);
  void add(const fs::path& file, const fs::path& sub_dir, const struct stat& st);

  bool recursive_;
  std::optional<FileId> out_dir_id_;
  std::set<FileId> seen_;
  InputList list_;
};

void Walker::argument(const std::string& arg) {
  struct stat st {};
  if (stat(arg.c_str(), &st) != 0) {
    list_.errors.push_back(plain_report("cannot read " + quote_name(arg), std::strerror(errno)));
  } else if (S_ISDIR(st.st_mode)) {
    folder(arg, {});
  } else if (S_ISREG(st.st_mode)) {
    add(arg, {}, st);
  } else {
    list_.errors.push_back(plain_report("cannot convert " + quote_name(arg), "not a regular file"));
  }
}

void Walker::folder(const fs::path& dir, const fs::path& sub_dir) {
  std::error_code ec;
  std::vector<fs::directory_entry> entries;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(*it);
  if (ec) {
    list_.errors.push_back(plain_report("cannot read the folder " + quote_name(dir.native()),
                                        ec.message()));
    return;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::directory_entry& e : entries) entry(e, sub_dir);
}

void Walker::entry(const fs::directory_entry& e, const fs::path& sub_dir) {
  const fs::path name = e.path().filename();
  if (name.native().starts_with('.')) return;
  struct stat link {}, st {};
  if (lstat(e.path().c_str(), &link) != 0 || stat(e.path().c_str(), &st) != 0) return;
  if (S_ISDIR(link.st_mode) && recursive_) {
    if (out_dir_id_ != FileId{st.st_dev, st.st_ino}) folder(e.path(), sub_dir / name);
  } else if (S_ISREG(st.st_mode) && is_image_extension(extension_of(name))) {
    add(e.path(), sub_dir, st);
  }
}

// The same file reached twice (named twice, or through a link) is taken once.
void Walker::add(const fs::path& file, const fs::path& sub_dir, const struct stat& st) {
  if (seen_.insert(FileId{st.st_dev, st.st_ino}).second) list_.files.push_back({file, sub_dir});
}

}  // namespace

InputList collect_inputs(const std::vector<std::string>& arguments, bool recursive,
                         const std::optional<fs::path>& out_dir) {
  Walker walker(recursive, out_dir);
  for (const std::string& arg : arguments) walker.argument(arg);
  return walker.take();
}

}  // namespace rxcli
