#include "Unit_CommonLib.h"

namespace tarquel {

TCommonLib::TCommonLib(std::string appPath, IProcessTable& processes, ISystemServices& services, IMessageBox& messages)
    : AppPath(std::move(appPath)),
      AppFunc(AppPath),
      SysFunc(processes),
      Processes_(processes),
      Services_(services),
      Messages_(messages) {}

}  // namespace tarquel
