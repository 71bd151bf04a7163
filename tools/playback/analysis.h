// Playback analysis: compares a recording of the demo played in real time
// (through a sound server, recorded from its output) with the offline mix of
// the same timeline that demo-capture writes.
//
// What it measures:
// - silent gaps: runs of digital silence (every sample exactly 0) of at least
//   a few milliseconds inside the music. The mix has none; in a recording
//   they are what a listener hears as dropouts;
// - the length of the music in the recording against the mix (dropouts make
//   it longer);
// - the lag at each cut of the timeline: where the sound that follows the cut
//   in the mix is found in the recording, relative to where the music began.
//   Negative means the cut came early against the music, positive late.
//
// Plain functions over whole sounds held in memory; used by the
// playback-compare command (scripts/playback-check) and by the test that
// plays the real program through a sound server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace playback {

// Interleaved 16-bit stereo.
struct Sound {
    int rate = 44100;
    std::vector<std::int16_t> samples;
    std::uint64_t frames() const { return samples.size() / 2; }
};

// A 16-bit stereo PCM wave file (what demo-capture --wav writes).
bool readWave(const std::string& path, Sound& sound, std::string& error);
// Raw interleaved 16-bit little-endian stereo at `rate` (what parec records).
bool readRaw(const std::string& path, int rate, Sound& sound, std::string& error);

// A recording made in two parts (the server restarted in between, and the
// recorder with it): `first`, cut or padded with silence to `secondAt`
// frames, then `second`.
Sound joined(const Sound& first, const Sound& second, std::uint64_t secondAt);

// First frame that is not silent, and the frame after the last one that is
// not; {0, 0} for a sound that is silent throughout.
struct Span {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
};
Span musicSpan(const Sound& sound);

struct Gap {
    std::uint64_t first;   // first silent frame
    std::uint64_t frames;  // how many
};
// Runs of at least `minFrames` silent frames within [from, to).
std::vector<Gap> silentGaps(const Sound& sound, std::uint64_t from, std::uint64_t to,
                            std::uint64_t minFrames);

// Where the mix's frames [mixFrom, mixFrom + window) best match the recording,
// searched within `expected` ± `search` frames of the recording. False when
// the window lies outside the mix, or nothing in the recording resembles it
// (a silent or missing stretch). Found first by the loudness envelope in 5 ms
// steps, then to the frame.
bool locate(const Sound& recording, const Sound& mix, std::uint64_t mixFrom, std::uint64_t window,
            std::int64_t expected, std::int64_t search, std::int64_t& found);

// A change of the timeline and the mix time it happened at.
struct Cut {
    std::string name;
    double seconds;
};
// The cuts in demo-capture's timeline lines: "scene 1" (the zoom tunnel),
// "scene 2" (the lens scene) and "scene -1" (the closing stretch).
std::vector<Cut> cutsFromTimeline(const std::string& timelineText);

struct CutLag {
    std::string name;
    bool found = false;
    double seconds = 0.0;  // recording - mix, both from where the music began
};

struct Report {
    bool aligned = false;          // the music's start was found in the recording
    std::size_t gaps = 0;
    double silenceSeconds = 0.0;   // all the gaps together
    double longestGapSeconds = 0.0;
    double firstGapSeconds = -1.0; // where the first gap begins, from the music's start
    double musicSeconds = 0.0;     // the music's length in the recording
    double mixSeconds = 0.0;       // ... and in the mix
    std::vector<CutLag> lags;
};

// Gaps of at least `minGapSeconds`. Cuts past the end of the recording are
// reported as not found. The music's start is where the mix's first fifth of
// a second is found; where a dropout spoils that, the recording's first
// sound, once a later fifth of a second is found whole.
Report compare(const Sound& recording, const Sound& mix, const std::vector<Cut>& cuts,
               double minGapSeconds = 0.005);

}  // namespace playback
