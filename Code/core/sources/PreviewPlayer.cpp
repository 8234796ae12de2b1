#include "PreviewPlayer.h"

#include <chrono>
#include <exception>
#include <thread>

#include "TextFormats.h"

namespace tarquel {

namespace {
constexpr const char* kZeroTime = "00:00:00";
}  // namespace

TPreviewPlayer::TPreviewPlayer(IPlayerGraph& graph, IPreviewView& view, std::string& loadedFile,
                               std::function<void(const std::string&)> writeLog, std::function<void()> processMessages)
    : Graph_(graph),
      View_(view),
      LoadedFile_(loadedFile),
      WriteLog_(std::move(writeLog)),
      ProcessMessages_(std::move(processMessages)) {
  Graph_.SetOnTimer([this](std::uint32_t position, std::uint32_t duration) { dstrckbrMainformTimer(position, duration); });
}

void TPreviewPlayer::Attach(const TTrimBar& bar, const TSourceList& list) {
  Bar_ = &bar;
  List_ = &list;
}

void TPreviewPlayer::StartPlayback() {
  if (!Graph_.Active()) return;
  try {
    Graph_.Run();
    IsPlaying_ = true;
    View_.ShowLogo(false);
    View_.HoldScreenSaver(true);
  } catch (const std::exception&) {
    View_.ShowLogo(true);
  }
}

void TPreviewPlayer::PausePlayback() {
  if (!Graph_.Active()) return;
  View_.HoldScreenSaver(false);
  try {
    Graph_.Pause();
    IsPlaying_ = false;
    View_.ShowLogo(false);
  } catch (const std::exception&) {
    View_.ShowLogo(true);
  }
}

void TPreviewPlayer::StopPlayback() {
  if (!Graph_.Active()) return;
  View_.HoldScreenSaver(false);
  try {
    Graph_.Stop();
    Graph_.SetActive(false);
    LoadedFile_.clear();
    View_.ShowPosition(kZeroTime);
    IsPlaying_ = false;
    View_.ShowLogo(true);
  } catch (const std::exception&) {
    View_.ShowLogo(true);
  }
}

void TPreviewPlayer::OpenAndPlay(const std::string& path) {
  try {
    // A fresh, empty graph.
    Graph_.SetActive(false);
    Graph_.SetActive(true);
    bool rendered = false;
    try {
      rendered = Graph_.RenderFile(path) == kRenderedAll;
      LoadedFile_ = path;
    } catch (const std::exception&) {
      LoadedFile_.clear();
    }
    if (!rendered) {
      // A file played only in part counts as failed too; the graph is left
      // active and empty.
      try {
        WriteLog_("Playing Video error.");
      } catch (const std::exception&) {
      }
      Graph_.ClearGraph();
      return;
    }
    PausePlayback();
    StartPlayback();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ProcessMessages_) ProcessMessages_();
    if (Bar_ && Bar_->BarReady()) SeekGraph(Graph_, Bar_->PlayFromSeconds() * 1000);
    IsPlaying_ = true;
    View_.ShowLogo(false);
  } catch (const std::exception&) {
    View_.ShowLogo(true);
  }
}

void TPreviewPlayer::btnPlayClick() {
  if (!LoadedFile_.empty()) {
    if (!IsPlaying_) StartPlayback();
    return;
  }
  if (!List_) return;
  // With several rows selected the last one is left playing.
  for (int row : List_->SelectedRows()) OpenAndPlay(List_->Row(row).Path);
}

void TPreviewPlayer::btnPauseClick() {
  if (!LoadedFile_.empty() && IsPlaying_) PausePlayback();
}

void TPreviewPlayer::dstrckbrMainformTimer(std::uint32_t positionMs, std::uint32_t durationMs) {
  const std::int64_t seconds = Graph_.CurrentPosition() / 10'000'000;
  const std::string shown = SecondsToTimeText(seconds);
  View_.ShowPosition(shown);
  if (Bar_ && shown == Bar_->EndMarkText()) {
    SeekGraph(Graph_, 0);
    PausePlayback();
  }
  if (positionMs >= durationMs) {
    SeekGraph(Graph_, 0);
    StopPlayback();
  }
}

}  // namespace tarquel
