// libFuzzer target: any bytes through the BMP decoder. A picture that
// decodes must have the size it claims; a failure must say which kind.
#include "assets/bmp_decode.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // A smaller bound than the loader's keeps every input fast; sizes past
    // it take the same path as sizes past the loader's.
    BmpDecoding decoding = decodeBmp(data, size, 1024);
    if (!decoding.image) {
        if (decoding.failure == BmpFailure::none || !decoding.detail) __builtin_trap();
        return 0;
    }
    const ImageRecord& image = *decoding.image;
    if (image.width < 1 || image.height < 1 || image.width > 1024 || image.height > 1024) {
        __builtin_trap();
    }
    // Touch the last byte: the block must be as large as the record says.
    std::size_t bytes = static_cast<std::size_t>(image.width) * image.height * 3;
    volatile unsigned char last = image.pixels[bytes - 1];
    (void)last;
    std::free(image.pixels);
    std::free(decoding.image);
    return 0;
}
