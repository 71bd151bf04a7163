// One place that pulls in OpenGL for the whole program.
//
// libepoxy provides the GL 1.x-4.x entry points and resolves them against
// whatever context is current; GLU comes after it because <GL/glu.h> would
// otherwise drag in the system <GL/gl.h>, which clashes with epoxy's.
#pragma once

#include <epoxy/gl.h>
#ifdef _WIN32
// Windows' <GL/glu.h> expects two macros of <windows.h>, which is kept out
// of the program (its near/far/min/max macros clash with ordinary names).
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#endif
#include <GL/glu.h>
