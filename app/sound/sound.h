// The sound layer: one function per audio operation the demo uses, over SDL2
// audio (queue mode, no callback thread) and libopenmpt.
//
// Channels are the module and the waves; a channel handle of 0 (a failed
// load) is accepted by every operation and does nothing. Playback advances
// only inside update(), which the frame dispatcher calls once per frame.
// Positions are what is being heard now: module = order in the low 16 bits,
// row in the next 16; wave = bytes of the file's own sample format.
//
// Everything runs on the main thread.
#pragma once

#include "app/sound/handles.h"

#include <SDL.h>

#include <cstdint>

namespace sound {

// Opens the output for a window at `frequency` Hz. Returns 1 on success.
int init(SDL_Window* window, int frequency);
// 0 = playback advances only through update().
void setUpdatePeriod(int milliseconds);
// How much mixed sound update() keeps queued ahead of the listener.
void setBufferLength(int milliseconds);

Channel loadModule(const char* path);
Channel createStream(const char* path);
void prebuffer(Channel channel);

// Module: start, or go on from the current position.
void playModule(Channel channel);
// Wave: play from the beginning when `restart`.
void playStream(Channel channel, bool restart);
void stop(Channel channel);
// The position being heard now (see above).
std::uint64_t position(Channel channel);
// Module: go on at `order`, row 0.
void setModuleOrder(Channel channel, int order);
// Mixes every playing channel and tops the output queue up.
void update();

// Releases every channel and closes the output (a new pass starts afresh).
void shutdown();

}  // namespace sound
