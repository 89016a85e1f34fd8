// Runs the built rastrix command in a scratch folder of its own and
// captures what it prints, and writes the small BMP files the command
// tests feed it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct CliRun {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs rastrix with `args` in the scratch folder.
  CliRun run(const std::vector<std::string>& args) const;
  // The same with standard error on a terminal; `err` is what it showed.
  CliRun run_on_terminal(const std::vector<std::string>& args) const;

  std::filesystem::path at(const std::filesystem::path& relative) const { return dir_ / relative; }
  std::string read(const std::filesystem::path& relative) const;
  void write(const std::filesystem::path& relative, const std::string& bytes) const;
  // Every regular file under `relative`, as sorted relative paths.
  std::vector<std::string> files_under(const std::filesystem::path& relative = ".") const;

  std::filesystem::path dir_;

 private:
  CliRun spawn(const std::vector<std::string>& args, int terminal) const;
};

// An 8-bit grey BMP: 14-byte file header, 40-byte information header,
// 256-entry palette and bottom-up rows padded to four bytes.
std::string bmp_bytes(int32_t width, int32_t height);
