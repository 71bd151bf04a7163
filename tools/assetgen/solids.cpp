// Stand-in until the solid writer lands.
#include "tools/assetgen/assetgen.h"

namespace assetgen {
bool writeSolids(const std::string&) { return true; }
}  // namespace assetgen
