#include <QSocketNotifier>

#include "ChannelWatch.h"
#include "PreviewProcess.h"

namespace tarquel::platform {

// The channel is a socket: the event loop polls it with the rest.
struct TChannelWatch::TState {
  QSocketNotifier Notifier;
  explicit TState(int fd) : Notifier(fd, QSocketNotifier::Read) {}
};

TChannelWatch::TChannelWatch(const TChannel& channel, std::function<void()> onReadable)
    : State_(std::make_unique<TState>(channel.Fd())) {
  QObject::connect(&State_->Notifier, &QSocketNotifier::activated, &State_->Notifier,
                   [handler = std::move(onReadable)] { handler(); });
}

TChannelWatch::~TChannelWatch() = default;

void TChannelWatch::SetEnabled(bool enabled) { State_->Notifier.setEnabled(enabled); }

}  // namespace tarquel::platform
