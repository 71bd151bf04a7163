// The module's instruments, synthesised: drums, basses, pads, leads, bells and
// effect sounds, each a mono 16-bit sample. Pitched samples get a C2Spd that
// makes note byte 0x40 sound middle C (MIDI note 60); drums and effects play
// at their own rate on that note.
#pragma once

#include "tools/assetgen/sound/s3m.h"

#include <vector>

namespace assetgen::sound {

// 1-based instrument numbers, as the patterns name them.
enum Instrument : std::uint8_t {
    kKick = 1,
    kSnare,
    kHatClosed,
    kHatOpen,
    kCrash,
    kBass,
    kAcid,
    kPad,
    kGlassPad,
    kLead,
    kPluck,
    kBell,
    kBoom,
    kReverseCymbal,
    kNoiseRiser,
    kInstrumentEnd
};

// Every instrument, in the order of the numbers above.
std::vector<Sample> synthesiseInstruments();

// Length of the reverse cymbal in seconds: it swells to its peak at its end,
// so it is started this long before the downbeat it leads into.
constexpr double kReverseCymbalSeconds = 1.875;

}  // namespace assetgen::sound
