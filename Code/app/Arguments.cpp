#include "Arguments.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tarquel::app {

namespace {

// The toolkit's options that take a value, and those that stand alone.
constexpr std::array<std::string_view, 10> kToolkitWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin",         "-display",
    "-style",    "-stylesheet",         "-session",       "-qwindowgeometry", "-name",
};
constexpr std::array<std::string_view, 5> kToolkitAlone = {"-reverse", "-nograb", "-dograb", "-sync", "-widgetcount"};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& list, std::string_view text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

TArguments ParseArguments(const std::vector<std::string>& arguments, const std::string& program) {
  TArguments parsed;
  parsed.ToolkitArguments.push_back(program);
  bool options = true;
  bool named = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options || argument.empty() || argument[0] != '-' || argument == "-") {
      parsed.Files.push_back(argument);
    } else if (argument == "--") {
      options = false;
    } else if (argument == "--help" || argument == "-h") {
      parsed.Action = TArguments::TAction::Help;
      return parsed;
    } else if (argument == "--version") {
      parsed.Action = TArguments::TAction::Version;
      return parsed;
    } else if (OneOf(kToolkitWithValue, argument) || OneOf(kToolkitWithValue, argument.substr(1))) {
      if (i + 1 == arguments.size()) {
        parsed.Action = TArguments::TAction::Error;
        parsed.Error = "option '" + argument + "' needs a value";
        return parsed;
      }
      named = named || argument == "-name" || argument == "--name";
      parsed.ToolkitArguments.push_back(argument);
      parsed.ToolkitArguments.push_back(arguments[++i]);
    } else if (OneOf(kToolkitAlone, argument) || OneOf(kToolkitAlone, argument.substr(1))) {
      parsed.ToolkitArguments.push_back(argument);
    } else {
      parsed.Action = TArguments::TAction::Error;
      parsed.Error = "unknown option '" + argument + "'";
      return parsed;
    }
  }
  // The window's X11 instance name is the program's id, as the desktop
  // entry's StartupWMClass says, unless the user names it.
  if (!named) parsed.ToolkitArguments.insert(parsed.ToolkitArguments.begin() + 1, {"-name", kApplicationId});
  return parsed;
}

std::string HelpText() {
  return "Usage: tarquel [OPTION]... [FILE]...\n"
         "Convert videos for a handheld game console, and audio to AAC, M4A or MP3.\n"
         "Each FILE is added to the list of source files after start-up.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "      --         take every argument after it as a file\n"
         "\n"
         "The toolkit's own options, such as -platform NAME and -display NAME, are\n"
         "passed on to it.\n";
}

std::string VersionText() {
  return "Tarquel " TARQUEL_VERSION "\n"
         "Copyright (C) 2026 Brenmoor Software\n"
         "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string ErrorHint(const std::string& error) {
  return "tarquel: " + error + "\nTry 'tarquel --help' for more information.\n";
}

}  // namespace tarquel::app
