// Our BMP and TGA decoders against an independent one: ImageMagick writes
// each header kind, depth and compression (TGA files with and without an
// image ID), decodes its own file, and our pixels must match its pixels byte
// for byte.
#include "assets/bmp_decode.h"
#include "assets/texture.h"
#include "assets/tga.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// ImageMagick's command-line tool under whichever name this system has.
std::string imageMagick() {
    for (const char* name : {"magick", "convert-im6.q16", "convert"}) {
        std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return name;
    }
    return "";
}

bool run(const std::string& command) {
    int status = std::system((command + " 2>&1").c_str());
    EXPECT_EQ(status, 0) << command;
    return status == 0;
}

// A picture with runs (every third row one colour) and scattered pixels
// drawn from `colours` distinct colours, as a PAM file with alpha.
void writeSource(const std::string& path, int width, int height, int colours, bool grey) {
    std::string data;
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFFu;
    };
    for (int y = 0; y < height; y++) {
        std::uint32_t rowColour = next() % static_cast<std::uint32_t>(colours);
        for (int x = 0; x < width; x++) {
            std::uint32_t c = (y % 3 == 0) ? rowColour : next() % static_cast<std::uint32_t>(colours);
            // Spread the palette indices over distinct colours.
            std::uint32_t rgb = (c * 2654435761u) >> 8;
            std::uint8_t r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
            if (grey) g = b = r;
            data += static_cast<char>(r);
            data += static_cast<char>(g);
            data += static_cast<char>(b);
            data += static_cast<char>((x * 37 + y * 11) & 0xFF);
        }
    }
    writeFile(path, "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
                        "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" + data);
}

std::uint32_t le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

void put32(std::string& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; i++) b[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A version 5 BMP file as the same file with a version 4 header: the
// 108-byte header is the first 108 bytes of the 124-byte one.
std::string asVersionFour(std::string b) {
    b.erase(14 + 108, 16);
    put32(b, 14, 108);
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, le32(b, 10) - 16);
    return b;
}

// ImageMagick's decoding of a BMP file, first row in memory the file's
// first (bottom) row, as ours is.
std::string theirBmpPixels(const std::string& tool, const std::string& file, int width, int height, bool* ok) {
    std::string decoded = scratchPath("picture.rgb");
    *ok = run(tool + " " + file + " -depth 8 rgb:" + decoded);
    std::string theirs = readFile(decoded);
    EXPECT_EQ(theirs.size(), static_cast<std::size_t>(width) * height * 3);
    if (theirs.size() != static_cast<std::size_t>(width) * height * 3) *ok = false;
    std::string flipped;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int r = height - 1; r >= 0 && *ok; r--) flipped += theirs.substr(static_cast<std::size_t>(r) * row, row);
    return flipped;
}

// Our decoding of `bytes` is `expected`.
void expectOurBmpPixels(const std::string& bytes, int width, int height, const std::string& expected) {
    BmpDecoding ours = decodeBmp(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    ASSERT_NE(ours.image, nullptr) << (ours.detail ? ours.detail : "");
    EXPECT_EQ(ours.image->width, width);
    EXPECT_EQ(ours.image->height, height);
    EXPECT_TRUE(std::string(reinterpret_cast<char*>(ours.image->pixels), expected.size()) == expected);
    std::free(ours.image->pixels);
    std::free(ours.image);
}

struct DifferentialTest : ::testing::Test {
    std::string tool;
    void SetUp() override {
        tool = imageMagick();
        ASSERT_FALSE(tool.empty()) << "ImageMagick is needed (scripts/deps installs it)";
    }
};

struct BmpCase {
    const char* format;  // BMP2: core header, BMP3: info header, BMP: version 5 header
    const char* options;
    int colours;
    int headerSize;
    int bits;
    int compression;
};

}  // namespace

