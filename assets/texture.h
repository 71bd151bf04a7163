// Texture creation from TGA files, with a cache keyed by file name.
//
// A file is loaded and uploaded once; later requests for the same name (the
// exact byte string) get the same GL texture whatever their flags. The cache
// owns its copies of the names; entries live as long as the GL context they
// were made in (a new window after a fullscreen toggle starts a new cache).
// Everything here needs the program's GL context to be current.
#pragma once

#include "app/gl.h"
#include "assets/load_report.h"

#include <cstdint>

struct TgaImage;

enum : std::uint32_t {
    TEXLOAD_ALPHA = 0x100,          // a greyscale picture is taken as GL_ALPHA
    TEXLOAD_LUMINANCE = 0x1000,     // ... as GL_LUMINANCE; wins over TEXLOAD_ALPHA
    TEXLOAD_NO_MIPMAPS = 0x10000,   // level 0 only, else a full mipmap chain
    TEXLOAD_4BIT = 0x100000,        // 4-bit-per-channel internal formats
    TEXLOAD_COMPRESSED = 0x1000000, // generic compressed formats; wins over TEXLOAD_4BIT
};

// Compressed internal formats are used only while this is true (it starts
// true and nothing in the program changes it).
extern bool allowCompressedTextures;

struct TextureCacheEntry {
    char* fileName;  // the cache's own copy
    GLuint texture;
};

struct TextureCache {
    std::int32_t count;
    TextureCacheEntry* entries;  // count entries, in the order they were made
    std::uint64_t context;       // currentContextSerial() when the entries were made
};

extern TextureCache textureCache;

// The texture made from `fileName` (made once, then taken from the cache).
// After a new load the new texture is bound to GL_TEXTURE_2D and `report`
// holds what loadTga said (a failed file is a cached checkerboard); after a
// cache hit the binding is as it was and the report is empty.
GLuint loadTexture(const char* fileName, std::uint32_t flags, LoadReport* report);

// The internal format for a picture of `pixelFormat` under `flags`.
GLint textureInternalFormat(GLenum pixelFormat, std::uint32_t flags);

// Expects a current GL context; uploads the picture to the texture bound to
// GL_TEXTURE_2D (level 0, or a full mipmap chain through GLU). Sets no
// texture parameter and leaves the unpack alignment as it found it.
void uploadTgaTexture(const TgaImage* image, std::uint32_t flags);
