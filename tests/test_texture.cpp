// Texture creation: the name cache, the internal-format table, mipmaps or
// level 0, failed files, rows that are not a multiple of 4 bytes, and a
// cache past 127 entries.
#include "assets/texture.h"
#include "assets/tga.h"
#include "support/test_window.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

GLint levelParameter(int level, GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

GLuint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return static_cast<GLuint>(name);
}

// A 4 x 4 24-bit picture whose file rows are all of one colour each.
Bytes stripes() {
    Bytes file = tgaHeader(2, 4, 4, 24);
    for (int row = 0; row < 4; row++) {
        for (int x = 0; x < 4; x++) file.insert(file.end(), {0, 0, static_cast<std::uint8_t>(row * 60)});
    }
    return file;
}

}  // namespace

TEST(Texture, InternalFormatsFollowTheFlags) {
    const GLenum formats[] = {GL_RGB, GL_RGBA, GL_LUMINANCE, GL_ALPHA};
    const GLint fourBit[] = {GL_RGB4, GL_RGBA4, GL_LUMINANCE4, GL_ALPHA4};
    const GLint compressed[] = {GL_COMPRESSED_RGB_ARB, GL_COMPRESSED_RGBA_ARB,
                                GL_COMPRESSED_LUMINANCE_ARB, GL_COMPRESSED_ALPHA_ARB};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(textureInternalFormat(formats[i], 0x1 | TEXLOAD_ALPHA | TEXLOAD_NO_MIPMAPS),
                  static_cast<GLint>(formats[i]));
        EXPECT_EQ(textureInternalFormat(formats[i], TEXLOAD_4BIT), fourBit[i]);
        EXPECT_EQ(textureInternalFormat(formats[i], TEXLOAD_COMPRESSED), compressed[i]);
        EXPECT_EQ(textureInternalFormat(formats[i], TEXLOAD_COMPRESSED | TEXLOAD_4BIT), compressed[i]);
        allowCompressedTextures = false;
        EXPECT_EQ(textureInternalFormat(formats[i], TEXLOAD_COMPRESSED | TEXLOAD_4BIT), fourBit[i]);
        EXPECT_EQ(textureInternalFormat(formats[i], TEXLOAD_COMPRESSED), static_cast<GLint>(formats[i]));
        allowCompressedTextures = true;
    }
    EXPECT_EQ(textureInternalFormat(GL_BGR, TEXLOAD_COMPRESSED | TEXLOAD_4BIT), GL_BGR);
}

