// assetgen [OUTDIR]: regenerates the demo's data files (default: data).
#include "tools/assetgen/assetgen.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
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
