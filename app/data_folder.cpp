#include "app/data_folder.h"

#include <SDL.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

std::string besideExecutable(const char* relative) {
    char* base = SDL_GetBasePath();
    if (!base) return {};
    fs::path folder = (fs::path(base) / relative).lexically_normal();
    SDL_free(base);
    // "/usr/share/orbita/" and "/usr/share/orbita" are the same folder; the
    // notice names it without the separator.
    if (!folder.has_filename() && folder.has_parent_path()) folder = folder.parent_path();
    return folder.string();
}

bool enterDataFolder(const char* name, const std::string& installed, std::string& notice) {
    std::error_code error;
    if (fs::is_directory(name, error)) return true;
    if (!installed.empty() && fs::is_directory(fs::path(installed) / name, error)) {
        fs::current_path(installed, error);
        if (!error) return true;
        notice = "Cannot go into " + installed + ", where the program's " + name +
                 " folder is installed: " + error.message();
        return false;
    }
    const fs::path here = fs::current_path(error);
    notice = std::string("Cannot find the program's data: there is no ") + name + " folder in " +
             (error ? std::string("the working folder") : here.string() + " (the working folder)");
    notice += installed.empty() ? ", and the folder the program was installed in cannot be told"
                                : " nor in " + installed + " (where the program was installed)";
    return false;
}

}  // namespace platform
