// loadTga and its failure route, the only part of the TGA loader that
// touches GL: the checkerboard goes straight to the bound texture.
#include "assets/tga.h"

#include <cstdio>

// Expects a current GL context; replaces level 0 of the texture bound to
// GL_TEXTURE_2D with the checkerboard, and changes no other state.
void makeFallbackImage(TgaImage* image) {
    fillFallbackImage(image);
    if (!image->pixels) return;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE4, 128, 128, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                 image->pixels);
}

void reportTgaError(const char* message, const char* fileName, std::FILE* file, TgaImage* image) {
    std::printf("%s - %s\n", message, fileName ? fileName : "(null)");
    std::fflush(stdout);
    freeTgaPixels(image);
    if (file) std::fclose(file);
    makeFallbackImage(image);
}

int loadTga(const char* fileName, TgaImage* image, std::uint32_t flags) {
    image->pixels = nullptr;
    std::FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) {
        reportTgaError("File not found", fileName, nullptr, image);
        return 0;
    }
    if (const char* failure = decodeTga(file, image, flags)) {
        reportTgaError(failure, fileName, file, image);
        return 0;
    }
    // A file that ends before its picture does still gives a picture (the
    // pixels it lacks stay 0, black), but one that is plainly not what was
    // meant: said in the loader's own form. Decoding reads only what the
    // picture needs, so the end of the file is met only when it falls short.
    if (std::feof(file)) {
        std::printf("%s - %s\n", "File too short for its picture (the rest is black)", fileName);
        std::fflush(stdout);
    }
    std::fclose(file);
    return 1;
}
