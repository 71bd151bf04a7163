// Scene 2, the lens scene: a turning, zooming plane and, while the lens is
// on, a magnifying lens over it, drawn through the twist (vertex) and lens
// (fragment) programs with three texture units.
//
// The lens lives in the plane's turned frame at (lensX, lensY), one unit in
// radius. The twist program turns the quad about its vertical axis like a
// coin; the lens program looks up the plane beneath through the
// displacement map, on the same texture and at the plane's own scale, so
// the magnified picture lines up with the plane around it.
#include "app/gl.h"
#include "app/shader/shader.h"
#include "scenes/lens/lens_parts.h"
#include "scenes/scene_gl.h"

#include <cmath>

namespace {

// The single-precision values the lens has always been turned with.
const float kPi = 3.1415927f;
const float kHalfPi = 1.5707964f;

}  // namespace

float foldedAngle(float twistAngle) {
    double folded = std::fmod(static_cast<double>(twistAngle) + kHalfPi, static_cast<double>(kPi));
    return static_cast<float>(folded - kHalfPi);
}

LensParameters lensParameters(const LensSceneDrive& drive) {
    LensParameters p;
    // The texture repeats every 2 x zoom units, so the 2 x zoom added here is
    // a whole number of repeats once scaled; what counts is lensX - 1, the
    // plane at the lens's left (and lower) edge.
    p.displacement[0] = lensScene.lensX + 2.0f * drive.zoom - 1.0f;
    p.displacement[1] = lensScene.lensY + 2.0f * drive.zoom - 1.0f;
    p.zoom = 0.5f / drive.zoom;
    p.foldedAngle = foldedAngle(drive.twistAngle);
    // Folded into [-pi/2, pi/2), the turned coin never shows a negative width.
    p.distortscale[0] = static_cast<float>(std::cos(static_cast<double>(p.foldedAngle)));
    p.distortscale[1] = 1.0f;
    p.turnedAngle = p.foldedAngle + kPi;
    return p;
}

namespace {

// Expects: the modelview at the lens, the lens textures bound on units 0 to
// 2, both programs bound and enabled. Leaves: the same.
void drawLensQuad(const LensParameters& p) {
    // Position z carries the angle for the twist program, not a depth: the
    // program puts the corners at (cos z, y, sin z), so angle and angle + pi
    // are the coin's two opposite edges.
    struct Corner {
        float s0, t0, s1, t1, y, angle;
    };
    const Corner corners[4] = {
        {0, 0, 0, 0, -1, p.turnedAngle},
        {0, 0, 1, 0, -1, p.foldedAngle},
        {0, 1, 1, 1, 1, p.foldedAngle},
        {0, 1, 0, 1, 1, p.turnedAngle},
    };
    glBegin(GL_QUADS);
    for (const Corner& c : corners) {
        glTexCoord2f(c.s0, c.t0);
        if (sceneGl.glMultiTexCoord2fARB) sceneGl.glMultiTexCoord2fARB(GL_TEXTURE1_ARB, c.s1, c.t1);
        glVertex3f(0.0f, c.y, c.angle);
    }
    glEnd();
}

// Expects: the modelview at the lens, unit 0 selected. Leaves: unit 2
// selected; units 0, 1, 2 hold the tint, the displacement map and the plane.
void bindLensTextures() {
    const GLuint* textures = lensScene.lensSceneTextures;
    glBindTexture(GL_TEXTURE_2D, textures[lensTintTexture]);
    if (sceneGl.glActiveTextureARB) {
        sceneGl.glActiveTextureARB(GL_TEXTURE1_ARB);
        glBindTexture(GL_TEXTURE_2D, textures[displacementMap]);
    }
    if (sceneGl.glActiveTextureARB) {
        sceneGl.glActiveTextureARB(GL_TEXTURE2_ARB);
        glBindTexture(GL_TEXTURE_2D, textures[planeTexture]);
    }
}

}  // namespace

void drawLensScene(const LensSceneDrive& drive) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    glRotatef(drive.rotation, 0.0f, 0.0f, 1.0f);
    // The previous lens frame left unit 2 selected.
    if (sceneGl.glActiveTextureARB) sceneGl.glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, lensScene.lensSceneTextures[planeTexture]);
    drawZoomPlane(drive.zoom);
    glTranslatef(lensScene.lensX, lensScene.lensY, 0.0f);
    if (!drive.lensActive) return;

    const LensParameters p = lensParameters(drive);
    shader::enableProfile(sceneGl.fragmentProfile);
    shader::bindProgram(lensScene.lensProgram);
    shader::setParameter2f(lensScene.displacementParam, p.displacement[0], p.displacement[1]);
    shader::setParameter1f(lensScene.zoomParam, p.zoom);
    shader::setParameter2f(lensScene.distortscaleParam, p.distortscale[0], p.distortscale[1]);
    shader::enableProfile(sceneGl.vertexProfile);
    shader::bindProgram(lensScene.twistProgram);
    // Taken now, so it includes the plane's turn and the lens position.
    shader::setModelViewProjection(lensScene.twistModelViewProj);
    bindLensTextures();
    drawLensQuad(p);
    shader::disableProfile(sceneGl.fragmentProfile);
    shader::disableProfile(sceneGl.vertexProfile);
}
