// Our BMP and TGA decoders against an independent one: ImageMagick writes
// each header kind, depth and compression, decodes its own file, and our
// pixels must match its pixels byte for byte.
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

struct DifferentialTest : ::testing::Test {
    std::string tool;
    void SetUp() override {
        tool = imageMagick();
        ASSERT_FALSE(tool.empty()) << "ImageMagick is needed (scripts/deps installs it)";
    }
};

struct BmpCase {
    const char* format;  // BMP2: core header, BMP3: info header
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
    };
    int bareChecked = 0;
    // Odd widths exercise the row padding at every depth.
    for (int width : {29, 30}) {
        for (const BmpCase& c : cases) {
            std::string label = std::string(c.format) + " " + c.options + " " + std::to_string(width);
            SCOPED_TRACE(label);
            const int height = 11;
            std::string source = scratchPath("source.pam");
            writeSource(source, width, height, c.colours, false);
            std::string file = scratchPath("picture.bmp");
            std::string decoded = scratchPath("picture.rgb");
            if (!run(tool + " " + source + " " + (c.bits == 32 ? "" : "-alpha off ") + c.options +
                     " " + c.format + ":" + file)) {
                continue;
            }
            if (!run(tool + " " + file + " -depth 8 rgb:" + decoded)) continue;
            std::string bytes = readFile(file);
            // The file is of the kind this case is meant to cover.
            ASSERT_GT(bytes.size(), 54u);
            ASSERT_EQ(le32(bytes, 14), static_cast<std::uint32_t>(c.headerSize));
            int bits = c.headerSize == 12 ? static_cast<std::uint8_t>(bytes[24])
                                          : static_cast<std::uint8_t>(bytes[28]);
            ASSERT_EQ(bits, c.bits);
            if (c.headerSize == 40) {
                ASSERT_EQ(le32(bytes, 30), static_cast<std::uint32_t>(c.compression));
            }

            std::string theirs = readFile(decoded);
            ASSERT_EQ(theirs.size(), static_cast<std::size_t>(width) * height * 3);
            // Ours: the file's first row (the bottom one) first; theirs: top first.
            std::string flipped;
            for (int row = height - 1; row >= 0; row--) flipped += theirs.substr(static_cast<std::size_t>(row) * width * 3, static_cast<std::size_t>(width) * 3);

            BmpDecoding ours = decodeBmp(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
            ASSERT_NE(ours.image, nullptr) << (ours.detail ? ours.detail : "");
            EXPECT_EQ(ours.image->width, width);
            EXPECT_EQ(ours.image->height, height);
            std::string mine(reinterpret_cast<char*>(ours.image->pixels), flipped.size());
            EXPECT_TRUE(mine == flipped);
            std::free(ours.image->pixels);
            std::free(ours.image);

            // Without its file header, when the pixels follow the table.
            if (le32(bytes, 10) != 14 + static_cast<std::uint32_t>(c.headerSize) +
                                        (c.bits <= 8 ? (c.headerSize == 12 ? 3u : 4u) * (1u << c.bits) : 0u) ||
                (c.headerSize == 40 && le32(bytes, 46) != 0 && le32(bytes, 46) != (1u << c.bits))) {
                continue;
            }
            BmpDecoding bare = decodeBmp(reinterpret_cast<const unsigned char*>(bytes.data()) + 14, bytes.size() - 14);
            ASSERT_NE(bare.image, nullptr);
            EXPECT_TRUE(std::string(reinterpret_cast<char*>(bare.image->pixels), flipped.size()) == flipped);
            std::free(bare.image->pixels);
            std::free(bare.image);
            bareChecked++;
        }
    }
    EXPECT_GE(bareChecked, 8);
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
    for (const TgaCase& c : cases) {
        SCOPED_TRACE(c.options);
        const int width = 31, height = 9;
        std::string source = scratchPath("source.pam");
        writeSource(source, width, height, 40, c.grey);
        std::string file = scratchPath("picture.tga");
        std::string decoded = scratchPath("picture.raw");
        if (!run(tool + " " + source + " " + c.options + " -depth 8 " + file)) continue;
        // ImageMagick keeps a TGA's rows in file order and notes the origin;
        // -auto-orient applies it, giving the picture top row first.
        if (!run(tool + " " + file + " -auto-orient -depth 8 " + c.raw + ":" + decoded)) continue;
        std::string bytes = readFile(file);
        ASSERT_GT(bytes.size(), 18u);
        ASSERT_EQ(bytes[0], 0) << "an image ID field would shift the pixels";
        ASSERT_EQ(static_cast<int>(bytes[2]), c.type);
        ASSERT_EQ(static_cast<std::uint8_t>(bytes[16]), c.bits);
        // Bottom-left origin: our reversed rows are the picture top row first.
        ASSERT_EQ(bytes[17] & 0x20, 0);

        std::FILE* in = std::fopen(file.c_str(), "rb");
        ASSERT_NE(in, nullptr);
        TgaImage image{};
        const char* failure = decodeTga(in, &image, c.grey ? TEXLOAD_LUMINANCE : 0u);
        std::fclose(in);
        ASSERT_EQ(failure, nullptr) << failure;
        std::string theirs = readFile(decoded);
        ASSERT_EQ(theirs.size(), static_cast<std::size_t>(width) * height * (c.bits / 8));
        EXPECT_EQ(image.imageSize, static_cast<std::int32_t>(theirs.size()));
        EXPECT_TRUE(std::string(reinterpret_cast<char*>(image.pixels), theirs.size()) == theirs);
        freeTgaPixels(&image);
    }
}
