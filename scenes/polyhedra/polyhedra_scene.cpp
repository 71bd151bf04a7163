// Scene 0's timeline, camera and mirror. Seven phases: the slab's underside
// with the logo face-on (1), the slab tilting down while the camera rises
// (2), the empty floor (3), the primary solid bouncing alone (4), the
// secondary growing inside it (5), riding at a fixed height (6) and lagging
// behind its motion (7). Phases 1 to 3 are timed from the clock mark; the
// mark set at the end of phase 3 starts the first fall and then belongs to
// the bounce, so phases 4 to 7 are timed from phaseStart. The end of phase 7
// is the end of the scene (`finished`).
#include "app/gl.h"
#include "assets/polyhedron.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/polyhedra/precise_clock.h"
#include "scenes/scene_gl.h"

namespace {

constexpr float kSecondaryOffset = 0.5f;
constexpr float kInnerHeight = 1.5f;
constexpr float kInnerScale = 0.5f;

// The solids of this phase, in the current modelview matrix.
void drawSolids(float height, float secondaryHeight) {
    Polyhedron* primary = polyhedraScene.primarySolid;
    Polyhedron* secondary = polyhedraScene.secondarySolid;
    switch (polyhedraScene.scenePhase) {
        case 4:
            drawSingleJelly(primary, 1, height);
            break;
        case 5: {
            // Grows from nothing to half size over the phase's 2 seconds.
            float scale = static_cast<float>((clockNow() - polyhedraScene.phaseStart) * 0.5 / 2.0);
            drawNestedJelly(primary, secondary, 1, height, kInnerHeight, scale);
            break;
        }
        case 6:
            drawNestedJelly(primary, secondary, 1, height, kInnerHeight, kInnerScale);
            break;
        default:
            drawNestedJelly(primary, secondary, 1, height, secondaryHeight, kInnerScale);
            break;
    }
}

// Phases 4 to 7: the solids, their reflection in the slab's top face and the
// floor over the reflection. The stencil buffer limits the mirror image to
// where the top face covers the screen.
void drawBouncingPhase() {
    Polyhedron* primary = polyhedraScene.primarySolid;
    Polyhedron* secondary = polyhedraScene.secondarySolid;
    float now = static_cast<float>(clockNow());
    if (primary) primary->actualTime = now;
    if (secondary) secondary->actualTime = now;

    float height = bounceHeight(primary);
    float riding = 0.0f;
    if (polyhedraScene.scenePhase == 7 && primary && secondary)
        riding = secondaryHeight(primary, secondary, height, kSecondaryOffset);

    gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
    glRotatef(polyhedraScene.tiltX, 1, 0, 0);
    glRotatef(polyhedraScene.tiltZ, 0, 0, 1);

    // Mark the mirror: only the top face writes the stencil, nothing reaches
    // the colour buffer.
    glPushMatrix();
    glEnable(GL_STENCIL_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFF);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    drawFloorSlab();
    glStencilFunc(GL_EQUAL, 1, 0xFFFFFFFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPopMatrix();

    // The reflection, clipped to the mirror by the stencil test.
    glPushMatrix();
    glRotatef(polyhedraScene.orbitAngle, 0, 1, 0);
    glScalef(1, -1, 1);
    drawSolids(height, riding);
    glPopMatrix();

    // The floor added over the reflection; the top face clears its stencil.
    glPushMatrix();
    glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    drawFloorSlab();
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
    glPopMatrix();

    glPushMatrix();
    glRotatef(polyhedraScene.orbitAngle, 0, 1, 0);
    drawSolids(height, riding);
    glPopMatrix();

    int phase = polyhedraScene.scenePhase;
    if (clockNow() - polyhedraScene.phaseStart > kPhaseLength[phase]) {
        if (phase < 7) {
            polyhedraScene.phaseStart = static_cast<float>(clockNow());
            polyhedraScene.scenePhase = phase + 1;
        } else {
            polyhedraScene.finished = true;
        }
    }
}

}  // namespace

// GL on entry and on leaving: as polyhedra_scene.h says.
void drawPolyhedraScene() {
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glDisable(GL_STENCIL_TEST);
    glPushMatrix();
    glLoadIdentity();

    switch (polyhedraScene.scenePhase) {
        case 1:
            gluLookAt(0, 0, 4.4, 0, 0, 0, 0, 1, 0);
            glRotatef(-90, 1, 0, 0);
            drawFloorSlab();
            if (clockElapsed() > kPhaseLength[1]) {
                clockMark();
                polyhedraScene.scenePhase = 2;
            }
            break;
        case 2: {
            // Eye height, look-at height and slab angle each follow their
            // own reading of the clock, from 0, 0, -90 to 2, 1, 0.
            double eyeY = 2.0 * (clockElapsed() / kPhaseLength[2]);
            double centreY = clockElapsed() / kPhaseLength[2];
            gluLookAt(0, eyeY, 4.4, 0, centreY, 0, 0, 1, 0);
            glRotatef(static_cast<float>(90.0 * (clockElapsed() / kPhaseLength[2]) - 90.0), 1, 0, 0);
            drawFloorSlab();
            if (clockElapsed() > kPhaseLength[2]) {
                clockMark();
                polyhedraScene.scenePhase = 3;
            }
            break;
        }
        case 3:
            gluLookAt(0, 2, 4.4, 0, 1, 0, 0, 1, 0);
            drawFloorSlab();
            if (clockElapsed() > kPhaseLength[3]) {
                // The mark starts the first fall from the top.
                clockMark();
                polyhedraScene.phaseStart = static_cast<float>(clockNow());
                polyhedraScene.scenePhase = 4;
            }
            break;
        default:
            if (polyhedraScene.scenePhase >= 4 && polyhedraScene.scenePhase <= 7) drawBouncingPhase();
            break;
    }

    glPopMatrix();
}

// Called by the sequencer after every frame of scene 0 with the frames of 60
// a second it stood for: the solids turn 0.6 degrees for each, 36 a second.
void stepOrbit(float frames) { polyhedraScene.orbitAngle += 0.6f * frames; }

bool startPhaseOneAt(double seconds) {
    if (polyhedraScene.scenePhase != 1) return false;
    clockMarkSeconds = static_cast<float>(seconds);
    return true;
}
