// The shader layer's context, profiles, handles and errors.
#include "app/shader/shader_state.h"

#include "app/window.h"

#include <SDL.h>

#include <cstdio>

namespace shader {

ShaderState& state() {
    static ShaderState s;
    return s;
}

bool contextLive() {
    const ShaderState& s = state();
    return s.generation != 0 && s.glContext != 0 && currentContextSerial() == s.glContext;
}

void recordError(int error, const std::string& text) {
    ShaderState& s = state();
    s.pendingError = error;
    s.detailError = error;
    s.detailText = text;
}

int indexOf(std::uint32_t handle, std::size_t tableSize) {
    if (handle == 0) return kNoIndex;
    std::uint32_t index = (handle & kIndexMask) - 1;
    if ((handle >> kIndexBits) != state().generation || index >= tableSize) {
        recordError(invalidHandle, "shader layer: a handle of an earlier context, or none at all");
        return kNoIndex;
    }
    return static_cast<int>(index);
}

Context createContext() {
    ShaderState& s = state();
    const std::uint64_t glContext = currentContextSerial();
    if (glContext == 0) {
        recordError(noContext, "shader layer: no GL context is current");
        return 0;
    }
    // The old tables go without deleting their GL names: their context is
    // normally gone, and its names may mean other objects in this one.
    std::uint32_t generation = s.generation + 1 < kGenerationLimit ? s.generation + 1 : 1;
    s = ShaderState();
    s.generation = generation;
    s.glContext = glContext;
    // Called again on a context that still has one of our programs current:
    // the fresh tables start from fixed function, so must GL.
    if (epoxy_gl_version() >= 20) glUseProgram(0);
    return makeHandle(0);
}

Profile latestProfile(Stage stage) {
    if (!contextLive()) {
        recordError(noContext, "shader layer: no shader context for the current GL context");
        return 0;
    }
    int major = 0, minor = 0;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    if (epoxy_gl_version() < 20 || !version || std::sscanf(version, "%d.%d", &major, &minor) != 2 ||
        major * 100 + minor < 120) {
        recordError(noSupport, "shader layer: this GL context offers no GLSL 1.20");
        return 0;
    }
    return makeHandle(static_cast<std::uint32_t>(stageIndex(stage)));
}

void setOptimalOptions(Profile) {}

int lastError() {
    ShaderState& s = state();
    int error = s.pendingError;
    s.pendingError = noError;
    return error;
}

const char* errorString(int error) {
    const ShaderState& s = state();
    if (error != noError && error == s.detailError) return s.detailText.c_str();
    switch (error) {
    case noError: return "no error";
    case noContext: return "no shader context for the current GL context";
    case noSupport: return "the GL context offers no GLSL 1.20";
    case invalidHandle: return "a handle of an earlier context, or none at all";
    case invalidArgument: return "a missing file name or an entry other than \"main\"";
    case fileError: return "a shader program's file cannot be read";
    case compileError: return "a shader program does not compile";
    case linkError: return "shader programs do not link";
    default: return "unknown shader error";
    }
}

}  // namespace shader
