// The outputs: the SDL device in queue mode, the offline sink, and the
// program's clock standing in for a device that could not be opened or was
// lost (recovery.cpp). Each function switches on the kind once per call;
// samples are handed over in blocks.
#include "app/sound/layer.h"

#include "app/backends.h"
#include "app/clock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef __LINUX__
#include <dirent.h>
#include <sched.h>
#endif

namespace sound::detail {
namespace {

constexpr std::uint32_t kBytesPerFrame = 2 * sizeof(std::int16_t);

// A device buffer of about 10 ms: the heard frame is known to within one.
Uint16 deviceBufferFor(int rate) {
    Uint16 samples = 256;
    while (samples < 4096 && samples * 100 < rate) samples *= 2;
    return samples;
}

// Offline and clock: frames whose time has passed since the last update,
// which the next update will consume. The device keeps its own time.
std::uint64_t framesPassed() {
    const Output& output = layer.output;
    if (output.kind == OutputKind::offline) return layer.offline.toConsume;
    if (output.kind == OutputKind::clock) {
        std::uint32_t elapsedMs = platform::tickCount() - output.clockStartTick;  // wrap-safe
        std::uint64_t due = output.clockBase +
                            static_cast<std::uint64_t>(elapsedMs) * static_cast<std::uint64_t>(layer.rate) / 1000;
        return due > output.consumed ? due - output.consumed : 0;
    }
    return 0;
}

}  // namespace

std::uint64_t stillQueued(const Output& output) {
    return SDL_GetQueuedAudioSize(output.device) / kBytesPerFrame;
}

SDL_AudioSpec deviceSpec() {
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = layer.rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = deviceBufferFor(layer.rate);
    wanted.callback = nullptr;  // queue mode: no thread of ours
    return wanted;
}

void raiseDeviceThread() {
#ifdef __LINUX__
    // SDL raises the thread that feeds a device from its queue to the
    // highest priority it may (nice -20, or through RealtimeKit), except
    // with its PipeWire driver: there PipeWire's own loop thread, which SDL
    // names SDLAudioP<n>, does the feeding at normal priority. Beside a
    // frame loop that keeps both cores busy it then wakes too late for the
    // server's next cycle, and the sink plays silence. Raised here as SDL
    // raises its own.
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || std::strcmp(driver, "pipewire") != 0) return;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return;
    while (const dirent* task = readdir(tasks)) {
        char path[64], name[32] = {};
        std::snprintf(path, sizeof path, "/proc/self/task/%.20s/comm", task->d_name);
        std::FILE* comm = std::fopen(path, "r");
        if (!comm) continue;
        const bool named = std::fgets(name, sizeof name, comm) && std::strncmp(name, "SDLAudioP", 9) == 0;
        std::fclose(comm);
        if (named)
            SDL_LinuxSetThreadPriorityAndPolicy(std::strtoll(task->d_name, nullptr, 10),
                                                SDL_THREAD_PRIORITY_TIME_CRITICAL, SCHED_OTHER);
    }
    closedir(tasks);
#endif
}

void useDevice(SDL_AudioDeviceID device, const SDL_AudioSpec& obtained) {
    Output& output = layer.output;
    output.kind = OutputKind::device;
    output.device = device;
    output.deviceBufferFrames = obtained.samples;
    output.tookSound = false;
    raiseDeviceThread();
    SDL_PauseAudioDevice(device, 0);
}

void keepTimeOnClock(std::uint64_t frame, std::uint32_t tick) {
    Output& output = layer.output;
    output.kind = OutputKind::clock;
    output.device = 0;
    output.deviceBufferFrames = 0;
    output.clockBase = frame;
    output.clockStartTick = tick;
    output.consumed = frame;
    output.submitted = frame;
}

bool openOutput(std::string& error) {
    Output& output = layer.output;
    output = Output{};
    if (platform::backends().soundOutput == platform::SoundOutput::offline) {
        output.kind = OutputKind::offline;
        return true;
    }
    // A device lost in an earlier pass is still being opened again: this
    // pass goes on with that, on the clock until the device is back.
    if (layer.recovery.lost) {
        continueOutage();
        return true;
    }
    if (!layer.audioSubsystem && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) layer.audioSubsystem = true;
    if (layer.audioSubsystem) {
        SDL_AudioSpec wanted = deviceSpec(), obtained;
        SDL_zero(obtained);
        // No changes allowed: SDL converts to what the hardware takes.
        SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device != 0) {
            const char* driver = SDL_GetCurrentAudioDriver();
            layer.recovery.driver = driver ? driver : "";
            useDevice(device, obtained);
            return true;
        }
    }
    error = std::string("the sound device cannot be opened (") + SDL_GetError() +
            "); the demo goes on without sound";
    if (layer.audioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    layer.audioSubsystem = false;
    keepTimeOnClock(0, platform::tickCount());
    return false;
}

