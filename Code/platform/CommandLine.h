// Taking apart a command line written as one text, by the quoting rules of
// Windows programs: the encoders' command lines are built that way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel::platform {

// Splits arguments: blanks separate them; double quotes group (and inside
// quotes a doubled quote is a literal one); a backslash is literal unless a
// run of them precedes a quote, where each pair gives one backslash and an
// odd one left over makes the quote literal.
std::vector<std::string> SplitCommandLineArguments(std::string_view text);

struct ProgramAndArguments {
  std::string program;
  std::vector<std::string> arguments;
};

// Splits off the program path the way Windows finds it in a command line
// that starts with an unquoted full path: the shortest prefix, ending at a
// blank or at the end, for which `isProgram` holds (so folders with blanks
// work); without one, the text up to the first blank. A quoted program path
// runs to the closing quote.
ProgramAndArguments SplitProgramAndArguments(std::string_view commandLine,
                                             const std::function<bool(const std::string&)>& isProgram);

}  // namespace tarquel::platform
