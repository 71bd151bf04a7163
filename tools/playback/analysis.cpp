#include "tools/playback/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace playback {
namespace {

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot open the file (" + std::strerror(errno) + ")";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void takeSamples(const std::uint8_t* data, std::size_t bytes, Sound& sound) {
    const std::size_t frames = bytes / 4;
    sound.samples.resize(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i)
        sound.samples[i] = static_cast<std::int16_t>(le16(data + i * 2));
}

bool silentFrame(const Sound& sound, std::uint64_t frame) {
    return sound.samples[frame * 2] == 0 && sound.samples[frame * 2 + 1] == 0;
}

// Loudness in blocks of `block` frames from `from` on: the mean of |L| + |R|.
std::vector<float> envelope(const Sound& sound, std::uint64_t from, std::uint64_t blocks,
                            std::uint64_t block) {
    std::vector<float> levels(blocks, 0.0f);
    for (std::uint64_t b = 0; b < blocks; ++b) {
        std::uint64_t first = from + b * block;
        std::uint64_t last = std::min(first + block, sound.frames());
        double sum = 0.0;
        for (std::uint64_t f = first; f < last; ++f)
            sum += std::abs(sound.samples[f * 2]) + std::abs(sound.samples[f * 2 + 1]);
        levels[b] = static_cast<float>(sum / static_cast<double>(block));
    }
    return levels;
}

// Pearson correlation of a and b[offset .. offset + a.size()); -2 when either
// side does not vary (silence says nothing about where it belongs).
double correlation(const std::vector<float>& a, const float* b) {
    const std::size_t n = a.size();
    double meanA = 0.0, meanB = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= static_cast<double>(n);
    meanB /= static_cast<double>(n);
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = a[i] - meanA, y = b[i] - meanB;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    if (aa <= 0.0 || bb <= 0.0) return -2.0;
    return ab / std::sqrt(aa * bb);
}

}  // namespace

bool readWave(const std::string& path, Sound& sound, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFile(path, bytes, error)) return false;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + ": not a RIFF WAVE file";
        return false;
    }
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::size_t size = le32(chunk + 4);
        const std::size_t body = at + 8;
        if (size > bytes.size() - body) {
            // A data chunk cut short still holds what it holds.
            if (std::memcmp(chunk, "data", 4) != 0) break;
        }
        const std::size_t available = std::min(size, bytes.size() - body);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            const std::uint16_t format = le16(chunk + 8), channels = le16(chunk + 10);
            const std::uint16_t bits = le16(chunk + 22);
            if (format != 1 || channels != 2 || bits != 16) {
                error = path + ": not 16-bit stereo PCM";
                return false;
            }
            sound.rate = static_cast<int>(le32(chunk + 12));
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) break;
            takeSamples(bytes.data() + body, available, sound);
            return true;
        }
        at = body + size + (size & 1);
    }
    error = path + ": no 16-bit stereo PCM sound found";
    return false;
}

bool readRaw(const std::string& path, int rate, Sound& sound, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFile(path, bytes, error)) return false;
    sound.rate = rate;
    takeSamples(bytes.data(), bytes.size(), sound);
    return true;
}

Sound joined(const Sound& first, const Sound& second, std::uint64_t secondAt) {
    Sound both;
    both.rate = first.rate;
    both.samples.assign(first.samples.begin(),
                        first.samples.begin() + static_cast<std::ptrdiff_t>(std::min(first.frames(), secondAt) * 2));
    both.samples.resize(static_cast<std::size_t>(secondAt) * 2, 0);
    both.samples.insert(both.samples.end(), second.samples.begin(), second.samples.end());
    return both;
}

Span musicSpan(const Sound& sound) {
    Span span;
    const std::uint64_t frames = sound.frames();
    std::uint64_t first = 0;
    while (first < frames && silentFrame(sound, first)) ++first;
    if (first == frames) return span;
    std::uint64_t end = frames;
    while (end > first && silentFrame(sound, end - 1)) --end;
    span.first = first;
    span.end = end;
    return span;
}

std::vector<Gap> silentGaps(const Sound& sound, std::uint64_t from, std::uint64_t to,
                            std::uint64_t minFrames) {
    std::vector<Gap> gaps;
    to = std::min(to, sound.frames());
    std::uint64_t run = 0;
    for (std::uint64_t f = from; f < to; ++f) {
        if (silentFrame(sound, f)) {
            ++run;
            continue;
        }
        if (run >= minFrames && run > 0) gaps.push_back({f - run, run});
        run = 0;
    }
    if (run >= minFrames && run > 0) gaps.push_back({to - run, run});
    return gaps;
}

