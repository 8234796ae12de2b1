// Runs a program to its end with its output (both streams) captured: for
// tests that drive the encoders or Debian's ffmpeg. No shell is involved.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"

extern char** environ;

namespace tarquel::test {

struct ProgramResult {
  int exitCode = -1;
  std::string output;
};

inline ProgramResult RunProgram(std::vector<std::string> argv) {
  TempDir dir;
  const std::string capture = dir.File("output");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  ProgramResult result;
  if (posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.output = ReadFile(capture);
  return result;
}

}  // namespace tarquel::test
