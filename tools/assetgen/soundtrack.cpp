// The soundtrack writer: composes the module, synthesises the two waves and
// writes data/orbita.s3m, data/1.wav and data/2.wav.
#include "tools/assetgen/assetgen.h"

#include "tools/assetgen/sound/s3m.h"
#include "tools/assetgen/sound/song.h"
#include "tools/assetgen/sound/wav.h"
#include "tools/assetgen/sound/waves.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace assetgen {

namespace {

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool writeSoundtrack(const std::string& outDir) {
    using namespace sound;
    std::string error;
    std::vector<std::uint8_t> module = writeS3m(composeOrbita(), error);
    if (module.empty()) {
        std::fprintf(stderr, "assetgen: cannot write the module: %s\n", error.c_str());
        return false;
    }
    bool ok = writeFile(outDir + "/orbita.s3m", module);
    ok = writeFile(outDir + "/1.wav", writeWav(synthesiseTunnelSweep(), 2, kWaveRate)) && ok;
    ok = writeFile(outDir + "/2.wav", writeWav(synthesiseClosingSting(), 2, kWaveRate)) && ok;
    return ok;
}

}  // namespace assetgen