bool locate(const Sound& recording, const Sound& mix, std::uint64_t mixFrom, std::uint64_t window,
            std::int64_t expected, std::int64_t search, std::int64_t& found) {
    const std::uint64_t block = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(mix.rate) / 200);
    if (mixFrom >= mix.frames()) return false;
    window = std::min(window, mix.frames() - mixFrom);
    const std::uint64_t blocks = window / block;
    if (blocks < 4) return false;

    // Coarse: the loudness envelope, one block at a time.
    const std::vector<float> wanted = envelope(mix, mixFrom, blocks, block);
    const std::int64_t lowFrame = std::max<std::int64_t>(0, expected - search);
    const std::int64_t highFrame = std::min<std::int64_t>(
        expected + search, static_cast<std::int64_t>(recording.frames()) -
                               static_cast<std::int64_t>(blocks * block));
    if (highFrame < lowFrame) return false;
    const std::uint64_t firstBlock = static_cast<std::uint64_t>(lowFrame) / block;
    const std::uint64_t lastBlock = static_cast<std::uint64_t>(highFrame) / block;
    const std::vector<float> levels =
        envelope(recording, firstBlock * block, lastBlock - firstBlock + blocks, block);
    double best = -2.0;
    std::uint64_t bestBlock = firstBlock;
    for (std::uint64_t b = firstBlock; b <= lastBlock; ++b) {
        double c = correlation(wanted, levels.data() + (b - firstBlock));
        if (c > best) {
            best = c;
            bestBlock = b;
        }
    }
    if (best < 0.3) return false;

    // Fine: the waveform itself, frame by frame, within two blocks of it.
    const std::int64_t centre = static_cast<std::int64_t>(bestBlock * block);
    const std::int64_t reach = static_cast<std::int64_t>(2 * block);
    const std::int64_t limit = static_cast<std::int64_t>(recording.frames()) - static_cast<std::int64_t>(window);
    double bestDot = -1e300;
    std::int64_t bestFrame = centre;
    for (std::int64_t start = std::max<std::int64_t>(0, centre - reach);
         start <= std::min(limit, centre + reach); ++start) {
        double dot = 0.0;
        const std::int16_t* r = recording.samples.data() + start * 2;
        const std::int16_t* m = mix.samples.data() + mixFrom * 2;
        for (std::uint64_t i = 0; i < window * 2; ++i) dot += static_cast<double>(r[i]) * m[i];
        if (dot > bestDot) {
            bestDot = dot;
            bestFrame = start;
        }
    }
    found = bestFrame;
    return true;
}

std::vector<Cut> cutsFromTimeline(const std::string& timelineText) {
    std::vector<Cut> cuts;
    std::istringstream lines(timelineText);
    std::string line;
    while (std::getline(lines, line)) {
        int scene = 0;
        unsigned long long frame = 0;
        double seconds = 0.0;
        if (std::sscanf(line.c_str(), "scene %d frame %llu time %lf", &scene, &frame, &seconds) != 3)
            continue;
        if (scene == 1) cuts.push_back({"tunnel", seconds});
        else if (scene == 2) cuts.push_back({"lens", seconds});
        else if (scene == -1) cuts.push_back({"closing", seconds});
    }
    return cuts;
}

Report compare(const Sound& recording, const Sound& mix, const std::vector<Cut>& cuts,
               double minGapSeconds) {
    Report report;
    const double rate = mix.rate;
    const Span mixSpan = musicSpan(mix);
    const Span recordingSpan = musicSpan(recording);
    report.mixSeconds = static_cast<double>(mixSpan.end - mixSpan.first) / rate;
    report.musicSeconds = static_cast<double>(recordingSpan.end - recordingSpan.first) / rate;

    // The music begins where the mix's first fifth of a second is found,
    // near the recording's first sound. A dropout within that fifth of a
    // second (a busy machine at the start) spoils the match: then a later
    // fifth of a second, found whole, shows that the recording holds the
    // music, and the music began with the recording's first sound. Where
    // dropouts are everywhere, any fifth of a second found will do.
    std::int64_t origin = static_cast<std::int64_t>(recordingSpan.first);
    const std::int64_t fifth = static_cast<std::int64_t>(rate / 5);
    const std::uint64_t minFrames = static_cast<std::uint64_t>(std::ceil(minGapSeconds * rate));
    for (bool whole : {true, false}) {
        for (double after : {0.0, 0.5, 1.0, 2.0, 4.0, 8.0}) {
            if (report.aligned || recordingSpan.end <= recordingSpan.first) break;
            const std::int64_t offset = static_cast<std::int64_t>(after * rate);
            std::int64_t found = 0;
            if (!locate(recording, mix, mixSpan.first + static_cast<std::uint64_t>(offset),
                        static_cast<std::uint64_t>(fifth), origin + offset,
                        offset == 0 ? fifth / 4 : static_cast<std::int64_t>(rate), found))
                continue;
            if (whole && !silentGaps(recording, static_cast<std::uint64_t>(found),
                                     static_cast<std::uint64_t>(found + fifth), minFrames)
                              .empty())
                continue;
            if (offset == 0) origin = found;
            report.aligned = true;
        }
    }

    const std::vector<Gap> gaps =
        silentGaps(recording, static_cast<std::uint64_t>(origin), recordingSpan.end, minFrames);
    report.gaps = gaps.size();
    for (const Gap& gap : gaps) {
        const double seconds = static_cast<double>(gap.frames) / rate;
        report.silenceSeconds += seconds;
        report.longestGapSeconds = std::max(report.longestGapSeconds, seconds);
    }
    if (!gaps.empty())
        report.firstGapSeconds = static_cast<double>(gaps.front().first - static_cast<std::uint64_t>(origin)) / rate;

    // Each cut is searched where the lag so far would put it; dropouts only
    // ever push the music later, a timeline running ahead pulls it earlier.
    std::int64_t lagSoFar = 0;
    for (const Cut& cut : cuts) {
        CutLag lag;
        lag.name = cut.name;
        const std::uint64_t mixFrom = static_cast<std::uint64_t>(std::llround(cut.seconds * rate));
        const std::int64_t sinceStart = static_cast<std::int64_t>(mixFrom) - static_cast<std::int64_t>(mixSpan.first);
        std::int64_t at = 0;
        if (report.aligned && mixFrom < mix.frames() &&
            locate(recording, mix, mixFrom, static_cast<std::uint64_t>(2 * rate), origin + sinceStart + lagSoFar,
                   static_cast<std::int64_t>(15 * rate), at)) {
            lag.found = true;
            lagSoFar = at - origin - sinceStart;
            lag.seconds = static_cast<double>(lagSoFar) / rate;
        }
        report.lags.push_back(lag);
    }
    return report;
}

}  // namespace playback
