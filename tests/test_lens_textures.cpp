// The five textures of the zoom and lens scenes: the computed displacement
// map and centre picture, what reaches GL (filters, mipmaps, texels), and
// pictures that are missing or of the wrong size.
#include "app/gl.h"
#include "app/notice.h"
#include "scenes/lens/lens_parts.h"
#include "support/test_window.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Texel = std::array<int, 4>;

Texel texelAt(const ImageRecord* image, int column, int row) {
    const unsigned char* t = image->pixels + (static_cast<std::size_t>(row) * image->width + column) * 4;
    return {t[0], t[1], t[2], t[3]};
}

// ---- test pictures ------------------------------------------------------

// Bottom-up 24-bit BMP; `rgb` holds the rows in file order, R, G, B.
void writeBmp(const std::filesystem::path& path, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
    const int rowBytes = (width * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * height);
    std::vector<std::uint8_t> file(54 + dataSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    put32(34, dataSize);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const std::uint8_t* from = &rgb[(static_cast<std::size_t>(row) * width + column) * 3];
            std::uint8_t* to = &file[54 + static_cast<std::size_t>(row) * rowBytes + column * 3];
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// A picture whose every pixel differs from its neighbours.
std::vector<std::uint8_t> pattern(int width, int height, int seed) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return rgb;
}

// A working folder of this process's own with a data/ folder in it; the
// test runs there (every test is a process of its own) and it goes at exit.
struct DataFolder {
    std::filesystem::path root = std::filesystem::temp_directory_path() /
                                 ("demo_lens_test_" + std::to_string(getpid()));
    std::filesystem::path previous = std::filesystem::current_path();
    DataFolder() {
        std::filesystem::create_directories(root / "data");
        std::filesystem::current_path(root);
    }
    ~DataFolder() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::filesystem::path operator/(const char* name) const { return root / "data" / name; }
};

// ---- reading GL back ----------------------------------------------------

struct Level {
    int width = 0, height = 0;
};

Level levelOf(GLuint texture, int level) {
    glBindTexture(GL_TEXTURE_2D, texture);
    Level l;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.height);
    return l;
}

GLint parameterOf(GLuint texture, GLenum name) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

