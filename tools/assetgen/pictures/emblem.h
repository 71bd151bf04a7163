// The demo's emblem, shared by the slab's logo and the zoom tunnel's title
// picture: chrome lettering, an orbit ring tilted around it, and a wire
// icosahedron (the solid that bounces on the floor).
#pragma once

#include "tools/assetgen/pictures/canvas.h"

namespace assetgen {

// An ellipse seen tilted: centre, radii, turn (radians), stroke width.
struct OrbitRing {
    double cx, cy, rx, ry, angle, width;
};

enum class RingHalf { back, front, whole };

// Coverage of the ring's back half (the far side, upper on the picture),
// front half or whole outline.
Mask ringMask(int width, int height, const OrbitRing& ring, RingHalf half);
// The point of the ring at parameter t (radians), and whether it is in front.
Point ringPoint(const OrbitRing& ring, double t);

// Chrome lettering: the colour of a chrome surface at height `along` down the
// letters (0 at the cap line, 1 at the baseline) whose surface leans by the
// normal (nx, ny) (from the letters' bevel). Sky above the horizon line, a
// dark ground with a warm glow below it, and a highlight.
Colour chromeColour(double along, double nx, double ny);

// The bevel normal of a coverage mask at (x, y): the slope of a blurred copy.
void bevelNormal(const Mask& softened, int x, int y, double strength, double& nx, double& ny);

// The wire icosahedron: its 30 edges projected to the picture (centre,
// radius in pixels, turned for a three-quarter view), each with its depth
// (-1 far .. 1 near) at both ends.
struct WireEdge {
    Point a, b;
    double depthA, depthB;
};
std::vector<WireEdge> wireIcosahedron(double cx, double cy, double radius);

// Coverage of a line of the given width (anti-aliased) at distance d.
double lineCoverage(double distance, double width);

}  // namespace assetgen
