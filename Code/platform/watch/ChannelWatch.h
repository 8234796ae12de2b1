// Tells on the Qt event loop that a channel (PreviewProcess.h) has bytes
// waiting or that its other end has closed, so that a handler reads them
// with TChannel::Receive. The channel must outlive its watch. Made, used and
// ended on the thread of the event loop it calls back on.
#pragma once

#include <functional>
#include <memory>

namespace tarquel::platform {

class TChannel;

class TChannelWatch {
 public:
  TChannelWatch(const TChannel& channel, std::function<void()> onReadable);
  ~TChannelWatch();
  TChannelWatch(const TChannelWatch&) = delete;
  TChannelWatch& operator=(const TChannelWatch&) = delete;

  // A disabled watch calls nothing until it is enabled again.
  void SetEnabled(bool enabled);

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

}  // namespace tarquel::platform
