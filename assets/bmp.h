// The BMP loader: a device-independent bitmap file to 24-bit R, G, B pixels.
#pragma once

#include <cstdint>

// A picture: BMP pictures hold 3 bytes per pixel, generated ones 4. The
// loader allocates the record and the pixels with malloc; the caller frees
// the pixels, then the record.
struct ImageRecord {
    std::int32_t width;
    std::int32_t height;
    unsigned char* pixels;
};

// Null on failure, after one notice (when showImageErrors is true).
ImageRecord* loadBmp(const char* fileName);

extern bool showImageErrors;
