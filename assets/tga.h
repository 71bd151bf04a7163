// The TGA loader: an uncompressed or run-length true-colour or greyscale
// Truevision TGA file into a TgaImage with R, G, B (A) pixels, rows in the
// reverse of the file's order, and the GL pixel format to upload it with.
//
// The caller owns the TgaImage (texture creation keeps it as a local); the
// record owns its pixels, which freeTgaPixels releases. A file that is
// missing or cannot be used gets a 128 x 128 greyscale checkerboard in its
// place, which loadTga also uploads to the texture bound to GL_TEXTURE_2D (a
// GL context must be current), and the report "<message> - <file>". A file
// that ends before its picture is loaded all the same, the missing pixels 0,
// with the report "File too short for its picture (the rest is black) -
// <file>". The loader prints nothing itself. Everything but the upload
// (tga_decode.cpp) works without GL, so the decoder can be fuzzed on its own.
//
// Memory follows the file, not its header: nothing is allocated for a
// picture that the file's bytes could not fill. A run-length picture must be
// within what its data could expand into (a packet of 1 + bytesPerPixel
// bytes gives at most 128 pixels); an uncompressed one may lack at most
// kTgaMaxMissingBytes, which stay 0. Anything larger is refused with
// "File too short for its picture (...)" and the checkerboard.
#pragma once

#include "app/gl.h"
#include "assets/load_report.h"

#include <cstdint>
#include <cstdio>

struct TgaImage {
    std::uint8_t idLength;        // bytes of image ID after the header, skipped
    std::uint8_t colourMapType;   // not 0: a colour map follows the ID, skipped
    std::uint8_t imageType;       // 2 true-colour, 3 greyscale, 10 run-length true-colour
    std::uint16_t colourMapStart;  // read, not used
    std::uint16_t colourMapLength;  // entries in the colour map
    std::uint8_t colourMapBits;   // bits per colour-map entry
    std::uint16_t xOrigin;        // read, not used
    std::uint16_t yOrigin;        // read, not used
    std::int16_t width;
    std::int16_t height;
    std::uint8_t bitsPerPixel;
    std::uint8_t descriptor;      // read, not used: rows are always reversed
    std::int32_t bytesPerPixel;   // bitsPerPixel >> 3
    std::int32_t imageSize;       // width * height * bytesPerPixel (0 when that overflows)
    GLenum glFormat;              // GL_RGB, GL_RGBA, GL_LUMINANCE or GL_ALPHA
    unsigned char* pixels;        // imageSize bytes, or null
};

// Pictures larger than this on either side are refused before anything is
// allocated for them.
constexpr std::int32_t kTgaMaxSide = 16384;
// How much of an uncompressed picture a file may lack and still be loaded
// (the missing part black): four times the largest picture the demo ships,
// so a file cut short still shows what it holds, while a header alone cannot
// claim a gigabyte.
constexpr std::int32_t kTgaMaxMissingBytes = 4 << 20;

// 1 when the picture was loaded (the report then empty, or the warning about
// a short file); 0 when it failed, the report saying why, and the record
// holds (and the bound texture received) the checkerboard.
int loadTga(const char* fileName, TgaImage* image, std::uint32_t flags, LoadReport* report);

// The steps of a load, for the loader, the tests and the fuzzer.
// readTgaHeader: false when the file ends inside the 18-byte header.
bool readTgaHeader(std::FILE* file, TgaImage* image);
// readTgaPixels: reads from the file's position on; false when the pixel
// block cannot be allocated. `filled` is how many bytes of the block, from
// its start, the file supplied (the rest is 0).
bool readTgaPixels(TgaImage* image, std::FILE* file, std::int32_t* filled);
// Returns how many bytes it wrote, from the start of the block.
std::int32_t decodeTgaRle(TgaImage* image, std::FILE* file);
// Reverses the row order; only rows within the first `filled` bytes, and
// the rows they trade places with, are touched (the others are all 0).
void flipTgaRows(TgaImage* image, std::int32_t filled);
void freeTgaPixels(TgaImage* image);
// Everything from the header to the row reversal: null on success, or the
// failure message (the pixels are released then). Makes no GL call.
const char* decodeTga(std::FILE* file, TgaImage* image, std::uint32_t flags,
                      std::int32_t maxSide = kTgaMaxSide);

// The checkerboard into the record (fillFallbackImage, no GL), then
// uploaded to the bound texture as GL_LUMINANCE4 (makeFallbackImage).
void fillFallbackImage(TgaImage* image);
void makeFallbackImage(TgaImage* image);
