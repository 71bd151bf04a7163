// TGA decoding: header, format choice, pixels, run-length packets, row
// reversal. No GL call happens here (the fallback's upload is in tga.cpp).
#include "assets/tga.h"
#include "assets/texture.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool readByte(std::FILE* file, std::uint8_t* value) {
    return std::fread(value, 1, 1, file) == 1;
}

// Header words are little-endian whatever the machine's byte order.
bool readWord(std::FILE* file, std::uint16_t* value) {
    unsigned char bytes[2];
    if (std::fread(bytes, 1, 2, file) != 2) return false;
    *value = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    return true;
}

// B, G, R (, A) as stored, written as R, G, B (, A).
void putPixel(unsigned char* to, const unsigned char* from, std::int32_t bytesPerPixel) {
    std::memcpy(to, from, static_cast<std::size_t>(bytesPerPixel));
    if (bytesPerPixel >= 3) std::swap(to[0], to[2]);
}

// The pixel format a header asks for, or why it cannot be taken.
const char* chooseTgaFormat(TgaImage* image, std::uint32_t flags) {
    switch (image->imageType) {
    case 1:
    case 9:
        return "8-bit colour no longer supported";
    case 2:
        if (image->bitsPerPixel == 24) image->glFormat = GL_RGB;
        else if (image->bitsPerPixel == 32) image->glFormat = GL_RGBA;
        else return "Unsupported RGB format";
        return nullptr;
    case 3:
        if (flags & TEXLOAD_LUMINANCE) image->glFormat = GL_LUMINANCE;
        else if (flags & TEXLOAD_ALPHA) image->glFormat = GL_ALPHA;
        else return "Must be LUMINANCE or ALPHA greyscale";
        // Anything but one byte per pixel would be uploaded from a block
        // of the wrong size.
        if (image->bitsPerPixel != 8) return "Unsupported greyscale format (8 bits per pixel only)";
        return nullptr;
    case 10:
        if (image->bitsPerPixel == 24) image->glFormat = GL_RGB;
        else if (image->bitsPerPixel == 32) image->glFormat = GL_RGBA;
        else return "Unsupported compressed RGB format";
        return nullptr;
    default:
        // Decoding nothing and calling it a picture would hide the mistake.
        return "Unsupported image type";
    }
}

// The file's length from its current position on, or -1 when it cannot
// be found (a stream that cannot seek); the position is left as it was.
long long bytesLeft(std::FILE* file) {
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < here) return -1;
    return static_cast<long long>(end) - here;
}

// Past the image ID and any colour map (a true-colour or greyscale file
// may carry one; its pixels do not use it) to where the pixels start.
// `held` is what the file holds from there on.
const char* skipToTgaPixels(std::FILE* file, TgaImage* image, long long* held) {
    long long left = bytesLeft(file);
    if (left < 0) return "Cannot read the file";
    long long skip = image->idLength;
    if (image->colourMapType != 0) {
        skip += static_cast<long long>(image->colourMapLength) * ((image->colourMapBits + 7) / 8);
    }
    if (skip > left) return "Image ID or colour map runs past the end of the file";
    if (skip > 0 && std::fseek(file, static_cast<long>(skip), SEEK_CUR) != 0) {
        return "Cannot read the file";
    }
    *held = left - skip;
    return nullptr;
}

// Nothing is allocated for more than the file could fill: a run-length
// packet of 1 + bytesPerPixel bytes gives at most 128 pixels (a packet cut
// by the end of the file is counted whole), and uncompressed pixels are
// the file's own bytes, of which kTgaMaxMissingBytes may be missing.
const char* checkTgaFits(const TgaImage* image, long long held) {
    const long long step = image->bytesPerPixel;
    if (image->imageType == 10) {
        long long packets = (held + step) / (step + 1);
        if (image->imageSize > packets * 128 * step) {
            return "File too short for its picture (its run-length data cannot fill it)";
        }
    } else if (image->imageSize > held + kTgaMaxMissingBytes) {
        static_assert(kTgaMaxMissingBytes == 4 << 20, "the message names the bound");
        return "File too short for its picture (more than 4 MiB of it missing)";
    }
    return nullptr;
}

}  // namespace

bool readTgaHeader(std::FILE* file, TgaImage* image) {
    std::uint16_t width = 0, height = 0;
    image->idLength = image->colourMapType = image->imageType = 0;
    image->colourMapStart = image->colourMapLength = 0;
    image->colourMapBits = 0;
    image->xOrigin = image->yOrigin = 0;
    image->bitsPerPixel = image->descriptor = 0;
    bool complete = readByte(file, &image->idLength) && readByte(file, &image->colourMapType) &&
                    readByte(file, &image->imageType) && readWord(file, &image->colourMapStart) &&
                    readWord(file, &image->colourMapLength) &&
                    readByte(file, &image->colourMapBits) && readWord(file, &image->xOrigin) &&
                    readWord(file, &image->yOrigin) && readWord(file, &width) &&
                    readWord(file, &height) && readByte(file, &image->bitsPerPixel) &&
                    readByte(file, &image->descriptor);
    image->width = static_cast<std::int16_t>(width);
    image->height = static_cast<std::int16_t>(height);
    image->bytesPerPixel = image->bitsPerPixel >> 3;
    long long size = static_cast<long long>(image->width) * image->height * image->bytesPerPixel;
    image->imageSize = size >= INT32_MIN && size <= INT32_MAX ? static_cast<std::int32_t>(size) : 0;
    return complete;
}

