// The BMP decoder under loadBmp: file bytes in memory to an ImageRecord,
// with no file, notice or GL access, so that it can be tested and fuzzed on
// its own. Owned by the loaders; loadBmp turns failures into reports.
#pragma once

#include "assets/bmp.h"

#include <cstddef>

// The failure kinds, each with the notice text loadBmp reports for it.
enum class BmpFailure { none, outOfMemory, unknownFormat, conversionError };
const char* bmpFailureText(BmpFailure failure);

struct BmpDecoding {
    ImageRecord* image;  // malloc'd record and pixels, or null
    BmpFailure failure;
    const char* detail;  // what exactly is wrong, for a line naming the file
};

// Pictures larger than this on either side are refused before anything is
// allocated for them.
constexpr std::int32_t kBmpMaxSide = 16384;

// Never reads outside bytes[0, size).
BmpDecoding decodeBmp(const unsigned char* bytes, std::size_t size,
                      std::int32_t maxSide = kBmpMaxSide);
