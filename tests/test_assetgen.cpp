// assetgen and the pictures in data/: regenerating gives the committed files
// byte for byte, and each picture has what its scene relies on (sizes,
// formats the loaders read, seamless tiling where it is repeated).
#include "assets/bmp.h"
#include "assets/tga.h"
#include "assets/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string sourceDir() {
    const char* dir = std::getenv("DEMO_SOURCE_DIR");
    return dir ? dir : ".";
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> dataFile(const std::string& name) { return readBytes(sourceDir() + "/data/" + name); }

unsigned get16(const std::vector<std::uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t get32(const std::vector<std::uint8_t>& b, size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }

// A decoded picture: R, G, B, A per pixel, rows as stored (bottom-up).
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// The BMP flavours the demo's loader reads: a file header, a 12-byte core or
// 40-byte info header, uncompressed 8- or 24-bit rows, bottom-up. Checks the
// header as it goes; a failure leaves width 0.
Picture decodeBmp(const std::vector<std::uint8_t>& b, unsigned* headerSize = nullptr, unsigned* bits = nullptr) {
    Picture p;
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return p;
    std::uint32_t offset = get32(b, 10);
    unsigned size = get32(b, 14);
    int width, height;
    unsigned depth, compression = 0, coloursUsed = 0, entry;
    if (size == 40) {
        width = static_cast<std::int32_t>(get32(b, 18));
        height = static_cast<std::int32_t>(get32(b, 22));
        depth = get16(b, 28);
        compression = get32(b, 30);
        coloursUsed = get32(b, 46);
        entry = 4;
    } else if (size == 12) {
        width = get16(b, 18);
        height = get16(b, 20);
        depth = get16(b, 24);
        entry = 3;
    } else {
        return p;
    }
    if (headerSize) *headerSize = size;
    if (bits) *bits = depth;
    if (compression != 0 || width <= 0 || height <= 0 || (depth != 8 && depth != 24)) return p;
    unsigned colours = depth == 8 ? (coloursUsed ? coloursUsed : 256) : 0;
    size_t table = 14 + size;
    if (table + colours * entry > offset) return p;
    size_t stride = ((width * depth / 8) + 3) & ~size_t(3);
    if (offset + stride * height > b.size()) return p;
    p.rgba.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* src;
            if (depth == 24) {
                src = &b[offset + y * stride + x * 3];
            } else {
                unsigned index = b[offset + y * stride + x];
                if (index >= colours) return p;
                src = &b[table + index * entry];
            }
            std::uint8_t* dst = &p.rgba[(static_cast<size_t>(y) * width + x) * 4];
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = 255;
        }
    }
    p.width = width;
    p.height = height;
    return p;
}

// The TGA flavours the loader reads: no image ID, no colour map, true colour
// (type 2, or run-length type 10) at 24 or 32 bits; rows as stored.
Picture decodeTga(const std::vector<std::uint8_t>& b) {
    Picture p;
    if (b.size() < 18 || b[0] != 0 || b[1] != 0 || get16(b, 5) != 0) return p;
    unsigned type = b[2], depth = b[16];
    int width = static_cast<std::int16_t>(get16(b, 12)), height = static_cast<std::int16_t>(get16(b, 14));
    if ((type != 2 && type != 10) || (depth != 24 && depth != 32) || width <= 0 || height <= 0) return p;
    size_t bpp = depth / 8, count = static_cast<size_t>(width) * height, at = 18;
    p.rgba.assign(count * 4, 255);
    auto put = [&](size_t i, size_t from) {
        p.rgba[i * 4] = b[from + 2];
        p.rgba[i * 4 + 1] = b[from + 1];
        p.rgba[i * 4 + 2] = b[from];
        if (bpp == 4) p.rgba[i * 4 + 3] = b[from + 3];
    };
    for (size_t i = 0; i < count;) {
        if (type == 2) {
            if (at + bpp > b.size()) return p;
            put(i++, at);
            at += bpp;
            continue;
        }
        if (at >= b.size()) return p;
        unsigned header = b[at++];
        size_t n = (header & 0x7F) + 1;
        if (i + n > count) return p;  // the writer never runs past the end
        if (header & 0x80) {
            if (at + bpp > b.size()) return p;
            for (size_t k = 0; k < n; ++k) put(i++, at);
            at += bpp;
        } else {
            if (at + n * bpp > b.size()) return p;
            for (size_t k = 0; k < n; ++k, at += bpp) put(i++, at);
        }
    }
    if (at != b.size()) return p;  // nothing left over
    p.width = width;
    p.height = height;
    return p;
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Mean absolute channel difference between two columns (or rows).
double lineDifference(const Picture& p, bool columns, int a, int b) {
    int length = columns ? p.height : p.width;
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        const std::uint8_t* pa = columns ? p.pixel(a, i) : p.pixel(i, a);
        const std::uint8_t* pb = columns ? p.pixel(b, i) : p.pixel(i, b);
        for (int c = 0; c < 3; ++c) sum += std::abs(pa[c] - pb[c]);
    }
    return sum / (3.0 * length);
}

