// Scene 1, the zoom tunnel: a textured plane filling the view, a copy turning
// the other way over it at 70 % opacity, and an unturned picture in the
// centre. How far it is turned and zoomed is the timeline's to say.
#include "app/gl.h"
#include "scenes/lens/lens_parts.h"

// 200 x 200 units at distance 5 reaches far past the view at any rotation;
// its texture coordinates change by 0.5 / zoom per unit, so the texture
// repeats every 2 x zoom units (repeat wrapping).
void drawZoomPlane(float zoom) {
    const float reach = 50.0f / zoom;
    glBegin(GL_QUADS);
    glTexCoord2f(-reach, -reach);
    glVertex3f(-100.0f, -100.0f, 0.0f);
    glTexCoord2f(reach, -reach);
    glVertex3f(100.0f, -100.0f, 0.0f);
    glTexCoord2f(reach, reach);
    glVertex3f(100.0f, 100.0f, 0.0f);
    glTexCoord2f(-reach, reach);
    glVertex3f(-100.0f, 100.0f, 0.0f);
    glEnd();
}

void drawZoomTunnel(const LensSceneDrive& drive) {
    const GLuint* textures = lensScene.lensSceneTextures;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    glRotatef(drive.rotation, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textures[tunnelTexture]);
    drawZoomPlane(drive.zoom);

    // The second layer turns the other way and lets 30 % of the first through.
    glRotatef(-2.0f * drive.rotation, 0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 0.7f);
    drawZoomPlane(drive.zoom);

    // The centre picture stands still; its own alpha (ff.bmp's green) times
    // 0.7 is its opacity.
    glRotatef(drive.rotation, 0.0f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textures[centreTexture]);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-2.0f, -2.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(2.0f, -2.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(2.0f, 2.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-2.0f, 2.0f, 0.0f);
    glEnd();
}
