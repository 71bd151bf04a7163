// The TGA loader: pixel order and row reversal, the greyscale flags,
// run-length packets, image IDs and colour maps, short files and how much
// they may claim, the lines the loader reports and the checkerboard that
// replaces a failed picture (also on the bound texture).
#include "assets/texture.h"
#include "assets/tga.h"
#include "support/test_window.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Loaded {
    int result = -1;
    TgaImage image{};
    std::string line;  // what the loader reported
    Bytes pixels() const {
        return image.pixels ? Bytes(image.pixels, image.pixels + image.imageSize) : Bytes();
    }
};

Loaded load(const Bytes& file, std::uint32_t flags, const std::string& name = "picture.tga") {
    std::string path = scratchPath(name);
    writeFile(path, file);
    Loaded loaded;
    LoadReport report;
    EXPECT_EQ(saidAside([&] { loaded.result = loadTga(path.c_str(), &loaded.image, flags, &report); }), "");
    loaded.line = report.message;
    return loaded;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 1 x 1 picture whose header announces an ID of `idLength` bytes and a
// colour map of `mapEntries` 3-byte entries that the file does not hold.
Bytes pointingPastTheEnd(int idLength, int mapEntries) {
    Bytes file = tgaHeader(2, 1, 1, 24) + Bytes{1, 2, 3};
    file[0] = static_cast<std::uint8_t>(idLength);
    if (mapEntries > 0) {
        file[1] = 1;
        file[5] = mapEntries & 0xFF;
        file[6] = (mapEntries >> 8) & 0xFF;
        file[7] = 24;
    }
    return file;
}

void expectCheckerboard(const TgaImage& image) {
    EXPECT_EQ(image.imageType, 3);
    EXPECT_EQ(image.width, 128);
    EXPECT_EQ(image.height, 128);
    EXPECT_EQ(image.bitsPerPixel, 8);
    EXPECT_EQ(image.bytesPerPixel, 1);
    EXPECT_EQ(image.imageSize, 16384);
    EXPECT_EQ(image.glFormat, static_cast<GLenum>(GL_LUMINANCE));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.pixels[0], 255);
    EXPECT_EQ(image.pixels[16], 0);
    EXPECT_EQ(image.pixels[16 * 128], 0);
    EXPECT_EQ(image.pixels[16 * 128 + 16], 255);
    EXPECT_EQ(image.pixels[127 * 128 + 127], 255);
}

}  // namespace

TEST(Tga, TrueColourPixelsAreSwappedAndRowsReversed) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    // Three rows of two pixels, stored B, G, R; the top-left origin flag
    // changes nothing.
    for (int descriptor : {0x00, 0x20}) {
        Loaded rgb = load(tgaHeader(2, 2, 3, 24, descriptor) +
                              Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
                          0);
        EXPECT_EQ(rgb.result, 1);
        EXPECT_EQ(rgb.line, "");
        EXPECT_EQ(rgb.image.glFormat, static_cast<GLenum>(GL_RGB));
        EXPECT_EQ(rgb.image.bytesPerPixel, 3);
        EXPECT_EQ(rgb.image.imageSize, 18);
        EXPECT_EQ(rgb.pixels(), (Bytes{15, 14, 13, 18, 17, 16, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
        freeTgaPixels(&rgb.image);
        EXPECT_EQ(rgb.image.pixels, nullptr);
    }
    Loaded rgba = load(tgaHeader(2, 1, 2, 32, 8) + Bytes{1, 2, 3, 4, 5, 6, 7, 8}, TEXLOAD_ALPHA);
    EXPECT_EQ(rgba.result, 1);
    EXPECT_EQ(rgba.image.glFormat, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(rgba.pixels(), (Bytes{7, 6, 5, 8, 3, 2, 1, 4}));
    freeTgaPixels(&rgba.image);
    // A single row stays as it is.
    Loaded row = load(tgaHeader(2, 2, 1, 24) + Bytes{1, 2, 3, 4, 5, 6}, 0);
    EXPECT_EQ(row.pixels(), (Bytes{3, 2, 1, 6, 5, 4}));
    freeTgaPixels(&row.image);
}

TEST(Tga, GreyscaleNeedsAFlagAndLuminanceWins) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    Bytes grey = tgaHeader(3, 3, 3, 8) + Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9};
    Loaded both = load(grey, TEXLOAD_LUMINANCE | TEXLOAD_ALPHA);
    EXPECT_EQ(both.result, 1);
    EXPECT_EQ(both.image.glFormat, static_cast<GLenum>(GL_LUMINANCE));
    EXPECT_EQ(both.pixels(), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));  // middle row stays
    Loaded alpha = load(grey, TEXLOAD_ALPHA);
    EXPECT_EQ(alpha.image.glFormat, static_cast<GLenum>(GL_ALPHA));
    Loaded neither = load(grey, TEXLOAD_4BIT, "grey.tga");
    EXPECT_EQ(neither.result, 0);
    EXPECT_EQ(neither.line, "Must be LUMINANCE or ALPHA greyscale - " + scratchPath("grey.tga"));
    expectCheckerboard(neither.image);
    for (Loaded* l : {&both, &alpha, &neither}) freeTgaPixels(&l->image);
}

