// The five textures of the zoom and lens scenes. Stand-in: names only.
#include "app/gl.h"
#include "demo/demo_state.h"

void createLensSceneTextures() { glGenTextures(5, demo.lensSceneTextures); }
