// The preview player: plays the selected source on the player graph from the
// trim bar's start handle, shows the position once a second, pauses and
// rewinds at the end handle's time and stops at the end of the file. The
// window shows what it is told through IPreviewView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "MediaGraph.h"
#include "SourceList.h"
#include "TrimBar.h"

namespace tarquel {

// What the player needs of the window.
class IPreviewView {
 public:
  virtual ~IPreviewView() = default;
  // The logo panel over the video window.
  virtual void ShowLogo(bool shown) = 0;
  // The position display's text.
  virtual void ShowPosition(const std::string& text) = 0;
  // Holds the screen saver off while video runs; released at pause and stop.
  virtual void HoldScreenSaver(bool hold) = 0;
};

class TPreviewPlayer : public IPreviewPlayback {
 public:
  // `loadedFile` is the program's record of the file in the player
  // (TCommonLib's LoadedFile); `writeLog` writes a line to the program log;
  // `processMessages` lets pending window events run.
  TPreviewPlayer(IPlayerGraph& graph, IPreviewView& view, std::string& loadedFile,
                 std::function<void(const std::string&)> writeLog, std::function<void()> processMessages = nullptr);

  // The trim bar and the list exist only once the player does; play and the
  // position timer read them from then on.
  void Attach(const TTrimBar& bar, const TSourceList& list);

  // IPreviewPlayback
  const std::string& LoadedFile() const override { return LoadedFile_; }
  void StopPlayback() override;
  IPlayerGraph& PlayerGraph() override { return Graph_; }

  bool IsPlaying() const { return IsPlaying_; }

  void StartPlayback();
  void PausePlayback();
  // Loads `path` into a fresh graph and plays it from the start handle.
  // Never throws: a file that cannot be rendered is only logged.
  void OpenAndPlay(const std::string& path);

  void btnPlayClick();
  void btnPauseClick();
  void btnStopClick() { StopPlayback(); }
  // The position timer, about once a second while the graph runs.
  void dstrckbrMainformTimer(std::uint32_t positionMs, std::uint32_t durationMs);

 private:
  IPlayerGraph& Graph_;
  IPreviewView& View_;
  std::string& LoadedFile_;
  std::function<void(const std::string&)> WriteLog_;
  std::function<void()> ProcessMessages_;
  const TTrimBar* Bar_ = nullptr;
  const TSourceList* List_ = nullptr;
  bool IsPlaying_ = false;
};

}  // namespace tarquel
