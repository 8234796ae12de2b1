// The one-line script revc.exe reads instead of a media file:
//   DirectShowSource("PATH", fps=F, convertfps=true)
#pragma once

#include <optional>
#include <string>

namespace tarquel::encoder {

struct AvsSource {
  std::string path;
  double fps = 0;
};

// Reads the script text (blanks around the parts and a CR LF end are
// fine). nullopt for a script of any other form.
std::optional<AvsSource> ParseAvsScript(const std::string& text);

}  // namespace tarquel::encoder
