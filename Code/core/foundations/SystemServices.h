// The outside services the program calls and forgets: opening documents,
// addresses and folders, starting the updater, powering the machine off and
// handing idle memory back. The platform layer provides them; tests hand in
// doubles, so nothing here ever really runs in a test.
#pragma once

#include <string>

namespace tarquel {

class ISystemServices {
 public:
  virtual ~ISystemServices() = default;
  // A file, an address or a "mailto:" link, with the desktop's default handler.
  virtual bool OpenWithDefaultHandler(const std::string& target) = 0;
  // An address in the desktop's web browser.
  virtual bool OpenInBrowser(const std::string& address) = 0;
  // A folder in the desktop's file manager.
  virtual bool ExploreFolder(const std::string& folder) = 0;
  // Starts a program without waiting for it; a bare name is looked for in
  // the working directory first.
  virtual bool StartProgram(const std::string& program) = 0;
  virtual bool EnableShutdownPrivilege() = 0;
  // Asks the system to power off; true when the request was accepted.
  virtual bool PowerOffComputer() = 0;
  virtual void TrimWorkingSet() = 0;
};

}  // namespace tarquel
