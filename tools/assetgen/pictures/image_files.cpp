#include "tools/assetgen/pictures/image_files.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace assetgen {

namespace {

void put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return ok;
}

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
}

// The CRC of PNG chunks (ISO 3309, as in zlib), bitwise: a few hundred
// kilobytes once per run.
std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size, std::uint32_t crc) {
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

void putPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBig32(out, ~crc32(out.data() + start, out.size() - start, 0xFFFFFFFFu));
}

// A zlib stream of stored deflate blocks (at most 65535 bytes each).
std::vector<std::uint8_t> storedZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window; the check bits
    std::size_t at = 0;
    do {
        const std::size_t count = std::min<std::size_t>(65535, raw.size() - at);
        out.push_back(at + count == raw.size() ? 1 : 0);  // last block?, stored
        put16(out, static_cast<unsigned>(count));
        put16(out, static_cast<unsigned>(~count & 0xFFFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + count));
        at += count;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;  // Adler-32
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(out, (b << 16) | a);
    return out;
}

// BMP file header (14 bytes) and the bitmap header of the chosen kind, with
// the colour table; the pixel rows follow.
std::vector<std::uint8_t> bmpHeaders(int width, int height, int bits, BmpHeader header,
                                     const std::vector<PaletteEntry>& palette, std::uint32_t imageSize) {
    std::uint32_t headerSize = header == BmpHeader::info ? 40 : 12;
    std::uint32_t entrySize = header == BmpHeader::info ? 4 : 3;
    std::uint32_t pixelOffset = 14 + headerSize + entrySize * static_cast<std::uint32_t>(palette.size());
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + imageSize);
    put32(out, 0);  // reserved
    put32(out, pixelOffset);
    put32(out, headerSize);
    if (header == BmpHeader::info) {
        put32(out, static_cast<std::uint32_t>(width));
        put32(out, static_cast<std::uint32_t>(height));
        put16(out, 1);     // planes
        put16(out, bits);
        put32(out, 0);     // no compression
        put32(out, imageSize);
        put32(out, 2835);  // 72 dpi, both ways
        put32(out, 2835);
        put32(out, static_cast<std::uint32_t>(palette.size()));  // colours used
        put32(out, 0);     // all important
    } else {
        put16(out, static_cast<unsigned>(width));
        put16(out, static_cast<unsigned>(height));
        put16(out, 1);
        put16(out, bits);
    }
    for (const PaletteEntry& e : palette) {
        out.push_back(e.b);
        out.push_back(e.g);
        out.push_back(e.r);
        if (header == BmpHeader::info) out.push_back(0);
    }
    return out;
}

bool sizeFits(const std::string& path, int width, int height, int maxSide) {
    if (width > 0 && height > 0 && width <= maxSide && height <= maxSide) return true;
    std::fprintf(stderr, "assetgen: %s: unsupported size %d x %d\n", path.c_str(), width, height);
    return false;
}

}  // namespace

bool writeBmp24(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb) {
    if (!sizeFits(path, width, height, 32767)) return false;
    int stride = (width * 3 + 3) & ~3;
    std::uint32_t imageSize = static_cast<std::uint32_t>(stride) * height;
    std::vector<std::uint8_t> out = bmpHeaders(width, height, 24, BmpHeader::info, {}, imageSize);
    for (int row = height - 1; row >= 0; --row) {
        const std::uint8_t* src = rgb.data() + static_cast<size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x) {
            out.push_back(src[3 * x + 2]);
            out.push_back(src[3 * x + 1]);
            out.push_back(src[3 * x]);
        }
        for (int pad = width * 3; pad < stride; ++pad) out.push_back(0);
    }
    return writeFile(path, out);
}

