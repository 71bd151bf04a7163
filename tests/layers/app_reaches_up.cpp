// Compiled with the app layer's include root by Layers.AnIncludeThatPointsUpDoesNotBuild:
// the platform knows nothing of the loaders above it.
#include "assets/bmp.h"
