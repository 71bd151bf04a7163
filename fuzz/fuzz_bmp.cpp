// libFuzzer target: any bytes through the BMP decoder. A picture that
// decodes must have the size it claims; a failure must say which kind.
#include "assets/bmp_decode.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // The loader's own bounds: what a few bytes may make it allocate is
    // exactly what this target is here to find out (libFuzzer's
    // -malloc_limit_mb reports anything large).
    BmpDecoding decoding = decodeBmp(data, size);
    if (!decoding.image) {
        if (decoding.failure == BmpFailure::none || !decoding.detail) __builtin_trap();
        return 0;
    }
    const ImageRecord& image = *decoding.image;
    if (image.width < 1 || image.height < 1 || image.width > kBmpMaxSide || image.height > kBmpMaxSide) {
        __builtin_trap();
    }
    // No picture larger than its file could fill: 8 pixels a byte at 1 bit,
    // 255 pixels per 2 bytes of run-length data.
    std::size_t count = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    if (count > 128 * size + 128) __builtin_trap();
    // Touch the last byte: the block must be as large as the record says.
    volatile unsigned char last = image.pixels[count * 3 - 1];
    (void)last;
    std::free(image.pixels);
    std::free(decoding.image);
    return 0;
}
