// Stand-in shader layer: nothing compiles; every handle is 0.
#include "app/shader/shader.h"

namespace shader {

Context createContext() { return 0; }
Profile latestProfile(Stage) { return 0; }
void setOptimalOptions(Profile) {}
Program createProgramFromFile(Context, const char*, Profile, const char*) { return 0; }
void loadProgram(Program) {}
Parameter namedParameter(Program, const char*) { return 0; }
void enableProfile(Profile) {}
void disableProfile(Profile) {}
void bindProgram(Program) {}
void setParameter1f(Parameter, float) {}
void setParameter2f(Parameter, float, float) {}
void setParameter1d(Parameter, double) {}
void setModelViewProjection(Parameter) {}
int lastError() { return 0; }
const char* errorString(int) { return "no shader support"; }

}  // namespace shader