TEST(Tga, RunLengthPacketsRunAcrossRowsAndStopAtThePictureEnd) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    // 3 x 2 pixels: a run of two (crossing nothing), a raw pixel, then a
    // run of 128 that crosses into the second row and is cut at the end.
    Bytes packets = {0x81, 10, 20, 30, 0x00, 1, 2, 3, 0xFF, 7, 8, 9};
    Loaded cut = load(tgaHeader(10, 3, 2, 24) + packets, 0);
    EXPECT_EQ(cut.result, 1);
    EXPECT_EQ(cut.image.glFormat, static_cast<GLenum>(GL_RGB));
    EXPECT_EQ(cut.pixels(), (Bytes{9, 8, 7, 9, 8, 7, 9, 8, 7, 30, 20, 10, 30, 20, 10, 3, 2, 1}));
    freeTgaPixels(&cut.image);

    // 0x80 is a run of one and 0x7F 128 raw pixels; the file ends inside
    // the raw packet and the rest stays 0.
    Bytes raw = {0x80, 1, 2, 3, 4, 0x7F, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    Loaded shortRle = load(tgaHeader(10, 4, 1, 32) + raw, 0);
    EXPECT_EQ(shortRle.result, 1);
    EXPECT_EQ(shortRle.pixels(), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 0, 0, 0, 0}));
    freeTgaPixels(&shortRle.image);

    // The longest packets: 0x7F is 128 raw pixels, 0xFF a run of 128.
    Bytes many = tgaHeader(10, 128, 2, 24);
    many.push_back(0x7F);
    for (int i = 0; i < 128; i++) many.insert(many.end(), {0, 0, static_cast<std::uint8_t>(i)});
    many.insert(many.end(), {0xFF, 200, 100, 50});
    Loaded full = load(many, 0);
    Bytes pixels = full.pixels();
    ASSERT_EQ(pixels.size(), 768u);
    EXPECT_EQ(pixels[0], 50);                // the run is the last row in the file
    EXPECT_EQ(pixels[127 * 3 + 2], 200);
    EXPECT_EQ(pixels[384 + 5 * 3], 5);       // raw pixel 5, red from the third byte
    EXPECT_EQ(pixels[384 + 127 * 3], 127);
    freeTgaPixels(&full.image);
}