bool writeBmp8(const std::string& path, int width, int height,
               const std::vector<std::uint8_t>& indices, const std::vector<PaletteEntry>& palette,
               BmpHeader header) {
    int maxSide = header == BmpHeader::core ? 65535 : 32767;
    if (!sizeFits(path, width, height, maxSide)) return false;
    if (palette.empty() || palette.size() > 256 ||
        (header == BmpHeader::core && palette.size() != 256)) {
        std::fprintf(stderr, "assetgen: %s: a colour table of %zu entries does not fit\n",
                     path.c_str(), palette.size());
        return false;
    }
    int stride = (width + 3) & ~3;
    std::uint32_t imageSize = static_cast<std::uint32_t>(stride) * height;
    std::vector<std::uint8_t> out = bmpHeaders(width, height, 8, header, palette, imageSize);
    for (int row = height - 1; row >= 0; --row) {
        const std::uint8_t* src = indices.data() + static_cast<size_t>(row) * width;
        out.insert(out.end(), src, src + width);
        for (int pad = width; pad < stride; ++pad) out.push_back(0);
    }
    return writeFile(path, out);
}

std::vector<std::uint8_t> encodeTgaRunLength(const std::vector<std::uint8_t>& pixels, int bytesPerPixel) {
    std::vector<std::uint8_t> out;
    size_t count = pixels.size() / bytesPerPixel;
    auto same = [&](size_t a, size_t b) {
        return std::memcmp(&pixels[a * bytesPerPixel], &pixels[b * bytesPerPixel], bytesPerPixel) == 0;
    };
    size_t i = 0;
    while (i < count) {
        // A run packet for two or more equal pixels; otherwise gather raw
        // pixels up to the next pair of equal ones.
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + 1) * bytesPerPixel]);
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + raw) * bytesPerPixel]);
        i += raw;
    }
    return out;
}

bool writeTga(const std::string& path, int width, int height, int channels,
              const std::vector<std::uint8_t>& pixels, bool runLength) {
    if (!sizeFits(path, width, height, 32767)) return false;
    if ((channels != 1 && channels != 3 && channels != 4) || (channels == 1 && runLength)) {
        std::fprintf(stderr, "assetgen: %s: no TGA flavour for %d channels\n", path.c_str(), channels);
        return false;
    }
    std::vector<std::uint8_t> out;
    out.push_back(0);  // no image ID
    out.push_back(0);  // no colour map
    out.push_back(channels == 1 ? 3 : (runLength ? 10 : 2));
    put16(out, 0);     // colour map start, length, entry size: none
    put16(out, 0);
    out.push_back(0);
    put16(out, 0);     // x and y origin
    put16(out, 0);
    put16(out, static_cast<unsigned>(width));
    put16(out, static_cast<unsigned>(height));
    out.push_back(static_cast<std::uint8_t>(channels * 8));
    // Bottom-left origin (bit 5 clear), and the count of alpha bits.
    out.push_back(channels == 4 ? 8 : 0);

    // File order: bottom row first, B, G, R (, A) per pixel.
    std::vector<std::uint8_t> stream;
    stream.reserve(pixels.size());
    for (int row = height - 1; row >= 0; --row) {
        const std::uint8_t* src = pixels.data() + static_cast<size_t>(row) * width * channels;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = src + x * channels;
            if (channels == 1) {
                stream.push_back(p[0]);
                continue;
            }
            stream.push_back(p[2]);
            stream.push_back(p[1]);
            stream.push_back(p[0]);
            if (channels == 4) stream.push_back(p[3]);
        }
    }
    if (runLength) stream = encodeTgaRunLength(stream, channels);
    out.insert(out.end(), stream.begin(), stream.end());
    return writeFile(path, out);
}

bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (width <= 0 || height <= 0 || rgba.size() != rowBytes * static_cast<std::size_t>(height)) {
        std::fprintf(stderr, "assetgen: %s: the pixels do not fill %d x %d\n", path.c_str(), width, height);
        return false;
    }
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        raw.push_back(0);  // filter: none
        const auto first = rgba.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<std::size_t>(row));
        raw.insert(raw.end(), first, first + static_cast<std::ptrdiff_t>(rowBytes));
    }
    std::vector<std::uint8_t> header;
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, no interlace

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putPngChunk(out, "IHDR", header);
    putPngChunk(out, "IDAT", storedZlib(raw));
    putPngChunk(out, "IEND", {});
    return writeFile(path, out);
}

}  // namespace assetgen
