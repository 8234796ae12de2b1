// The program's command line, read before the application object exists,
// so that --help and --version work without a display.
#pragma once

#include <string>
#include <vector>

namespace tarquel::app {

// The one reverse-DNS id of the program: its desktop entry, its AppStream
// data, its Wayland app id and its X11 instance name.
inline constexpr const char* kApplicationId = "io.github.tarquel.Tarquel";

struct TArguments {
  enum class TAction { Run, Help, Version, Error };
  TAction Action = TAction::Run;
  // The files to add, as given (made absolute later).
  std::vector<std::string> Files;
  // What to hand the toolkit: the program name and its own options.
  std::vector<std::string> ToolkitArguments;
  // For Error: the one-line complaint.
  std::string Error;
};

// Reads the arguments after the program name `program`. "--help" (-h),
// "--version"; the toolkit's own options (-platform NAME, -display NAME,
// -style NAME, ...) pass on, with "-name" set to the program's id unless
// given; "--" ends the options; any other argument that
// begins with "-" is an error; the rest are files.
TArguments ParseArguments(const std::vector<std::string>& arguments, const std::string& program = "tarquel");

// The texts --help and --version print, and the hint after an error.
std::string HelpText();
std::string VersionText();
std::string ErrorHint(const std::string& error);

}  // namespace tarquel::app
