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

bool readTgaPixels(TgaImage* image, std::FILE* file) {
    std::size_t size = image->imageSize > 0 ? static_cast<std::size_t>(image->imageSize) : 0;
    // Cleared first: whatever a short file does not supply stays 0.
    image->pixels = static_cast<unsigned char*>(std::calloc(size ? size : 1, 1));
    if (!image->pixels) return false;
    if (image->imageType == 10 || image->imageType == 9) {
        decodeTgaRle(image, file);
        return true;
    }
    (void)std::fread(image->pixels, 1, size, file);
    std::int32_t step = image->bytesPerPixel;
    if (step == 3 || step == 4) {
        for (std::size_t at = 0; at + static_cast<std::size_t>(step) <= size; at += step) {
            std::swap(image->pixels[at], image->pixels[at + 2]);
        }
    }
    return true;
}

// Packets run on across row ends; one that would pass the picture's end is
// cut there, and the end of the file ends decoding with the rest left 0.
void decodeTgaRle(TgaImage* image, std::FILE* file) {
    const std::int32_t step = image->bytesPerPixel;
    const std::int32_t size = image->imageSize;
    if (step < 1 || step > 4 || size <= 0 || !image->pixels) return;
    unsigned char value[4];
    std::int32_t at = 0;
    while (at < size) {
        int header = std::getc(file);
        if (header == EOF) return;
        int count = (header & 0x7F) + 1;
        if (header & 0x80) {
            if (std::fread(value, 1, step, file) != static_cast<std::size_t>(step)) return;
            for (; count > 0 && at + step <= size; count--, at += step) {
                putPixel(image->pixels + at, value, step);
            }
        } else {
            for (; count > 0 && at + step <= size; count--, at += step) {
                if (std::fread(value, 1, step, file) != static_cast<std::size_t>(step)) return;
                putPixel(image->pixels + at, value, step);
            }
        }
    }
}

void flipTgaRows(TgaImage* image) {
    if (!image->pixels || image->width <= 0 || image->height <= 0) return;
    std::size_t row = static_cast<std::size_t>(image->width) * image->bytesPerPixel;
    if (row * image->height > static_cast<std::size_t>(image->imageSize)) return;
    for (int i = 0; i < image->height / 2; i++) {
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
    if (!readTgaPixels(image, file)) return "Out of memory";
    flipTgaRows(image);
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
