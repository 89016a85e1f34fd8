#include "progress.h"

#include <cstdio>

namespace rxcli {
namespace {

constexpr const char* kClearLine = "\r\033[K";

void put(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::string Progress::line(const Tally& tally) const {
  return "rastrix: " + std::to_string(tally.done()) + "/" + std::to_string(total_) + " done, " +
         std::to_string(tally.failed) + " failed, " + std::to_string(tally.skipped) + " skipped";
}

void Progress::show(const Tally& tally) {
  if (on_terminal_) put(kClearLine + line(tally));
}

void Progress::report(const std::string& text, const Tally& tally) {
  if (!text.empty()) put(on_terminal_ ? kClearLine + text : text);
  show(tally);
}

void Progress::finish(const Tally& tally) {
  if (on_terminal_) put(kClearLine + line(tally) + "\n");
}

}  // namespace rxcli
