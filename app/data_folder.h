// Finding the program's data: the working folder's own, else the copy
// installed with the program.
//
// The program opens its files by paths relative to the working folder
// ("data/..."), so run from a source tree it uses that tree's files. An
// installed program is started from anywhere (a shell, the desktop's menu):
// when the working folder has no data folder, the entry moves into the
// folder installed with the program, found from where the executable lies,
// before anything is opened. Every path opened, and every path printed,
// stays the same.
//
// The caller names the folder, the files the program reads from it and
// where an installation keeps it; this module knows nothing else of what is
// in it. Called once, from an entry, before anything else runs: the working
// folder is process-wide.
#pragma once

#include <string>
#include <vector>

namespace platform {

// `relative` taken from the folder the running executable lies in
// (SDL_GetBasePath), in its shortest form: "/usr/bin/" and
// "../share/orbita" give "/usr/share/orbita". Empty when the executable's
// folder cannot be told.
std::string besideExecutable(const char* relative);

// True when the working folder holds a folder `name` with at least one of
// `files` in it (nothing changes; a copy with files missing is still the
// program's, and the loaders name what is missing), or when `installed`
// holds a folder `name` and the working folder is now `installed`. A folder
// of that name holding none of them (a user's own ~/data) is not the
// program's. False otherwise, with `notice` naming both folders that were
// looked in (or why the installed one could not be entered); the working
// folder is then as it was.
bool enterDataFolder(const char* name, const std::vector<std::string>& files, const std::string& installed,
                     std::string& notice);

}  // namespace platform
