// Stand-ins until the loaders land: no pictures, empty solids.
#include "app/notice.h"
#include "assets/bmp.h"
#include "assets/polyhedron.h"
#include "assets/texture.h"

#include <cstdlib>

bool showImageErrors = true;
bool allowCompressedTextures = true;

ImageRecord* loadBmp(const char* fileName) {
    (void)fileName;
    if (showImageErrors) platform::showNotice("Unknown DIB file format.");
    return nullptr;
}

GLuint loadTexture(const char*, std::uint32_t) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    return name;
}

Polyhedron* loadPolyhedron(const char*) {
    return static_cast<Polyhedron*>(std::calloc(1, sizeof(Polyhedron)));
}

void scalePolyhedron(Polyhedron*, float) {}

float vertexDistance(const PolyVertex&, const PolyVertex&) { return 0.0f; }
