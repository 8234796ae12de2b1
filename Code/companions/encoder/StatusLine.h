// The status text the encoders write while working; the progress dialog
// splits it at "=" and reads the seconds done from piece 4 (video output)
// or piece 2 (audio only). The speed, where known, comes last.
#pragma once

#include <string>

namespace tarquel::encoder {

struct Progress {
  bool video = false;      // the output has a video stream
  long long frames = 0;    // video frames written
  double quality = 0;      // the last video frame's quantiser
  double bytes = 0;        // output bytes written so far
  double seconds = 0;      // output time done, from the start of the output
  double speed = 0;        // output seconds done a second of work; 0: not known
};

// The status line, ended by "\r".
std::string StatusLine(const Progress& progress);

}  // namespace tarquel::encoder
