// windows.h before the headers that build on it.
#include "WinHandle.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <atomic>
#include <thread>

#include "ChannelWatch.h"
#include "PreviewProcess.h"

namespace tarquel::platform {

// The channel is a named pipe opened for blocking I/O: nothing in it can be
// waited on together with the event loop, and a blocking read on another
// thread would hold up the writes on this one. A thread of the watch's own
// peeks into the pipe, and once it sees bytes or the other end's close it
// posts one call to the event loop; it posts the next only after that call
// ran. It peeks every millisecond after bytes came, less and less often
// while none come, down to every 16 ms, so that an idle channel costs
// next to nothing (under Wine each peek is a trip to its server).
struct TChannelWatch::TState {
  QObject Context;  // queued calls die with it
  std::function<void()> Handler;
  HANDLE Pipe;
  std::atomic<bool> Enabled{true};
  std::atomic<bool> Posted{false};
  std::atomic<bool> Quit{false};
  std::thread Watcher;

  TState(HANDLE pipe, std::function<void()> handler) : Handler(std::move(handler)), Pipe(pipe) {}

  void Watch() {
    DWORD nap = 1;
    while (!Quit.load()) {
      nap = std::min<DWORD>(nap * 2, 16);
      if (Enabled.load() && !Posted.load()) {
        DWORD waiting = 0;
        const bool closed = !::PeekNamedPipe(Pipe, nullptr, 0, nullptr, &waiting, nullptr);
        if (closed || waiting > 0) {
          Posted.store(true);
          QMetaObject::invokeMethod(&Context, [this] { Deliver(); }, Qt::QueuedConnection);
          nap = 1;
        }
      } else if (Posted.load()) {
        nap = 1;  // the handler is due: more may follow at once
      }
      ::Sleep(nap);
    }
  }

  void Deliver() {
    Posted.store(false);
    if (!Enabled.load()) return;
    // The handler may end the watch, and this state with it.
    const std::function<void()> handler = Handler;
    handler();
  }
};

TChannelWatch::TChannelWatch(const TChannel& channel, std::function<void()> onReadable)
    : State_(std::make_unique<TState>(LongToHandle(channel.Fd()), std::move(onReadable))) {
  State_->Watcher = std::thread([state = State_.get()] { state->Watch(); });
}

TChannelWatch::~TChannelWatch() {
  State_->Quit.store(true);
  State_->Watcher.join();
}

void TChannelWatch::SetEnabled(bool enabled) { State_->Enabled.store(enabled); }

}  // namespace tarquel::platform
