// "Orbita", the demo's module, composed as code: harmony, melodies and
// arrangement, order by order, written into a Module with the synthesised
// instruments.
//
// The piece serves the demo's timeline. Speed 6 at tempo 128 makes a row
// 0.1171875 s, a bar (16 rows) 1.875 s and a 64-row pattern 7.5 s, so the
// opening scene's phase changes (7.5, 8.5, 15.5, 22.5, 24.5, 28.7 s; end at
// 44.8 s) fall on bar lines or beats of orders 0-5. Orders 39-52 are the lens
// scene, with its events at orders 41, 44, 46, 49 (row 32) and 52; orders
// 6-38 are only heard when the module plays on its own.
#pragma once

#include "tools/assetgen/sound/s3m.h"

namespace assetgen::sound {

// Channel roles, in file order.
enum Channel : int {
    kChKick,
    kChSnare,
    kChHat,
    kChCrash,
    kChBass,
    kChPad1,
    kChPad2,
    kChPad3,
    kChPad4,
    kChLead,
    kChEcho,
    kChArp,
    kChBell,
    kChFx,
    kChOpenHat,
    kChBellEcho,
    kChannelCount
};

// Orders the demo's timeline waits for.
constexpr int kLensOrder = 39;       // the lens scene starts here
constexpr int kLensAppears = 41;
constexpr int kZoomOutOrder = 44;
constexpr int kTwistOrder = 46;
constexpr int kDropOrder = 49;       // at row 32
constexpr int kDropRow = 32;
constexpr int kEndOrder = 52;        // the lens scene ends here
constexpr int kOrderCount = 53;

constexpr int kSpeed = 6;
constexpr int kTempo = 128;
constexpr int kFinalBarTempo = 145;  // order 51 rushes into the closing sting

// The whole module: instruments, patterns and orders.
Module composeOrbita();

}  // namespace assetgen::sound
