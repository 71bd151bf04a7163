// s3mCutShort: the S3M header, its sample and pattern pointers, and whether
// what they point at fits in the file.
#include "demo/module_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::uint32_t read16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return at + 2 <= bytes.size() ? static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8)) : 0;
}

std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return read16(bytes, at) | (read16(bytes, at + 2) << 16);
}

bool readWhole(const char* path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Whether `length` bytes from `at` lie inside the file (64-bit sums: the
// values come from the file).
bool inside(const std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint64_t length) {
    return at + length <= bytes.size();
}

}  // namespace

std::string s3mCutShort(const char* path) {
    std::vector<std::uint8_t> bytes;
    if (!path || !readWhole(path, bytes)) return "";
    constexpr std::size_t kHeaderSize = 0x60;
    if (bytes.size() < 0x30 || std::memcmp(&bytes[0x2C], "SCRM", 4) != 0) return "";
    const std::uint32_t orders = read16(bytes, 0x20);
    const std::uint32_t samples = read16(bytes, 0x22);
    const std::uint32_t patterns = read16(bytes, 0x24);
    const std::uint64_t pointers = kHeaderSize + orders;
    const std::string size = std::to_string(bytes.size());
    if (!inside(bytes, pointers, 2ull * (samples + patterns))) {
        return std::string(path) + " ends at byte " + size +
               ", inside its header: the file is cut short and plays as silence.";
    }

    std::uint32_t samplesPast = 0, patternsPast = 0;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const std::uint64_t at = 16ull * read16(bytes, pointers + 2ull * i);
        if (!inside(bytes, at, 0x50)) {
            samplesPast++;
            continue;
        }
        if (bytes[at] != 1) continue;  // not a sampled instrument: no data
        const std::uint64_t data = 16ull * ((static_cast<std::uint64_t>(bytes[at + 0x0D]) << 16) |
                                            read16(bytes, at + 0x0E));
        const std::uint8_t flags = bytes[at + 0x1F];
        const std::uint64_t length = static_cast<std::uint64_t>(read32(bytes, at + 0x10)) *
                                     ((flags & 4) ? 2 : 1) * ((flags & 2) ? 2 : 1);
        if (!inside(bytes, data, length)) samplesPast++;
    }
    for (std::uint32_t i = 0; i < patterns; ++i) {
        const std::uint64_t at = 16ull * read16(bytes, pointers + 2ull * samples + 2ull * i);
        if (at == 0) continue;  // an empty pattern has no data
        if (!inside(bytes, at, 2) || !inside(bytes, at, read16(bytes, at))) patternsPast++;
    }
    if (samplesPast == 0 && patternsPast == 0) return "";
    return std::string(path) + " ends at byte " + size + " before its module does: " +
           std::to_string(samplesPast) + " of its " + std::to_string(samples) + " samples and " +
           std::to_string(patternsPast) + " of its " + std::to_string(patterns) +
           " patterns lie past the end and play as silence (is the file cut short?).";
}
