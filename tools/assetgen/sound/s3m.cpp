#include "tools/assetgen/sound/s3m.h"

#include <cstring>

namespace assetgen::sound {

namespace {

void put8(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
    out[at] = std::uint8_t(value);
}
void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
    out[at] = std::uint8_t(value);
    out[at + 1] = std::uint8_t(value >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}
void putText(std::vector<std::uint8_t>& out, std::size_t at, const std::string& text,
             std::size_t field) {
    for (std::size_t i = 0; i < field && i < text.size(); ++i) out[at + i] = std::uint8_t(text[i]);
}
void padTo16(std::vector<std::uint8_t>& out) { out.resize((out.size() + 15) / 16 * 16, 0); }

bool validNote(std::uint8_t note) {
    return note == kNoNote || note == kNoteCut || ((note >> 4) <= 9 && (note & 15) < 12);
}

// One pattern packed as the format wants it: a length word, then per row the
// non-empty channels and a 0 byte.
std::vector<std::uint8_t> packPattern(const Pattern& pattern) {
    std::vector<std::uint8_t> packed(2, 0);
    for (int row = 0; row < kMaxRows; ++row) {
        for (int channel = 0; channel < pattern.channels; ++channel) {
            const Cell& cell = pattern.at(row, channel);
            if (cell.empty()) continue;
            std::uint8_t what = std::uint8_t(channel);
            if (cell.note != kNoNote || cell.instrument != 0) what |= 0x20;
            if (cell.volume != kNoVolume) what |= 0x40;
            if (cell.command != 0) what |= 0x80;
            packed.push_back(what);
            if (what & 0x20) {
                packed.push_back(cell.note);
                packed.push_back(cell.instrument);
            }
            if (what & 0x40) packed.push_back(cell.volume);
            if (what & 0x80) {
                packed.push_back(cell.command);
                packed.push_back(cell.info);
            }
        }
        packed.push_back(0);
    }
    put16(packed, 0, unsigned(packed.size()));
    return packed;
}

}  // namespace

std::vector<std::uint8_t> writeS3m(const Module& module, std::string& error) {
    std::size_t channels = module.channelPan.size();
    std::size_t orderCount = (module.orders.size() + 2) / 2 * 2;  // room for an end mark, even
    if (channels == 0 || channels > 16) {
        error = "a module needs 1 to 16 channels";
        return {};
    }
    if (module.orders.empty() || orderCount > 254) {
        error = "a module needs 1 to 253 orders";
        return {};
    }
    if (module.samples.size() > 99 || module.patterns.size() > 200) {
        error = "too many samples or patterns";
        return {};
    }
    if (module.initialTempo < 33 || module.initialSpeed == 0 || module.globalVolume > 64 ||
        module.masterVolume < 16 || module.masterVolume > 127) {
        error = "speed, tempo or volume out of range";
        return {};
    }
    for (std::uint8_t order : module.orders) {
        if (order != 254 && order >= module.patterns.size()) {
            error = "an order names a pattern that does not exist";
            return {};
        }
    }
    for (const Pattern& pattern : module.patterns) {
        if (std::size_t(pattern.channels) > channels) {
            error = "a pattern uses more channels than the module has";
            return {};
        }
        for (int row = 0; row < kMaxRows; ++row) {
            for (int channel = 0; channel < pattern.channels; ++channel) {
                const Cell& cell = pattern.at(row, channel);
                if (!validNote(cell.note) || cell.instrument > module.samples.size() ||
                    (cell.volume != kNoVolume && cell.volume > 64) || cell.command > 26) {
                    error = "a pattern cell holds a value out of range";
                    return {};
                }
            }
        }
    }
    for (const Sample& sample : module.samples) {
        if (sample.volume > 64 || sample.c2spd == 0 ||
            (sample.loop && (sample.loopStart >= sample.loopEnd ||
                             sample.loopEnd > sample.data.size()))) {
            error = "sample \"" + sample.name + "\" has a bad volume, rate or loop";
            return {};
        }
    }

    std::vector<std::uint8_t> out(0x60, 0);
    putText(out, 0x00, module.title, 27);
    put8(out, 0x1C, 0x1A);
    put8(out, 0x1D, 0x10);
    put16(out, 0x20, unsigned(orderCount));
    put16(out, 0x22, unsigned(module.samples.size()));
    put16(out, 0x24, unsigned(module.patterns.size()));
    put16(out, 0x26, 0);
    put16(out, 0x28, 0x1320);
    put16(out, 0x2A, 2);  // unsigned sample data
    std::memcpy(&out[0x2C], "SCRM", 4);
    put8(out, 0x30, module.globalVolume);
    put8(out, 0x31, module.initialSpeed);
    put8(out, 0x32, module.initialTempo);
    put8(out, 0x33, 0x80u | module.masterVolume);
    put8(out, 0x34, 0);     // ultra-click removal: none
    put8(out, 0x35, 0xFC);  // a pan table follows
    // Channel settings: left channels L1.., right channels R1.., each used
    // once; the pan table below gives the real position.
    int nextLeft = 0, nextRight = 8;
    for (std::size_t channel = 0; channel < 32; ++channel) {
        unsigned setting = 255;
        if (channel < channels)
            setting = module.channelPan[channel] < 8 ? unsigned(nextLeft++) : unsigned(nextRight++);
        if (nextLeft > 8 || nextRight > 16) {
            error = "more than 8 channels on one side";
            return {};
        }
        put8(out, 0x40 + channel, setting);
    }

    for (std::size_t i = 0; i < orderCount; ++i)
        out.push_back(i < module.orders.size() ? module.orders[i] : kOrderEnd);
    std::size_t samplePointers = out.size();
    out.resize(out.size() + 2 * module.samples.size(), 0);
    std::size_t patternPointers = out.size();
    out.resize(out.size() + 2 * module.patterns.size(), 0);
    for (std::size_t channel = 0; channel < 32; ++channel) {
        unsigned pan = channel < channels ? 0x20u | (module.channelPan[channel] & 15u) : 0u;
        out.push_back(std::uint8_t(pan));
    }
    padTo16(out);

    // Sample headers; the data pointers are filled in once the data is placed.
    std::vector<std::size_t> headerAt;
    for (std::size_t i = 0; i < module.samples.size(); ++i) {
        const Sample& sample = module.samples[i];
        std::size_t at = out.size();
        headerAt.push_back(at);
        out.resize(at + 80, 0);
        put16(out, samplePointers + 2 * i, unsigned(at / 16));
        put8(out, at + 0x00, 1);
        putText(out, at + 0x01, sample.fileName, 12);
        put32(out, at + 0x10, std::uint32_t(sample.data.size()));
        put32(out, at + 0x14, sample.loop ? sample.loopStart : 0);
        put32(out, at + 0x18, sample.loop ? sample.loopEnd : 0);
        put8(out, at + 0x1C, sample.volume);
        put8(out, at + 0x1E, 0);
        put8(out, at + 0x1F, (sample.loop ? 1u : 0u) | 4u);  // 16-bit
        put32(out, at + 0x20, sample.c2spd);
        putText(out, at + 0x30, sample.name, 27);
        std::memcpy(&out[at + 0x4C], "SCRS", 4);
    }

    for (std::size_t i = 0; i < module.patterns.size(); ++i) {
        padTo16(out);
        if (out.size() / 16 > 0xFFFF) {
            error = "patterns lie beyond the reach of a parapointer";
            return {};
        }
        put16(out, patternPointers + 2 * i, unsigned(out.size() / 16));
        std::vector<std::uint8_t> packed = packPattern(module.patterns[i]);
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (std::size_t i = 0; i < module.samples.size(); ++i) {
        padTo16(out);
        std::size_t pointer = out.size() / 16;
        if (pointer > 0xFFFFFF) {
            error = "sample data lies beyond the reach of a parapointer";
            return {};
        }
        put8(out, headerAt[i] + 0x0D, unsigned(pointer >> 16));
        put16(out, headerAt[i] + 0x0E, unsigned(pointer & 0xFFFF));
        for (std::int16_t value : module.samples[i].data) {
            unsigned stored = unsigned(int(value) + 0x8000);
            out.push_back(std::uint8_t(stored));
            out.push_back(std::uint8_t(stored >> 8));
        }
    }
    padTo16(out);
    return out;
}

}  // namespace assetgen::sound
