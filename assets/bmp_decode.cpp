// BMP decoding without the platform's bitmap conversion: the same pixels it
// would deliver into a 24-bit bitmap, copied out as R, G, B rows.
//
// Every size and offset in a file is checked against the file's length
// before it is used, and against sane bounds before anything is allocated.
#include "assets/bmp_decode.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

enum : std::uint32_t { compressionNone = 0, compressionRle8 = 1, compressionRle4 = 2,
                       compressionBitFields = 3, compressionJpeg = 4, compressionPng = 5 };

// The colour-space values of a version 5 header that say a colour profile
// comes with the picture ('MBED' in the file) or lies in another file ('LINK').
enum : std::uint32_t { profileEmbedded = 0x4D424544, profileLinked = 0x4C494E4B };

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

BmpDecoding failed(BmpFailure failure, const char* detail) { return {nullptr, failure, detail}; }

// One colour channel of a 16- or 32-bit pixel, as its mask places it.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

// False for a mask whose bits are not contiguous.
bool makeChannel(std::uint32_t mask, Channel* channel) {
    *channel = Channel{};
    if (mask == 0) return true;
    int shift = 0;
    while (!(mask >> shift & 1u)) shift++;
    std::uint32_t run = mask >> shift;
    if (run & (run + 1u)) return false;
    int bits = 0;
    while (bits < 32 && (run >> bits & 1u)) bits++;
    *channel = Channel{mask, shift, bits};
    return true;
}

// The channel's value widened or narrowed to 8 bits; narrow values repeat
// their bits downwards so that all ones become 255.
unsigned char channelValue(std::uint32_t pixel, const Channel& channel) {
    if (channel.bits == 0) return 0;
    std::uint32_t value = (pixel & channel.mask) >> channel.shift;
    if (channel.bits >= 8) return static_cast<unsigned char>(value >> (channel.bits - 8));
    std::uint32_t out = 0;
    for (int at = 8 - channel.bits; at > -channel.bits; at -= channel.bits) {
        out |= at >= 0 ? value << at : value >> -at;
    }
    return static_cast<unsigned char>(out);
}

struct Picture {
    const unsigned char* bytes;
    std::size_t size;
    DibHeader header;
    std::int32_t width;
    std::int32_t rows;
    std::size_t pixelAt;
    unsigned char palette[256][3];  // R, G, B; entries the table lacks are black
    Channel red, green, blue;
    unsigned char* out;
};

void putIndex(const Picture& p, unsigned char* to, unsigned index) {
    std::memcpy(to, p.palette[index & 0xFF], 3);
}

void putMasked(const Picture& p, unsigned char* to, std::uint32_t pixel) {
    to[0] = channelValue(pixel, p.red);
    to[1] = channelValue(pixel, p.green);
    to[2] = channelValue(pixel, p.blue);
}

// Uncompressed rows, padded to 4 bytes in the file. Memory holds them in the
// order of a bottom-up file: for a top-down file the last stored row first.
void decodeRows(Picture& p, std::size_t stride) {
    const int bits = p.header.bitsPerPixel;
    const bool masked = bits == 16 || p.header.compression == compressionBitFields;
    const std::size_t outRow = static_cast<std::size_t>(p.width) * 3;
    for (std::int32_t r = 0; r < p.rows; r++) {
        const unsigned char* from = p.bytes + p.pixelAt + stride * r;
        std::int32_t target = p.header.height > 0 ? r : p.rows - 1 - r;
        unsigned char* to = p.out + outRow * target;
        for (std::int32_t x = 0; x < p.width; x++, to += 3) {
            switch (bits) {
            case 1: putIndex(p, to, from[x >> 3] >> (7 - (x & 7)) & 1u); break;
            case 4: putIndex(p, to, from[x >> 1] >> ((x & 1) ? 0 : 4) & 15u); break;
            case 8: putIndex(p, to, from[x]); break;
            case 16: putMasked(p, to, u16(from + 2 * x)); break;
            case 24:
                to[0] = from[3 * x + 2];
                to[1] = from[3 * x + 1];
                to[2] = from[3 * x];
                break;
            default:  // 32
                if (masked) {
                    putMasked(p, to, u32(from + 4 * x));
                } else {
                    to[0] = from[4 * x + 2];
                    to[1] = from[4 * x + 1];
                    to[2] = from[4 * x];
                }
                break;
            }
        }
    }
}