TEST(Tga, ShortUncompressedFilesLeaveZerosThatEndUpInTheFirstRows) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    Loaded part = load(tgaHeader(2, 2, 2, 24) + Bytes{1, 2, 3, 4, 5, 6, 7}, 0);
    EXPECT_EQ(part.result, 1);
    EXPECT_EQ(part.pixels(), (Bytes{0, 0, 7, 0, 0, 0, 3, 2, 1, 6, 5, 4}));
    freeTgaPixels(&part.image);

    // One and a half of six rows: the reversal moves the two rows the file
    // filled to the end and leaves the four zero rows before them zero.
    Loaded few = load(tgaHeader(2, 2, 6, 24) + Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}, 0);
    EXPECT_EQ(few.result, 1);
    Bytes expected(36, 0);
    const Bytes filled = {9, 8, 7, 0, 0, 0, 3, 2, 1, 6, 5, 4};
    std::copy(filled.begin(), filled.end(), expected.begin() + 24);
    EXPECT_EQ(few.pixels(), expected);
    freeTgaPixels(&few.image);
}

TEST(Tga, TheImageIdAndAColourMapAreSkipped) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    Bytes rgb = tgaHeader(2, 2, 2, 24) + Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes rle = tgaHeader(10, 3, 1, 32) + Bytes{0x81, 1, 2, 3, 4, 0x00, 5, 6, 7, 8};
    Bytes grey = tgaHeader(3, 2, 2, 8) + Bytes{1, 2, 3, 4};
    struct Case {
        Bytes plain;
        Bytes dressed;
    } cases[] = {
        {rgb, withTgaIdAndMap(rgb, 20)},
        {rgb, withTgaIdAndMap(rgb, 255, 3, 24)},
        {rgb, withTgaIdAndMap(rgb, 0, 2, 15)},   // 15-bit entries take 2 bytes
        {rle, withTgaIdAndMap(rle, 1, 256, 32)},
        {grey, withTgaIdAndMap(grey, 7, 5, 16)},
    };
    for (const Case& c : cases) {
        Loaded plain = load(c.plain, TEXLOAD_LUMINANCE);
        Loaded dressed = load(c.dressed, TEXLOAD_LUMINANCE);
        EXPECT_EQ(dressed.result, 1);
        EXPECT_EQ(dressed.line, "");
        EXPECT_EQ(dressed.pixels(), plain.pixels());
        freeTgaPixels(&plain.image);
        freeTgaPixels(&dressed.image);
    }
    // A map-type byte of 0 says there is no map, whatever the length says.
    Bytes stray = rgb;
    stray[5] = 9;
    stray[7] = 24;
    Loaded ignored = load(stray, 0);
    Loaded plain = load(rgb, 0);
    EXPECT_EQ(ignored.pixels(), plain.pixels());
    freeTgaPixels(&ignored.image);
    freeTgaPixels(&plain.image);
}

TEST(Tga, APictureMayNotClaimMoreThanItsFileCouldFill) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    const std::string cutShort = "File too short for its picture (the rest is black)";
    const std::string tooShort = "File too short for its picture (more than 4 MiB of it missing)";
    const std::string runLength = "File too short for its picture (its run-length data cannot fill it)";
    ASSERT_EQ(kTgaMaxMissingBytes, 2048 * 2048);
    // Uncompressed: at most kTgaMaxMissingBytes may be missing, and they are 0.
    struct Case {
        Bytes file;
        std::string line;
    } cases[] = {
        {tgaHeader(3, 2048, 2048, 8), cutShort},
        {tgaHeader(3, 2048, 2049, 8), tooShort},
        {tgaHeader(3, 2048, 2049, 8) + Bytes(2048, 1), cutShort},
        {tgaHeader(2, 4096, 4096, 32) + Bytes(1000, 1), tooShort},
        // Run-length: one packet of 1 + 3 bytes gives at most 128 pixels; a
        // packet cut by the end of the file counts whole.
        {tgaHeader(10, 128, 1, 24) + Bytes{0xFF, 1, 2, 3}, ""},
        {tgaHeader(10, 129, 1, 24) + Bytes{0xFF, 1, 2, 3}, runLength},
        {tgaHeader(10, 64, 4, 24) + Bytes{0xFF, 1, 2, 3, 0xFF, 1}, cutShort},
        {tgaHeader(10, 16384, 16384, 32) + Bytes{0xFF, 1, 2, 3, 4}, runLength},
    };
    for (const Case& c : cases) {
        Loaded loaded = load(c.file, TEXLOAD_LUMINANCE, "claim.tga");
        std::string path = scratchPath("claim.tga");
        EXPECT_EQ(loaded.line, c.line.empty() ? "" : c.line + " - " + path);
        if (c.line == tooShort || c.line == runLength) {
            EXPECT_EQ(loaded.result, 0);
            expectCheckerboard(loaded.image);
        } else {
            EXPECT_EQ(loaded.result, 1) << c.line;
            EXPECT_EQ(loaded.image.width, c.file[12] | c.file[13] << 8);
            // What the file supplied ends up in the last rows in memory.
            if (c.file.size() > 18) {
                EXPECT_EQ(loaded.image.pixels[loaded.image.imageSize - 1], 1);
            }
        }
        freeTgaPixels(&loaded.image);
    }
}

