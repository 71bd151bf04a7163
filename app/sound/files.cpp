// Whole files in and out: the sound files are read into memory once, and the
// offline sink's recording is written as a plain 16-bit PCM wave.
#include "app/sound/layer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sound::detail {
namespace {

void put16(std::FILE* file, unsigned value) {
    std::fputc(static_cast<int>(value & 0xFF), file);
    std::fputc(static_cast<int>((value >> 8) & 0xFF), file);
}

void put32(std::FILE* file, std::uint32_t value) {
    put16(file, value & 0xFFFF);
    put16(file, value >> 16);
}

}  // namespace

bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (!path || !*path) {
        error = "no file name given";
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = std::string(path) + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    // Room for the whole file at once: growing by copies touches several
    // times its size of fresh memory, which costs start-up time.
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<std::uint64_t>(info.st_size) < (std::uint64_t(1) << 32))
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
    bool failed = std::ferror(file) != 0;
    int failure = errno;
    std::fclose(file);
    if (failed) {
        error = std::string(path) + ": cannot be read (" + std::strerror(failure) + ")";
        return false;
    }
    if (bytes.empty()) {
        error = std::string(path) + ": the file is empty";
        return false;
    }
    return true;
}

bool writeWaveFile(const char* path, const std::vector<std::int16_t>& samples, int rate,
                   std::string& error) {
    // A RIFF size field holds 32 bits.
    const std::uint64_t dataBytes = samples.size() * sizeof(std::int16_t);
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = std::string(path) + ": the recording is too long for a wave file";
        return false;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        error = std::string(path) + ": cannot be written (" + std::strerror(errno) + ")";
        return false;
    }
    const unsigned channels = 2, bits = 16, blockAlign = channels * bits / 8;
    std::fwrite("RIFF", 1, 4, file);
    put32(file, static_cast<std::uint32_t>(36 + dataBytes));
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(file, 16);
    put16(file, 1);  // PCM
    put16(file, channels);
    put32(file, static_cast<std::uint32_t>(rate));
    put32(file, static_cast<std::uint32_t>(rate) * blockAlign);
    put16(file, blockAlign);
    put16(file, bits);
    std::fwrite("data", 1, 4, file);
    put32(file, static_cast<std::uint32_t>(dataBytes));
    // Little-endian samples, whatever the machine.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(dataBytes));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        auto value = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) error = std::string(path) + ": cannot be written completely";
    return ok;
}

}  // namespace sound::detail