// Seamless tiling: the difference across the wrap-around edge (last column
// to first, last row to first) is no larger than a typical difference
// between neighbouring columns or rows inside the picture (their median).
// The pictures that need not tile (the logo, the scratches) fail this.
void expectTiles(const Picture& p) {
    for (bool columns : {true, false}) {
        int count = columns ? p.width : p.height;
        std::vector<double> inner;
        for (int i = 0; i + 1 < count; ++i) inner.push_back(lineDifference(p, columns, i, i + 1));
        std::nth_element(inner.begin(), inner.begin() + inner.size() / 2, inner.end());
        double seam = lineDifference(p, columns, count - 1, 0);
        EXPECT_LE(seam, inner[inner.size() / 2]) << (columns ? "left/right" : "top/bottom") << " edges do not meet";
    }
}

}  // namespace

TEST(Assetgen, RegeneratesEveryDataFileByteForByte) {
    const char* build = std::getenv("DEMO_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "DEMO_BUILD_DIR is not set";
    fs::path program = fs::path(build) / "tools/assetgen/assetgen";
    ASSERT_TRUE(fs::exists(program)) << program << " is not built";
    fs::path out = fs::temp_directory_path() / ("assetgen-test-" + std::to_string(getpid()));
    fs::remove_all(out);
    std::string command = "'" + program.string() + "' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(out)) written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    for (const char* expected : {"atomic2.bmp", "lensblue.bmp", "cool.bmp", "ff.bmp", "schach.tga", "kratzer.tga",
                                 "amber_kite_nuts.tga", "tetrahed.txt", "hexahed.txt", "octahed.txt",
                                 "dodecahed.txt", "icosahed.txt"})
        EXPECT_NE(std::find(written.begin(), written.end(), expected), written.end()) << expected << " not written";
    for (const std::string& name : written) {
        std::vector<std::uint8_t> fresh = readBytes(out / name);
        std::vector<std::uint8_t> committed = dataFile(name);
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == committed) << "data/" << name << " differs from what assetgen writes now "
                                        << "(rerun: build/tools/assetgen/assetgen data)";
    }
    fs::remove_all(out);
}

