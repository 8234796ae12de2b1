// The whole of evc.exe and revc.exe: read the command line, convert, and
// report on the one pipe the program reads.
#pragma once

#include <string>

namespace tarquel::encoder {

enum class EncoderKind {
  Media,   // evc.exe: the input is the media file
  Script,  // revc.exe: the input is a one-line DirectShowSource script
};

// Returns the process exit status: 0 when converted, 1 otherwise (after
// one line saying why).
int RunEncoder(EncoderKind kind, int argc, char** argv);

// The error line as written: "program: text" and one line end. The progress
// reader splits status lines at "=" and reads line by line, so "=" becomes
// ":" and a line break or other control character in the text (a path, a
// value) becomes a blank.
std::string ErrorLine(const char* program, std::string text);

}  // namespace tarquel::encoder
