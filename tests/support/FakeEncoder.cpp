// A stand-in encoder for the runner and process tests. The first argument
// says what it does:
//   status N      N status lines 100 ms apart, each ended by "\r"
//   burst BYTES   BYTES bytes ('A'..'Z' repeating) in one write, then exits
//   zero          "abc", a zero byte, "def"; then holds 300 ms
//   last          silent for 300 ms, then "last words" right before it ends
//   silent MS     writes nothing for MS ms
//   forever       never ends until killed
//   cwd           prints its working directory
//   args          prints each further argument as [argument]
//   stdin         says whether its input is an open pipe with nothing on it
//   session       says whether it leads a session of its own (on Windows:
//                 whether it has a console of its own)
//   pid           prints its process id
//   stderr        one line on standard output, one on standard error
//   raise N       ends itself by signal N (on Windows: at once, with exit
//                 code N)
//   spawn PROGRAM starts PROGRAM forever, prints its process id and ends
//   guarded       ends with the Tarquel that started it; prints its process
//                 id, then never ends by itself
// With any other first argument it echoes all its arguments as [argument].
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FakeEncoderSystem.h"
#include "Launcher.h"

using namespace tarquel::test::fake;

int main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  const std::string mode = args.size() > 1 ? args[1] : "";
  const int number = args.size() > 2 ? std::atoi(args[2].c_str()) : 0;
  if (mode == "status") {
    for (int i = 1; i <= number; ++i) {
      char line[128];
      std::snprintf(line, sizeof line, "frame=%5d q=%4.1f size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s\r", i * 25,
                    3.0, i * 10.0, static_cast<double>(i), 256.0);
      Write(line);
      Sleep(100);
    }
  } else if (mode == "burst") {
    std::string bytes(static_cast<std::size_t>(number), ' ');
    for (int i = 0; i < number; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>('A' + i % 26);
    Write(bytes);
  } else if (mode == "zero") {
    Write(std::string("abc\0def", 7));
    Sleep(300);
  } else if (mode == "last") {
    Sleep(300);
    Write("last words");
  } else if (mode == "silent") {
    Sleep(number);
  } else if (mode == "forever") {
    WaitForever();
  } else if (mode == "cwd") {
    Write(WorkingDirectory());
  } else if (mode == "args") {
    for (std::size_t i = 2; i < args.size(); ++i) Write("[" + args[i] + "]");
  } else if (mode == "stdin") {
    Write(InputIsQuietPipe() ? "open pipe, nothing on it" : "not as expected");
  } else if (mode == "session") {
    Write(OwnSession() ? "own session" : "shared session");
  } else if (mode == "pid") {
    Write(std::to_string(ProcessId()));
  } else if (mode == "guarded") {
    tarquel::platform::EndWithLauncher();
    Write(std::to_string(ProcessId()) + "\n");
    WaitForever();
  } else if (mode == "spawn" && args.size() > 2) {
    Write(std::to_string(StartForever(args[2])));
  } else if (mode == "raise") {
    EndAbruptly(number);
  } else if (mode == "stderr") {
    Write("to stdout\n");
    Sleep(50);
    WriteError("to stderr\n");
  } else {
    // Anything else: an encoder's command line, echoed as [argument]s.
    for (std::size_t i = 1; i < args.size(); ++i) Write("[" + args[i] + "]");
  }
  return 0;
}
