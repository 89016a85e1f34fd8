// What a host reads after a write: the failure of its first failing step.
//
// A change routine makes several engine calls: the operation, then steps
// that refresh the image information, count pages or associate the window.
// Every engine call clears the engine's error stack, so a later step would
// wipe out the operation's failure and the host would read success. The
// hold keeps the first failing step's count and entries for the rest of the
// write, and when the write ends puts the entries back on the engine's
// stack, so that ErrCount, ErrString, ErrorCode and any host that reads the
// engine see the failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rast {

class ErrorHold {
 public:
  // A host's write or read of a member starts and ends an operation. Nested
  // ones (a host writing a member from inside an event) belong to the
  // outermost.
  void begin();
  void end();

  // A step's error count: true when the control should store it as
  // ErrCount, false once an earlier step of the operation failed. A
  // failing count takes a copy of the engine's entries.
  bool take(int32_t count);

  // True the first time it is asked after the operation's failure: the
  // error event and the report are given once, for the failing step.
  bool report_due();

 private:
  struct Entry {
    std::string file;
    int32_t line, code, ival, lval;
  };
  int depth_ = 0;
  bool failed_ = false;
  bool reported_ = false;
  std::vector<Entry> entries_;
};

// Starts an operation on a hold and ends it on every way out.
class ErrorHoldScope {
 public:
  explicit ErrorHoldScope(ErrorHold& hold) : hold_(hold) { hold_.begin(); }
  ~ErrorHoldScope() { hold_.end(); }
  ErrorHoldScope(const ErrorHoldScope&) = delete;
  ErrorHoldScope& operator=(const ErrorHoldScope&) = delete;

 private:
  ErrorHold& hold_;
};

}  // namespace rast
