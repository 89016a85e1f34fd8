// Where a batch puts each output: the input's base name with the new
// extension, beside the input or under the output folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace rxcli {

// `sub_dir` is the input's folder relative to the folder named on the
// command line (empty for files named directly or found without -r); it is
// recreated under `out_dir`. Only the last extension is replaced
// ("a.tar.bmp" -> "a.tar.jpg"); a name with none, or only a leading dot
// (".hidden"), gains one.
std::filesystem::path output_path(const std::filesystem::path& input,
                                  const std::filesystem::path& sub_dir,
                                  const std::string& extension,
                                  const std::optional<std::filesystem::path>& out_dir);

}  // namespace rxcli
