// The whole of evc.exe and revc.exe: read the command line, convert, and
// report on the one pipe the program reads.
#pragma once

namespace tarquel::encoder {

enum class EncoderKind {
  Media,   // evc.exe: the input is the media file
  Script,  // revc.exe: the input is a one-line DirectShowSource script
};

// Returns the process exit status: 0 when converted, 1 otherwise (after
// one line saying why).
int RunEncoder(EncoderKind kind, int argc, char** argv);

}  // namespace tarquel::encoder
