// Inside scene 0, the polyhedra scene: the operations its files share and
// its tests call directly. What the rest of the demo sees (the state record
// and the entry points) is in polyhedra_scene.h.
//
// Files: setup.cpp (shader, entry-point check, GL state, clock mark, solids,
// textures), precise_clock.cpp (the scene's clock), bounce.cpp (flight curve
// and impact times), floor_slab.cpp, polyhedra_scene.cpp (the seven phases,
// camera, reflection), jelly.cpp (the solids through the distort program).
// Everything runs on the main thread with the GL context current.
#pragma once

#include <cstdint>

struct Polyhedron;

// How long each of the seven phases lasts, in seconds of the precise clock
// (index 0 unused): a phase ends at the first frame past its length.
constexpr double kPhaseLength[8] = {0, 7.5, 1.0, 7.0, 7.0, 2.0, 4.2, 16.1};

// ---- bounce and collision timing -----------------------------------------

// Height of the solid's centre for this frame on its fall-and-rise curve,
// timed from the clock mark; records the impacts (collisionElapsed, rising,
// lastCollision) and sets the mark at the top of each rise.
float bounceHeight(Polyhedron* solid);
// Height of the secondary solid's centre riding inside the primary, lagging
// behind its changes of direction; `primaryHeight` is this frame's
// bounceHeight. Updates the secondary's lastCollision and
// polyhedraScene.secondaryDirection.
float secondaryHeight(Polyhedron* primary, Polyhedron* secondary, float primaryHeight,
                      float offset);

// ---- drawing --------------------------------------------------------------

// The glass floor slab under the current modelview matrix.
// GL on entry: texture unit 0 active; the caller's blending applies to the
// underside and the chessboard, the caller's stencil function and operation
// to the top face. Leaves: every attribute and the modelview matrix as found.
void drawFloorSlab();

// The faces of one solid through the distort program, with the uniforms set
// from the solid. GL on entry: the vertex profile enabled and the distort
// program bound, blending and culling set by the caller. Leaves: the current
// colour at the last face's colour (callers restore it with their attributes).
void drawJelly(const Polyhedron* solid);
// The solid raised by `height`, both culling passes, back faces first when
// `cullBackFirst`. Leaves every attribute as found and the vertex profile
// disabled; the modelview matrix keeps the translation by `height`.
void drawSingleJelly(const Polyhedron* solid, std::uint8_t cullBackFirst, float height);
// `outer` raised by `outerHeight` with `inner` inside it, raised by
// `innerHeight` and scaled by `innerScale` about its centre, drawn between the
// outer shell's two culling passes. Leaves every attribute as found and the
// vertex profile disabled; the modelview matrix keeps the translation by
// `outerHeight`. A scale of 0 (or one too small to invert) draws no inner
// solid.
void drawNestedJelly(const Polyhedron* outer, const Polyhedron* inner, std::uint8_t cullBackFirst,
                     float outerHeight, float innerHeight, float innerScale);

// Face colours: table 0 for the primary solid, table 1 for the secondary,
// 20 entries each (one per face of an icosahedron), with one alpha per table.
struct FaceColour {
    float red, green, blue;
};
extern const FaceColour faceColours[2][20];
extern const float faceAlpha[2];
