// The BMP loader: a device-independent bitmap file to 24-bit R, G, B pixels.
//
// Core (12-byte) and info (40-byte) headers, and version 4 and 5 (108- and
// 124-byte) headers read as an info header plus their colour masks (their
// colour space and gamma play no part; a colour profile is refused), with
// or without the 14-byte file header; 1, 4 and 8 bits through the colour
// table, 16 (5-5-5 or bit fields), 24 and 32 bits, run-length 4 and 8 bits.
// A failure gives a null result and a LoadReport: the notice text the demo
// shows for it, and a line naming the file and what exactly is wrong.
//
// Memory follows the file: the pixel block is never larger than the file's
// bytes could fill. Uncompressed rows must lie in the file; run-length data
// gives at most 255 pixels per 2 bytes (pixels it skips stay black, but a
// picture must be one such data could write), and a larger claim is refused.
#pragma once

#include "assets/load_report.h"

#include <cstdint>

// A picture: BMP pictures hold 3 bytes per pixel, generated ones 4. The
// loader allocates the record and the pixels with malloc; the caller frees
// the pixels, then the record.
struct ImageRecord {
    std::int32_t width;
    std::int32_t height;
    unsigned char* pixels;
};

// Null on failure, with `report` saying why: the message is the notice
// text, the detail "<file>: <what exactly>" (none when the file cannot be
// opened). Rows are in the file's bottom-up order: the first row in memory
// is the picture's bottom row, for top-down files too; each pixel is R, G, B.
ImageRecord* loadBmp(const char* fileName, LoadReport* report);

// The bitmap header's fields (a core header's 16-bit ones widened, the
// rest 0).
struct DibHeader {
    std::uint32_t size;  // 12 core, 40 info, 108 version 4, 124 version 5
    std::int32_t width;
    std::int32_t height;
    std::uint16_t planes;
    std::uint16_t bitsPerPixel;
    std::uint32_t compression;
    std::uint32_t imageSize;
    std::int32_t xPixelsPerMetre;
    std::int32_t yPixelsPerMetre;
    std::uint32_t coloursUsed;
    std::uint32_t coloursImportant;
};

// Colour-table length: colours-used (of any header but a core one) as a
// 16-bit count when it is not 0, else 2, 16 or 256 for 1, 4 or 8 bits and 0
// for other depths; never more than a picture of 1 to 8 bits can index.
std::uint32_t dibColourCount(const DibHeader& header);
