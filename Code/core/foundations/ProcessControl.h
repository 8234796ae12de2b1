// Finding and ending processes by their image name ("evc.exe"): the batch
// waits until no encoder process is left, and Stop ends them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

class TAppFunc;

struct TProcessEntry {
  std::uint32_t ProcessId = 0;
  // The executable's file name, as the process list reports it.
  std::string ExeFile;
};

// The system's list of running processes; the platform layer provides it.
class IProcessTable {
 public:
  virtual ~IProcessTable() = default;
  // The running processes in list order; nullopt when no list can be had.
  virtual std::optional<std::vector<TProcessEntry>> Snapshot() = 0;
  // Ends the process at once, without warning; true when that succeeded.
  virtual bool Terminate(std::uint32_t processId) = 0;
};

class TSysFunc {
 public:
  explicit TSysFunc(IProcessTable& processes) : Processes_(processes) {}
  // The id of the last process in list order whose image name equals
  // `exeName` in upper case; 0 when none runs or the list fails.
  std::uint32_t FindProcessId(std::string_view exeName) const;

 private:
  IProcessTable& Processes_;
};

// As FindProcessId (matching without regard to case); logs
// "Get Process id error." when no process has that name.
std::uint32_t GetProcessIdByName(IProcessTable& processes, const TAppFunc& log, std::string_view name);

// Terminates every process whose image name (or its file-name part) is
// `name` regardless of case. True when the last termination attempted
// succeeded; otherwise logs "Terminate process error." and returns false.
bool KillProcessByName(IProcessTable& processes, const TAppFunc& log, std::string_view name);

// Ends every process named like the file-name part of `encoder`, then every
// "evc.exe": kill, pause 100 ms, look again, at most `maxAttempts` times per
// name. `pause` is where the caller keeps its windows alive. True when no
// such process is left.
inline constexpr int kStopAttempts = 50;
bool StopEncoderProcesses(IProcessTable& processes, const TAppFunc& log, std::string_view encoder,
                          const std::function<void(std::chrono::milliseconds)>& pause,
                          int maxAttempts = kStopAttempts);

}  // namespace tarquel
