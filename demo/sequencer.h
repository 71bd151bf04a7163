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
// It reaches the sound through sound::operations() and draws its frames
// through runFrame: what stands in for either (a scripted world in the
// tests, demo-bench's positions) is chosen with the backends. Everything
// runs on the main thread.
#pragma once

#include "app/sound/handles.h"

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
constexpr std::uint64_t kFirstStreamEnd = 1140000;
constexpr std::uint64_t kSecondStreamEnd = 240000;
constexpr std::int32_t kLensSceneFirstOrder = 39;
constexpr std::int32_t kLensSceneLastOrder = 52;
// The lens scene's events: the lens appears at order 41, the zoom starts at
// order 44 and the twist at 46; from order 49 the lens no longer rebounds,
// and at its row 32 it is gone and the plane spins.
constexpr std::int32_t kLensAppearsOrder = 41;
constexpr std::int32_t kZoomStartsOrder = 44;
constexpr std::int32_t kTwistStartsOrder = 46;
constexpr std::int32_t kLensFallsOrder = 49;
constexpr std::int32_t kLensGoneRow = 32;

// Runs lensWanderStep while lensClock < demoTime, so the lens moves in fixed
// 0.009 s steps of scene time whatever the frame rate (none while paused).
void catchUpLens();
