// Small sound files made by the sound and capture tests themselves: a
// Scream Tracker 3 module with as many orders as asked (every order its own
// pattern, so that order and row can be told apart by ear and by position)
// and wave files in any PCM layout. Header-only; each test program writes
// what it needs under a temporary folder of its own.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testfiles {

inline void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

inline void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

inline void padTo16(std::vector<std::uint8_t>& out) {
    while (out.size() % 16 != 0) out.push_back(0);
}

struct ModuleShape {
    int orders = 56;        // every order plays a pattern of its own
    int rowsPerOrder = 16;  // a pattern break ends each pattern here
    int speed = 6;          // ticks per row
    int tempo = 125;        // 2.5 / tempo seconds per tick
    int volume = 64;        // note volume, 0..64
    int delayedRow = -1;    // this row of every pattern lasts delayRows rows more (SEx)
    int delayRows = 0;
    int tempoOrder = -1;    // at this order's row 0 the tempo becomes newTempo (Txx)
    int newTempo = 0;
    int slideOrder = -1;    // at this order's row 0 the tempo slides by slide per tick (T0x/T1x)
    int slide = 0;
    int extraChannels = 0;  // more voices, each playing every row (for heavier mixes)
};

// A two-channel module: a looping square wave, one note every other row on
// the left channel and every fourth row on the right, the pitch stepping
// with the order.
inline std::vector<std::uint8_t> makeModule(const ModuleShape& shape = {}) {
    const int orderCount = shape.orders + (shape.orders % 2);  // OrdNum is even
    const int patternCount = shape.orders;
    std::vector<std::uint8_t> out(0x60, 0);
    const char name[] = "sound test";
    for (std::size_t i = 0; i + 1 < sizeof name; ++i) out[i] = static_cast<std::uint8_t>(name[i]);
    out[0x1C] = 0x1A;
    out[0x1D] = 16;
    put16(out, 0x20, static_cast<unsigned>(orderCount));
    put16(out, 0x22, 1);
    put16(out, 0x24, static_cast<unsigned>(patternCount));
    put16(out, 0x28, 0x1320);
    put16(out, 0x2A, 2);
    out[0x2C] = 'S'; out[0x2D] = 'C'; out[0x2E] = 'R'; out[0x2F] = 'M';
    out[0x30] = 64;
    out[0x31] = static_cast<std::uint8_t>(shape.speed);
    out[0x32] = static_cast<std::uint8_t>(shape.tempo);
    out[0x33] = 0x80 | 48;
    for (int c = 0; c < 32; ++c) out[0x40 + c] = 255;
    out[0x40] = 0;  // left 1
    out[0x41] = 8;  // right 1
    for (int c = 0; c < shape.extraChannels && c < 30; ++c)
        out[0x42 + c] = static_cast<std::uint8_t>(c % 2 ? 8 + (c / 2) % 8 : (c / 2) % 8);

    for (int o = 0; o < orderCount; ++o)
        out.push_back(o < shape.orders ? static_cast<std::uint8_t>(o) : 255);
    const std::size_t instrumentPointer = out.size();
    out.resize(out.size() + 2);
    const std::size_t patternPointers = out.size();
    out.resize(out.size() + 2 * static_cast<std::size_t>(patternCount));
    padTo16(out);

    // Instrument header.
    const std::size_t instrument = out.size();
    put16(out, instrumentPointer, static_cast<unsigned>(instrument / 16));
    out.resize(out.size() + 80, 0);
    const std::uint32_t sampleLength = 256;
    out[instrument] = 1;
    put32(out, instrument + 0x10, sampleLength);
    put32(out, instrument + 0x14, 0);
    put32(out, instrument + 0x18, sampleLength);
    out[instrument + 0x1C] = 64;
    out[instrument + 0x1F] = 1;  // loop
    put32(out, instrument + 0x20, 8363);
    out[instrument + 0x4C] = 'S'; out[instrument + 0x4D] = 'C';
    out[instrument + 0x4E] = 'R'; out[instrument + 0x4F] = 'S';
    padTo16(out);

    // Sample data: unsigned 8-bit square wave, 16 samples per period.
    const std::size_t data = out.size();
    out[instrument + 0x0D] = static_cast<std::uint8_t>((data / 16) >> 16);
    put16(out, instrument + 0x0E, static_cast<unsigned>((data / 16) & 0xFFFF));
    for (std::uint32_t i = 0; i < sampleLength; ++i)
        out.push_back((i / 8) % 2 ? 0x80 + 100 : 0x80 - 100);
    padTo16(out);

    for (int p = 0; p < patternCount; ++p) {
        const std::size_t at = out.size();
        put16(out, patternPointers + 2 * static_cast<std::size_t>(p), static_cast<unsigned>(at / 16));
        out.resize(out.size() + 2, 0);
        for (int row = 0; row < 64; ++row) {
            const int channels = 2 + std::min(shape.extraChannels, 30);
            for (int channel = 0; channel < channels && row < shape.rowsPerOrder; ++channel) {
                int note = -1, command = 0, info = 0;
                if (channel == 0 && row % 2 == 0) note = (4 << 4) | ((p + row / 2) % 12);
                if (channel == 1 && row % 4 == 0) note = (3 << 4) | (p % 12);
                if (channel >= 2) note = ((2 + channel % 5) << 4) | ((p + row + channel) % 12);
                if (channel == 0 && row == shape.rowsPerOrder - 1 && shape.rowsPerOrder < 64) {
                    command = 'C' - 'A' + 1;  // pattern break
                }
                if (channel == 1 && row == shape.delayedRow) {
                    command = 'S' - 'A' + 1;
                    info = 0xE0 | shape.delayRows;
                }
                if (channel == 1 && row == 0 && p == shape.tempoOrder) {
                    command = 'T' - 'A' + 1;
                    info = shape.newTempo;
                }
                if (channel == 1 && row == 0 && p == shape.slideOrder) {
                    command = 'T' - 'A' + 1;
                    info = shape.slide < 0 ? -shape.slide : 0x10 | shape.slide;
                }
                if (note < 0 && command == 0) continue;
                out.push_back(static_cast<std::uint8_t>(channel | (note >= 0 ? 0x60 : 0) |
                                                        (command ? 0x80 : 0)));
                if (note >= 0) {
                    out.push_back(static_cast<std::uint8_t>(note));
                    out.push_back(1);
                    out.push_back(static_cast<std::uint8_t>(shape.volume));
                }
                if (command) {
                    out.push_back(static_cast<std::uint8_t>(command));
                    out.push_back(static_cast<std::uint8_t>(info));
                }
            }
            out.push_back(0);
        }
        put16(out, at, static_cast<unsigned>(out.size() - at));
        padTo16(out);
    }
    return out;
}