// Run-length 8 or 4 bits, bottom-up. Pixels the stream skips (deltas, early
// line or picture ends) stay black; pixels beyond a row's end are dropped.
// The stream must reach its end-of-picture mark inside the file.
bool decodeRunLength(Picture& p) {
    const unsigned char* data = p.bytes + p.pixelAt;
    const std::size_t length = p.size - p.pixelAt;
    const bool fourBit = p.header.compression == compressionRle4;
    std::size_t at = 0;
    long long x = 0, y = 0;
    auto put = [&](unsigned index) {
        if (x >= 0 && x < p.width && y >= 0 && y < p.rows) {
            putIndex(p, p.out + (static_cast<std::size_t>(y) * p.width + x) * 3, index);
        }
        x++;
    };
    for (;;) {
        if (length - at < 2) return false;
        unsigned first = data[at], second = data[at + 1];
        at += 2;
        if (first > 0) {  // a run of one index, or of two alternating nibbles
            for (unsigned i = 0; i < first; i++) {
                put(fourBit ? (i & 1 ? second & 15u : second >> 4) : second);
            }
        } else if (second == 0) {  // end of line
            x = 0;
            y++;
        } else if (second == 1) {  // end of picture
            return true;
        } else if (second == 2) {  // move right and up
            if (length - at < 2) return false;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {  // `second` indices as they are, padded to a 16-bit boundary
            std::size_t bytes = fourBit ? (second + 1) / 2 : second;
            std::size_t padded = bytes + (bytes & 1);
            if (length - at < padded) return false;
            for (unsigned i = 0; i < second; i++) {
                put(fourBit ? (i & 1 ? data[at + i / 2] & 15u : data[at + i / 2] >> 4)
                            : data[at + i]);
            }
            at += padded;
        }
    }
}

}  // namespace

const char* bmpFailureText(BmpFailure failure) {
    switch (failure) {
    case BmpFailure::outOfMemory: return "Out of memory.";
    case BmpFailure::unknownFormat: return "Unknown DIB file format.";
    case BmpFailure::conversionError: return "Image file conversion error.";
    default: return "";
    }
}

std::uint32_t dibColourCount(const DibHeader& header) {
    std::uint32_t count = 0;
    if (header.size >= 40 && header.coloursUsed != 0) {
        count = header.coloursUsed & 0xFFFFu;
    } else {
        switch (header.bitsPerPixel) {
        case 1: count = 2; break;
        case 4: count = 16; break;
        case 8: count = 256; break;
        default: count = 0; break;
        }
    }
    // A picture of 1 to 8 bits cannot index more entries than that.
    if (header.bitsPerPixel >= 1 && header.bitsPerPixel <= 8 &&
        count > (1u << header.bitsPerPixel)) {
        count = 1u << header.bitsPerPixel;
    }
    return count;
}

