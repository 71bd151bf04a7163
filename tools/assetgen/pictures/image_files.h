// Writers for the demo's two picture formats, kept to what its loaders read.
//
// BMP: a file header, then a 40-byte info header or a 12-byte core header,
// uncompressed, rows bottom-up (positive height) and padded to 4 bytes.
// TGA: an 18-byte header with no image ID and no colour map, so the pixels
// start at byte 18; true colour (type 2, or run-length type 10) or
// greyscale (type 3); rows bottom-up with the origin bits saying so.
// PNG (the desktop icon, not read by the demo): 8-bit RGBA, not interlaced,
// every row unfiltered, the deflate stream in stored blocks: bigger than a
// compressed file, but no compressor and no version of one can change a byte.
//
// Pixels come in top-down rows, as the generator paints them. Each writer
// returns false after a line on stderr naming the file when it cannot write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct PaletteEntry {
    std::uint8_t r, g, b;
};

enum class BmpHeader { info, core };

// 24 bits per pixel, info header; `rgb` holds width * height * 3 bytes.
bool writeBmp24(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

// 8 bits per pixel with a colour table. With the info header the table has
// palette.size() entries and the header's colours-used field says so; the
// core header has no such field, so its table must hold all 256 entries.
bool writeBmp8(const std::string& path, int width, int height,
               const std::vector<std::uint8_t>& indices, const std::vector<PaletteEntry>& palette,
               BmpHeader header);

// `channels` 3 (R, G, B) or 4 (R, G, B, A): type 2, or type 10 with `runLength`;
// 1: greyscale, type 3 (uncompressed only).
bool writeTga(const std::string& path, int width, int height, int channels,
              const std::vector<std::uint8_t>& pixels, bool runLength);

// 8 bits per channel, R, G, B, A; `rgba` holds width * height * 4 bytes.
bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);

// The run-length packets for one picture's pixel stream (B, G, R (, A)
// order already applied), packets running across row ends.
std::vector<std::uint8_t> encodeTgaRunLength(const std::vector<std::uint8_t>& pixels, int bytesPerPixel);

}  // namespace assetgen
