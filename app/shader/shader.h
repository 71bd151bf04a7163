// The shader layer: vertex and fragment programs in GLSL 1.20, used the way
// the demo's scenes expect a Cg-style runtime to behave: programs per stage,
// compiled from a file with entry "main", named parameters, per-stage
// enable/disable and bind. Whenever the enabled set or a binding changes the
// layer makes current the linked GL program for that combination (linked
// once, cached); a stage with nothing enabled runs fixed-function, which the
// compatibility context allows.
//
// Ownership: the layer owns every GL shader and program object it makes; they
// belong to the GL context that was current at createContext and die with it.
// createContext starts afresh (after F1 the new window's start-up calls it
// again): handles of an earlier context carry its generation and are ignored
// from then on, and the layer never deletes GL names it made in a context
// that may be gone. Handles are small numbers, 0 = null; every operation
// accepts a null handle and does nothing. Everything runs on the main thread
// with the GL context current.
//
// Writing programs for this layer (the .cg files hold GLSL 1.20):
// - Entry "main". A file without a #version line is compiled as
//   "#version 120" (its line numbers in the compiler log stay the file's).
// - Per-vertex inputs are GL's own: gl_Vertex, gl_Color, gl_MultiTexCoord0,
//   gl_MultiTexCoord1 (the scenes send glVertex3f, glColor4f, glTexCoord2f
//   and the multitexture coordinates). A parameter name of Cg's input-struct
//   form, "IN.position", "IN.color", ..., names such an input: namedParameter
//   gives a handle for it, and values set through it are ignored.
// - Stages talk through the built-in varyings (gl_FrontColor -> gl_Color,
//   gl_TexCoord[i]) the way Cg's COLOR and TEXCOORDi semantics do, so that a
//   vertex program also works with fixed-function fragments (they texture
//   unit i with gl_TexCoord[i] and colour with gl_FrontColor) and a fragment
//   program with fixed-function vertices. Own varyings work only while both
//   stages have a program.
// - Uniforms: float, vec2, vec3, vec4 take the 1f/2f/1d values (components
//   not given are 0, extra ones dropped); mat4 takes the state matrix. Other
//   types get a handle whose values are ignored. For an array the value goes
//   to element 0. A uniform name used in both stages is one uniform once
//   linked: the value set last wins, so give each stage its own names.
// - Samplers and texture units: a sampler uniform samples the unit that
//   the number at the end of its name gives: "tint0" unit 0, "displacement1"
//   unit 1, "plane2" unit 2; no number means unit 0; an array takes
//   consecutive units from its name's number ("units[3]": 0, 1, 2). The layer
//   sets them once per linked program; callers bind textures to units and
//   never set samplers. A unit beyond the driver's count is left at 0.
// - The state matrix (setModelViewProjection) is column-major as GL keeps
//   it: use it as `ModelViewProj * gl_Vertex`.
#pragma once

#include "app/shader/handles.h"

namespace shader {

enum class Stage { vertex, fragment };

// Error codes of lastError. errorString(code) gives a sentence for each and,
// for the error recorded last, the full text: the file, what went wrong and
// the compiler's or linker's log.
enum Error : int {
    noError = 0,
    noContext,        // no GL context current, or none made by createContext
    noSupport,        // the GL context offers no GLSL 1.20
    invalidHandle,    // a handle of an earlier context, or no handle at all
    invalidArgument,  // a null file name, an entry other than "main"
    fileError,        // the program's file cannot be read
    compileError,     // the program does not compile (log in the text)
    linkError,        // a program or combination does not link (log in the text)
};

// Retires the previous context's objects and handles and starts a new,
// empty set for the GL context that is current now. 0 without a GL context.
Context createContext();
// The GLSL 1.20 profile of the stage in the current context; 0 (and
// noSupport or noContext) where there is none.
Profile latestProfile(Stage stage);
// Nothing to choose: the GL driver optimises GLSL itself.
void setOptimalOptions(Profile profile);
// Compiles `file` for the profile's stage with entry "main" (null means
// "main" too) and checks that it links on its own; 0 on failure
// (lastError/errorString tell why, with the compiler's log).
Program createProgramFromFile(Context context, const char* file, Profile profile,
                              const char* entry);
// Nothing left to do: the program is ready once created.
void loadProgram(Program program);
// A handle for a uniform the program declares (its values reach the GPU
// wherever the linked program uses it), for a sampler (values ignored: the
// unit convention above ties it) or for a Cg-style input "IN.<member>"
// (values ignored); 0 for any other name. Asking twice gives the same handle.
Parameter namedParameter(Program program, const char* name);

// Enable, disable and bind leave GL_CURRENT_PROGRAM at the linked program of
// the resulting combination (0 for all fixed-function, or where it does not
// link) and change no other GL state. A combination passed through on the way
// (a stage enabled before its program is bound) is linked too, once.
//
// The stage's program (if one is bound) takes part from now on.
void enableProfile(Profile profile);
// The stage goes back to fixed-function processing.
void disableProfile(Profile profile);
// Makes the program its stage's program; a null handle leaves the stage's
// binding as it was.
void bindProgram(Program program);

// Values are kept per program and reach the GPU whenever a linked program
// that contains it is current: at once if it is current now, otherwise when
// it next becomes current. They expect the GL context to be current.
void setParameter1f(Parameter parameter, float x);
void setParameter2f(Parameter parameter, float x, float y);
// GLSL 1.20 has no doubles: the value goes up as a float (the clock readings
// passed here count from the program's start, so a float keeps them to well
// under a millisecond for hours).
void setParameter1d(Parameter parameter, double x);
// Projection x modelview as they stand at the moment of the call; later
// matrix changes do not reach the parameter until it is set again.
void setModelViewProjection(Parameter parameter);

// The code of the last error since the previous call, which clears it.
int lastError();
// Readable text for a code; for the last error recorded, its full text. The
// pointer stays valid until the next error is recorded.
const char* errorString(int error);

}  // namespace shader
