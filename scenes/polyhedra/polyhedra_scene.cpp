// The polyhedra scene. Stand-in: nothing to set up or draw yet.
#include "demo/demo_state.h"

void initPolyhedraScene() {}
void loadPolyhedraScene() {}
void stepOrbit() { demo.orbitAngle += 0.6f; }
void drawPolyhedraScene() {}