TEST_F(DifferentialTest, BmpPixelsMatchImageMagicksOwnDecoding) {
    const BmpCase cases[] = {
        {"BMP2", "-type Palette -compress None", 2, 12, 1, 0},
        {"BMP2", "-type Palette -compress None", 12, 12, 4, 0},
        {"BMP2", "-type Palette -compress None", 200, 12, 8, 0},
        {"BMP2", "-type TrueColor", 5000, 12, 24, 0},
        {"BMP3", "-type Palette -compress None", 2, 40, 1, 0},
        {"BMP3", "-type Palette -compress None", 12, 40, 4, 0},
        {"BMP3", "-type Palette -compress None", 200, 40, 8, 0},
        {"BMP3", "-type Palette -compress RLE", 200, 40, 8, 1},
        {"BMP3", "-type TrueColor", 5000, 40, 24, 0},
        {"BMP3", "-type TrueColorAlpha -define bmp3:alpha=true", 5000, 40, 32, 0},
        // ImageMagick's default, and what most tools write today.
        {"BMP", "-type Palette -compress None", 2, 124, 1, 0},
        {"BMP", "-type Palette -compress None", 12, 124, 4, 0},
        {"BMP", "-type Palette -compress None", 200, 124, 8, 0},
        {"BMP", "-type Palette -compress RLE", 200, 124, 8, 1},
        {"BMP", "-type TrueColor", 5000, 124, 24, 0},
        {"BMP", "-type TrueColorAlpha", 5000, 124, 32, 3},
    };
    int bareChecked = 0;
    int versionFourChecked = 0;
    // Odd widths exercise the row padding at every depth.
    for (int width : {29, 30}) {
        for (const BmpCase& c : cases) {
            std::string label = std::string(c.format) + " " + c.options + " " + std::to_string(width);
            SCOPED_TRACE(label);
            const int height = 11;
            std::string source = scratchPath("source.pam");
            writeSource(source, width, height, c.colours, false);
            std::string file = scratchPath("picture.bmp");
            if (!run(tool + " " + source + " " + (c.bits == 32 ? "" : "-alpha off ") + c.options +
                     " " + c.format + ":" + file)) {
                continue;
            }
            std::string bytes = readFile(file);
            // The file is of the kind this case is meant to cover.
            ASSERT_GT(bytes.size(), 54u);
            ASSERT_EQ(le32(bytes, 14), static_cast<std::uint32_t>(c.headerSize));
            int bits = c.headerSize == 12 ? static_cast<std::uint8_t>(bytes[24])
                                          : static_cast<std::uint8_t>(bytes[28]);
            ASSERT_EQ(bits, c.bits);
            if (c.headerSize != 12) {
                ASSERT_EQ(le32(bytes, 30), static_cast<std::uint32_t>(c.compression));
            }

            bool ok = false;
            std::string flipped = theirBmpPixels(tool, file, width, height, &ok);
            if (!ok) continue;
            expectOurBmpPixels(bytes, width, height, flipped);

            // The same file with a version 4 header, against ImageMagick's
            // decoding of that file.
            if (c.headerSize == 124) {
                std::string v4 = scratchPath("picture-v4.bmp");
                writeFile(v4, asVersionFour(bytes));
                std::string theirsV4 = theirBmpPixels(tool, v4, width, height, &ok);
                if (!ok) continue;
                EXPECT_TRUE(theirsV4 == flipped);
                expectOurBmpPixels(readFile(v4), width, height, theirsV4);
                versionFourChecked++;
            }

            // Without its file header, when the pixels follow the table.
            if (le32(bytes, 10) != 14 + static_cast<std::uint32_t>(c.headerSize) +
                                        (c.bits <= 8 ? (c.headerSize == 12 ? 3u : 4u) * (1u << c.bits) : 0u) ||
                (c.headerSize != 12 && le32(bytes, 46) != 0 && le32(bytes, 46) != (1u << c.bits))) {
                continue;
            }
            expectOurBmpPixels(bytes.substr(14), width, height, flipped);
            bareChecked++;
        }
    }
    EXPECT_GE(bareChecked, 8);
    EXPECT_EQ(versionFourChecked, 12);
}

