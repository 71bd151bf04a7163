// The BMP loader: row order and padding, colour tables and their lengths,
// core, info, version 4 and 5 headers, files without a file header,
// top-down rows, bit fields, run-length data and how much it may claim, and
// what failed loads report.
#include "assets/bmp.h"
#include "assets/bmp_decode.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// The decoded R, G, B bytes, or an empty vector after a failure.
Bytes decode(const Bytes& file, ImageRecord* size = nullptr) {
    BmpDecoding d = decodeBmp(file.data(), file.size());
    if (!d.image) return {};
    Bytes rgb(d.image->pixels, d.image->pixels + static_cast<std::size_t>(d.image->width) * d.image->height * 3);
    if (size) *size = *d.image;
    std::free(d.image->pixels);
    std::free(d.image);
    return rgb;
}

BmpFailure failure(const Bytes& file) {
    BmpDecoding d = decodeBmp(file.data(), file.size());
    if (d.image) {
        std::free(d.image->pixels);
        std::free(d.image);
    }
    return d.failure;
}

const std::vector<std::uint32_t> fourColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

}  // namespace

TEST(Bmp, TwentyFourBitRowsLoseTheirPaddingAndKeepTheFileOrder) {
    BmpRecipe s;
    s.width = 2;
    s.height = 2;
    s.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    std::string path = scratchPath("two.bmp");
    writeFile(path, buildBmp(s));
    ImageRecord* image = nullptr;
    LoadReport report{"stale", "stale"};
    EXPECT_EQ(saidAside([&] { image = loadBmp(path.c_str(), &report); }), "");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(report.message + report.detail, "");
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(Bytes(image->pixels, image->pixels + 12), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
    std::free(image->pixels);
    std::free(image);

    // Widths 1, 2, 3 and 5 pad their file rows to 4, 8, 12 and 16 bytes.
    for (int width : {1, 2, 3, 5}) {
        BmpRecipe row;
        row.width = width;
        row.height = 2;
        std::size_t stride = (width * 3 + 3) / 4 * 4;
        for (int r = 0; r < 2; r++) {
            for (std::size_t i = 0; i < stride; i++) {
                row.pixels.push_back(i < static_cast<std::size_t>(width) * 3 ? static_cast<std::uint8_t>(r * 100 + i) : 0xEE);
            }
        }
        Bytes rgb = decode(buildBmp(row));
        ASSERT_EQ(rgb.size(), static_cast<std::size_t>(width) * 6) << width;
        EXPECT_EQ(rgb[0], 2);
        EXPECT_EQ(rgb[width * 3], 102) << width;  // the second row starts past the padding
        EXPECT_EQ(std::count(rgb.begin(), rgb.end(), 0xEE), 0);
    }
}

TEST(Bmp, ColourTablesFollowColoursUsedAndTheirHeader) {
    // 8 bits, colours used 0: a 256-entry table.
    BmpRecipe full;
    full.width = 4;
    full.bits = 8;
    full.table.assign(256, 0);
    full.table[200] = 0x123456;
    full.table[1] = 0xFF0000;
    full.pixels = {200, 1, 0, 0};
    EXPECT_EQ(decode(buildBmp(full)), (Bytes{0x12, 0x34, 0x56, 255, 0, 0, 0, 0, 0, 0, 0, 0}));

    // Colours used 16, no file header: the pixels follow those 16 entries,
    // and an index past the table is black.
    BmpRecipe sixteen;
    sixteen.fileHeader = false;
    sixteen.width = 4;
    sixteen.bits = 8;
    sixteen.coloursUsed = 16;
    sixteen.table = std::vector<std::uint32_t>(16, 0x010203);
    sixteen.table[15] = 0xABCDEF;
    sixteen.pixels = {15, 16, 255, 0};
    EXPECT_EQ(decode(buildBmp(sixteen)), (Bytes{0xAB, 0xCD, 0xEF, 0, 0, 0, 0, 0, 0, 1, 2, 3}));

    // Colours used beyond what 4 bits can index is 16.
    BmpRecipe many;
    many.fileHeader = false;
    many.width = 1;
    many.bits = 4;
    many.coloursUsed = 300;
    many.table = std::vector<std::uint32_t>(16, 0x0000FF);
    many.pixels = {0xF0, 0, 0, 0};
    EXPECT_EQ(decode(buildBmp(many)), (Bytes{0, 0, 255}));
    DibHeader header{};
    header.size = 40;
    header.bitsPerPixel = 4;
    header.coloursUsed = 300;
    EXPECT_EQ(dibColourCount(header), 16u);
    header.coloursUsed = 0x10005;  // taken as a 16-bit count
    EXPECT_EQ(dibColourCount(header), 5u);
    header.bitsPerPixel = 24;
    header.coloursUsed = 0;
    EXPECT_EQ(dibColourCount(header), 0u);
    header.size = 12;
    header.bitsPerPixel = 1;
    header.coloursUsed = 7;
    EXPECT_EQ(dibColourCount(header), 2u);

    // The same 8-bit picture with a core header (3-byte entries) and with
    // an info header decodes alike, with or without the file header.
    for (bool fileHeader : {true, false}) {
        BmpRecipe core;
        core.fileHeader = fileHeader;
        core.headerSize = 12;
        core.width = 3;
        core.height = 2;
        core.bits = 8;
        core.table.assign(256, 0x808080);
        core.table[7] = 0x102030;
        core.pixels = {7, 0, 7, 0, 0, 7, 0, 0};
        BmpRecipe info = core;
        info.headerSize = 40;
        Bytes a = decode(buildBmp(core));
        ASSERT_EQ(a.size(), 18u);
        EXPECT_EQ(a, decode(buildBmp(info)));
        EXPECT_EQ(a[0], 0x10);
        EXPECT_EQ(a[3], 0x80);
    }
}

TEST(Bmp, OneAndFourBitPixelsAtOddWidths) {
    BmpRecipe one;
    one.width = 9;
    one.height = 2;
    one.bits = 1;
    one.table = {0x000000, 0xFFFFFF};
    one.pixels = {0xA5, 0x80, 0, 0, 0x00, 0x7F, 0xFF, 0xFF};
    Bytes rgb = decode(buildBmp(one));
    ASSERT_EQ(rgb.size(), 54u);
    const int first[9] = {1, 0, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 9; x++) EXPECT_EQ(rgb[x * 3], first[x] * 255) << x;
    EXPECT_EQ(rgb[27 + 8 * 3], 0);  // bit 8 of the second row, not its padding

    BmpRecipe four;
    four.width = 3;
    four.bits = 4;
    four.table = fourColours;
    four.pixels = {0x12, 0x3F, 0, 0};
    EXPECT_EQ(decode(buildBmp(four)), (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255}));
}