void closeOutput() {
    releaseQueue();
    Output& output = layer.output;
    if (output.device != 0) SDL_CloseAudioDevice(output.device);
    // While the device is lost SDL's audio stays set up, for the next pass
    // to go on opening it; so it does for a try at reopening that does not
    // end in time, which then closes whatever it opens.
    const bool settled = settleReopening(1000);
    if (layer.audioSubsystem && settled && !layer.recovery.lost) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        layer.audioSubsystem = false;
    }
    output = Output{};
}

std::uint64_t outputFrontier() {
    const Output& output = layer.output;
    switch (output.kind) {
        case OutputKind::device:
            return output.submitted - std::min(output.submitted, stillQueued(output));
        case OutputKind::offline:
        case OutputKind::clock:
            // What the time passed since the last update will consume is
            // already heard, as far as a cut is concerned.
            return output.consumed + framesPassed();
        case OutputKind::none:
            break;
    }
    return output.submitted;
}

std::int64_t listenerFrame() {
    const Output& output = layer.output;
    if (output.kind == OutputKind::device)
        return static_cast<std::int64_t>(outputFrontier()) - static_cast<std::int64_t>(output.deviceBufferFrames);
    // Offline and clock: time that has passed is heard, consumed or not.
    return static_cast<std::int64_t>(outputFrontier());
}

std::uint64_t outputHeard() {
    const Output& output = layer.output;
    switch (output.kind) {
        case OutputKind::device: {
            // What SDL still holds, plus the buffer the hardware is playing.
            std::uint64_t frontier = outputFrontier();
            return frontier - std::min<std::uint64_t>(frontier, output.deviceBufferFrames);
        }
        case OutputKind::offline:
        case OutputKind::clock:
            return output.consumed;
        case OutputKind::none:
            break;
    }
    return 0;
}

void submit(const std::int16_t* samples, std::size_t frames) {
    Output& output = layer.output;
    if (output.device != 0) {
        SDL_QueueAudio(output.device, samples, static_cast<Uint32>(frames * kBytesPerFrame));
        if (output.kind == OutputKind::clock) output.joinQueued += frames;
    }
    if (output.kind == OutputKind::offline) {
        output.pending.insert(output.pending.end(), samples, samples + frames * 2);
    }
    output.submitted += frames;
}

std::uint64_t clearQueue() {
    Output& output = layer.output;
    if (output.kind == OutputKind::device) {
        // Locked, so that SDL's audio thread takes nothing between the count
        // and the clearing, and kept locked until the queue is filled again
        // (releaseQueue): a pull in between would find it empty and play a
        // device buffer of silence.
        SDL_LockAudioDevice(output.device);
        output.locked = true;
        output.submitted = outputFrontier();
        SDL_ClearQueuedAudio(output.device);
    } else if (output.kind == OutputKind::offline || output.kind == OutputKind::clock) {
        // The mixer filled up to the frontier before cutting.
        std::uint64_t frontier = outputFrontier();
        std::size_t kept = static_cast<std::size_t>(std::min(frontier, output.submitted) - output.consumed);
        output.pending.resize(std::min(output.pending.size(), output.pendingRead + kept * 2));
        output.submitted = std::min(frontier, output.submitted);
        if (output.device != 0) {
            // A device beside the clock: what it took of its queue counts
            // towards its start, and it starts again from the clock's frame.
            SDL_LockAudioDevice(output.device);
            output.locked = true;
            output.joinTaken += output.joinQueued - std::min(output.joinQueued, stillQueued(output));
            output.joinQueued = 0;
            SDL_ClearQueuedAudio(output.device);
        }
    }
    return output.submitted;
}

void releaseQueue() {
    Output& output = layer.output;
    if (!output.locked) return;
    output.locked = false;
    SDL_UnlockAudioDevice(output.device);
}

std::uint64_t framesToConsume() {
    std::uint64_t frames = framesPassed();
    layer.offline.toConsume = 0;
    return frames;
}

void consume(std::uint64_t frames) {
    Output& output = layer.output;
    if (output.kind == OutputKind::offline) {
        std::vector<std::int16_t>& recording = layer.offline.recording;
        std::size_t available = (output.pending.size() - output.pendingRead) / 2;
        std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(frames, available));
        auto from = output.pending.begin() + static_cast<std::ptrdiff_t>(output.pendingRead);
        recording.insert(recording.end(), from, from + static_cast<std::ptrdiff_t>(taken * 2));
        // The mixer fills before it consumes, so this is only for safety.
        recording.resize(recording.size() + static_cast<std::size_t>(frames - taken) * 2, 0);
        output.pendingRead += taken * 2;
        if (output.pendingRead > 65536 && output.pendingRead * 2 > output.pending.size()) {
            output.pending.erase(output.pending.begin(),
                                 output.pending.begin() + static_cast<std::ptrdiff_t>(output.pendingRead));
            output.pendingRead = 0;
        }
        output.consumed += frames;
    } else if (output.kind == OutputKind::clock) {
        output.consumed += frames;
    }
}

}  // namespace sound::detail
