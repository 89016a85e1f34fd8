// Starts the engine for this process and stops it on scope exit. Each
// process that calls the engine, the tool itself or a worker, needs one.
#pragma once

namespace rxcli {

class EngineSession {
 public:
  EngineSession();
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  bool started() const { return started_; }

 private:
  bool started_;
};

// The report for a process whose engine would not start.
inline constexpr const char* kEngineStartFailed = "rastrix: the imaging engine failed to start\n";

}  // namespace rxcli
