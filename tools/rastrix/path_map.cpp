#include "path_map.h"

namespace rxcli {

std::filesystem::path output_path(const std::filesystem::path& input,
                                  const std::filesystem::path& sub_dir,
                                  const std::string& extension,
                                  const std::optional<std::filesystem::path>& out_dir) {
  const std::filesystem::path name = input.stem().native() + "." + extension;
  if (!out_dir) return input.parent_path() / name;
  return *out_dir / sub_dir / name;
}

}  // namespace rxcli
