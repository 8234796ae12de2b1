#include "Unit_CommonLib.h"

namespace tarquel {

TCommonLib::TCommonLib(std::string appPath, TDataFolders data, IProcessTable& processes, ISystemServices& services,
                       IMessageBox& messages)
    : AppPath(std::move(appPath)),
      Data(std::move(data)),
      AppFunc(Data.State),
      SysFunc(processes),
      Processes_(processes),
      Services_(services),
      Messages_(messages) {}

TCommonLib::TCommonLib(std::string appPath, IProcessTable& processes, ISystemServices& services, IMessageBox& messages)
    : TCommonLib(appPath, TDataFolders::Beside(appPath), processes, services, messages) {}

}  // namespace tarquel