BmpDecoding decodeBmp(const unsigned char* bytes, std::size_t size, std::int32_t maxSide) {
    Picture p{};
    p.bytes = bytes;
    p.size = size;

    // With the file header ("BM") the pixel offset is stored at byte 10 and
    // the bitmap header starts at 14; without it the header starts at 0.
    const bool fileHeader = size >= 2 && bytes[0] == 0x42 && bytes[1] == 0x4D;
    const std::size_t headerAt = fileHeader ? 14 : 0;
    if (size < headerAt + 4) return failed(BmpFailure::unknownFormat, "the file ends inside its headers");
    DibHeader& h = p.header;
    h.size = u32(bytes + headerAt);
    if (h.size != 12 && h.size != 40 && h.size != 108 && h.size != 124) {
        return failed(BmpFailure::unknownFormat, "the bitmap header is neither a core (12 bytes) nor an info (40, 108 or 124 bytes) header");
    }
    if (size - headerAt < h.size) return failed(BmpFailure::unknownFormat, "the file ends inside the bitmap header");
    const unsigned char* at = bytes + headerAt;
    if (h.size == 12) {
        h.width = u16(at + 4);
        h.height = u16(at + 6);
        h.planes = u16(at + 8);
        h.bitsPerPixel = u16(at + 10);
    } else {
        h.width = static_cast<std::int32_t>(u32(at + 4));
        h.height = static_cast<std::int32_t>(u32(at + 8));
        h.planes = u16(at + 12);
        h.bitsPerPixel = u16(at + 14);
        h.compression = u32(at + 16);
        h.imageSize = u32(at + 20);
        h.xPixelsPerMetre = static_cast<std::int32_t>(u32(at + 24));
        h.yPixelsPerMetre = static_cast<std::int32_t>(u32(at + 28));
        h.coloursUsed = u32(at + 32);
        h.coloursImportant = u32(at + 36);
    }
    // Version 4 and 5 headers: the info header, then the masks (read below),
    // colour space and gamma. Those only tune colours for a display; a
    // profile would need a colour-management system.
    if (h.size >= 108) {
        std::uint32_t space = u32(at + 56);
        if (space == profileEmbedded || space == profileLinked) {
            return failed(BmpFailure::unknownFormat, "the bitmap header refers to a colour profile, which is not supported");
        }
    }

    // Depth and compression.
    const int bits = h.bitsPerPixel;
    switch (h.compression) {
    case compressionNone:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return failed(BmpFailure::conversionError, "unsupported bits per pixel");
        }
        break;
    case compressionRle8:
    case compressionRle4:
        if (bits != (h.compression == compressionRle8 ? 8 : 4)) {
            return failed(BmpFailure::conversionError, "run-length compression does not match the bits per pixel");
        }
        if (h.height < 0) return failed(BmpFailure::conversionError, "a run-length picture cannot be stored top-down");
        break;
    case compressionBitFields:
        if (bits != 16 && bits != 32) {
            return failed(BmpFailure::conversionError, "bit fields need 16 or 32 bits per pixel");
        }
        break;
    case compressionJpeg:
    case compressionPng:
        return failed(BmpFailure::conversionError, "the file holds a JPEG or PNG picture, which is not supported");
    default:
        return failed(BmpFailure::conversionError, "unsupported compression");
    }

    // Sizes.
    if (h.width <= 0) return failed(BmpFailure::conversionError, "the width is not positive");
    if (h.height == 0 || h.height == INT32_MIN) return failed(BmpFailure::conversionError, "the height is 0 or out of range");
    p.width = h.width;
    p.rows = h.height < 0 ? -h.height : h.height;

    // Colour masks (after an info header, before any colour table; inside a
    // version 4 or 5 header), then the colour table; without a file header
    // the pixels follow them. Masks count only with bit-field compression.
    std::size_t tableAt = headerAt + h.size;
    if (h.compression == compressionBitFields) {
        std::size_t masksAt = headerAt + 40;
        if (h.size == 40) {
            if (size - tableAt < 12) return failed(BmpFailure::conversionError, "the colour masks run past the end of the file");
            tableAt += 12;
        }
        if (!makeChannel(u32(bytes + masksAt), &p.red) ||
            !makeChannel(u32(bytes + masksAt + 4), &p.green) ||
            !makeChannel(u32(bytes + masksAt + 8), &p.blue)) {
            return failed(BmpFailure::conversionError, "a colour mask is not one run of bits");
        }
    } else if (bits == 16) {
        makeChannel(0x7C00, &p.red);
        makeChannel(0x03E0, &p.green);
        makeChannel(0x001F, &p.blue);
    }
    const std::uint32_t colours = dibColourCount(h);
    const std::size_t entrySize = h.size == 12 ? 3 : 4;
    const std::uint64_t tableEnd = tableAt + static_cast<std::uint64_t>(colours) * entrySize;
    const std::uint64_t pixelAt = fileHeader ? u32(bytes + 10) : tableEnd;
    if (pixelAt >= size) {
        return failed(BmpFailure::conversionError, "the pixel data starts past the end of the file");
    }
    p.pixelAt = static_cast<std::size_t>(pixelAt);
    if (bits <= 8) {
        // Entries the file does not hold, and indices past the table, are black.
        for (std::uint32_t i = 0; i < colours && i < 256; i++) {
            std::size_t entry = tableAt + i * entrySize;
            if (entry > size || size - entry < 3) break;
            p.palette[i][0] = bytes[entry + 2];
            p.palette[i][1] = bytes[entry + 1];
            p.palette[i][2] = bytes[entry];
        }
    }

    // Uncompressed rows must lie in the file (the last one without its
    // padding), which also keeps a tiny file from claiming a huge picture.
    const std::uint64_t rowBits = static_cast<std::uint64_t>(bits) * static_cast<std::uint32_t>(p.width);
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    const std::uint64_t available = size - p.pixelAt;
    if (h.compression == compressionNone || h.compression == compressionBitFields) {
        const std::uint64_t lastRow = (rowBits + 7) / 8;
        if (available < lastRow || static_cast<std::uint64_t>(p.rows - 1) > (available - lastRow) / stride) {
            return failed(BmpFailure::conversionError, "the pixel rows run past the end of the file");
        }
    } else {
        // No code writes more than a run: 2 bytes, at most 255 pixels (the
        // others spend a byte or more per pixel). Ends of line, deltas and
        // an early end of picture reach further with fewer bytes, leaving
        // what they skip black; a picture made mostly of such gaps is
        // refused rather than letting a few bytes claim gigabytes. A code
        // cut by the end of the file counts whole.
        const std::uint64_t most = (available + 1) / 2 * 255;
        if (static_cast<std::uint64_t>(p.width) * static_cast<std::uint64_t>(p.rows) > most) {
            return failed(BmpFailure::conversionError, "the run-length data is too short for a picture of this size (255 pixels per 2 bytes at most)");
        }
    }
    if (p.width > maxSide || p.rows > maxSide) {
        return failed(BmpFailure::outOfMemory, "the picture is larger than 16384 pixels on a side");
    }

    std::size_t outSize = static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.rows) * 3;
    p.out = static_cast<unsigned char*>(std::calloc(outSize, 1));
    if (!p.out) return failed(BmpFailure::outOfMemory, "no memory for the pixels");
    if (h.compression == compressionRle8 || h.compression == compressionRle4) {
        if (!decodeRunLength(p)) {
            std::free(p.out);
            return failed(BmpFailure::conversionError, "the run-length data runs past the end of the file");
        }
    } else {
        decodeRows(p, static_cast<std::size_t>(stride));
    }
    auto* image = static_cast<ImageRecord*>(std::malloc(sizeof(ImageRecord)));
    if (!image) {
        std::free(p.out);
        return failed(BmpFailure::outOfMemory, "no memory for the picture record");
    }
    *image = ImageRecord{p.width, p.rows, p.out};
    return {image, BmpFailure::none, nullptr};
}
