// One place that pulls in OpenGL for the whole program.
//
// libepoxy provides the GL 1.x-4.x entry points and resolves them against
// whatever context is current; GLU comes after it because <GL/glu.h> would
// otherwise drag in the system <GL/gl.h>, which clashes with epoxy's.
#pragma once

#include <epoxy/gl.h>
#include <GL/glu.h>