struct WaveShape {
    int rate = 44100;
    int channels = 2;
    int bits = 16;        // 8 (unsigned) or 16 (signed)
    std::uint32_t frames = 44100;
    double frequency = 440.0;
    double amplitude = 0.5;  // of full scale
};

// A PCM wave of a sine tone.
inline std::vector<std::uint8_t> makeWave(const WaveShape& shape = {}) {
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(shape.channels * shape.bits / 8);
    const std::uint32_t dataBytes = shape.frames * blockAlign;
    std::vector<std::uint8_t> out(44, 0);
    const char* riff = "RIFF";
    const char* wave = "WAVEfmt ";
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(riff[i]);
    put32(out, 4, 36 + dataBytes);
    for (int i = 0; i < 8; ++i) out[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(wave[i]);
    put32(out, 16, 16);
    put16(out, 20, 1);
    put16(out, 22, static_cast<unsigned>(shape.channels));
    put32(out, 24, static_cast<std::uint32_t>(shape.rate));
    put32(out, 28, static_cast<std::uint32_t>(shape.rate) * blockAlign);
    put16(out, 32, blockAlign);
    put16(out, 34, static_cast<unsigned>(shape.bits));
    out[36] = 'd'; out[37] = 'a'; out[38] = 't'; out[39] = 'a';
    put32(out, 40, dataBytes);
    const double step = 2.0 * 3.14159265358979323846 * shape.frequency / shape.rate;
    for (std::uint32_t i = 0; i < shape.frames; ++i) {
        double value = shape.amplitude * std::sin(step * i);
        for (int c = 0; c < shape.channels; ++c) {
            if (shape.bits == 8) {
                out.push_back(static_cast<std::uint8_t>(std::lround(128.0 + 127.0 * value)));
            } else {
                auto sample = static_cast<std::int16_t>(std::lround(32767.0 * value));
                out.push_back(static_cast<std::uint8_t>(sample & 0xFF));
                out.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
            }
        }
    }
    return out;
}

inline bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace testfiles
