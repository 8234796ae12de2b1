// Opening media files safely: a FIFO, device or folder with a media name
// must never block or be written through, and an output path that is a
// symbolic link is never followed.
#pragma once

#include <string>

namespace tarquel::platform {

// The empty text when `path` is a regular file this process can read;
// otherwise one line saying why not. Opened without waiting, so a FIFO
// without a writer (or a device) never blocks the caller.
std::string RegularFileProblem(const std::string& path);

// Opens an output file for writing: created when missing, emptied when it
// exists and `replace` holds, refused when it exists otherwise. A symbolic
// link at `path`, and anything but a regular file, is refused too. Returns
// the descriptor, or -1 with `error` set to one line.
int OpenOutputFile(const std::string& path, bool replace, std::string& error);

}  // namespace tarquel::platform

// The probe and the encoder call them by their media names.
namespace tarquel::media {
using platform::OpenOutputFile;
using platform::RegularFileProblem;
}  // namespace tarquel::media
