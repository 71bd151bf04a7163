// Compiled with the assets layer's include roots by Layers.AnIncludeThatPointsUpDoesNotBuild:
// the loaders know nothing of the scenes above them.
#include "scenes/scene_gl.h"
