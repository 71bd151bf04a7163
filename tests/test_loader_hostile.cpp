// Hostile files for every loader: each reports its clear message (or loads,
// as far as it can be loaded) and nothing worse. Under the sanitizer build an
// over-read or an overflow here fails the test.
#include "assets/bmp.h"
#include "assets/polyhedron.h"
#include "assets/texture.h"
#include "assets/tga.h"
#include "support/test_window.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The expected outcome: the message, or "" for a picture or solid that loads.
struct Hostile {
    const char* name;
    Bytes file;
    std::string message;
};

BmpRecipe bmp(std::int32_t width, std::int32_t height, int bits, Bytes pixels) {
    BmpRecipe s;
    s.width = width;
    s.height = height;
    s.bits = bits;
    s.pixels = std::move(pixels);
    if (bits <= 8) s.table.assign(static_cast<std::size_t>(1) << bits, 0x336699);
    return s;
}

Bytes withOffset(BmpRecipe s, std::int64_t offset) {
    s.pixelOffset = offset;
    return buildBmp(s);
}

Bytes withColoursUsed(BmpRecipe s, std::uint32_t count, bool fileHeader) {
    s.coloursUsed = count;
    s.fileHeader = fileHeader;
    return buildBmp(s);
}

Bytes compressed(BmpRecipe s, std::uint32_t compression) {
    s.compression = compression;
    return buildBmp(s);
}

Bytes versioned(BmpRecipe s, int headerSize, std::uint32_t colourSpace = 0x73524742,
                std::uint32_t compression = 0) {
    s.headerSize = headerSize;
    s.colourSpace = colourSpace;
    s.compression = compression;
    return buildBmp(s);
}

// 64 bytes that claim a run-length picture of 16384 x 16384: a run, an end
// of line, a delta and the end of the picture, with no colour table.
Bytes runLengthClaim() {
    BmpRecipe s;
    s.width = 16384;
    s.height = 16384;
    s.bits = 8;
    s.compression = 1;
    s.pixels = {255, 1, 0, 0, 0, 2, 10, 10, 0, 1};
    return buildBmp(s);
}

Bytes masked(BmpRecipe s) {
    s.compression = 3;
    s.masks = {0xFF0000, 0xFF00, 0xFF};
    return buildBmp(s);
}

// The first `keep` bytes.
Bytes cut(Bytes b, std::size_t keep) {
    EXPECT_LT(keep, b.size());
    b.resize(keep);
    return b;
}

const std::string conversion = "Image file conversion error.";
const std::string unknown = "Unknown DIB file format.";

}  // namespace

TEST(Hostile, BmpFiles) {
    ASSERT_EQ(runLengthClaim().size(), 64u);
    const Hostile cases[] = {
        {"one byte", Bytes{'B'}, unknown},
        {"file header cut short", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, unknown},
        {"info header cut short", cut(buildBmp(bmp(1, 1, 24, Bytes(4))), 30), unknown},
        {"no file header, header cut short", Bytes{40, 0, 0, 0, 1, 0, 0, 0, 1, 0}, unknown},
        {"zero width", buildBmp(bmp(0, 1, 24, Bytes(4))), conversion},
        {"negative width", buildBmp(bmp(-4, 1, 24, Bytes(16))), conversion},
        {"height that cannot be negated", buildBmp(bmp(1, INT32_MIN, 24, Bytes(4))), conversion},
        {"width x height overflowing", buildBmp(bmp(0x7FFFFFFF, 0x7FFFFFFF, 32, Bytes(64))), conversion},
        {"wider than the bound", buildBmp(bmp(16385, 1, 8, Bytes(16388))), "Out of memory."},
        {"pixel offset past the end", withOffset(bmp(1, 1, 24, Bytes(4)), 0xFFFFFFF0), conversion},
        {"rows past the end", buildBmp(bmp(2, 100, 24, Bytes(8))), conversion},
        {"last row cut by one byte", cut(buildBmp(bmp(7, 2, 4, Bytes(8))), 14 + 40 + 64 + 7), conversion},
        {"odd 1-bit width, last row unpadded", cut(buildBmp(bmp(33, 2, 1, Bytes(16))), 14 + 40 + 8 + 13), ""},
        {"huge colours used, pixels by offset", withColoursUsed(bmp(2, 1, 8, Bytes(4)), 0xFFFFFFFF, true), ""},
        {"huge colours used, no file header", withColoursUsed(bmp(2, 1, 24, Bytes(8)), 60000, false), conversion},
        {"run-length run past the data", compressed(bmp(4, 1, 8, Bytes{0, 9, 1, 2}), 1), conversion},
        {"run-length delta off the picture", compressed(bmp(4, 2, 8, Bytes{0, 2, 255, 255, 4, 1, 0, 1}), 1), ""},
        {"run-length without an end mark", compressed(bmp(4, 1, 8, Bytes{4, 1}), 1), conversion},
        {"jpeg compression", compressed(bmp(1, 1, 24, Bytes(4)), 4), conversion},
        {"zero bits per pixel", buildBmp(bmp(1, 1, 0, Bytes(4))), conversion},
        {"masks past the end", cut(masked(bmp(1, 1, 32, Bytes(4))), 14 + 40 + 4), conversion},
        {"64-byte run-length file claiming 16384 x 16384", runLengthClaim(), conversion},
        {"version 5 header", versioned(bmp(1, 1, 24, Bytes(4)), 124), ""},
        {"version 4 header cut short", cut(versioned(bmp(1, 1, 24, Bytes(4)), 108), 14 + 100), unknown},
        {"version 5 header with an embedded profile", versioned(bmp(1, 1, 24, Bytes(4)), 124, 0x4D424544), unknown},
        {"version 5 header holding a PNG", versioned(bmp(1, 1, 24, Bytes(4)), 124, 0x73524742, 5), conversion},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = scratchPath("hostile.bmp");
        writeFile(path, c.file);
        ImageRecord* image = nullptr;
        LoadReport report;
        EXPECT_EQ(saidAside([&] { image = loadBmp(path.c_str(), &report); }), "");
        EXPECT_EQ(report.message, c.message);
        if (c.message.empty()) {
            ASSERT_NE(image, nullptr);
            std::free(image->pixels);
            std::free(image);
        } else {
            EXPECT_EQ(image, nullptr);
        }
    }
}