// Level 0 as RGBA bytes, rows from t = 0.
std::vector<std::uint8_t> texelsOf(GLuint texture) {
    Level l = levelOf(texture, 0);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(l.width) * l.height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

Texel glTexel(const std::vector<std::uint8_t>& rgba, int width, int column, int row) {
    const std::uint8_t* t = &rgba[(static_cast<std::size_t>(row) * width + column) * 4];
    return {t[0], t[1], t[2], t[3]};
}

const Texel kMagenta{255, 0, 255, 255};
const Texel kGrey{64, 64, 64, 255};

// The mipmap chain: the plane texture down to 1 x 1, the others level 0 only.
void expectMipmapsOnlyOnThePlane() {
    const GLuint* names = lensScene.lensSceneTextures;
    Level plane = levelOf(names[planeTexture], 0);
    int levels = 0;
    for (int side = std::max(plane.width, plane.height); side > 1; side /= 2) ++levels;
    Level last = levelOf(names[planeTexture], levels);
    EXPECT_EQ(last.width, 1);
    EXPECT_EQ(last.height, 1);
    EXPECT_EQ(parameterOf(names[planeTexture], GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    for (int index = 1; index < 5; ++index) {
        EXPECT_GT(levelOf(names[index], 0).width, 0) << index;
        EXPECT_EQ(levelOf(names[index], 1).width, 0) << index;
        EXPECT_EQ(parameterOf(names[index], GL_TEXTURE_MIN_FILTER), GL_LINEAR) << index;
    }
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(parameterOf(names[index], GL_TEXTURE_MAG_FILTER), GL_LINEAR) << index;
        EXPECT_EQ(parameterOf(names[index], GL_TEXTURE_WRAP_S), GL_REPEAT) << index;
    }
}


}  // namespace

TEST(DisplacementMap, OffsetsTruncateClampAndTheDiscIsOpaque) {
    ImageRecord* map = newImage(kDisplacementSize, kDisplacementSize, 4);
    ASSERT_NE(map, nullptr);
    fillDisplacementMap(map);
    const struct {
        int i, j;
        Texel texel;
    } cases[] = {
        {128, 128, {128, 128, 0, 255}}, {129, 128, {128, 128, 0, 255}},
        {192, 128, {149, 128, 0, 255}}, {64, 128, {107, 128, 0, 255}},
        {128, 192, {128, 149, 0, 255}}, {252, 128, {245, 128, 0, 255}},
        {253, 128, {248, 128, 0, 0}},   {255, 128, {253, 128, 0, 0}},
        {0, 128, {0, 128, 0, 0}},       {0, 0, {0, 0, 0, 0}},
        {255, 255, {255, 255, 0, 0}},   {200, 200, {177, 177, 0, 255}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texelAt(map, c.i, c.j), c.texel) << "texel (" << c.i << ", " << c.j << ")";
    }
    int opaque = 0;
    for (int j = 0; j < kDisplacementSize; ++j) {
        for (int i = 0; i < kDisplacementSize; ++i) {
            Texel t = texelAt(map, i, j);
            bool inDisc = (i - 128) * (i - 128) + (j - 128) * (j - 128) <= 15564;
            EXPECT_EQ(t[3], inDisc ? 255 : 0) << i << ", " << j;
            EXPECT_EQ(t[2], 0);
            opaque += t[3] == 255;
        }
    }
    EXPECT_EQ(opaque, 48881);
    freeImage(map);
}

TEST(CentreImage, RedIsTheGreyLevelAndGreenTheOpacity) {
    ImageRecord* source = newImage(kCentreSize, kCentreSize, 3);
    ImageRecord* centre = newImage(kCentreSize, kCentreSize, 4);
    ASSERT_TRUE(source && centre);
    for (int i = 0; i < kCentreSize * kCentreSize * 3; ++i) {
        source->pixels[i] = static_cast<unsigned char>(i * 13 + i / 1536);
    }
    unsigned char* last = source->pixels + (511 * 512 + 511) * 3;
    last[0] = 10, last[1] = 200, last[2] = 30;
    fillCentreImage(centre, source);
    EXPECT_EQ(texelAt(centre, 511, 511), (Texel{10, 10, 10, 200}));
    for (int row : {0, 1, 300, 511}) {
        for (int column : {0, 5, 256, 510}) {
            const unsigned char* s = source->pixels + (row * 512 + column) * 3;
            EXPECT_EQ(texelAt(centre, column, row), (Texel{s[0], s[0], s[0], s[1]}))
                << row << ", " << column;
        }
    }
    freeImage(source);
    freeImage(centre);
}

TEST(LensTextures, MissingPicturesBecomeCheckerboardsAndTheMapIsUploaded) {
    TestWindow window(64, 64);
    ASSERT_TRUE(window.ok);
    DataFolder folder;  // empty: no picture can be found
    createLensSceneTextures();

    EXPECT_EQ(platform::recordedNotices().size(), 4u) << "one notice per missing picture";
    const GLuint* names = lensScene.lensSceneTextures;
    for (int index = 0; index < 5; ++index) {
        EXPECT_NE(names[index], 0u);
        for (int other = 0; other < index; ++other) EXPECT_NE(names[index], names[other]);
    }
    expectMipmapsOnlyOnThePlane();

    for (int index : {int(planeTexture), int(lensTintTexture), int(tunnelTexture)}) {
        std::vector<std::uint8_t> texels = texelsOf(names[index]);
        EXPECT_EQ(levelOf(names[index], 0).width, kFallbackSize);
        EXPECT_EQ(glTexel(texels, kFallbackSize, 0, 0), kMagenta) << index;
        EXPECT_EQ(glTexel(texels, kFallbackSize, 8, 0), kGrey) << index;
    }
    std::vector<std::uint8_t> centre = texelsOf(names[centreTexture]);
    EXPECT_EQ(levelOf(names[centreTexture], 0).width, kCentreSize);
    EXPECT_EQ(glTexel(centre, kCentreSize, 0, 0), kMagenta);
    EXPECT_EQ(glTexel(centre, kCentreSize, 64, 0), kGrey);

    ImageRecord* expected = newImage(kDisplacementSize, kDisplacementSize, 4);
    fillDisplacementMap(expected);
    std::vector<std::uint8_t> map = texelsOf(names[displacementMap]);
    ASSERT_EQ(map.size(), 256u * 256u * 4u);
    EXPECT_TRUE(std::equal(map.begin(), map.end(), expected->pixels));
    freeImage(expected);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(LensTextures, PicturesReachGLAsLoadedWhateverTheirRowLength) {
    TestWindow window(64, 64);
    ASSERT_TRUE(window.ok);
    DataFolder folder;
    // Rows of 15 and 6 bytes: not a multiple of GL's default unpack alignment.
    std::vector<std::uint8_t> plain;
    for (int i = 0; i < 5 * 3; ++i) plain.insert(plain.end(), {10, 20, 30});
    writeBmp(folder / "atomic2.bmp", 5, 3, plain);
    writeBmp(folder / "lensblue.bmp", 5, 4, pattern(5, 4, 2));
    writeBmp(folder / "cool.bmp", 2, 8, pattern(2, 8, 3));
    std::vector<std::uint8_t> ff = pattern(512, 512, 4);
    ff[0] = 10, ff[1] = 200, ff[2] = 30;
    writeBmp(folder / "ff.bmp", 512, 512, ff);
    createLensSceneTextures();

    EXPECT_TRUE(platform::recordedNotices().empty());
    expectMipmapsOnlyOnThePlane();
    // The mipmap builder scales to powers of two; a row read out of step
    // would mix the channels up.
    std::vector<std::uint8_t> plane = texelsOf(lensScene.lensSceneTextures[planeTexture]);
    for (std::size_t p = 0; p < plane.size(); p += 4) {
        ASSERT_EQ((Texel{plane[p], plane[p + 1], plane[p + 2], plane[p + 3]}),
                  (Texel{10, 20, 30, 255}))
            << "texel " << p / 4;
    }
    const struct {
        int index, width, height, seed;
    } loaded[] = {{lensTintTexture, 5, 4, 2}, {tunnelTexture, 2, 8, 3}};
    for (const auto& l : loaded) {
        std::vector<std::uint8_t> rgb = pattern(l.width, l.height, l.seed);
        std::vector<std::uint8_t> texels = texelsOf(lensScene.lensSceneTextures[l.index]);
        ASSERT_EQ(texels.size(), rgb.size() / 3 * 4);
        for (std::size_t p = 0; p < rgb.size() / 3; ++p) {
            EXPECT_EQ(texels[p * 4], rgb[p * 3]) << l.index << " pixel " << p;
            EXPECT_EQ(texels[p * 4 + 1], rgb[p * 3 + 1]);
            EXPECT_EQ(texels[p * 4 + 2], rgb[p * 3 + 2]);
        }
    }
    std::vector<std::uint8_t> centre = texelsOf(lensScene.lensSceneTextures[centreTexture]);
    EXPECT_EQ(glTexel(centre, kCentreSize, 0, 0), (Texel{10, 10, 10, 200}));
    EXPECT_EQ(glTexel(centre, kCentreSize, 3, 2),
              (Texel{ff[(2 * 512 + 3) * 3], ff[(2 * 512 + 3) * 3], ff[(2 * 512 + 3) * 3],
                     ff[(2 * 512 + 3) * 3 + 1]}));
}

TEST(LensTextures, ACentrePictureOfAnotherSizeIsNeverReadAndSaysSo) {
    TestWindow window(64, 64);
    ASSERT_TRUE(window.ok);
    DataFolder folder;
    writeBmp(folder / "atomic2.bmp", 4, 4, pattern(4, 4, 1));
    writeBmp(folder / "lensblue.bmp", 4, 4, pattern(4, 4, 2));
    writeBmp(folder / "cool.bmp", 4, 4, pattern(4, 4, 3));
    writeBmp(folder / "ff.bmp", 64, 32, pattern(64, 32, 4));  // far smaller than 512 x 512
    createLensSceneTextures();

    ASSERT_EQ(platform::recordedNotices().size(), 1u);
    const std::string& notice = platform::recordedNotices()[0];
    EXPECT_NE(notice.find("data/ff.bmp"), std::string::npos) << notice;
    EXPECT_NE(notice.find("64 x 32"), std::string::npos) << notice;
    std::vector<std::uint8_t> centre = texelsOf(lensScene.lensSceneTextures[centreTexture]);
    EXPECT_EQ(glTexel(centre, kCentreSize, 0, 0), kMagenta);
    EXPECT_EQ(glTexel(centre, kCentreSize, 64, 0), kGrey);
    EXPECT_EQ(glTexel(centre, kCentreSize, 511, 511), kMagenta);
    // The pictures that were fine are used as they are.
    EXPECT_EQ(levelOf(lensScene.lensSceneTextures[tunnelTexture], 0).width, 4);
}
