// How the files the core writes reach the disk. The standard library can
// flush a file to the system but cannot have the system put it on the disk
// (nor a folder's entries, after a rename): the program installs its
// operating system's way at start. Without one, a write is flushed and
// renamed into place and the system stores it in its own time.
#pragma once

#include <cstdio>
#include <string>

namespace tarquel {

struct TDiskSync {
  // Puts a written and flushed file's contents on the disk; false when
  // that failed.
  bool (*File)(std::FILE* file) = nullptr;
  // Puts a folder's entries on the disk, so that a file renamed into it
  // stays renamed after a crash; false when that failed.
  bool (*Folder)(const std::string& folder) = nullptr;
};

// Makes `sync` the way in force; meant for the start of the program, before
// anything is written. An empty member leaves that step to the system.
void InstallDiskSync(const TDiskSync& sync);

// The steps through the way in force; true where none is installed.
bool PutFileOnDisk(std::FILE* file);
bool PutFolderOnDisk(const std::string& folder);

}  // namespace tarquel
