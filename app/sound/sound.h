// The sound layer: one function per audio operation the demo uses, over SDL2
// audio (queue mode, no callback thread) and libopenmpt.
//
// Channels are the module and the waves; a channel handle of 0 (a failed
// load) is accepted by every operation and does nothing. Playback advances
// only inside update(), which the frame dispatcher calls once per frame: it
// mixes every playing channel (summed in float, clipped once) and tops the
// output's queue up to the buffer length. Any number of channels may play at
// once; the demo uses up to three.
//
// Positions are what is being heard now, not what was last rendered:
// module = order in the low 16 bits, row in the next 16; wave = bytes of the
// file's own sample format. They change only in update(). Stopping, starting
// or moving a channel takes effect at once: the mix still queued is mixed
// again without (or with) it.
//
// The output is the sound device (SDL) for the program, or an offline sink
// for tests and demo-capture that consumes exactly what its owner tells it
// and records everything it consumed; the backends choose (backends.h). When
// the device cannot be opened, init() says so and the layer goes on silently
// on the program's clock, so that the music's positions still advance. When
// it is lost while playing (removed, or taking no sound), update() says so
// once on stderr, keeps time on the clock the same way, opens the device
// again as soon as it can and goes on there, and says once that it is back.
//
// The demo reaches the layer through a table of its operations
// (Operations), which the backends may replace as a whole: the tests put a
// scripted world there, demo-bench a layer that times its updates.
//
// The layer owns every channel and the output; shutdown() releases them all.
// Handles are never reused, so a handle of an earlier pass is harmless too.
// Everything runs on the main thread, but for the opening of a lost device
// again, which has a thread of its own (it can wait on a sound server).
#pragma once

#include "app/sound/handles.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace sound {

// ---- Set-up -----------------------------------------------------------------

// Releases the channels and the output of an earlier init() (so that only
// one pass's music can ever sound), then opens the output for a window at
// `frequency` Hz, stereo. Returns 1 when the chosen output is open, or when
// an earlier pass lost the device and it is still being opened again; 0 when
// the device could not be opened (lastError() says why; the layer then keeps
// time silently on the program's clock). Opens SDL's audio subsystem itself.
int init(SDL_Window* window, int frequency);
// 0 = playback advances only through update(). There is no thread of ours to
// update on a period, so other values are kept but act as 0.
void setUpdatePeriod(int milliseconds);
// How much mixed sound update() keeps queued ahead of the listener (200 ms
// unless set; kept between 10 ms and 5 s).
void setBufferLength(int milliseconds);

// Loads a whole tracker module; 0 when the file is missing or not a module.
Channel loadModule(const char* path);
// Loads a whole wave file and converts it once to the mixing format; 0 when
// the file is missing or not a wave SDL can read.
Channel createStream(const char* path);
// Renders the first buffer length of a stopped module in advance, so that
// its first update costs nothing. Waves are decoded already.
void prebuffer(Channel channel);

// ---- Playback -----------------------------------------------------------------

// Module: start, or go on from where it was stopped (nothing if playing).
void playModule(Channel channel);
// Wave: play from the beginning when `restart`, else go on from where it was.
void playStream(Channel channel, bool restart);
void stop(Channel channel);
// The position being heard now (see above); 0 for a 0 handle.
std::uint64_t position(Channel channel);
// Module: go on at `order`, row 0 (playing or not).
void setModuleOrder(Channel channel, int order);
// Mixes every playing channel and tops the output queue up.
void update();

// Releases every channel and closes the output (a new pass starts afresh).
// The offline sink first consumes what it was asked for since the last
// update.
void shutdown();

// ---- Information --------------------------------------------------------------

// Why the last load or init failed, naming the file ("" after a success).
const char* lastError();
// Wave: its whole length in bytes of its own sample format. Module: its
// number of orders. 0 for a 0 handle.
std::uint64_t length(Channel channel);
// The output's frames per second (the frequency init() was given).
int outputRate();
// Every channel the layer holds now, in the order they were made.
struct ChannelInfo {
    Channel handle;
    bool isModule;
    bool playing;
};
std::vector<ChannelInfo> channelsHeld();
// Seconds from now until the listener hears the first sound of the
// channel's current run (since it was last started or moved), as far as the
// output can tell: what it still holds ahead of that sound. 0 or less once
// it is heard; 0 for a channel that is not playing. A device may take a
// while to begin taking sound at all (a sound server starting its stream):
// until it does, the channel's start is still a device buffer away.
double secondsUntilHeard(Channel channel);

// ---- The offline sink -----------------------------------------------------------
// For tests and demo-capture: nothing is played; every update() consumes
// exactly the frames asked for since the previous update (none unless asked),
// mixing what they need first, and records them. What it consumed is what is
// heard: positions are looked up at the frames consumed so far. The frames
// asked for are time that has passed: a channel started or stopped before
// the update that consumes them starts or stops after them.

// Starts a new, empty recording (choosing the offline sink does).
void clearOfflineRecording();
// The next update() consumes `frames` more (added up until it runs).
void consumeOffline(std::uint64_t frames);
// Everything the offline sink consumed since it was chosen, through every
// init() and shutdown(): interleaved 16-bit stereo at outputRate().
const std::vector<std::int16_t>& offlineRecording();
// Writes the recording as a 16-bit stereo PCM wave file. false (lastError()
// says why) when the file cannot be written.
bool writeOfflineWave(const char* path);

// ---- The layer as a table ---------------------------------------------------------
// Every operation the demo uses, in the signatures above.
struct Operations {
    int (*init)(SDL_Window* window, int frequency);
    void (*setUpdatePeriod)(int milliseconds);
    void (*setBufferLength)(int milliseconds);
    Channel (*loadModule)(const char* path);
    Channel (*createStream)(const char* path);
    void (*prebuffer)(Channel channel);
    void (*playModule)(Channel channel);
    void (*playStream)(Channel channel, bool restart);
    void (*stop)(Channel channel);
    std::uint64_t (*position)(Channel channel);
    void (*setModuleOrder)(Channel channel, int order);
    void (*update)();
    void (*shutdown)();
    std::uint64_t (*length)(Channel channel);
    const char* (*lastError)();
    double (*secondsUntilHeard)(Channel channel);
};

// This layer's own operations.
const Operations& layerOperations();
// What the demo calls: the backends' stand-in, or this layer.
const Operations& operations();

}  // namespace sound
