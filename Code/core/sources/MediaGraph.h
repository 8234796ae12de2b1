// The media graph contract: what the program asks of the media back end to
// probe a source (its duration and whether its streams can be decoded) and
// to play one in the preview. The media library implements it; tests hand in
// doubles. Failures are raised as MediaGraphError.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tarquel {

// What RenderFile returns when every stream of the file was rendered; a
// positive result means only part of them were.
inline constexpr int kRenderedAll = 0;

class IMediaGraph {
 public:
  virtual ~IMediaGraph() = default;

  // Activation creates the graph; deactivation releases it with everything
  // in it. Only an active graph takes the operations below ClearGraph; on
  // an inactive one they raise MediaGraphError.
  virtual bool Active() const = 0;
  virtual void SetActive(bool active) = 0;

  // Stops the graph and removes the file from it; the graph stays active.
  // Does nothing on an inactive graph.
  virtual void ClearGraph() = 0;

  // Opens `path` into the graph: kRenderedAll when every stream can be
  // rendered, a positive code when only part of them can. Raises
  // MediaGraphError when nothing can be rendered.
  virtual int RenderFile(const std::string& path) = 0;

  // The rendered file's duration in whole milliseconds.
  virtual std::int32_t Duration() = 0;
};

// The preview player's graph: the probing operations plus playback.
class IPlayerGraph : public IMediaGraph {
 public:
  virtual void Run() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;

  // The current position in 100-ns units.
  virtual std::int64_t CurrentPosition() = 0;

  // Moves to an absolute position in 100-ns units; the stop position stays.
  virtual void SetPositions(std::int64_t current) = 0;

  // Called about once a second while the graph runs (from Run until Pause
  // or Stop) with the position and the duration in milliseconds.
  using TimerHandler = std::function<void(std::uint32_t positionMs, std::uint32_t durationMs)>;
  virtual void SetOnTimer(TimerHandler handler) = 0;
};

// Makes a fresh, inactive probing graph; each add-files run has its own.
using MediaGraphFactory = std::function<std::unique_ptr<IMediaGraph>()>;

// Seeks the graph to `milliseconds` from the beginning.
void SeekGraph(IPlayerGraph& graph, std::int64_t milliseconds);

// The duration of `path` in whole seconds (cut, not rounded), read on the
// probing graph: clear, activate, render, read the duration, deactivate.
// Any failure on the way gives 0.
std::int32_t ProbeDuration(IMediaGraph& graph, const std::string& path);

}  // namespace tarquel
