// Doubles of the outside services: they record what the program asked
// for and never open, start or power off anything.
#pragma once

#include <string>
#include <vector>

#include "ProcessControl.h"
#include "SystemServices.h"

namespace tarquel::test {

struct RecordingServices : ISystemServices {
  bool OpenWithDefaultHandler(const std::string& target) override {
    opened.push_back(target);
    return true;
  }
  bool OpenInBrowser(const std::string& address) override {
    browsed.push_back(address);
    return true;
  }
  bool ExploreFolder(const std::string& folder) override {
    explored.push_back(folder);
    return true;
  }
  bool StartProgram(const std::string& program) override {
    started.push_back(program);
    return true;
  }
  bool EnableShutdownPrivilege() override { return true; }
  bool PowerOffComputer() override {
    ++powerOffs;
    return true;
  }
  void TrimWorkingSet() override { ++trims; }

  std::vector<std::string> opened, browsed, explored, started;
  int powerOffs = 0, trims = 0;
};

// A machine where no process runs.
struct NoProcesses : IProcessTable {
  std::optional<std::vector<TProcessEntry>> Snapshot() override { return std::vector<TProcessEntry>{}; }
  bool Terminate(std::uint32_t) override { return false; }
};

}  // namespace tarquel::test
