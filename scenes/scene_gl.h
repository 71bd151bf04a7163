// What both scenes draw with: the multitexture entry points and the shader
// context and profiles their programs are made in.
//
// The scenes own this record; the start-up has it made on every new window
// (prepareSceneGl), in its place in the start-up's order, before either
// scene's set-up. The entry points are null where the driver lacks them, and
// every call through them is skipped then. Main thread only, with the
// window's GL context current.
#pragma once

#include "app/gl.h"
#include "app/shader/handles.h"

struct SceneGl {
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
    shader::Context cgContext = 0;
    shader::Profile fragmentProfile = 0;
    shader::Profile vertexProfile = 0;
};

extern SceneGl sceneGl;

// Fetches the two multitexture entry points (through the backends' GL
// lookup where one is chosen; GLX hands out an address for any name, so the
// extension string decides), then makes the shader context and the latest
// fragment and vertex profiles with their best options.
void prepareSceneGl();