// The menu icon (packaging/orbita.png, not data): regenerated byte for byte,
// and a PNG that another decoder (ImageMagick's, on libpng, which checks
// every chunk's CRC and the stream's checksum) reads as 256 x 256 with
// alpha: clear in the corners outside the frame, opaque on the plate.
TEST(Assetgen, DrawsTheCommittedIconByteForByteAsAPngOtherProgramsRead) {
    const char* build = std::getenv("DEMO_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "DEMO_BUILD_DIR is not set";
    const fs::path program = fs::path(build) / "tools/assetgen/assetgen";
    const fs::path out = fs::temp_directory_path() / ("assetgen-icon-" + std::to_string(getpid()));
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string command = "'" + program.string() + "' --icon '" + (out / "orbita.png").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<std::uint8_t> fresh = readBytes(out / "orbita.png");
    EXPECT_TRUE(fresh == readBytes(sourceDir() + "/packaging/orbita.png"))
        << "packaging/orbita.png differs from what assetgen draws now "
        << "(rerun: build/tools/assetgen/assetgen --icon packaging/orbita.png)";

    std::string magick;
    for (const char* name : {"magick", "convert-im6.q16", "convert"})
        if (magick.empty() && std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0)
            magick = name;
    if (magick.empty()) {
        fs::remove_all(out);
        GTEST_SKIP() << "ImageMagick is not installed (scripts/deps installs it)";
    }
    const std::string decode =
        magick + " '" + (out / "orbita.png").string() + "' -depth 8 'RGBA:" + (out / "icon.rgba").string() + "'";
    ASSERT_EQ(std::system(decode.c_str()), 0) << decode;
    const std::vector<std::uint8_t> rgba = readBytes(out / "icon.rgba");
    fs::remove_all(out);
    ASSERT_EQ(rgba.size(), 256u * 256u * 4u);
    auto alpha = [&](int x, int y) { return rgba[(static_cast<size_t>(y) * 256 + x) * 4 + 3]; };
    for (int corner : {0, 255}) {
        EXPECT_EQ(alpha(corner, 0), 0) << "corner " << corner << ", 0";
        EXPECT_EQ(alpha(corner, 255), 0) << "corner " << corner << ", 255";
    }
    EXPECT_EQ(alpha(128, 128), 255);
    EXPECT_EQ(alpha(20, 128), 255);
}

TEST(AssetgenPictures, BmpFilesUseFlavoursTheLoaderReadsWithTheSizesTheScenesNeed) {
    struct Expect {
        const char* file;
        unsigned header, bits;
        bool powerOfTwoSides;
    };
    const Expect expected[] = {
        {"atomic2.bmp", 40, 24, false},  // mipmapped: any size would do
        {"lensblue.bmp", 40, 8, true},   // uploaded at its own size
        {"cool.bmp", 12, 8, true},
        {"ff.bmp", 40, 24, true},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.file);
        unsigned header = 0, bits = 0;
        Picture p = decodeBmp(dataFile(e.file), &header, &bits);
        ASSERT_GT(p.width, 0) << "not a BMP the loader reads";
        EXPECT_EQ(header, e.header);
        EXPECT_EQ(bits, e.bits);
        if (e.powerOfTwoSides) {
            EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height)) << p.width << " x " << p.height;
        }
    }
    // The lens tint's colour table is shorter than 256: the colours-used
    // field must say so, or the pixels would be read from inside the table.
    std::vector<std::uint8_t> tint = dataFile("lensblue.bmp");
    ASSERT_GE(tint.size(), 54u);
    EXPECT_LT(get32(tint, 46), 256u);
    EXPECT_EQ(get32(tint, 10), 14 + 40 + 4 * get32(tint, 46));
}

TEST(AssetgenPictures, CentrePictureIs512Square24BitWithAnOpaqueEmblemFadingOutBeforeItsEdges) {
    unsigned header = 0, bits = 0;
    Picture p = decodeBmp(dataFile("ff.bmp"), &header, &bits);
    ASSERT_EQ(p.width, 512);
    ASSERT_EQ(p.height, 512);
    EXPECT_EQ(bits, 24u);
    // Green is the opacity: the quad's edges must not show, the lettering must.
    int opaque = 0;
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(p.pixel(i, 0)[1], 0);
        EXPECT_EQ(p.pixel(i, 511)[1], 0);
        EXPECT_EQ(p.pixel(0, i)[1], 0);
        EXPECT_EQ(p.pixel(511, i)[1], 0);
    }
    int brightAndOpaque = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            opaque += p.pixel(x, y)[1] == 255 ? 1 : 0;
            brightAndOpaque += p.pixel(x, y)[1] == 255 && p.pixel(x, y)[0] > 160 ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 5000);
    EXPECT_GT(brightAndOpaque, 2000);
}

TEST(AssetgenPictures, TgaFilesHaveNoIdOrColourMapAndTheScratchesAreInColour) {
    struct Expect {
        const char* file;
        unsigned type, bits;
    };
    // Scratches in colour: the floor's textures are made with flags that
    // turn a greyscale file into an alpha texture, which would only touch
    // the floor's alpha and leave the scratches invisible.
    const Expect expected[] = {{"schach.tga", 2, 24}, {"kratzer.tga", 10, 24}, {"amber_kite_nuts.tga", 10, 32}};
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.file);
        std::vector<std::uint8_t> bytes = dataFile(e.file);
        ASSERT_GE(bytes.size(), 18u);
        EXPECT_EQ(bytes[0], 0);  // the loader reads pixels from byte 18 on
        EXPECT_EQ(bytes[1], 0);
        EXPECT_EQ(bytes[2], e.type);
        EXPECT_EQ(bytes[16], e.bits);
        Picture p = decodeTga(bytes);
        ASSERT_GT(p.width, 0) << "does not decode to exactly its pixels";
        EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height));
    }
    // The scratches must show: multiplied in, they can only darken, so the
    // glass is dimmer than white and the scratches clearly brighter than it.
    Picture scratches = decodeTga(dataFile("kratzer.tga"));
    ASSERT_GT(scratches.width, 0);
    std::vector<int> levels;
    for (int i = 0; i < scratches.width * scratches.height; ++i) levels.push_back(scratches.rgba[i * 4]);
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    int glass = levels[levels.size() / 2];
    int scratched = 0;
    for (int level : levels) scratched += level > glass * 1.12 ? 1 : 0;
    EXPECT_LT(glass, 235);
    EXPECT_GT(scratched, scratches.width * scratches.height / 200);
    // The logo carries a real alpha channel: opaque emblem, clearer glass.
    Picture logo = decodeTga(dataFile("amber_kite_nuts.tga"));
    ASSERT_GT(logo.width, 0);
    int opaque = 0, clearer = 0;
    for (int i = 0; i < logo.width * logo.height; ++i) {
        opaque += logo.rgba[i * 4 + 3] == 255 ? 1 : 0;
        clearer += logo.rgba[i * 4 + 3] < 200 ? 1 : 0;
    }
    EXPECT_GT(opaque, 1000);
    EXPECT_GT(clearer, 1000);
}

