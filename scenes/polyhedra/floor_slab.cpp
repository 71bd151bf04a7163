// The glass floor slab: a box 4 wide and deep and 0.2 thick, its top in the
// plane y = 0. Its underside carries the logo; on its inner floor lies the
// chessboard (4 x 4 repeats) multiplied by the scratches stretched once over
// it; walls and top are faint translucent glass. Every face is wound
// counter-clockwise as seen from the side it faces, so culling shows only the
// faces turned towards the eye.
#include "app/gl.h"
#include "scenes/polyhedra/polyhedra.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/scene_gl.h"

namespace {

struct Corner {
    float x, y, z;
};

// Calls through the scene's entry points are skipped while they are null.
void activeTexture(GLenum unit) {
    if (sceneGl.glActiveTextureARB) sceneGl.glActiveTextureARB(unit);
}

void multiTexCoord(GLenum unit, float s, float t) {
    if (sceneGl.glMultiTexCoord2fARB) sceneGl.glMultiTexCoord2fARB(unit, s, t);
}

void polygon(const Corner (&corners)[4]) {
    glBegin(GL_POLYGON);
    for (const Corner& c : corners) glVertex3f(c.x, c.y, c.z);
    glEnd();
}

const Corner kUnderside[4] = {{-2, -0.2f, -2}, {2, -0.2f, -2}, {2, -0.2f, 2}, {-2, -0.2f, 2}};
const float kUndersideCoords[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

const Corner kChessboard[4] = {{-2, -0.2f, 2}, {2, -0.2f, 2}, {2, -0.2f, -2}, {-2, -0.2f, -2}};
const float kChessboardCoords[4][2] = {{4, 0}, {0, 0}, {0, 4}, {4, 4}};
const float kScratchCoords[4][2] = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};

const Corner kBackWall[4] = {{-2, 0, -2}, {2, 0, -2}, {2, -0.2f, -2}, {-2, -0.2f, -2}};
const Corner kLeftWall[4] = {{-2, -0.2f, -2}, {-2, -0.2f, 2}, {-2, 0, 2}, {-2, 0, -2}};
const Corner kRightWall[4] = {{2, 0, -2}, {2, 0, 2}, {2, -0.2f, 2}, {2, -0.2f, -2}};
const Corner kFrontWall[4] = {{-2, -0.2f, 2}, {2, -0.2f, 2}, {2, 0, 2}, {-2, 0, 2}};
const Corner kTop[4] = {{-2, 0, 2}, {2, 0, 2}, {2, 0, -2}, {-2, 0, -2}};

}  // namespace

// GL on entry: texture unit 0 active, modelview the current matrix mode; the
// caller's blend state, stencil function and stencil operation. Leaves every
// attribute and the modelview matrix as found.
void drawFloorSlab() {
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_CULL_FACE);

    glBindTexture(GL_TEXTURE_2D, polyhedraScene.logoTexture);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(kUndersideCoords[i][0], kUndersideCoords[i][1]);
        glVertex3f(kUnderside[i].x, kUnderside[i].y, kUnderside[i].z);
    }
    glEnd();

    activeTexture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, polyhedraScene.chessboardTexture);
    activeTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, polyhedraScene.scratchTexture);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) {
        multiTexCoord(GL_TEXTURE0_ARB, kChessboardCoords[i][0], kChessboardCoords[i][1]);
        multiTexCoord(GL_TEXTURE1_ARB, kScratchCoords[i][0], kScratchCoords[i][1]);
        glVertex3f(kChessboard[i].x, kChessboard[i].y, kChessboard[i].z);
    }
    glEnd();

    // Unit 1 stays on with the scratches at their last coordinate (1, 1):
    // the glass walls and top take that one texel's colour.
    activeTexture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.9f, 0.9f, 0.9f, 0.1f);
    polygon(kBackWall);
    polygon(kLeftWall);
    polygon(kRightWall);
    polygon(kFrontWall);

    // Only the top face is stencil-tested: it marks, or is masked by, the
    // mirror area with whatever function and operation the caller set.
    glEnable(GL_STENCIL_TEST);
    polygon(kTop);

    glPopAttrib();
    glPopMatrix();
}