TEST_F(DifferentialTest, TgaPixelsMatchImageMagicksOwnDecoding) {
    struct TgaCase {
        const char* options;
        bool grey;
        int type;
        int bits;
        const char* raw;  // ImageMagick's raw output format
    } cases[] = {
        {"-alpha off -type TrueColor", false, 2, 24, "rgb"},
        {"-type TrueColorAlpha", false, 2, 32, "rgba"},
        {"-alpha off -type Grayscale", true, 3, 8, "gray"},
        {"-alpha off -type TrueColor -compress RLE", false, 10, 24, "rgb"},
        {"-type TrueColorAlpha -compress RLE", false, 10, 32, "rgba"},
    };
    // ImageMagick writes a picture's comment as the image ID.
    const std::string id = "twenty bytes of ID..";
    ASSERT_EQ(id.size(), 20u);
    int mapsChecked = 0;
    for (const TgaCase& c : cases) {
        for (bool withId : {false, true}) {
            SCOPED_TRACE(std::string(c.options) + (withId ? " with an ID" : ""));
            const int width = 31, height = 9;
            std::string source = scratchPath("source.pam");
            writeSource(source, width, height, 40, c.grey);
            std::string file = scratchPath("picture.tga");
            std::string decoded = scratchPath("picture.raw");
            std::string comment = withId ? " -set comment '" + id + "'" : "";
            if (!run(tool + " " + source + " " + c.options + comment + " -depth 8 " + file)) continue;
            // ImageMagick keeps a TGA's rows in file order and notes the origin;
            // -auto-orient applies it, giving the picture top row first.
            if (!run(tool + " " + file + " -auto-orient -depth 8 " + c.raw + ":" + decoded)) continue;
            std::string bytes = readFile(file);
            ASSERT_GT(bytes.size(), 18u);
            ASSERT_EQ(static_cast<std::size_t>(bytes[0]), withId ? id.size() : 0u);
            ASSERT_EQ(bytes.substr(18, static_cast<std::size_t>(bytes[0])), withId ? id : "");
            ASSERT_EQ(bytes[1], 0) << "ImageMagick wrote a colour map";
            ASSERT_EQ(static_cast<int>(bytes[2]), c.type);
            ASSERT_EQ(static_cast<std::uint8_t>(bytes[16]), c.bits);
            // Bottom-left origin: our reversed rows are the picture top row first.
            ASSERT_EQ(bytes[17] & 0x20, 0);

            std::string theirs = readFile(decoded);
            ASSERT_EQ(theirs.size(), static_cast<std::size_t>(width) * height * (c.bits / 8));
            auto expectOurs = [&](const std::string& path) {
                std::FILE* in = std::fopen(path.c_str(), "rb");
                ASSERT_NE(in, nullptr);
                TgaImage image{};
                const char* failure = decodeTga(in, &image, c.grey ? TEXLOAD_LUMINANCE : 0u);
                std::fclose(in);
                ASSERT_EQ(failure, nullptr) << failure;
                EXPECT_EQ(image.imageSize, static_cast<std::int32_t>(theirs.size()));
                EXPECT_TRUE(std::string(reinterpret_cast<char*>(image.pixels), theirs.size()) == theirs);
                freeTgaPixels(&image);
            };
            expectOurs(file);

            // The same file carrying a colour map after its ID: true-colour
            // and greyscale pixels do not use it, so nothing changes.
            if (!withId) continue;
            std::string mapped = bytes;
            const int entries = 37;
            mapped[1] = 1;
            mapped[5] = entries;
            mapped[6] = 0;
            mapped[7] = 24;
            std::string map;
            for (int i = 0; i < entries * 3; i++) map += static_cast<char>(i * 7 + 1);
            mapped.insert(18 + id.size(), map);
            std::string mappedFile = scratchPath("mapped.tga");
            writeFile(mappedFile, mapped);
            expectOurs(mappedFile);
            mapsChecked++;
        }
    }
    EXPECT_EQ(mapsChecked, 5);
}
