#include "PreviewPlayer.h"

#include <gtest/gtest.h>

#include <set>

#include "Errors.h"
#include "TextFormats.h"

namespace tarquel {
namespace {

// A player graph that records the calls it takes and fails where told.
struct ScriptedGraph : IPlayerGraph {
  bool Active() const override { return IsActive; }
  void SetActive(bool active) override {
    Calls.push_back(active ? "activate" : "deactivate");
    IsActive = active;
    if (!active) Loaded.clear();
  }
  void ClearGraph() override {
    Calls.push_back("clear");
    Loaded.clear();
  }
  int RenderFile(const std::string& path) override {
    Calls.push_back("render " + path);
    if (Unplayable.count(path)) throw MediaGraphError("cannot render");
    Loaded = path;
    return Partial.count(path) ? 1 : kRenderedAll;
  }
  std::int32_t Duration() override { return 100'000; }
  void Run() override { Do("run"); }
  void Pause() override { Do("pause"); }
  void Stop() override { Do("stop"); }
  std::int64_t CurrentPosition() override { return PositionMs * 10'000; }
  void SetPositions(std::int64_t current) override {
    Calls.push_back("seek " + std::to_string(current / 10'000));
    if (Failing.count("seek")) throw MediaGraphError("seek failed");
  }
  void SetOnTimer(TimerHandler handler) override { Timer = std::move(handler); }
  void Do(const std::string& call) {
    Calls.push_back(call);
    if (Failing.count(call)) throw MediaGraphError(call + " failed");
  }

  bool IsActive = false;
  std::string Loaded;
  std::int64_t PositionMs = 0;
  std::set<std::string> Unplayable, Partial, Failing;
  std::vector<std::string> Calls;
  TimerHandler Timer;
};

struct RecordingView : IPreviewView {
  void ShowLogo(bool shown) override { Logo = shown; }
  void ShowPosition(const std::string& text) override { Position = text; }
  void HoldScreenSaver(bool hold) override { Held = hold; }
  bool Logo = true, Held = false;
  std::string Position = "00:00:00";
};

struct Player {
  Player() {
    for (const char* path : {"/m/a.avi", "/m/b.avi", "/m/c.avi"}) {
      list.Append(NewSourceRow(path, 1024, 100));
    }
    list.SetSelected(0, true);
    player.Attach(bar, list);
  }
  // Shows the first row on the bar and puts the handles at 50 % and 10 s.
  void SetHandles() {
    bar.RefreshTrimBar();
    bar.SetLeftWidth(111);
    bar.SetStartTimeAndPlay();
    bar.SetRightWidth(219 - 10 * 260 / 121);  // 10 s of 100
    bar.Splitter2Moved();
    graph.Calls.clear();
  }
  std::vector<std::string> Calls() { return std::exchange(graph.Calls, {}); }

  ScriptedGraph graph;
  RecordingView view;
  std::string loaded;
  std::vector<std::string> log;
  TSourceList list;
  TPreviewPlayer player{graph, view, loaded, [this](const std::string& line) { log.push_back(line); }};
  TTrimBar bar{list, player};
};

using Calls = std::vector<std::string>;

TEST(PreviewPlayer, PlayOpensTheSelectedRowAtTheStartHandleOnceTheBarIsSetUp) {
  Player p;
  p.player.btnPlayClick();  // the bar was never set up: from the start
  EXPECT_EQ(p.Calls(), (Calls{"deactivate", "activate", "render /m/a.avi", "pause", "run"}));
  EXPECT_EQ(p.loaded, "/m/a.avi");
  EXPECT_TRUE(p.player.IsPlaying());
  EXPECT_FALSE(p.view.Logo);
  EXPECT_TRUE(p.view.Held);

  p.player.btnStopClick();
  EXPECT_EQ(p.Calls(), (Calls{"stop", "deactivate"}));
  EXPECT_EQ(p.loaded, "");
  EXPECT_FALSE(p.player.IsPlaying());
  EXPECT_TRUE(p.view.Logo);
  EXPECT_FALSE(p.view.Held);

  p.SetHandles();
  EXPECT_EQ(p.bar.PlayFromSeconds(), 50);
  // Three rows selected: each is opened in turn and the last keeps playing.
  p.list.SetSelected(1, true);
  p.list.SetSelected(2, true);
  p.player.btnPlayClick();
  const Calls open = {"deactivate", "activate", "render ", "pause", "run", "seek 50000"};
  Calls expected;
  for (const char* path : {"/m/a.avi", "/m/b.avi", "/m/c.avi"}) {
    for (std::string call : open) expected.push_back(call == "render " ? call + path : call);
  }
  EXPECT_EQ(p.Calls(), expected);
  EXPECT_EQ(p.loaded, "/m/c.avi");
}

TEST(PreviewPlayer, PlayPauseAndStopFollowTheStateTable) {
  Player p;
  p.player.btnPauseClick();  // idle: nothing
  p.player.btnStopClick();
  EXPECT_EQ(p.Calls(), Calls{});

  p.player.btnPlayClick();
  p.Calls();
  p.player.btnPlayClick();  // playing: nothing
  EXPECT_EQ(p.Calls(), Calls{});
  p.player.btnPauseClick();
  EXPECT_EQ(p.Calls(), Calls{"pause"});
  EXPECT_FALSE(p.player.IsPlaying());
  EXPECT_FALSE(p.view.Logo);
  EXPECT_FALSE(p.view.Held);
  p.player.btnPauseClick();  // paused: nothing
  EXPECT_EQ(p.Calls(), Calls{});
  p.player.btnPlayClick();  // resumes where it paused
  EXPECT_EQ(p.Calls(), Calls{"run"});
  EXPECT_TRUE(p.player.IsPlaying());

  // Errors of run, pause and stop show the logo and change nothing else.
  p.graph.Failing = {"pause", "stop"};
  p.player.btnPauseClick();
  EXPECT_TRUE(p.player.IsPlaying());
  EXPECT_TRUE(p.view.Logo);
  p.player.btnStopClick();
  EXPECT_EQ(p.loaded, "/m/a.avi");
  p.graph.Failing.clear();
  p.player.btnStopClick();
  EXPECT_EQ(p.loaded, "");
}

TEST(PreviewPlayer, FilesThatCannotBeRenderedAreOnlyLogged) {
  Player p;
  p.graph.Unplayable = {"/m/a.avi"};
  p.player.btnPlayClick();
  EXPECT_EQ(p.Calls(), (Calls{"deactivate", "activate", "render /m/a.avi", "clear"}));
  EXPECT_EQ(p.log, Calls{"Playing Video error."});
  EXPECT_EQ(p.loaded, "");
  EXPECT_TRUE(p.graph.IsActive);
  EXPECT_FALSE(p.player.IsPlaying());

  // Played only in part: logged, the path stays loaded on an empty graph,
  // and Play then asks that graph to run.
  p.graph.Partial = {"/m/a.avi"};
  p.graph.Unplayable.clear();
  p.player.btnPlayClick();
  EXPECT_EQ(p.Calls(), (Calls{"deactivate", "activate", "render /m/a.avi", "clear"}));
  EXPECT_EQ(p.log.size(), 2u);
  EXPECT_EQ(p.loaded, "/m/a.avi");
  p.player.btnPlayClick();
  EXPECT_EQ(p.Calls(), Calls{"run"});
  p.player.btnStopClick();
  EXPECT_EQ(p.loaded, "");

  // An error while starting a file that did render shows the logo.
  p.graph.Partial.clear();
  p.SetHandles();
  p.graph.Failing = {"seek"};
  p.player.btnPlayClick();
  EXPECT_TRUE(p.view.Logo);
  EXPECT_EQ(p.loaded, "/m/a.avi");
}

TEST(PreviewPlayer, TheTimerShowsThePositionPausesAtTheEndMarkAndStopsAtTheEnd) {
  Player p;
  p.SetHandles();
  EXPECT_EQ(p.bar.EndMarkText(), "00:00:10");
  p.player.btnPlayClick();
  p.Calls();
  const struct {
    std::int64_t positionMs, durationMs;
    const char* shown;
    Calls calls;
    bool playing, loaded;
  } ticks[] = {
      {51'000, 4'000'000, "00:00:51", {}, true, true},
      {3'661'999, 4'000'000, "01:01:01", {}, true, true},
      {10'999, 4'000'000, "00:00:10", {"seek 0", "pause"}, false, true},
      {100'000, 100'000, "00:01:40", {"seek 0", "stop", "deactivate"}, false, false},
  };
  for (const auto& t : ticks) {
    p.graph.PositionMs = t.positionMs;
    p.graph.Timer(static_cast<std::uint32_t>(t.positionMs), static_cast<std::uint32_t>(t.durationMs));
    const std::string shown = t.loaded ? t.shown : "00:00:00";
    EXPECT_EQ(p.view.Position, shown) << t.positionMs;
    EXPECT_EQ(p.Calls(), t.calls) << t.positionMs;
    EXPECT_EQ(p.player.IsPlaying(), t.playing) << t.positionMs;
    EXPECT_EQ(!p.loaded.empty(), t.loaded) << t.positionMs;
  }
  EXPECT_TRUE(p.view.Logo);
}

}  // namespace
}  // namespace tarquel
