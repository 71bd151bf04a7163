// The timeline: runSequencer (declared with the demo's operations in
// demo_state.h) starts and stops the sound, waits for the music's events and
// at each one changes SceneState and the scene parameters in DemoState that
// the frame dispatcher draws from. Every wait is a loop of one frame per
// iteration, so the sequencer is also what keeps frames coming.
//
// One call plays the timeline once and keeps nothing between calls: after a
// fullscreen toggle the next pass begins again at the first step and goes on
// from whatever DemoState it finds. A quit reported by a frame ends the call
// at once, mid-step, stopping nothing and changing nothing.
//
// Seams. The start-up and the sequencer reach the sound layer only through
// `soundCalls`, and the sequencer draws its frames only through
// `sequencerFrame`. Both default to the real thing (the sound:: layer,
// runFrame); tests put a scripted position source and scripted frames there.
// Everything runs on the main thread.
#pragma once

#include "app/frame.h"
#include "app/sound/handles.h"

#include <SDL.h>

#include <cstdint>

// The module's order and row, as heard now.
struct MusicPosition {
    std::int32_t order;
    std::int32_t row;
};

// The module's position: order = low 16 bits, row = the next 16, both
// unsigned; the upper 32 bits mean nothing.
MusicPosition readMusicPosition();

// How far the timeline plays each sound file: the first wave plays the zoom
// tunnel until this many bytes (of the file's own format) have been heard,
// the second wave the closing stretch for this many, and the module is
// jumped to order 39 and played until order 52. A file that ends before
// these would hold the timeline for ever: the start-up refuses it.
constexpr std::uint64_t firstStreamEnd = 1140000;
constexpr std::uint64_t secondStreamEnd = 240000;
constexpr std::int32_t lensSceneFirstOrder = 39;
constexpr std::int32_t lensSceneLastOrder = 52;

// Runs lensWanderStep while lensClock < demoTime, so the lens moves in fixed
// 0.009 s steps of scene time whatever the frame rate (none while paused).
void catchUpLens();

// ---- seams ----------------------------------------------------------------

// Every audio operation the start-up and the sequencer use, in the sound
// layer's own signatures.
struct SoundCalls {
    int (*init)(SDL_Window* window, int frequency);
    void (*setUpdatePeriod)(int milliseconds);
    void (*setBufferLength)(int milliseconds);
    sound::Channel (*loadModule)(const char* path);
    sound::Channel (*createStream)(const char* path);
    void (*prebuffer)(sound::Channel channel);
    void (*playModule)(sound::Channel channel);
    void (*playStream)(sound::Channel channel, bool restart);
    void (*stop)(sound::Channel channel);
    std::uint64_t (*position)(sound::Channel channel);
    void (*setModuleOrder)(sound::Channel channel, int order);
    void (*shutdown)();
    // Wave: its length in bytes of its own format; module: its number of
    // orders (the start-up's check that the timeline can be played out).
    std::uint64_t (*length)(sound::Channel channel);
    // Why the last init or load failed ("" after a success).
    const char* (*lastError)();
    // Seconds from now until the channel's current run is first heard; 0 or
    // less once it is (scene 0's clock starts then).
    double (*secondsUntilHeard)(sound::Channel channel);
};

// The table of the real sound layer.
SoundCalls soundLayerCalls();
// What the start-up and the sequencer call; soundLayerCalls() at start.
extern SoundCalls soundCalls;

// One frame of a wait: runFrame at start.
using SequencerFrame = int (*)(AppWindow* appWindow, FrameReport* report);
extern SequencerFrame sequencerFrame;
