// Texture creation: the name cache, the internal-format table, the upload.
#include "assets/texture.h"
#include "app/window.h"
#include "assets/tga.h"

#include <cstdlib>
#include <cstring>

bool allowCompressedTextures = true;
TextureCache textureCache = {0, nullptr, 0};

namespace {

struct FormatRow {
    GLenum pixelFormat;
    GLint fourBit;
    GLint compressed;
};

constexpr FormatRow kFormatTable[] = {
    {GL_RGB, GL_RGB4, GL_COMPRESSED_RGB_ARB},
    {GL_RGBA, GL_RGBA4, GL_COMPRESSED_RGBA_ARB},
    {GL_LUMINANCE, GL_LUMINANCE4, GL_COMPRESSED_LUMINANCE_ARB},
    {GL_ALPHA, GL_ALPHA4, GL_COMPRESSED_ALPHA_ARB},
};

// Remembers a new texture. When memory runs out the texture is still
// returned, just not cached.
void remember(const char* fileName, GLuint texture) {
    std::size_t length = std::strlen(fileName);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return;
    std::memcpy(copy, fileName, length + 1);
    auto* grown = static_cast<TextureCacheEntry*>(std::realloc(
        textureCache.entries,
        sizeof(TextureCacheEntry) * (static_cast<std::size_t>(textureCache.count) + 1)));
    if (!grown) {
        std::free(copy);
        return;
    }
    textureCache.entries = grown;
    textureCache.entries[textureCache.count++] = TextureCacheEntry{copy, texture};
}

// A texture name means something only in the context that made it. After a
// fullscreen toggle the window, and with it the context, is new: the names
// cached in the old one would draw nothing, so the cache starts again.
void forgetOtherContexts() {
    const std::uint64_t current = currentContextSerial();
    if (textureCache.context == current) return;
    for (std::int32_t i = 0; i < textureCache.count; i++) std::free(textureCache.entries[i].fileName);
    std::free(textureCache.entries);
    textureCache.entries = nullptr;
    textureCache.count = 0;
    textureCache.context = current;
}

}  // namespace

GLint textureInternalFormat(GLenum pixelFormat, std::uint32_t flags) {
    GLint internal = static_cast<GLint>(pixelFormat);
    for (const FormatRow& row : kFormatTable) {
        if (row.pixelFormat != pixelFormat) continue;
        if (flags & TEXLOAD_4BIT) internal = row.fourBit;
        if ((flags & TEXLOAD_COMPRESSED) && allowCompressedTextures) internal = row.compressed;
    }
    return internal;
}

void uploadTgaTexture(const TgaImage* image, std::uint32_t flags) {
    GLenum format = image->glFormat;
    GLint internal = textureInternalFormat(format, flags);
    // Rows are packed without padding; GL's default alignment of 4 would
    // read past the end of a picture whose rows are not a multiple of 4
    // bytes long, and shear it.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if ((flags & TEXLOAD_NO_MIPMAPS) || !image->pixels) {
        glTexImage2D(GL_TEXTURE_2D, 0, internal, image->width, image->height, 0, format,
                     GL_UNSIGNED_BYTE, image->pixels);
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, internal, image->width, image->height, format,
                          GL_UNSIGNED_BYTE, image->pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

GLuint loadTexture(const char* fileName, std::uint32_t flags, LoadReport* report) {
    reportLoad(report, std::string());
    if (!fileName) return 0;
    forgetOtherContexts();
    for (std::int32_t i = 0; i < textureCache.count; i++) {
        if (std::strcmp(textureCache.entries[i].fileName, fileName) == 0) {
            return textureCache.entries[i].texture;
        }
    }
    // The new texture is bound before the picture is loaded, so that the
    // checkerboard a failed load uploads at once lands on it rather than on
    // whatever texture the caller had bound.
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    TgaImage image{};
    loadTga(fileName, &image, flags, report);
    uploadTgaTexture(&image, flags);
    freeTgaPixels(&image);
    remember(fileName, name);
    return name;
}
