// The two pictures the zoom and lens scenes compute, and the checkerboard
// that stands in for a picture that cannot be used.
#include "scenes/lens/lens_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

ImageRecord* newImage(int width, int height, int bytesPerTexel) {
    auto* image = static_cast<ImageRecord*>(std::malloc(sizeof(ImageRecord)));
    if (!image) return nullptr;
    image->width = width;
    image->height = height;
    image->pixels = static_cast<unsigned char*>(
        std::malloc(static_cast<std::size_t>(width) * height * bytesPerTexel));
    if (!image->pixels) {
        std::free(image);
        return nullptr;
    }
    return image;
}

void freeImage(ImageRecord* image) {
    if (!image) return;
    std::free(image->pixels);
    std::free(image);
}

namespace {

// Truncated toward zero, then clamped to what a byte around 128 holds; the
// range is one short on the positive side, so far corners clamp unevenly.
int offsetByte(double offset) {
    int truncated = static_cast<int>(std::clamp(offset, -1000.0, 1000.0));
    return std::clamp(truncated, -128, 127) + 128;
}

}  // namespace

// Row j = 0 first (GL's t = 0 edge), column i = 0 first in a row. The offset
// points away from the centre with length 128 x r^2.6 (r = 1 at the map's
// edges): the lens program reads it to bend the view of the plane. The
// 0.95 bound is deliberately the single-precision value, as the map was
// always made.
void fillDisplacementMap(ImageRecord* map) {
    const double discBound = 0.95f;
    unsigned char* texel = map->pixels;
    for (int j = 0; j < kDisplacementSize; ++j) {
        for (int i = 0; i < kDisplacementSize; ++i, texel += 4) {
            double x = i / 128.0 - 1.0;
            double y = j / 128.0 - 1.0;
            double r2 = x * x + y * y;
            double r = std::sqrt(r2);
            double dx = 0.0, dy = 0.0;
            if (r > 0.0) {  // at the centre r^2.6 / r is 0 / 0; no offset there
                double factor = std::exp2(2.6 * std::log2(r)) / r;
                dx = 128.0 * x * factor;
                dy = 128.0 * y * factor;
            }
            texel[0] = static_cast<unsigned char>(offsetByte(dx));
            texel[1] = static_cast<unsigned char>(offsetByte(dy));
            texel[2] = 0;
            texel[3] = r2 < discBound ? 255 : 0;
        }
    }
}

void fillCentreImage(ImageRecord* centre, const ImageRecord* source) {
    const int sourceRow = kCentreSize * 3;
    for (int row = 0; row < kCentreSize; ++row) {
        const unsigned char* from = source->pixels + static_cast<std::size_t>(row) * sourceRow;
        unsigned char* to = centre->pixels + static_cast<std::size_t>(row) * kCentreSize * 4;
        for (int column = 0; column < kCentreSize; ++column, from += 3, to += 4) {
            to[0] = to[1] = to[2] = from[0];
            to[3] = from[1];
        }
    }
}

void fillCheckerboard(ImageRecord* image, int bytesPerTexel) {
    static const unsigned char magenta[4] = {255, 0, 255, 255};
    static const unsigned char grey[4] = {64, 64, 64, 255};
    const int square = std::max(1, image->width / 8);
    unsigned char* texel = image->pixels;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x, texel += bytesPerTexel) {
            const unsigned char* colour = ((x / square + y / square) % 2) ? grey : magenta;
            std::copy(colour, colour + bytesPerTexel, texel);
        }
    }
}