TEST(Texture, TheCacheAnswersByExactNameAndLeavesTheBindingAlone) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    std::string path = scratchPath("stripes.tga");
    writeFile(path, stripes());
    std::string upper = scratchPath("STRIPES.tga");
    writeFile(upper, stripes());

    GLuint first = loadTexture(path.c_str(), TEXLOAD_NO_MIPMAPS, nullptr);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(boundTexture(), first);
    // The picture's first row in memory (the file's last) is texture row 0.
    Bytes texels(4 * 4 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 180);
    EXPECT_EQ(texels[3 * 4 * 3], 0);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0);  // level 0 only

    glBindTexture(GL_TEXTURE_2D, 0);
    LoadReport report{"stale", "stale"};
    EXPECT_EQ(loadTexture(path.c_str(), TEXLOAD_COMPRESSED, &report), first);
    EXPECT_EQ(boundTexture(), 0u);
    EXPECT_EQ(report.message + report.detail, "");

    GLuint other = loadTexture(upper.c_str(), 0, nullptr);
    std::string dotted = "/tmp/./" + path.substr(5);
    GLuint third = loadTexture(dotted.c_str(), 0, nullptr);
    EXPECT_NE(other, first);
    EXPECT_NE(third, first);
    EXPECT_NE(third, other);
    const TextureCacheEntry& last = textureCache.entries[textureCache.count - 1];
    EXPECT_STREQ(last.fileName, dotted.c_str());
    EXPECT_EQ(last.texture, third);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, TheSceneFlagsGiveAFullCompressedChain) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    std::string grey = scratchPath("grey.tga");
    writeFile(grey, tgaHeader(3, 8, 4, 8) + Bytes(32, 77));
    GLuint texture = loadTexture(grey.c_str(), 0x1000101, nullptr);
    ASSERT_NE(texture, 0u);
    // A full chain down to 1 x 1; the texture keeps alpha only.
    EXPECT_EQ(levelParameter(3, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelParameter(3, GL_TEXTURE_HEIGHT), 1);
    EXPECT_GT(levelParameter(0, GL_TEXTURE_ALPHA_SIZE), 0);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_RED_SIZE), 0);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_LUMINANCE_SIZE), 0);

    std::string colour = scratchPath("colour.tga");
    writeFile(colour, stripes());
    loadTexture(colour.c_str(), 0x1000101, nullptr);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_COMPRESSED), GL_TRUE);
    EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, AFailedFileGivesACachedCheckerboardAndSparesTheBoundTexture) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    // The caller's texture, bound when the failed load happens.
    GLuint mine = 0;
    glGenTextures(1, &mine);
    glBindTexture(GL_TEXTURE_2D, mine);
    Bytes red = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, red.data());

    std::string missing = scratchPath("gone.tga");
    GLuint made = 0;
    LoadReport report;
    EXPECT_EQ(saidAside([&] { made = loadTexture(missing.c_str(), TEXLOAD_NO_MIPMAPS, &report); }), "");
    EXPECT_EQ(report.message, "File not found - " + missing);
    EXPECT_EQ(boundTexture(), made);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE);
    Bytes board(128 * 128);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, board.data());
    EXPECT_EQ(board[0], 255);
    EXPECT_EQ(board[16], 0);

    glBindTexture(GL_TEXTURE_2D, mine);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 2);
    // Asked again, it is the same texture and nothing is reported.
    EXPECT_EQ(loadTexture(missing.c_str(), 0, &report), made);
    EXPECT_EQ(report.message, "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, RowsOfAnyLengthUploadIntactAndTheAlignmentIsRestored) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    // 5 x 2 at 24 bits: 15-byte rows, which GL's default alignment would pad.
    Bytes file = tgaHeader(2, 5, 2, 24);
    for (int i = 0; i < 10; i++) file.insert(file.end(), {static_cast<std::uint8_t>(i), 0, 0});
    std::string path = scratchPath("odd.tga");
    writeFile(path, file);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    loadTexture(path.c_str(), TEXLOAD_NO_MIPMAPS, nullptr);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    Bytes texels(5 * 2 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    // Texture row 0 is the file's second row: blue values 5 to 9.
    for (int i = 0; i < 10; i++) EXPECT_EQ(texels[i * 3 + 2], (i + 5) % 10) << i;
}

TEST(Texture, TheCacheGrowsPast127Entries) {
    TestWindow w;
    ASSERT_TRUE(w.ok);
    std::string path = scratchPath("many.tga");
    writeFile(path, tgaHeader(3, 1, 1, 8) + Bytes{9});
    std::vector<GLuint> names;
    const std::int32_t before = textureCache.count;
    for (int i = 0; i < 200; i++) {
        // The same file spelled 200 ways.
        std::string spelled = scratchPath(std::string(static_cast<std::size_t>(i), '/') + "many.tga");
        names.push_back(loadTexture(spelled.c_str(), TEXLOAD_LUMINANCE | TEXLOAD_NO_MIPMAPS, nullptr));
    }
    EXPECT_EQ(textureCache.count, before + 200);
    for (int i = 1; i < 200; i++) EXPECT_NE(names[i], names[i - 1]);
    EXPECT_EQ(loadTexture(scratchPath(std::string(150, '/') + "many.tga").c_str(), 0, nullptr), names[150]);
    EXPECT_EQ(loadTexture(scratchPath("many.tga").c_str(), 0, nullptr), names[0]);
    EXPECT_EQ(textureCache.count, before + 200);
}

TEST(Texture, ANewWindowAfterAToggleGetsTexturesOfItsOwn) {
    std::string file = scratchPath("stripes.tga");
    writeFile(file, stripes());
    GLuint first = 0;
    {
        TestWindow w;
        ASSERT_TRUE(w.ok);
        first = loadTexture(file.c_str(), TEXLOAD_NO_MIPMAPS, nullptr);
        ASSERT_NE(first, 0u);
        EXPECT_EQ(loadTexture(file.c_str(), TEXLOAD_NO_MIPMAPS, nullptr), first);
    }
    // The old context and its textures are gone with the old window: the
    // same file must come back as a texture that exists in the new one.
    TestWindow w;
    ASSERT_TRUE(w.ok);
    GLuint second = loadTexture(file.c_str(), TEXLOAD_NO_MIPMAPS, nullptr);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(glIsTexture(second), GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, second);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(loadTexture(file.c_str(), 0, nullptr), second);
}
