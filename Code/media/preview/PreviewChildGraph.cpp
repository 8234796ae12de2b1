#include "PreviewChildGraph.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <limits>

#include "Errors.h"
#include "PreviewProtocol.h"

namespace tarquel::media {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The numbers after the verb; false unless all `count` of them are there.
bool Numbers(const std::string& line, long long* values, int count) {
  const char* at = line.c_str() + line.find(' ');
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    values[i] = std::strtoll(at, &end, 10);
    if (end == at) return false;
    at = end;
  }
  return true;
}

}  // namespace

TPreviewChildGraph::TPreviewChildGraph(std::string program, QObject* parent)
    : QObject(parent), Program_(std::move(program)) {
  Watchdog_.setInterval(500);
  connect(&Watchdog_, &QTimer::timeout, this, [this] { Watch(); });
}

TPreviewChildGraph::~TPreviewChildGraph() {
  if (Lost_) return;
  Notifier_.reset();
  Channel_.Send("quit\n");
  Channel_.Close();
  if (!Child_.WaitEnded(1000)) Child_.Kill();
}

void TPreviewChildGraph::RequireActive() const {
  if (!Active_) throw MediaGraphError("The player graph is not active.");
}

bool TPreviewChildGraph::EnsureChild() {
  if (!Lost_) return true;
  try {
    // A fresh block for each child: a crashed one may have left its header
    // half written.
    Frames_ = platform::TSharedMemory::Create(preview::kFramesBytes);
    auto [mine, theirs] = platform::TChannel::MakePair();
    Child_ = platform::TChildProcess::Start(Program_, {"--parent", std::to_string(platform::CurrentProcessId())},
                                            {theirs.Fd(), Frames_.Fd()});
    Channel_ = std::move(mine);
  } catch (const std::exception&) {
    Frames_ = {};
    return false;
  }
  Lost_ = false;
  ++Generation_;
  In_.clear();
  Notifier_ = std::make_unique<platform::TChannelWatch>(Channel_, [this] { Readable(); });
  // Its first word, "ready", is due like an answer, within the start-up time.
  Pending_ = 1;
  SilenceLimitMs_ = kStartMs;
  Heard_.start();
  UpdateWatch();
  Request("box " + std::to_string(BoxWidth_) + " " + std::to_string(BoxHeight_));
  return true;
}

void TPreviewChildGraph::Request(const std::string& line) {
  if (Lost_) return;
  if (Pending_ == 0 && !Running_) Heard_.start();
  if (!Channel_.Send(line + "\n")) {
    Lose("closed its channel", true);
    return;
  }
  ++Pending_;
  UpdateWatch();
}

void TPreviewChildGraph::UpdateWatch() {
  const bool due = !Lost_ && (Pending_ > 0 || Running_);
  if (due && !Watchdog_.isActive()) Watchdog_.start();
  if (!due) Watchdog_.stop();
}

void TPreviewChildGraph::Watch() {
  if (Lost_) return;
  if (Heard_.elapsed() > SilenceLimitMs_) {
    Lose("did not answer for " + std::to_string(SilenceLimitMs_ / 1000) + " s and was ended", true);
  } else if (Child_.ResidentBytes() > kMemoryLimit) {
    Lose("took more than " + std::to_string(kMemoryLimit >> 30) + " GiB of memory and was ended", true);
  }
}

void TPreviewChildGraph::Readable() {
  long n;
  while ((n = Channel_.Receive(In_)) > 0 && In_.size() <= 64 * preview::kMaxLine) {
  }
  std::size_t end;
  while (!Lost_ && (end = In_.find('\n')) != std::string::npos) {
    const std::string line = In_.substr(0, end);
    In_.erase(0, end + 1);
    if (!Dispatch(line, nullptr)) Lose("said something unexpected and was ended", true);
  }
  if (Lost_) return;
  if (In_.size() > preview::kMaxLine) {
    Lose("said something unexpected and was ended", true);
  } else if (n == 0) {
    Lose("", true);
  }
}

bool TPreviewChildGraph::Dispatch(const std::string& line, std::string* answer) {
  Heard_.start();
  if (line == "frame") {
    TakeFrame();
    return true;
  }
  if (StartsWith(line, "pos ")) {
    long long v[2];
    if (!Numbers(line, v, 2)) return false;
    // A report sent before a pause or stop arrived is not the player's.
    if (!Running_) return true;
    PositionMs_ = v[0];
    // At the end of the file the child's graph stops by itself.
    if (v[0] >= v[1]) Running_ = false;
    UpdateWatch();
    if (OnTimer_) {
      auto clamp = [](long long ms) {
        return static_cast<std::uint32_t>(std::clamp<long long>(ms, 0, std::numeric_limits<std::uint32_t>::max()));
      };
      OnTimer_(clamp(v[0]), clamp(v[1]));
    }
    return true;
  }
  if (line == "ready" || line == "ok" || StartsWith(line, "error") || StartsWith(line, "opened ")) {
    if (Pending_ == 0) return false;
    --Pending_;
    if (line == "ready") SilenceLimitMs_ = kAnswerMs;
    if (answer) *answer = line;
    UpdateWatch();
    return true;
  }
  return false;
}

