// The lens scene's two programs: the lens (fragment) reads the plane
// through the displacement map, the twist (vertex) turns the lens like a
// coin. Made on every start-up, in the shader context of sceneGl.
#include "app/shader/shader.h"
#include "scenes/lens/lens_scene.h"
#include "scenes/scene_gl.h"

#include <cstdio>

LensScene lensScene;

namespace {

// The shader layer's text for its last error: the file, what is wrong and
// the compiler's log.
void reportShaderFailure() {
    std::printf("%s\n", shader::errorString(shader::lastError()));
    std::fflush(stdout);
}

}  // namespace

void createLensPrograms() {
    LensScene& scene = lensScene;
    // Not fatal (the demo plays on, the lens drawn as far as the other stage
    // allows), but said on stdout as the polyhedra scene says its own.
    scene.lensProgram = shader::createProgramFromFile(sceneGl.cgContext, "data/lens.cg",
                                                      sceneGl.fragmentProfile, "main");
    if (scene.lensProgram == 0) reportShaderFailure();
    scene.twistProgram = shader::createProgramFromFile(sceneGl.cgContext, "data/twist.cg",
                                                       sceneGl.vertexProfile, "main");
    if (scene.twistProgram == 0) reportShaderFailure();
    shader::loadProgram(scene.lensProgram);
    shader::loadProgram(scene.twistProgram);
    scene.displacementParam = shader::namedParameter(scene.lensProgram, "displacement");
    scene.zoomParam = shader::namedParameter(scene.lensProgram, "zoom");
    scene.distortscaleParam = shader::namedParameter(scene.lensProgram, "distortscale");
    scene.twistModelViewProj = shader::namedParameter(scene.twistProgram, "ModelViewProj");
}
