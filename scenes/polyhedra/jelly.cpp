// The jelly solids: flat-coloured translucent faces sent through the distort
// program, which squashes and wobbles each solid after its impacts. With the
// depth test off, the drawing order makes the picture: the far half of a
// shell (one culling pass), anything inside it, then the near half.
#include "app/gl.h"
#include "app/shader/shader.h"
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/scene_gl.h"

#include <cfloat>
#include <cmath>

const FaceColour faceColours[2][20] = {
    // Blues and a pale white, repeating every four faces.
    {{0.0f, 0.0f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.4f, 0.4f, 0.8f}, {0.9f, 0.9f, 0.9f},
     {0.0f, 0.0f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.4f, 0.4f, 0.8f}, {0.9f, 0.9f, 0.9f},
     {0.0f, 0.0f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.4f, 0.4f, 0.8f}, {0.9f, 0.9f, 0.9f},
     {0.0f, 0.0f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.4f, 0.4f, 0.8f}, {0.9f, 0.9f, 0.9f},
     {0.0f, 0.0f, 0.8f}, {0.2f, 0.2f, 0.8f}, {0.4f, 0.4f, 0.8f}, {0.9f, 0.9f, 0.9f}},
    // Reds of varying depth.
    {{0.1f, 0, 0}, {0.2f, 0, 0}, {0.3f, 0, 0}, {0.4f, 0, 0}, {0.5f, 0, 0},
     {0.6f, 0, 0}, {0.7f, 0, 0}, {0.8f, 0, 0}, {0.9f, 0, 0}, {0.7f, 0, 0},
     {0.4f, 0, 0}, {0.9f, 0, 0}, {0.8f, 0, 0}, {0.7f, 0, 0}, {0.6f, 0, 0},
     {0.5f, 0, 0}, {0.4f, 0, 0}, {0.3f, 0, 0}, {0.2f, 0, 0}, {0.1f, 0, 0}},
};
const float faceAlpha[2] = {0.4f, 0.6f};

// GL on entry: vertex profile enabled, distort program bound, blending and
// culling set by the caller. Leaves the current colour at the last face's.
void drawJelly(const Polyhedron* solid) {
    if (!solid) return;
    shader::setModelViewProjection(polyhedraScene.distortModelViewProj);
    shader::setParameter1d(polyhedraScene.lastcollParam, solid->lastCollision);
    shader::setParameter1d(polyhedraScene.actualtParam, solid->actualTime);
    shader::setParameter1d(polyhedraScene.amplitudeParam, solid->amplitude);

    // Set-up gives every drawn solid table 0 or 1; the colours repeat past
    // the twentieth face of a solid from a foreign file rather than running
    // off the table.
    const int table = solid->colourSet == 1 ? 1 : 0;
    for (int i = 0; i < solid->faceCount; ++i) {
        const PolyFace& face = solid->faces[i];
        const FaceColour& colour = faceColours[table][i % 20];
        glBegin(GL_POLYGON);
        glColor4f(colour.red, colour.green, colour.blue, faceAlpha[table]);
        for (int k = 0; k < face.count; ++k) {
            int index = face.indices[k];
            if (index < 0 || index >= solid->vertexCount) continue;
            const PolyVertex& v = solid->vertices[index];
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
    }
}

namespace {

// Translucent faces over whatever lies behind, no depth test, culling on,
// through the distort program.
void beginJelly() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    shader::enableProfile(sceneGl.vertexProfile);
    shader::bindProgram(polyhedraScene.distortProgram);
}

void endJelly() {
    shader::disableProfile(sceneGl.vertexProfile);
    glPopAttrib();
}

}  // namespace

// GL on entry: modelview the current matrix mode. Leaves every attribute as
// found and the vertex profile disabled; the modelview matrix carries the
// translation by `height`.
void drawSingleJelly(const Polyhedron* solid, std::uint8_t cullBackFirst, float height) {
    beginJelly();
    glTranslatef(0.0f, height, 0.0f);
    glCullFace(cullBackFirst ? GL_BACK : GL_FRONT);
    drawJelly(solid);
    glCullFace(cullBackFirst ? GL_FRONT : GL_BACK);
    drawJelly(solid);
    endJelly();
}

// GL on entry: modelview the current matrix mode. Leaves every attribute as
// found and the vertex profile disabled; the modelview matrix carries the
// translation by `outerHeight`.
void drawNestedJelly(const Polyhedron* outer, const Polyhedron* inner, std::uint8_t cullBackFirst,
                     float outerHeight, float innerHeight, float innerScale) {
    beginJelly();
    glCullFace(cullBackFirst ? GL_BACK : GL_FRONT);
    glTranslatef(0.0f, outerHeight, 0.0f);
    drawJelly(outer);

    glTranslatef(0.0f, innerHeight - outerHeight, 0.0f);
    // The inner solid grows from nothing at the start of its phase: a scale
    // of 0 (or one whose inverse does not exist in float) has nothing to
    // show, and undoing it would fill the matrix with NaN.
    const bool innerVisible = std::fabs(innerScale) >= FLT_MIN && std::isfinite(innerScale);
    if (innerVisible) {
        glScalef(innerScale, innerScale, innerScale);
        drawJelly(inner);
    }
    glCullFace(cullBackFirst ? GL_FRONT : GL_BACK);
    if (innerVisible) {
        drawJelly(inner);
        glScalef(1.0f / innerScale, 1.0f / innerScale, 1.0f / innerScale);
    }
    glTranslatef(0.0f, outerHeight - innerHeight, 0.0f);
    drawJelly(outer);
    endJelly();
}