TEST(Hostile, TgaFiles) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    const std::string size = "Bad image size (1 to 16384 pixels per side)";
    const std::string cutShort = "File too short for its picture (the rest is black)";
    const Hostile cases[] = {
        {"header cut short", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, "File too short for a TGA header"},
        {"negative width", tgaHeader(2, 0x8000, 1, 24) + Bytes(3), size},
        {"negative height", tgaHeader(2, 1, 0xFFFF, 24) + Bytes(3), size},
        {"largest sides at 32 bits", tgaHeader(2, 0x7FFF, 0x7FFF, 32), size},
        {"greyscale of 0 bits", tgaHeader(3, 4, 4, 0), "Unsupported greyscale format (8 bits per pixel only)"},
        {"run packets past the picture", tgaHeader(10, 2, 2, 24) + Bytes{0xFF, 1, 2, 3, 0xFF, 4, 5, 6}, ""},
        // Files that end before their picture load, with a line saying so.
        {"raw packet past the file", tgaHeader(10, 2, 2, 32) + Bytes{0x7F, 1, 2, 3, 4, 5}, cutShort},
        {"packet header then nothing", tgaHeader(10, 2, 2, 24) + Bytes{0x85}, cutShort},
        {"pixels cut short", tgaHeader(2, 16, 16, 32) + Bytes(5, 7), cutShort},
        // Memory follows the file, not what its header claims.
        {"18 bytes claiming 16384 x 16384 at 32 bits", tgaHeader(2, 16384, 16384, 32),
         "File too short for its picture (more than 4 MiB of it missing)"},
        {"one run packet claiming 16384 x 16384", tgaHeader(10, 16384, 16384, 24) + Bytes{0xFF, 1, 2, 3},
         "File too short for its picture (its run-length data cannot fill it)"},
        {"20-byte image ID", withTgaIdAndMap(tgaHeader(2, 2, 1, 24) + Bytes(6, 9), 20), ""},
        {"image ID past the end", cut(withTgaIdAndMap(tgaHeader(2, 2, 1, 24), 20), 30),
         "Image ID or colour map runs past the end of the file"},
        {"colour map past the end", cut(withTgaIdAndMap(tgaHeader(2, 2, 1, 24), 0, 65535, 32), 300),
         "Image ID or colour map runs past the end of the file"},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = scratchPath("hostile.tga");
        writeFile(path, c.file);
        TgaImage image{};
        int result = -1;
        LoadReport report;
        EXPECT_EQ(saidAside([&] { result = loadTga(path.c_str(), &image, TEXLOAD_LUMINANCE, &report); }), "");
        EXPECT_EQ(report.message, c.message.empty() ? "" : c.message + " - " + path);
        if (c.message.empty() || c.message == cutShort) {
            EXPECT_EQ(result, 1);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(image.width, 128);
        }
        freeTgaPixels(&image);
    }
}

TEST(Hostile, PolyhedronFiles) {
    // 9-character groups: the first 4095-character piece ends between two.
    std::string aligned;
    while (aligned.size() < 5000) aligned += "{1, 2, 3}{3, 2, 1}";
    // Longer groups: one of them straddles the end of the piece.
    std::string straddling;
    while (straddling.size() < 5000) straddling += "{1, 2, 3}{-3, 2.5, 1e-3}";
    const Hostile cases[] = {
        {"NaN coordinate", text("{0, 0, 0}{NaN, 1, 1}\n"), "a coordinate is not a finite number"},
        {"overflowing coordinate", text("{0, 0, 0}{1, 1, -9e99}\n"), "a coordinate is not a finite number"},
        {"two numbers", text("{0, 0, 0}{1, 1}\n"), "a corner needs three numbers"},
        {"binary", text(std::string("\x01\x02\x03\x00{1,2,3}\n\xff\xfe\n", 15)), "no vertices"},
        {"a single point", text("{5, 5, 5}\n"), "every vertex lies at vertex 0, so the solid has no size"},
        {"5000 characters of nothing", text(std::string(5000, 'x')), "no vertices"},
        {"5000 characters of groups", text(aligned + "\n"), ""},
        {"a group across the 4095th character", text(straddling + "\n"),
         "a corner is cut in two where the line passes 4095 characters"},
        {"no line end at the end", text("{0, 0, 0}{1, 0, 0}{0, 1, 0}"), ""},
        {"group without its brace", text("{0, 0, 0}{1, 0, 0}{0, 1, 0"), ""},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = scratchPath("hostile.txt");
        writeFile(path, c.file);
        Polyhedron* solid = nullptr;
        LoadReport report;
        std::string out = captureStdout([&] { solid = loadPolyhedron(path.c_str(), &report); });
        if (c.message.empty()) {
            ASSERT_NE(solid, nullptr);
            EXPECT_NE(out.find(" faces, "), std::string::npos);
            EXPECT_EQ(report.message, "");
            freePolyhedron(solid);
            continue;
        }
        EXPECT_EQ(solid, nullptr);
        const std::string& said = report.message;
        EXPECT_EQ(said.rfind("error in " + path, 0), 0u) << said;
        EXPECT_EQ(said.substr(said.size() - std::min(said.size(), c.message.size())), c.message) << said;
    }
}
