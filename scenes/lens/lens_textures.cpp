// createLensSceneTextures: the five textures of the zoom tunnel and the lens
// scene, made once per start-up on the new window's GL context.
//
// Three pictures are uploaded as loaded, the centre picture is derived from
// "data/ff.bmp" and the lens displacement map is computed. A picture that is
// missing, unreadable or of a size GL (or the centre picture) cannot take is
// replaced by a checkerboard, so the demo still runs and the fault shows.
#include "app/gl.h"
#include "app/notice.h"
#include "assets/bmp.h"
#include "scenes/lens/lens_parts.h"

#include <cstdio>
#include <string>

namespace {

// Internal formats by texture index, as plain component counts. Entry 0 is
// not read: the mipmap builder is always given 3 components.
const GLint kInternalFormats[5] = {3, 4, 3, 3, 4};

void complain(const std::string& text) { platform::showNotice(text.c_str()); }

// loadBmp, with what it reports said as the demo has always said it: the
// line naming the file and what exactly on stderr, then the notice.
ImageRecord* loadPicture(const char* fileName) {
    LoadReport report;
    ImageRecord* image = loadBmp(fileName, &report);
    if (!report.detail.empty()) std::fprintf(stderr, "%s\n", report.detail.c_str());
    if (!report.message.empty()) complain(report.message);
    return image;
}

std::string sizeOf(const ImageRecord* image) {
    return std::to_string(image->width) + " x " + std::to_string(image->height);
}

bool hasPixels(const ImageRecord* image) {
    return image && image->pixels && image->width > 0 && image->height > 0;
}

ImageRecord* checkerboard(int size, int bytesPerTexel) {
    ImageRecord* image = newImage(size, size, bytesPerTexel);
    if (image) fillCheckerboard(image, bytesPerTexel);
    return image;
}

// The loaded picture where GL can take it as it is, else a checkerboard. A
// loader that returns nothing has already said why; a picture too large for
// the driver is said here (the mipmap builder scales, so `anySize` pictures
// never are).
ImageRecord* usableOrCheckerboard(ImageRecord* image, const char* fileName, bool anySize) {
    if (hasPixels(image)) {
        GLint largest = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
        if (anySize || (image->width <= largest && image->height <= largest)) return image;
        complain(std::string(fileName) + " is " + sizeOf(image) +
                 " pixels, larger than this OpenGL driver's largest texture (" +
                 std::to_string(largest) + "); a checkerboard stands in for it.");
    }
    freeImage(image);
    return checkerboard(kFallbackSize, 3);
}

}  // namespace

// Expects: a current GL context. Leaves: lensSceneTextures filled,
// centreTexture bound on the active unit, the unpack alignment as it was.
void createLensSceneTextures() {
    ImageRecord* images[5] = {};
    images[planeTexture] = usableOrCheckerboard(loadPicture("data/atomic2.bmp"),
                                                "data/atomic2.bmp", true);
    images[displacementMap] = newImage(kDisplacementSize, kDisplacementSize, 4);
    images[lensTintTexture] = usableOrCheckerboard(loadPicture("data/lensblue.bmp"),
                                                   "data/lensblue.bmp", false);
    images[tunnelTexture] = usableOrCheckerboard(loadPicture("data/cool.bmp"), "data/cool.bmp",
                                                 false);
    images[centreTexture] = newImage(kCentreSize, kCentreSize, 4);
    ImageRecord* ff = loadPicture("data/ff.bmp");

    if (images[displacementMap]) fillDisplacementMap(images[displacementMap]);
    if (images[centreTexture]) {
        // The centre picture is read as exactly 512 rows of 512 pixels: any
        // other size would be read past its end or skewed.
        if (hasPixels(ff) && ff->width == kCentreSize && ff->height == kCentreSize) {
            fillCentreImage(images[centreTexture], ff);
        } else {
            if (hasPixels(ff)) {
                complain("data/ff.bmp is " + sizeOf(ff) +
                         " pixels; the centre picture needs 512 x 512. A checkerboard stands "
                         "in for it.");
            }
            fillCheckerboard(images[centreTexture], 4);
        }
    }

    glGenTextures(5, lensScene.lensSceneTextures);
    // The pictures' rows are tightly packed; at GL's default alignment of 4 a
    // row that is not a multiple of 4 bytes long would be read past its end.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int index = 0; index < 5; ++index) {
        glBindTexture(GL_TEXTURE_2D, lensScene.lensSceneTextures[index]);
        ImageRecord* image = images[index];
        if (image && index == planeTexture) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB,
                              GL_UNSIGNED_BYTE, image->pixels);
        } else if (image) {
            GLenum format = kInternalFormats[index] == 4 ? GL_RGBA : GL_RGB;
            glTexImage2D(GL_TEXTURE_2D, 0, kInternalFormats[index], image->width, image->height,
                         0, format, GL_UNSIGNED_BYTE, image->pixels);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        index == planeTexture ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        freeImage(image);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    freeImage(ff);
}
