// The batch progress line: files done, failed and skipped out of the
// total, redrawn in place on standard error when it is a terminal. Reports
// go through here too, so they never land in the middle of the line.
#pragma once

#include <cstddef>
#include <string>

namespace rxcli {

struct Tally {
  size_t converted = 0;
  size_t skipped = 0;
  size_t failed = 0;

  size_t done() const { return converted + skipped + failed; }
};

class Progress {
 public:
  Progress(size_t total, bool on_terminal) : total_(total), on_terminal_(on_terminal) {}

  void show(const Tally& tally);
  // Prints a report (if any) on its own lines, then redraws the progress line.
  void report(const std::string& text, const Tally& tally);
  // Leaves a final summary line on a terminal.
  void finish(const Tally& tally);

 private:
  std::string line(const Tally& tally) const;

  size_t total_;
  bool on_terminal_;
};

}  // namespace rxcli
