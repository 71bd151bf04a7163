// Helpers for the loader tests: scratch files, captured output, and small
// BMP and TGA files built byte by byte.
#pragma once

#include "app/notice.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A path in a folder of this process's own, removed when the process ends.
inline std::string scratchPath(const std::string& name) {
    static const ScratchDirectory folder;
    return folder.path + "/" + name;
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

inline void writeFile(const std::string& path, const Bytes& bytes) {
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

inline std::string readFile(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return text;
}

// What `run` writes to the descriptor `fd` (through stdio or directly).
template <typename Run>
std::string captureDescriptor(int fd, Run run) {
    static int serial = 0;
    std::string path = scratchPath("output-" + std::to_string(serial++));
    std::FILE* stream = fd == 1 ? stdout : stderr;
    std::fflush(stream);
    int saved = dup(fd);
    std::FILE* sink = std::fopen(path.c_str(), "wb");
    dup2(fileno(sink), fd);
    run();
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
    std::fclose(sink);
    return readFile(path);
}

template <typename Run>
std::string captureStdout(Run run) {
    return captureDescriptor(1, run);
}

// Everything `run` says on its own: stdout, stderr, then each notice. The
// loaders report what is wrong to their caller and say nothing themselves
// (progress lines aside), so a load should leave this empty.
template <typename Run>
std::string saidAside(Run run) {
    platform::recordedNotices().clear();
    std::string out;
    std::string said = captureDescriptor(2, [&] { out = captureDescriptor(1, run); });
    said.insert(0, out);
    for (const std::string& notice : platform::recordedNotices()) said += "notice: " + notice + "\n";
    return said;
}

inline void put16(Bytes& b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// An 18-byte TGA header with no ID field and no colour map.
inline Bytes tgaHeader(int type, int width, int height, int bits, int descriptor = 0) {
    Bytes b = {0, 0, static_cast<std::uint8_t>(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, width & 0xFFFF);
    put16(b, height & 0xFFFF);
    b.push_back(static_cast<std::uint8_t>(bits));
    b.push_back(static_cast<std::uint8_t>(descriptor));
    return b;
}

// The same TGA file (one without ID or colour map) with an image ID of
// `idLength` bytes and, when `mapEntries` is not 0, a colour map of that
// many entries of `mapBits` bits, between its header and its pixels. Their
// bytes are filler that must not be taken for pixels.
inline Bytes withTgaIdAndMap(Bytes file, int idLength, int mapEntries = 0, int mapBits = 24) {
    Bytes extra;
    for (int i = 0; i < idLength; i++) extra.push_back(static_cast<std::uint8_t>('A' + i % 26));
    for (int i = 0; i < mapEntries * ((mapBits + 7) / 8); i++) extra.push_back(static_cast<std::uint8_t>(0xC0 + i % 61));
    file[0] = static_cast<std::uint8_t>(idLength);
    if (mapEntries > 0) {
        file[1] = 1;
        file[5] = mapEntries & 0xFF;
        file[6] = (mapEntries >> 8) & 0xFF;
        file[7] = static_cast<std::uint8_t>(mapBits);
    }
    file.insert(file.begin() + 18, extra.begin(), extra.end());
    return file;
}

// A BMP built from its parts: optional file header, a core, info, version 4
// or 5 header, a colour table of (B, G, R) entries and the pixel bytes as
// given.
struct BmpRecipe {
    bool fileHeader = true;
    int headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint32_t> masks;     // after an info header, inside a version 4 or 5 one
    std::uint32_t colourSpace = 0x73524742;  // version 4 and 5 headers: 'sRGB'
    std::vector<std::uint32_t> table;     // 0xRRGGBB
    Bytes pixels;
    std::int64_t pixelOffset = -1;        // -1: right after the table
};

inline Bytes buildBmp(const BmpRecipe& s) {
    Bytes dib;
    put32(dib, static_cast<std::uint32_t>(s.headerSize));
    if (s.headerSize == 12) {
        put16(dib, static_cast<unsigned>(s.width));
        put16(dib, static_cast<unsigned>(s.height));
        put16(dib, 1);
        put16(dib, static_cast<unsigned>(s.bits));
    } else {
        put32(dib, static_cast<std::uint32_t>(s.width));
        put32(dib, static_cast<std::uint32_t>(s.height));
        put16(dib, 1);
        put16(dib, static_cast<unsigned>(s.bits));
        put32(dib, s.compression);
        put32(dib, static_cast<std::uint32_t>(s.pixels.size()));
        put32(dib, 2835);
        put32(dib, 2835);
        put32(dib, s.coloursUsed);
        put32(dib, 0);
        if (s.headerSize >= 108) {
            for (std::size_t i = 0; i < 4; i++) put32(dib, i < s.masks.size() ? s.masks[i] : 0);
            put32(dib, s.colourSpace);
        }
        while (dib.size() < static_cast<std::size_t>(s.headerSize)) dib.push_back(0);
    }
    if (s.headerSize < 108) {
        for (std::uint32_t m : s.masks) put32(dib, m);
    }
    for (std::uint32_t c : s.table) {
        dib.push_back(c & 0xFF);
        dib.push_back((c >> 8) & 0xFF);
        dib.push_back((c >> 16) & 0xFF);
        if (s.headerSize != 12) dib.push_back(0);
    }
    Bytes file;
    if (s.fileHeader) {
        std::uint32_t offset = s.pixelOffset >= 0 ? static_cast<std::uint32_t>(s.pixelOffset)
                                                  : static_cast<std::uint32_t>(14 + dib.size());
        file = {'B', 'M'};
        put32(file, static_cast<std::uint32_t>(14 + dib.size() + s.pixels.size()));
        put32(file, 0);
        put32(file, offset);
    }
    file.insert(file.end(), dib.begin(), dib.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

// Under the sanitizer build: the window that some loader tests need brings
// up SDL, D-Bus and Mesa, which keep a few allocations to the end of the
// process. Those are not ours; everything else still counts as a leak. The
// slow unwinder is needed to see through Mesa's frames.
extern "C" __attribute__((used)) inline const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\nleak:libGLX_mesa.so\nleak:libSDL2-2.0.so\n";
}
