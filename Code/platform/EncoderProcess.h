// Runs one encoder command line as a hidden, non-interactive child process
// and hands the newest piece of what it writes to a callback, about twice a
// second, until the process has ended.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace tarquel::platform {

// Called on the runner's thread with the newest output, at most
// kChunkBytes bytes, cut at its first zero byte; not aligned to lines.
using ChunkCallback = std::function<void(const std::string& chunk)>;

inline constexpr int kChunkBytes = 1023;
inline constexpr int kReadBufferBytes = 1025;

struct EncoderRunOptions {
  // The child's working directory; empty means the program folder.
  std::string workingDirectory;
  // The program path when the caller knows it: the command line must then
  // begin with it (bare or quoted), otherwise nothing is started. Empty
  // means it is found at the start of the line.
  std::string programPath;
  // The pause after each delivered chunk; it ends early when the child exits.
  std::chrono::milliseconds chunkPause{500};
  // Receives how the child ended: its exit code, or 128 plus the number of
  // the signal that ended it. Untouched when the child could not be started.
  int* exitStatus = nullptr;
  // Receives the number of the signal that ended the child, 0 when it
  // exited by itself. Untouched when the child could not be started.
  int* endSignal = nullptr;
};

// Starts the command (no shell is involved: the line is split by the
// Windows quoting rules), reads both output streams from one pipe and calls
// `callback` per chunk until the child has ended and been reaped. Output
// written just before the end is still delivered, once. Returns false,
// without calling back, when the pipes or the process cannot be made.
bool RunEncoderProcess(const std::string& commandLine, const ChunkCallback& callback,
                       const EncoderRunOptions& options = {});

}  // namespace tarquel::platform