TEST(AssetgenPictures, RepeatedPicturesTileSeamlessly) {
    {
        SCOPED_TRACE("atomic2.bmp");
        Picture p = decodeBmp(dataFile("atomic2.bmp"));
        ASSERT_GT(p.width, 0);
        expectTiles(p);
    }
    {
        SCOPED_TRACE("cool.bmp");
        Picture p = decodeBmp(dataFile("cool.bmp"));
        ASSERT_GT(p.width, 0);
        expectTiles(p);
    }
    {
        SCOPED_TRACE("schach.tga");
        Picture p = decodeTga(dataFile("schach.tga"));
        ASSERT_GT(p.width, 0);
        expectTiles(p);
    }
}

TEST(AssetgenPictures, EveryPictureLoadsWithTheDemosOwnLoadersToTheSamePixels) {
    // The BMP loader delivers R, G, B rows in the file's bottom-up order,
    // exactly what the test's own decoding above gives.
    struct Bmp {
        const char* file;
        int width, height;
    };
    for (const Bmp& e : {Bmp{"atomic2.bmp", 512, 512}, Bmp{"lensblue.bmp", 256, 256}, Bmp{"cool.bmp", 256, 256},
                         Bmp{"ff.bmp", 512, 512}}) {
        SCOPED_TRACE(e.file);
        std::string path = sourceDir() + "/data/" + e.file;
        ImageRecord* image = loadBmp(path.c_str(), nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, e.width);
        EXPECT_EQ(image->height, e.height);
        Picture own = decodeBmp(dataFile(e.file));
        ASSERT_EQ(own.width, image->width);
        ASSERT_EQ(own.height, image->height);
        size_t differing = 0;
        for (int y = 0; y < own.height; ++y)
            for (int x = 0; x < own.width; ++x)
                for (int c = 0; c < 3; ++c)
                    differing += image->pixels[(static_cast<size_t>(y) * own.width + x) * 3 + c] != own.pixel(x, y)[c];
        EXPECT_EQ(differing, 0u);
        std::free(image->pixels);
        std::free(image);
    }

    // The TGA decoder with the floor's texture flags: colour pictures stay
    // colour (RGB, or RGBA for the logo); rows come out reversed.
    struct Tga {
        const char* file;
        int width, height;
        GLenum format;
    };
    for (const Tga& e : {Tga{"schach.tga", 256, 256, GL_RGB}, Tga{"kratzer.tga", 512, 512, GL_RGB},
                         Tga{"amber_kite_nuts.tga", 512, 512, GL_RGBA}}) {
        SCOPED_TRACE(e.file);
        std::string path = sourceDir() + "/data/" + e.file;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        TgaImage image{};
        const char* failure = decodeTga(file, &image, TEXLOAD_COMPRESSED | TEXLOAD_ALPHA | 0x1);
        std::fclose(file);
        ASSERT_EQ(failure, nullptr) << failure;
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
        EXPECT_EQ(image.glFormat, e.format);
        Picture own = decodeTga(dataFile(e.file));
        ASSERT_EQ(own.width, image.width);
        ASSERT_EQ(own.height, image.height);
        int channels = image.bytesPerPixel;
        size_t differing = 0;
        for (int y = 0; y < own.height; ++y)
            for (int x = 0; x < own.width; ++x)
                for (int c = 0; c < channels; ++c)
                    differing += image.pixels[(static_cast<size_t>(own.height - 1 - y) * own.width + x) * channels + c] !=
                                 own.pixel(x, y)[c];
        EXPECT_EQ(differing, 0u);
        freeTgaPixels(&image);
    }
}
