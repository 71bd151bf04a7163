// Texture creation from TGA files, with a cache keyed by file name.
#pragma once

#include "app/gl.h"

#include <cstdint>

enum : std::uint32_t {
    TEXLOAD_ALPHA = 0x100,
    TEXLOAD_LUMINANCE = 0x1000,
    TEXLOAD_NO_MIPMAPS = 0x10000,
    TEXLOAD_4BIT = 0x100000,
    TEXLOAD_COMPRESSED = 0x1000000,
};

extern bool allowCompressedTextures;

// The texture made from `fileName` (made once, then taken from the cache).
GLuint loadTexture(const char* fileName, std::uint32_t flags);
