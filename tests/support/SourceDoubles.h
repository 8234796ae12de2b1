// Stand-ins for the media graphs and the preview player.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Errors.h"
#include "MediaGraph.h"
#include "SourceFiles.h"
#include "TrimBar.h"

namespace tarquel::test {

// A probing graph that knows a duration, in milliseconds, for some paths.
class FakeProbeGraph : public IMediaGraph {
 public:
  explicit FakeProbeGraph(std::map<std::string, std::int32_t> durations) : Durations_(std::move(durations)) {}
  bool Active() const override { return Active_; }
  void SetActive(bool active) override { Active_ = active; }
  void ClearGraph() override { Loaded_.clear(); }
  int RenderFile(const std::string& path) override {
    if (!Active_ || !Durations_.count(path)) throw MediaGraphError("cannot render " + path);
    Loaded_ = path;
    return kRenderedAll;
  }
  std::int32_t Duration() override { return Durations_.at(Loaded_); }

 private:
  std::map<std::string, std::int32_t> Durations_;
  std::string Loaded_;
  bool Active_ = false;
};

class FakePlayerGraph : public IPlayerGraph {
 public:
  bool Active() const override { return IsActive; }
  void SetActive(bool active) override { IsActive = active; }
  void ClearGraph() override {}
  int RenderFile(const std::string&) override { return kRenderedAll; }
  std::int32_t Duration() override { return 0; }
  void Run() override {}
  void Pause() override {}
  void Stop() override {}
  std::int64_t CurrentPosition() override { return 0; }
  void SetPositions(std::int64_t current) override {
    if (FailSeeks) throw MediaGraphError("seek failed");
    Seeks.push_back(current);
  }
  void SetOnTimer(TimerHandler) override {}

  bool IsActive = false;
  bool FailSeeks = false;
  std::vector<std::int64_t> Seeks;
};

class FakePlayback : public IPreviewPlayback {
 public:
  const std::string& LoadedFile() const override { return Loaded; }
  void StopPlayback() override {
    ++Stops;
    Loaded.clear();
  }
  IPlayerGraph& PlayerGraph() override { return Graph; }

  std::string Loaded;
  int Stops = 0;
  FakePlayerGraph Graph;
};

// An open dialog that answers as scripted.
class FakeOpenDialog : public IOpenFileDialog {
 public:
  void SetInitialDir(const std::string& folder) override { InitialDir = folder; }
  bool Execute() override {
    ++Runs;
    if (Cancel) return false;
    if (!Chosen.empty()) Held = Chosen.front();
    return true;
  }
  std::vector<std::string> Files() const override { return Cancel ? std::vector<std::string>{} : Chosen; }
  std::string FileName() const override { return Held; }
  std::string InitialDir;
  bool Cancel = false;
  int Runs = 0;
  std::vector<std::string> Chosen;
  std::string Held;
};

}  // namespace tarquel::test
