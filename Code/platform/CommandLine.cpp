#include "CommandLine.h"

namespace tarquel::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLineArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  const std::size_t n = text.size();
  for (;;) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) break;
    std::string argument;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(text[i]))) {
      const char c = text[i];
      if (c == '\\') {
        std::size_t run = 0;
        while (i < n && text[i] == '\\') {
          ++run;
          ++i;
        }
        if (i < n && text[i] == '"') {
          argument.append(run / 2, '\\');
          if (run % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(run, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < n && text[i + 1] == '"') {
          argument += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        argument += c;
        ++i;
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

ProgramAndArguments SplitProgramAndArguments(std::string_view commandLine,
                                             const std::function<bool(const std::string&)>& isProgram) {
  std::size_t start = 0;
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  commandLine.remove_prefix(start);

  ProgramAndArguments result;
  std::size_t end = std::string_view::npos;
  if (!commandLine.empty() && commandLine.front() == '"') {
    const auto close = commandLine.find('"', 1);
    result.program = std::string(commandLine.substr(1, close == std::string_view::npos ? close : close - 1));
    end = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    for (std::size_t p = 0; p <= commandLine.size(); ++p) {
      if (p < commandLine.size() && !IsBlank(commandLine[p])) continue;
      if (p > 0 && isProgram(std::string(commandLine.substr(0, p)))) {
        end = p;
        break;
      }
    }
    if (end == std::string_view::npos) {
      end = 0;
      while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    }
    result.program = std::string(commandLine.substr(0, end));
  }
  result.arguments = SplitCommandLineArguments(commandLine.substr(end));
  return result;
}

}  // namespace tarquel::platform
