// The shader layer: vertex and fragment programs in GLSL 1.20, used the way
// the demo's scenes expect a Cg-style runtime to behave: programs per stage,
// compiled from a file with entry "main", named parameters, per-stage
// enable/disable and bind. Whenever the enabled set changes the layer makes
// current the linked GL program for that combination (linked once, cached);
// a stage with nothing enabled runs fixed-function.
//
// Handles are small numbers, 0 = null; every operation accepts a null handle
// and does nothing. Everything runs on the main thread with the GL context
// current; objects die with the context that made them.
#pragma once

#include "app/shader/handles.h"

namespace shader {

enum class Stage { Vertex, Fragment };

Context createContext();
Profile latestProfile(Stage stage);
void setOptimalOptions(Profile profile);
// Compiles `file` for the profile's stage with entry "main"; 0 on failure
// (lastError/errorString tell why, with the compiler's log).
Program createProgramFromFile(Context context, const char* file, Profile profile,
                              const char* entry);
void loadProgram(Program program);
Parameter namedParameter(Program program, const char* name);

void enableProfile(Profile profile);
void disableProfile(Profile profile);
void bindProgram(Program program);

void setParameter1f(Parameter parameter, float x);
void setParameter2f(Parameter parameter, float x, float y);
void setParameter1d(Parameter parameter, double x);
// Projection x modelview as they stand at the moment of the call.
void setModelViewProjection(Parameter parameter);

int lastError();
const char* errorString(int error);

}  // namespace shader
