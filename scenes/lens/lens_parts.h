// Inside scenes 1 and 2, the zoom tunnel and the lens scene: what their
// source files share, and what the tests look at directly. What the rest of
// the demo sees (the state record and the entry points) is in lens_scene.h.
//
// Pictures made here are malloc'ed ImageRecords like the BMP loader's, freed
// pixels first, then the record. Main thread only.
#pragma once

#include "assets/bmp.h"
#include "scenes/lens/lens_scene.h"

// ---- pictures (lens_images.cpp) -------------------------------------------

constexpr int kDisplacementSize = 256;  // the lens displacement map, square
constexpr int kCentreSize = 512;        // the zoom tunnel's centre picture, square
constexpr int kFallbackSize = 64;       // stands in for a picture that cannot be used

// A picture of width x height with bytesPerTexel bytes per texel; null when
// memory runs out.
ImageRecord* newImage(int width, int height, int bytesPerTexel);
// Frees the pixels, then the record; null is fine.
void freeImage(ImageRecord* image);

// Each texel holds the lens offset of its place as (dx + 128, dy + 128, 0)
// and its alpha marks the lens disc (r^2 < 0.95); see the definition.
void fillDisplacementMap(ImageRecord* map);
// (red, red, red, green) of each source pixel: a grey picture whose opacity
// is the source's green. The source must be 512 x 512, 3 bytes per pixel.
void fillCentreImage(ImageRecord* centre, const ImageRecord* source);
// A magenta and grey checkerboard, eight squares a side, opaque: plainly not the
// intended picture, but the demo goes on.
void fillCheckerboard(ImageRecord* image, int bytesPerTexel);

// ---- drawing --------------------------------------------------------------

// What one lens frame hands to the programs, from the lens's position and
// the timeline's drive.
struct LensParameters {
    float displacement[2];  // the lens centre less one lens radius, + 2 x zoom repeats
    float zoom;             // plane texture coordinates per unit of the plane
    float distortscale[2];  // (cos foldedAngle, 1): how far the coin is turned
    float foldedAngle;      // twistAngle folded into [-pi/2, pi/2)
    float turnedAngle;      // foldedAngle + pi: the quad's far edge
};

// fmod(twistAngle + pi/2, pi) - pi/2 in double precision with the
// single-precision pi constants, rounded to single precision.
float foldedAngle(float twistAngle);
LensParameters lensParameters(const LensSceneDrive& drive);

// A plane at `zoom` (its texture repeats every 2 x zoom units).
// Expects: the modelview current and set up for the plane, the plane's
// texture bound on the active unit. Leaves: nothing changed.
void drawZoomPlane(float zoom);
