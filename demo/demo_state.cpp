#include "demo/demo_state.h"

DemoState demo;
