// Compiled with the scenes layer's include roots by Layers.AnIncludeThatPointsUpDoesNotBuild:
// the scenes know nothing of the timeline above them.
#include "demo/demo_state.h"
