// Gathers a batch's input files from the files and folders on the command
// line. Files named directly are always taken. In folders, hidden entries
// are left out and only files with an image extension are taken; with
// recursion, sub-folders are walked too, but links to folders are not
// followed and the output folder is never walked into.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rxcli {

struct InputFile {
  std::filesystem::path path;
  std::filesystem::path sub_dir;  // relative to the folder argument it came from
};

struct InputList {
  std::vector<InputFile> files;     // in command-line order, folders sorted by name
  std::vector<std::string> errors;  // one report per argument or folder that could not be read
};

InputList collect_inputs(const std::vector<std::string>& arguments, bool recursive,
                         const std::optional<std::filesystem::path>& out_dir);

}  // namespace rxcli