TEST(Tga, FailuresReportOneLineAndUploadTheCheckerboardToTheBoundTexture) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    TgaImage image{};
    std::string missing = scratchPath("missing.tga");
    LoadReport report;
    EXPECT_EQ(saidAside([&] { EXPECT_EQ(loadTga(missing.c_str(), &image, 0, &report), 0); }), "");
    EXPECT_EQ(report.message, "File not found - " + missing);
    expectCheckerboard(image);
    freeTgaPixels(&image);

    GLint internal = 0, width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(internal, GL_LUMINANCE4);
    EXPECT_EQ(width, 128);
    Bytes read(128 * 128);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, read.data());
    EXPECT_EQ(read[0], 255);
    EXPECT_EQ(read[16], 0);
    EXPECT_EQ(read[16 * 128 + 16], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    struct Case {
        Bytes file;
        std::uint32_t flags;
        const char* message;
    } cases[] = {
        {tgaHeader(1, 2, 2, 8) + Bytes(4), 0, "8-bit colour no longer supported"},
        {tgaHeader(9, 2, 2, 8) + Bytes(4), 0, "8-bit colour no longer supported"},
        {tgaHeader(2, 2, 2, 16) + Bytes(8), 0, "Unsupported RGB format"},
        {tgaHeader(10, 2, 2, 16) + Bytes(8), 0, "Unsupported compressed RGB format"},
        {tgaHeader(0, 2, 2, 24), 0, "Unsupported image type"},
        {tgaHeader(11, 2, 2, 8) + Bytes{0x83, 9}, TEXLOAD_LUMINANCE, "Unsupported image type"},
        {tgaHeader(3, 2, 2, 16) + Bytes(8), TEXLOAD_LUMINANCE,
         "Unsupported greyscale format (8 bits per pixel only)"},
        {tgaHeader(2, 0, 2, 24), 0, "Bad image size (1 to 16384 pixels per side)"},
        {tgaHeader(2, 16385, 1, 24), 0, "Bad image size (1 to 16384 pixels per side)"},
        {Bytes{0, 0, 2, 0, 0}, 0, "File too short for a TGA header"},
        {pointingPastTheEnd(200, 0), 0, "Image ID or colour map runs past the end of the file"},
        {pointingPastTheEnd(0, 1000), 0, "Image ID or colour map runs past the end of the file"},
    };
    for (const Case& c : cases) {
        Loaded failed = load(c.file, c.flags, "bad.tga");
        EXPECT_EQ(failed.result, 0) << c.message;
        EXPECT_EQ(failed.line, std::string(c.message) + " - " + scratchPath("bad.tga"));
        expectCheckerboard(failed.image);
        freeTgaPixels(&failed.image);
    }
}
