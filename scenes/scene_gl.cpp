#include "scenes/scene_gl.h"

#include "app/backends.h"
#include "app/shader/shader.h"

#include <SDL.h>

SceneGl sceneGl;

namespace {

// A multitexture entry point as the driver offers it, null included. The
// backends may stand in for the whole lookup.
template <typename Pointer>
void fetchEntryPoint(Pointer* slot, const char* name) {
    void* (*lookup)(const char*) = platform::backends().glLookup;
    void* found = nullptr;
    if (lookup) found = lookup(name);
    else if (SDL_GL_ExtensionSupported("GL_ARB_multitexture")) found = SDL_GL_GetProcAddress(name);
    *slot = reinterpret_cast<Pointer>(found);
}

}  // namespace

void prepareSceneGl() {
    fetchEntryPoint(&sceneGl.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    fetchEntryPoint(&sceneGl.glActiveTextureARB, "glActiveTextureARB");
    sceneGl.cgContext = shader::createContext();
    sceneGl.fragmentProfile = shader::latestProfile(shader::Stage::fragment);
    sceneGl.vertexProfile = shader::latestProfile(shader::Stage::vertex);
    shader::setOptimalOptions(sceneGl.fragmentProfile);
    shader::setOptimalOptions(sceneGl.vertexProfile);
}
