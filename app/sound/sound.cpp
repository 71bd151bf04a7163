// Stand-in sound layer: no output; every load fails with a 0 handle.
#include "app/sound/sound.h"

namespace sound {

int init(SDL_Window*, int) { return 0; }
void setUpdatePeriod(int) {}
void setBufferLength(int) {}
Channel loadModule(const char*) { return 0; }
Channel createStream(const char*) { return 0; }
void prebuffer(Channel) {}
void playModule(Channel) {}
void playStream(Channel, bool) {}
void stop(Channel) {}
std::uint64_t position(Channel) { return 0; }
void setModuleOrder(Channel, int) {}
void update() {}
void shutdown() {}

}  // namespace sound
