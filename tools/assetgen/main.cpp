// assetgen [OUTDIR]: regenerates the demo's data files (default: data).
// assetgen --icon FILE: draws the desktop icon from the logo (the package's
// packaging/orbita.png) instead.
#include "tools/assetgen/assetgen.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--icon") == 0) {
        if (argc != 3) {
            std::fprintf(stderr, "usage: assetgen [OUTDIR] | assetgen --icon FILE\n");
            return 2;
        }
        return assetgen::writeIcon(argv[2]) ? 0 : 1;
    }
    std::string outDir = argc > 1 ? argv[1] : "data";
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) {
        std::fprintf(stderr, "assetgen: cannot create %s: %s\n", outDir.c_str(),
                     error.message().c_str());
        return 1;
    }
    bool ok = assetgen::writeSoundtrack(outDir);
    ok = assetgen::writePictures(outDir) && ok;
    ok = assetgen::writeSolids(outDir) && ok;
    return ok ? 0 : 1;
}
