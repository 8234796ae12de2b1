// The runner's ways that are Windows' own: exit codes alone, process
// handles, the end of the launching program.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "EncoderProcess.h"
#include "EncoderRuns.h"

namespace tarquel::platform {
namespace {

using namespace test_runs;

TEST(EncoderProcess, TheChildHasEndedOnceTheRunReturns) {
  const EncoderRun run = RunEncoder(kEncoder + " pid");
  const auto pid = static_cast<DWORD>(std::stoul(run.Joined()));
  // Ended when the run returns (its process object may outlive it for as
  // long as the system's console host holds it).
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process) {
    EXPECT_EQ(::WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ::CloseHandle(process);
  }
}

TEST(EncoderProcess, HandsOnTheExitCodeAndNoSignal) {
  for (const auto& [line, status] : {std::tuple{" raise 3", 3}, std::tuple{" raise 137", 137},
                                     std::tuple{" status 1", 0}}) {
    EncoderRunOptions options;
    int exitStatus = -1, endSignal = -1;
    options.exitStatus = &exitStatus;
    options.endSignal = &endSignal;
    ASSERT_TRUE(RunEncoder(kEncoder + line, options).started) << line;
    EXPECT_EQ(exitStatus, status) << line;
    EXPECT_EQ(endSignal, 0) << line;
  }
}

// The launcher of the next test: this test program run again with the
// variable set, which runs a guarded encoder and prints what it prints.
constexpr const char* kLaunchVariable = "TARQUEL_TEST_LAUNCH_GUARDED";

TEST(EncoderProcess, LauncherOfTheNextTest) {
  if (!std::getenv(kLaunchVariable)) return;  // only in the launcher itself
  RunEncoderProcess(kEncoder + " guarded", [](const std::string& chunk) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
  });
}

TEST(EncoderProcess, TheEncoderEndsWithTheProgramThatStartedIt) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(::CreatePipe(&read, &write, &inheritable, 0));
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  wchar_t self[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=EncoderProcess.LauncherOfTheNextTest";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  ::SetEnvironmentVariableA(kLaunchVariable, "1");
  PROCESS_INFORMATION launcher{};
  const BOOL started =
      ::CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &launcher);
  ::SetEnvironmentVariableA(kLaunchVariable, nullptr);
  ::CloseHandle(write);
  ASSERT_TRUE(started);
  ::CloseHandle(launcher.hThread);

  // gtest's own lines come first; the encoder's id is the first line that
  // is only digits.
  std::string text;
  DWORD encoderId = 0;
  char buffer[512];
  DWORD got = 0;
  while (encoderId == 0 && ::ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text.append(buffer, got);
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string one = text.substr(start, end - start);
      if (!one.empty() && one.back() == '\r') one.pop_back();
      if (!one.empty() && one.find_first_not_of("0123456789") == std::string::npos) encoderId = std::stoul(one);
    }
  }
  ::CloseHandle(read);
  ASSERT_NE(encoderId, 0u) << text;
  const HANDLE encoder = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, encoderId);
  ASSERT_NE(encoder, nullptr);
  EXPECT_EQ(::WaitForSingleObject(encoder, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ::TerminateProcess(launcher.hProcess, 9);
  ::WaitForSingleObject(launcher.hProcess, 5000);
  ::CloseHandle(launcher.hProcess);
  const DWORD ended = ::WaitForSingleObject(encoder, 5000);
  EXPECT_EQ(ended, static_cast<DWORD>(WAIT_OBJECT_0));
  if (ended != WAIT_OBJECT_0) ::TerminateProcess(encoder, 1);  // this test started it
  ::CloseHandle(encoder);
}

}  // namespace
}  // namespace tarquel::platform