TEST(Bmp, TopDownFilesComeOutInBottomUpOrder) {
    BmpRecipe up;
    up.width = 1;
    up.height = 3;
    up.pixels = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0};
    BmpRecipe down = up;
    down.height = -3;
    down.pixels = {3, 3, 3, 0, 2, 2, 2, 0, 1, 1, 1, 0};
    ImageRecord size{};
    Bytes a = decode(buildBmp(up));
    Bytes b = decode(buildBmp(down), &size);
    EXPECT_EQ(a, (Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(a, b);
    EXPECT_EQ(size.height, 3);
}

TEST(Bmp, SixteenAndThirtyTwoBitPixelsAndBitFields) {
    // 5-5-5 without masks; all ones become 255.
    BmpRecipe plain;
    plain.width = 2;
    plain.bits = 16;
    plain.pixels = {0x00, 0x7C, 0xFF, 0x03};  // pure red, then green and blue all ones
    EXPECT_EQ(decode(buildBmp(plain)), (Bytes{255, 0, 0, 0, 255, 255}));

    // 5-6-5 through masks, also without the file header.
    for (bool fileHeader : {true, false}) {
        BmpRecipe fields;
        fields.fileHeader = fileHeader;
        fields.width = 2;
        fields.bits = 16;
        fields.compression = 3;
        fields.masks = {0xF800, 0x07E0, 0x001F};
        fields.pixels = {0xE0, 0x07, 0x10, 0x80};  // green 63; red 16, blue 16
        EXPECT_EQ(decode(buildBmp(fields)), (Bytes{0, 255, 0, 132, 0, 132})) << fileHeader;
    }

    // 32 bits: B, G, R and a fourth byte that plays no part; with masks
    // the channels sit where the masks say.
    BmpRecipe wide;
    wide.width = 2;
    wide.bits = 32;
    wide.pixels = {1, 2, 3, 99, 4, 5, 6, 0};
    EXPECT_EQ(decode(buildBmp(wide)), (Bytes{3, 2, 1, 6, 5, 4}));
    wide.compression = 3;
    wide.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
    EXPECT_EQ(decode(buildBmp(wide)), (Bytes{1, 2, 99, 4, 5, 0}));
    wide.masks = {0x00000F0F, 0x0000FF00, 0xFF000000};  // a mask with a gap
    EXPECT_EQ(failure(buildBmp(wide)), BmpFailure::conversionError);
}

TEST(Bmp, RunLengthPicturesDecodeWithDeltasAndLineEnds) {
    BmpRecipe rle8;
    rle8.width = 4;
    rle8.height = 3;
    rle8.bits = 8;
    rle8.compression = 1;
    rle8.table = fourColours;
    rle8.pixels = {3, 1,           // three of colour 1
                   0, 0,           // end of line (the fourth pixel stays black)
                   0, 2, 1, 1,     // move one right and one up
                   0, 3, 2, 3, 1, 0,  // three pixels as they are, padded
                   5, 2,           // a run past the row's end is cut
                   0, 1};          // end of picture
    Bytes rgb = decode(buildBmp(rle8));
    ASSERT_EQ(rgb.size(), 36u);
    EXPECT_EQ(Bytes(rgb.begin(), rgb.begin() + 12), (Bytes{255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(rgb.begin() + 12, rgb.begin() + 24), Bytes(12, 0));
    EXPECT_EQ(Bytes(rgb.begin() + 24, rgb.end()),
              (Bytes{0, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0}));

    BmpRecipe rle4;
    rle4.width = 5;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.table = fourColours;
    rle4.pixels = {3, 0x12, 0, 3, 0x30, 0x10, 0, 1};  // 1 2 1, then 3 0 1 as they are
    EXPECT_EQ(decode(buildBmp(rle4)),
              (Bytes{255, 0, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0}));

    // Data that stops before the end-of-picture mark, and run-length rows
    // stored top-down, are conversion errors.
    rle4.pixels = {3, 0x12, 0, 3, 0x30};
    EXPECT_EQ(failure(buildBmp(rle4)), BmpFailure::conversionError);
    rle8.height = -3;
    EXPECT_EQ(failure(buildBmp(rle8)), BmpFailure::conversionError);
}

TEST(Bmp, RunLengthDataMayNotClaimMoreThanItCouldWrite) {
    // 255 pixels per 2 bytes at most: 4 bytes of data may make 510 pixels
    // (the delta and end of picture leave all but 255 of them black).
    BmpRecipe s;
    s.bits = 8;
    s.compression = 1;
    s.table = fourColours;
    s.height = 1;
    s.pixels = {255, 1, 0, 1};
    s.width = 510;
    Bytes rgb = decode(buildBmp(s));
    ASSERT_EQ(rgb.size(), 510u * 3);
    EXPECT_EQ(rgb[254 * 3], 255);
    EXPECT_EQ(rgb[255 * 3], 0);
    s.width = 511;
    EXPECT_EQ(failure(buildBmp(s)), BmpFailure::conversionError);
    // A delta reaches far with few bytes, but counts no more than a run.
    s.width = 16384;
    s.height = 16384;
    s.pixels = {0, 2, 255, 255, 0, 2, 255, 255, 0, 1};
    EXPECT_EQ(failure(buildBmp(s)), BmpFailure::conversionError);
    s.compression = 2;
    s.bits = 4;
    EXPECT_EQ(failure(buildBmp(s)), BmpFailure::conversionError);
}

TEST(Bmp, VersionFourAndFiveHeadersReadAsTheInfoHeaderWithItsMasks) {
    BmpRecipe palette;
    palette.width = 3;
    palette.height = 2;
    palette.bits = 8;
    palette.coloursUsed = 4;
    palette.table = fourColours;
    palette.pixels = {1, 2, 3, 0, 3, 0, 1, 0};
    BmpRecipe rle = palette;
    rle.compression = 1;
    rle.pixels = {2, 1, 1, 3, 0, 0, 3, 2, 0, 1};
    BmpRecipe rgb;
    rgb.width = 1;
    rgb.height = 2;
    rgb.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    // Masks count only with bit fields: these 5-6-5 ones are not used.
    BmpRecipe plain16;
    plain16.width = 2;
    plain16.bits = 16;
    plain16.masks = {0xF800, 0x07E0, 0x001F};
    plain16.pixels = {0x00, 0x7C, 0xFF, 0x03};
    BmpRecipe fields16 = plain16;
    fields16.compression = 3;
    fields16.pixels = {0xE0, 0x07, 0x10, 0x80};
    BmpRecipe fields32;
    fields32.width = 2;
    fields32.bits = 32;
    fields32.compression = 3;
    fields32.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
    fields32.pixels = {1, 2, 3, 99, 4, 5, 6, 0};
    for (const BmpRecipe& info : {palette, rle, rgb, plain16, fields16, fields32}) {
        const Bytes expected = decode(buildBmp(info));
        ASSERT_FALSE(expected.empty());
        for (int headerSize : {108, 124}) {
            for (bool fileHeader : {true, false}) {
                BmpRecipe s = info;
                s.headerSize = headerSize;
                s.fileHeader = fileHeader;
                EXPECT_EQ(decode(buildBmp(s)), expected) << headerSize << " " << info.bits;
            }
        }
    }
    EXPECT_EQ(decode(buildBmp(plain16)), (Bytes{255, 0, 0, 0, 255, 255}));

    // Colour space and gamma play no part; a profile, or a JPEG or PNG
    // picture inside, is refused.
    BmpRecipe v5 = rgb;
    v5.headerSize = 124;
    v5.colourSpace = 0;  // calibrated, with end points and gamma
    EXPECT_EQ(decode(buildBmp(v5)), decode(buildBmp(rgb)));
    for (std::uint32_t profile : {0x4D424544u, 0x4C494E4Bu}) {  // 'MBED', 'LINK'
        v5.colourSpace = profile;
        EXPECT_EQ(failure(buildBmp(v5)), BmpFailure::unknownFormat);
    }
    v5.colourSpace = 0x73524742;
    for (std::uint32_t compression : {4u, 5u}) {
        v5.compression = compression;
        EXPECT_EQ(failure(buildBmp(v5)), BmpFailure::conversionError);
    }
}

TEST(Bmp, FailuresAreReportedNotShown) {
    std::string missing = scratchPath("missing.bmp");
    std::string empty = scratchPath("empty.bmp");
    writeFile(empty, std::string());
    // A 64-byte header (OS/2's second version), and a version 5 header
    // that names a colour profile.
    std::string os2 = scratchPath("os2.bmp");
    BmpRecipe s;
    s.headerSize = 64;
    s.pixels = {0, 0, 0, 0};
    writeFile(os2, buildBmp(s));
    std::string profiled = scratchPath("profiled.bmp");
    s.headerSize = 124;
    s.colourSpace = 0x4D424544;
    writeFile(profiled, buildBmp(s));

    // The notice text, and the line naming the file and what exactly (none
    // for a file that cannot be read at all).
    const std::string unknown = "Unknown DIB file format.";
    struct Case {
        std::string path, message, detail;
    } cases[] = {
        {missing, "Failed to open DIB file " + missing + ".\n", ""},
        {empty, "Failed to open DIB file " + empty + ".\n", ""},
        {os2, unknown,
         os2 + ": the bitmap header is neither a core (12 bytes) nor an info (40, 108 or 124 bytes) header"},
        {profiled, unknown, profiled + ": the bitmap header refers to a colour profile, which is not supported"},
    };
    for (const Case& c : cases) {
        LoadReport report;
        EXPECT_EQ(saidAside([&] { EXPECT_EQ(loadBmp(c.path.c_str(), &report), nullptr); }), "");
        EXPECT_EQ(report.message, c.message);
        EXPECT_EQ(report.detail, c.detail);
    }

    // A name too long for the 256-character message is shortened, and the
    // sentence still ends as it should.
    std::string longName = "/nowhere/" + std::string(400, 'x') + ".bmp";
    LoadReport report;
    EXPECT_EQ(loadBmp(longName.c_str(), &report), nullptr);
    const std::string& text = report.message;
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.rfind("Failed to open DIB file /nowhere/xxx", 0), 0u);
    EXPECT_EQ(text.substr(253), ".\n");
    // Without a record to fill, a failure is still a null result.
    EXPECT_EQ(loadBmp(os2.c_str(), nullptr), nullptr);
}
