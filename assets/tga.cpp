// loadTga and its failure route, the only part of the TGA loader that
// touches GL: the checkerboard goes straight to the bound texture.
#include "assets/tga.h"

#include <cstdio>

namespace {

// "<message> - <file>", the form in which every TGA line is worded.
void reportTga(LoadReport* report, const char* message, const char* fileName) {
    reportLoad(report, std::string(message) + " - " + (fileName ? fileName : "(null)"));
}

// Reports the failure, releases the pixels, closes the file (when not null)
// and puts the checkerboard in place.
int failTga(const char* message, const char* fileName, std::FILE* file, TgaImage* image,
            LoadReport* report) {
    reportTga(report, message, fileName);
    freeTgaPixels(image);
    if (file) std::fclose(file);
    makeFallbackImage(image);
    return 0;
}

}  // namespace

// Expects a current GL context; replaces level 0 of the texture bound to
// GL_TEXTURE_2D with the checkerboard, and changes no other state.
void makeFallbackImage(TgaImage* image) {
    fillFallbackImage(image);
    if (!image->pixels) return;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE4, 128, 128, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                 image->pixels);
}

int loadTga(const char* fileName, TgaImage* image, std::uint32_t flags, LoadReport* report) {
    reportLoad(report, std::string());
    image->pixels = nullptr;
    std::FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) return failTga("File not found", fileName, nullptr, image, report);
    if (const char* failure = decodeTga(file, image, flags)) {
        return failTga(failure, fileName, file, image, report);
    }
    // A file that ends before its picture does still gives a picture (the
    // pixels it lacks stay 0, black), but one that is plainly not what was
    // meant: said in the loader's own form. Decoding reads only what the
    // picture needs, so the end of the file is met only when it falls short.
    if (std::feof(file)) reportTga(report, "File too short for its picture (the rest is black)", fileName);
    std::fclose(file);
    return 1;
}
