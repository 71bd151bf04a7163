#include "app/data_folder.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

std::string besideExecutable(const char* relative) {
    char* base = SDL_GetBasePath();
    if (!base) return {};
    fs::path folder = (fs::u8path(base) / relative).lexically_normal();
    SDL_free(base);
    // "/usr/share/orbita/" and "/usr/share/orbita" are the same folder; the
    // notice names it without the separator.
    if (!folder.has_filename() && folder.has_parent_path()) folder = folder.parent_path();
    return folder.u8string();
}

namespace {

// Whether `folder` is the program's own: it holds at least one of `files`.
bool holdsAnyOf(const fs::path& folder, const std::vector<std::string>& files) {
    std::error_code error;
    for (const std::string& file : files)
        if (fs::exists(folder / file, error)) return true;
    return false;
}

}  // namespace

bool enterDataFolder(const char* name, const std::vector<std::string>& files, const std::string& installed,
                     std::string& notice) {
    std::error_code error;
    const bool here = fs::is_directory(name, error);
    if (here && holdsAnyOf(name, files)) return true;
    if (!installed.empty() && fs::is_directory(fs::path(installed) / name, error)) {
        fs::current_path(installed, error);
        if (!error) return true;
        notice = "Cannot go into " + installed + ", where the program's " + name +
                 " folder is installed: " + error.message();
        return false;
    }
    const fs::path working = fs::current_path(error);
    const std::string where = error ? std::string("the working folder") : working.string() + " (the working folder)";
    notice = here ? std::string("Cannot find the program's data: the ") + name + " folder in " + where +
                        " holds none of its files,"
                  : std::string("Cannot find the program's data: there is no ") + name + " folder in " + where;
    if (installed.empty()) notice += ", and the folder the program was installed in cannot be told";
    else notice += (here ? std::string(" and there is none in ") : std::string(" nor in ")) + installed +
                   " (where the program was installed)";
    return false;
}

}  // namespace platform