bool readTgaPixels(TgaImage* image, std::FILE* file, std::int32_t* filled) {
    *filled = 0;
    std::size_t size = image->imageSize > 0 ? static_cast<std::size_t>(image->imageSize) : 0;
    // Cleared first: whatever a short file does not supply stays 0.
    image->pixels = static_cast<unsigned char*>(std::calloc(size ? size : 1, 1));
    if (!image->pixels) return false;
    if (image->imageType == 10 || image->imageType == 9) {
        *filled = decodeTgaRle(image, file);
        return true;
    }
    std::size_t got = std::fread(image->pixels, 1, size, file);
    *filled = static_cast<std::int32_t>(got);
    // Only the pixels the file supplied, the last perhaps in part: the
    // zeros after them need no swapping.
    std::int32_t step = image->bytesPerPixel;
    if (step == 3 || step == 4) {
        for (std::size_t at = 0; at < got && at + static_cast<std::size_t>(step) <= size; at += step) {
            std::swap(image->pixels[at], image->pixels[at + 2]);
        }
    }
    return true;
}

// Packets run on across row ends; one that would pass the picture's end is
// cut there, and the end of the file ends decoding with the rest left 0.
std::int32_t decodeTgaRle(TgaImage* image, std::FILE* file) {
    const std::int32_t step = image->bytesPerPixel;
    const std::int32_t size = image->imageSize;
    if (step < 1 || step > 4 || size <= 0 || !image->pixels) return 0;
    unsigned char value[4];
    std::int32_t at = 0;
    while (at < size) {
        int header = std::getc(file);
        if (header == EOF) return at;
        int count = (header & 0x7F) + 1;
        if (header & 0x80) {
            if (std::fread(value, 1, step, file) != static_cast<std::size_t>(step)) return at;
            for (; count > 0 && at + step <= size; count--, at += step) {
                putPixel(image->pixels + at, value, step);
            }
        } else {
            for (; count > 0 && at + step <= size; count--, at += step) {
                if (std::fread(value, 1, step, file) != static_cast<std::size_t>(step)) return at;
                putPixel(image->pixels + at, value, step);
            }
        }
    }
    return at;
}

void flipTgaRows(TgaImage* image, std::int32_t filled) {
    if (!image->pixels || image->width <= 0 || image->height <= 0) return;
    std::size_t row = static_cast<std::size_t>(image->width) * image->bytesPerPixel;
    if (row == 0 || row * image->height > static_cast<std::size_t>(image->imageSize)) return;
    // Rows from filledRows on are all 0, and two of them would only trade
    // zeros: only the pairs whose upper row the file filled are swapped.
    std::size_t filledRows = (static_cast<std::size_t>(filled > 0 ? filled : 0) + row - 1) / row;
    std::size_t pairs = std::min(filledRows, static_cast<std::size_t>(image->height / 2));
    for (std::size_t i = 0; i < pairs; i++) {
        unsigned char* top = image->pixels + row * i;
        unsigned char* bottom = image->pixels + row * (image->height - 1 - i);
        std::swap_ranges(top, top + row, bottom);
    }
}

void freeTgaPixels(TgaImage* image) {
    if (image->pixels) std::free(image->pixels);
    image->pixels = nullptr;
}

const char* decodeTga(std::FILE* file, TgaImage* image, std::uint32_t flags, std::int32_t maxSide) {
    if (!readTgaHeader(file, image)) {
        return std::ferror(file) ? "Cannot read the file" : "File too short for a TGA header";
    }
    if (const char* refusal = chooseTgaFormat(image, flags)) return refusal;
    // Sizes come from the file: nothing is allocated for a picture that
    // cannot exist or would be absurdly large.
    if (image->width <= 0 || image->height <= 0 || image->width > maxSide ||
        image->height > maxSide) {
        return "Bad image size (1 to 16384 pixels per side)";
    }
    long long held = 0;
    if (const char* failure = skipToTgaPixels(file, image, &held)) return failure;
    if (const char* failure = checkTgaFits(image, held)) return failure;
    std::int32_t filled = 0;
    if (!readTgaPixels(image, file, &filled)) return "Out of memory";
    flipTgaRows(image, filled);
    return nullptr;
}

void fillFallbackImage(TgaImage* image) {
    constexpr int side = 128;
    image->imageType = 3;
    image->width = side;
    image->height = side;
    image->bitsPerPixel = 8;
    image->bytesPerPixel = 1;
    image->imageSize = side * side;
    image->glFormat = GL_LUMINANCE;
    image->pixels = static_cast<unsigned char*>(std::malloc(side * side));
    if (!image->pixels) return;
    // 16 x 16 squares, the one at the origin white.
    for (int r = 0; r < side; r++) {
        for (int c = 0; c < side; c++) image->pixels[r * side + c] = ((r ^ c) & 16) ? 0 : 255;
    }
}
