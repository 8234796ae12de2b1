// Putting written files on the disk, so that what was written survives a
// crash or a power cut: a file's contents, and a folder's entries after a
// file was renamed into it. The program hands both to the core's settings
// store at start (TDiskSync).
#pragma once

#include <cstdio>
#include <string>

namespace tarquel::platform {

// Puts the contents of a written file, already flushed, on the disk; false
// when that failed.
bool SyncFileToDisk(std::FILE* file);
// Puts a folder's entries on the disk; false when that failed.
bool SyncFolderToDisk(const std::string& folder);

}  // namespace tarquel::platform
