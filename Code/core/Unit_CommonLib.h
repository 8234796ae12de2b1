// TCommonLib: the application-wide object of the program folder, the
// current encoder command's pieces, the helper objects and the process,
// message and system operations.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "ConvertJob.h"
#include "Dialogs.h"
#include "ProcessControl.h"
#include "SystemServices.h"
#include "UtilityFuncs.h"

namespace tarquel {

class TCommonLib {
 public:
  // `appPath` is the program folder with its trailing separator.
  TCommonLib(std::string appPath, IProcessTable& processes, ISystemServices& services, IMessageBox& messages);
  TCommonLib(const TCommonLib&) = delete;
  TCommonLib& operator=(const TCommonLib&) = delete;

  const std::string AppPath;
  TConvertParameterStruct ConvertParameter;
  TAppFunc AppFunc;
  TStrFunc StrFunc;
  TFileFunc FileFunc;
  TSysFunc SysFunc;
  // The file loaded into the preview player; empty when none.
  std::string LoadedFile;

  bool ShowMsgBox(std::string_view msg, int msgType) { return tarquel::ShowMsgBox(Messages_, msg, msgType); }
  std::uint32_t GetProcessIdByName(std::string_view name) { return tarquel::GetProcessIdByName(Processes_, AppFunc, name); }
  bool KillProcessByName(std::string_view name) { return tarquel::KillProcessByName(Processes_, AppFunc, name); }
  // `pause` keeps the windows alive between attempts.
  bool StopEncoderProcesses(std::string_view encoder, const std::function<void(std::chrono::milliseconds)>& pause) {
    return tarquel::StopEncoderProcesses(Processes_, AppFunc, encoder, pause);
  }
  void ExploreFolder(const std::string& dir) { Services_.ExploreFolder(dir); }
  void ShutdownComputer() {
    Services_.EnableShutdownPrivilege();
    Services_.PowerOffComputer();
  }
  void TrimWorkingSet() { Services_.TrimWorkingSet(); }

  IProcessTable& Processes() { return Processes_; }
  ISystemServices& Services() { return Services_; }
  IMessageBox& Messages() { return Messages_; }

 private:
  IProcessTable& Processes_;
  ISystemServices& Services_;
  IMessageBox& Messages_;
};

}  // namespace tarquel
