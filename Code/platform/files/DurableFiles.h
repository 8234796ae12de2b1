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
// Renames a written file over `to` (replacing a file there) so that the
// rename is on the disk when it returns; false, with nothing changed, when
// it failed. Both are in the same folder.
bool ReplaceFileDurably(const std::string& from, const std::string& to);

}  // namespace tarquel::platform