bool TPreviewChildGraph::AwaitAnswers(std::string* last) {
  while (!Lost_ && Pending_ > 0) {
    const qint64 left = SilenceLimitMs_ - Heard_.elapsed();
    if (left <= 0 || !Channel_.WaitReadable(static_cast<int>(left))) {
      Lose("did not answer for " + std::to_string(SilenceLimitMs_ / 1000) + " s and was ended", false);
      break;
    }
    long n;
    while ((n = Channel_.Receive(In_)) > 0) {
    }
    std::size_t end;
    while (!Lost_ && (end = In_.find('\n')) != std::string::npos) {
      const std::string line = In_.substr(0, end);
      In_.erase(0, end + 1);
      if (!Dispatch(line, last)) Lose("said something unexpected and was ended", false);
    }
    if (!Lost_ && n == 0) Lose("", false);
  }
  return !Lost_;
}

void TPreviewChildGraph::TakeFrame() {
  if (!Frames_.Data() || !OnFrame_) return;
  auto* header = preview::Header(Frames_.Data());
  const std::uint32_t before = header->sequence.load(std::memory_order_acquire);
  if (before & 1u) return;  // being written: its own notice follows
  const std::uint32_t width = header->width, height = header->height, stride = header->stride;
  const std::uint32_t slot = header->slot;
  const std::int64_t startUs = header->startUs;
  if (width == 0 || height == 0 || width > preview::kMaxWidth || height > preview::kMaxHeight || stride < width * 4 ||
      std::size_t{stride} * height > preview::kSlotBytes) {
    return;
  }
  QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  const unsigned char* from = preview::Slot(Frames_.Data(), slot);
  for (std::uint32_t row = 0; row < height; ++row) {
    std::memcpy(picture.scanLine(static_cast<int>(row)), from + std::size_t{row} * stride, std::size_t{width} * 4);
  }
  std::atomic_thread_fence(std::memory_order_acquire);
  // One more picture published meanwhile went to the other slot; two would
  // have written over this one.
  if (header->sequence.load(std::memory_order_relaxed) - before > 2) return;
  OnFrame_(picture, startUs);
}

void TPreviewChildGraph::Lose(const std::string& why, bool report) {
  if (Lost_) return;
  Lost_ = true;
  Notifier_.reset();
  Channel_.Close();
  std::string how = why;
  if (how.empty()) {
    // It closed the channel: it has ended or is about to.
    if (!Child_.WaitEnded(1000)) Child_.Kill();
    how = "ended with " + Child_.HowItEnded();
  } else {
    Child_.Kill();
  }
  Frames_ = {};
  Pending_ = 0;
  Loaded_ = false;
  Running_ = false;
  UpdateWatch();
  LostHow_ = how;
  if (!report || !OnFailure_) return;
  const unsigned generation = Generation_;
  QTimer::singleShot(0, this, [this, generation, line = "Playing Video error: the preview " + how + "."] {
    // A report that a newer child overtook is not the player's any more.
    if (generation == Generation_ && Lost_ && OnFailure_) OnFailure_(line);
  });
}

void TPreviewChildGraph::SetFrameBox(int width, int height) {
  BoxWidth_ = std::clamp(width, 1, preview::kMaxWidth);
  BoxHeight_ = std::clamp(height, 1, preview::kMaxHeight);
  if (!Lost_) Request("box " + std::to_string(BoxWidth_) + " " + std::to_string(BoxHeight_));
}

void TPreviewChildGraph::SetActive(bool active) {
  Loaded_ = false;
  Running_ = false;
  Active_ = active;
  if (active) EnsureChild();
  Request(active ? "activate" : "deactivate");
  UpdateWatch();
}

void TPreviewChildGraph::ClearGraph() {
  if (!Active_) return;
  Loaded_ = false;
  Running_ = false;
  Request("clear");
  UpdateWatch();
}

int TPreviewChildGraph::RenderFile(const std::string& path) {
  RequireActive();
  Loaded_ = false;
  Running_ = false;
  if (!EnsureChild()) throw MediaGraphError("Cannot play \"" + path + "\": the preview program cannot be started.");
  Request("open " + QByteArray::fromStdString(path).toPercentEncoding().toStdString());
  std::string answer;
  if (!AwaitAnswers(&answer)) throw MediaGraphError("Cannot play \"" + path + "\": the preview " + LostHow_ + ".");
  long long v[2];
  if (!StartsWith(answer, "opened ") || !Numbers(answer, v, 2)) {
    throw MediaGraphError(answer.size() > 6 ? answer.substr(6) : "Cannot play \"" + path + "\".");
  }
  DurationMs_ = static_cast<std::int32_t>(std::clamp<long long>(v[0], 0, std::numeric_limits<std::int32_t>::max()));
  PositionMs_ = 0;
  Loaded_ = true;
  return static_cast<int>(v[1]);
}

std::int32_t TPreviewChildGraph::Duration() {
  RequireActive();
  return DurationMs_;
}

void TPreviewChildGraph::Run() {
  RequireActive();
  if (!Loaded_) return;  // an empty graph runs with nothing to show
  if (!Running_ && Pending_ == 0) Heard_.start();
  Running_ = true;
  Request("run");
}

void TPreviewChildGraph::Pause() {
  RequireActive();
  Running_ = false;
  if (Loaded_) Request("pause");
  UpdateWatch();
}

void TPreviewChildGraph::Stop() {
  RequireActive();
  Running_ = false;
  if (Loaded_) Request("stop");
  UpdateWatch();
}

std::int64_t TPreviewChildGraph::CurrentPosition() {
  RequireActive();
  return PositionMs_ * 10'000;
}

void TPreviewChildGraph::SetPositions(std::int64_t current) {
  RequireActive();
  if (!Loaded_) return;
  PositionMs_ = current / 10'000;
  Request("seek " + std::to_string(PositionMs_));
}

}  // namespace tarquel::media
