// loadBmp: reads the whole file, decodes it, and turns a failure into a
// report: the notice text, plus a line saying which file and what exactly.
#include "assets/bmp.h"
#include "assets/bmp_decode.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The whole file in one malloc'd block; false when it cannot be opened or
// read, or is empty (there is nothing to map then). `outOfMemory` tells the
// two kinds of failure apart.
bool readWholeFile(const char* fileName, unsigned char** bytes, std::size_t* size,
                   bool* outOfMemory) {
    *bytes = nullptr;
    *size = 0;
    *outOfMemory = false;
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    std::size_t capacity = 0, used = 0;
    unsigned char* data = nullptr;
    for (;;) {
        if (used == capacity) {
            std::size_t grown = capacity ? capacity * 2 : 64 * 1024;
            auto* bigger = static_cast<unsigned char*>(std::realloc(data, grown));
            if (!bigger) {
                *outOfMemory = true;
                break;
            }
            data = bigger;
            capacity = grown;
        }
        std::size_t got = std::fread(data + used, 1, capacity - used, file);
        used += got;
        if (got == 0) break;
    }
    bool ok = !*outOfMemory && !std::ferror(file) && used > 0;
    std::fclose(file);
    if (!ok) {
        std::free(data);
        return false;
    }
    *bytes = data;
    *size = used;
    return true;
}

std::nullptr_t fail(LoadReport* report, const char* fileName, const char* text, const char* detail) {
    reportLoad(report, text, detail ? std::string(fileName) + ": " + detail : std::string());
    return nullptr;
}

}  // namespace

ImageRecord* loadBmp(const char* fileName, LoadReport* report) {
    reportLoad(report, std::string());
    if (!fileName) fileName = "";
    unsigned char* bytes = nullptr;
    std::size_t size = 0;
    bool outOfMemory = false;
    if (!readWholeFile(fileName, &bytes, &size, &outOfMemory)) {
        if (outOfMemory) return fail(report, fileName, "Out of memory.", "no memory to read the file");
        // The text must fit 256 characters; a long name is shortened so
        // that the sentence still ends as it should.
        char text[256];
        std::snprintf(text, sizeof text, "Failed to open DIB file %.*s.\n",
                      static_cast<int>(sizeof text) - 27, fileName);
        return fail(report, fileName, text, nullptr);
    }
    BmpDecoding decoding = decodeBmp(bytes, size);
    std::free(bytes);
    if (!decoding.image) return fail(report, fileName, bmpFailureText(decoding.failure), decoding.detail);
    return decoding.image;
}
