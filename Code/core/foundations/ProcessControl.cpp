#include "ProcessControl.h"

#include <algorithm>

#include "UtilityFuncs.h"

namespace tarquel {

namespace {

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
  return upper;
}

std::string_view FileNamePart(std::string_view path) {
  const auto sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::uint32_t LastMatch(IProcessTable& processes, std::string_view name) {
  const auto list = processes.Snapshot();
  if (!list) return 0;
  const std::string wanted = UpperAscii(name);
  std::uint32_t found = 0;
  for (const auto& p : *list) {
    if (UpperAscii(p.ExeFile) == wanted) found = p.ProcessId;
  }
  return found;
}

}  // namespace

std::uint32_t TSysFunc::FindProcessId(std::string_view exeName) const { return LastMatch(Processes_, exeName); }

std::uint32_t GetProcessIdByName(IProcessTable& processes, const TAppFunc& log, std::string_view name) {
  const std::uint32_t id = LastMatch(processes, name);
  if (id == 0) log.WriteLog("Get Process id error.");
  return id;
}

bool KillProcessByName(IProcessTable& processes, const TAppFunc& log, std::string_view name) {
  const std::string wanted = UpperAscii(name);
  bool lastSucceeded = false;
  if (const auto list = processes.Snapshot()) {
    for (const auto& p : *list) {
      if (UpperAscii(FileNamePart(p.ExeFile)) == wanted || UpperAscii(p.ExeFile) == wanted) {
        lastSucceeded = processes.Terminate(p.ProcessId);
      }
    }
  }
  if (!lastSucceeded) log.WriteLog("Terminate process error.");
  return lastSucceeded;
}

bool StopEncoderProcesses(IProcessTable& processes, const TAppFunc& log, std::string_view encoder,
                          const std::function<void(std::chrono::milliseconds)>& pause, int maxAttempts) {
  bool allGone = true;
  for (const std::string_view name : {FileNamePart(encoder), std::string_view("evc.exe")}) {
    int attempts = 0;
    while (GetProcessIdByName(processes, log, name) != 0) {
      if (attempts++ == maxAttempts) {
        allGone = false;
        break;
      }
      KillProcessByName(processes, log, name);
      if (pause) pause(std::chrono::milliseconds(100));
    }
  }
  return allGone;
}

}  // namespace tarquel
