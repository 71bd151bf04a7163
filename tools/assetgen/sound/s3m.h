// A Scream Tracker 3 module as plain records, and the writer that turns it
// into the bytes of an .s3m file. The composition (song.cpp) fills a Module;
// nothing here knows about the piece itself.
//
// Layout written: the 0x60-byte header, the order list (padded to an even
// count with 255), instrument and pattern parapointers, a 32-byte pan table,
// then the 80-byte sample headers, the packed patterns and the sample data,
// each block starting on a 16-byte boundary. Samples are mono 16-bit and
// stored unsigned (file format information 2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen::sound {

constexpr int kMaxChannels = 32;
constexpr int kMaxRows = 64;
constexpr std::uint8_t kNoNote = 255;
constexpr std::uint8_t kNoteCut = 254;
constexpr std::uint8_t kNoVolume = 255;
constexpr std::uint8_t kOrderEnd = 255;

// Note byte of the file: octave in the high nibble, semitone in the low one.
constexpr std::uint8_t noteByte(int octave, int semitone) {
    return std::uint8_t((octave << 4) | semitone);
}
// Command number of an effect letter ('A' = 1 ... 'Z' = 26).
constexpr std::uint8_t command(char letter) { return std::uint8_t(letter - 'A' + 1); }

struct Cell {
    std::uint8_t note = kNoNote;
    std::uint8_t instrument = 0;  // 1-based, 0 = none
    std::uint8_t volume = kNoVolume;
    std::uint8_t command = 0;  // 0 = none
    std::uint8_t info = 0;
    bool empty() const {
        return note == kNoNote && instrument == 0 && volume == kNoVolume && command == 0;
    }
};

struct Pattern {
    int channels = 0;
    std::vector<Cell> cells = std::vector<Cell>(kMaxRows * kMaxChannels);
    Cell& at(int row, int channel) { return cells[std::size_t(row * kMaxChannels + channel)]; }
    const Cell& at(int row, int channel) const {
        return cells[std::size_t(row * kMaxChannels + channel)];
    }
};

struct Sample {
    std::string name;      // up to 27 characters
    std::string fileName;  // up to 12 characters (DOS name)
    std::vector<std::int16_t> data;
    std::uint32_t c2spd = 8363;  // playback rate of note C-4 (0x40)
    std::uint8_t volume = 64;
    bool loop = false;
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;  // exclusive
};

struct Module {
    std::string title;  // up to 27 characters
    std::uint8_t globalVolume = 64;
    std::uint8_t initialSpeed = 6;
    std::uint8_t initialTempo = 125;
    std::uint8_t masterVolume = 48;  // written with the stereo bit set
    // One entry per channel in use: panning 0 (left) .. 15 (right).
    std::vector<std::uint8_t> channelPan;
    std::vector<Sample> samples;
    std::vector<Pattern> patterns;
    std::vector<std::uint8_t> orders;  // pattern numbers (254 = skip marker)
};

// The module as an .s3m file. Returns an empty vector, with the reason in
// `error`, when the module cannot be written (too many channels, patterns or
// samples, a value out of range).
std::vector<std::uint8_t> writeS3m(const Module& module, std::string& error);

}  // namespace assetgen::sound
