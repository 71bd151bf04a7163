// libFuzzer target: any bytes through the TGA decoder (everything but the
// GL upload), then the checkerboard on failure as the loader would.
#include "assets/texture.h"
#include "assets/tga.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* file = fmemopen(const_cast<unsigned char*>(data), size, "rb");
    if (!file) return 0;
    TgaImage image{};
    // Odd sizes ask for greyscale as luminance, even ones for nothing, so
    // both the accepted and the refused greyscale paths are reached. The
    // loader's own bounds, so that the fuzzer reaches what a short file may
    // make it allocate (libFuzzer's -malloc_limit_mb reports anything large).
    const char* failure = decodeTga(file, &image, (size & 1) ? TEXLOAD_LUMINANCE : 0u);
    std::fclose(file);
    if (failure) {
        if (image.pixels) __builtin_trap();
        // The checkerboard does not depend on the input: once is enough.
        static bool filled = false;
        if (!filled) fillFallbackImage(&image);
        filled = true;
    } else {
        long long expected = static_cast<long long>(image.width) * image.height * image.bytesPerPixel;
        if (!image.pixels || image.imageSize != expected || expected <= 0) __builtin_trap();
        // No more than the file could fill: run-length packets give at most
        // 128 pixels per 1 + bytesPerPixel bytes; uncompressed pixels may
        // lack kTgaMaxMissingBytes.
        if (expected > 103 * static_cast<long long>(size) + kTgaMaxMissingBytes) __builtin_trap();
        volatile unsigned char last = image.pixels[image.imageSize - 1];
        (void)last;
    }
    freeTgaPixels(&image);
    return 0;
}
