#include "tools/cli_runner.h"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

void CliTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "rastrix-cli-XXXXXX").native();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern;
}

void CliTest::TearDown() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

CliRun CliTest::run(const std::vector<std::string>& args) const { return spawn(args, -1); }

CliRun CliTest::run_on_terminal(const std::vector<std::string>& args) const {
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return {};
  }
  CliRun result = spawn(args, slave);
  close(slave);
  // The terminal reports an error once every writer has gone.
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) result.err.append(buffer, n);
  close(master);
  return result;
}

// With `terminal` >= 0, standard error goes to that terminal instead of a file.
CliRun CliTest::spawn(const std::vector<std::string>& args, int terminal) const {
  std::vector<std::string> argv_text{RASTRIX_CLI};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  const fs::path out = dir_ / "..stdout", err = dir_ / "..stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (terminal >= 0)
    posix_spawn_file_actions_adddup2(&actions, terminal, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CliRun result;
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << RASTRIX_CLI;
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = read("..stdout");
  result.err = read("..stderr");
  // Under the sanitizer build a report can hide behind an expected status.
  EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
  fs::remove(out);
  fs::remove(err);
  return result;
}

std::string CliTest::read(const fs::path& relative) const {
  std::ifstream in(dir_ / relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void CliTest::write(const fs::path& relative, const std::string& bytes) const {
  fs::create_directories((dir_ / relative).parent_path());
  std::ofstream(dir_ / relative, std::ios::binary) << bytes;
}

std::vector<std::string> CliTest::files_under(const fs::path& relative) const {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir_ / relative))
    if (e.is_regular_file()) names.push_back(fs::relative(e.path(), dir_ / relative).native());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

void put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8 & 0xFF);
}

void put32(std::string& s, uint32_t v) {
  put16(s, v & 0xFFFF);
  put16(s, v >> 16);
}

}  // namespace

std::string bmp_bytes(int32_t width, int32_t height) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 8 + 31) / 32 * 4;
  const uint32_t pixels = stride * static_cast<uint32_t>(height);
  const uint32_t offset = 14 + 40 + 256 * 4;
  std::string s = "BM";
  put32(s, offset + pixels);
  put32(s, 0);
  put32(s, offset);
  for (const uint32_t v : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
    put32(s, v);
  put16(s, 1);
  put16(s, 8);
  for (const uint32_t v : {0u, pixels, 2835u, 2835u, 256u, 0u}) put32(s, v);
  for (uint32_t i = 0; i < 256; ++i) put32(s, i * 0x010101u);
  for (uint32_t y = 0; y < static_cast<uint32_t>(height); ++y)
    for (uint32_t x = 0; x < stride; ++x) s += static_cast<char>((x * 16 + y * 40) & 0xFF);
  return s;
}
