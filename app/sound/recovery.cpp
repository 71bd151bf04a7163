// The device lost and found again. SDL tells of a device removed (its status
// turns to stopped), but a sound server that restarts can also leave the
// device open and simply never ask for sound again (SDL's PipeWire driver
// does). So the layer watches what the device takes: one that has taken
// sound and then takes none for kStallMs while sound waits in its queue is
// lost too. One that has not begun yet gets kStartMs, since a sound server
// can take over a second to start a new stream.
//
// While the device is lost the clock stands in for it, from the frame that
// was being heard, so that positions advance as time passes and the timeline
// never waits on a device that takes no sound. Every kRetryMs a thread of
// ours tries to open the device again: an open can wait on a half-started
// server for seconds, which the frame loop must not. After a failed try the
// next one sets SDL's driver up anew first, since its connection to the old
// server may be dead. A device that opens is fed from the clock's frame at
// every update until it takes sound; then the output is the device again,
// going on from there.
//
// Said once on stderr when lost and once when back, never in a box: the demo
// is playing.
#include "app/sound/layer.h"

#include "app/clock.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <thread>

namespace sound::detail {
namespace {

constexpr std::uint32_t kStallMs = 500;
constexpr std::uint32_t kStartMs = 4000;
constexpr std::uint32_t kRetryMs = 250;

void say(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

// On the thread of the try: nothing here touches the layer.
void reopen(Reopening& attempt) {
    if (attempt.closing != 0) SDL_CloseAudioDevice(attempt.closing);
    SDL_AudioDeviceID opened = 0;
    SDL_AudioSpec obtained;
    SDL_zero(obtained);
    // Why a try failed is of no use to anyone: the next one follows.
    if (!attempt.restartDriver || SDL_AudioInit(attempt.driver.c_str()) == 0)
        opened = SDL_OpenAudioDevice(nullptr, 0, &attempt.wanted, &obtained, 0);
    std::lock_guard<std::mutex> hold(attempt.lock);
    if (attempt.abandoned && opened != 0) {
        SDL_CloseAudioDevice(opened);
        opened = 0;
    }
    attempt.opened = opened;
    attempt.obtained = obtained;
    attempt.finished = true;
}

// Closes `closing` (0: none) and opens the device again, on a thread.
void startAttempt(SDL_AudioDeviceID closing) {
    Recovery& recovery = layer.recovery;
    auto attempt = std::make_shared<Reopening>();
    attempt->closing = closing;
    attempt->restartDriver = recovery.failedTries > 0 && !recovery.driver.empty();
    attempt->driver = recovery.driver;
    attempt->wanted = deviceSpec();
    recovery.attempt = attempt;
    try {
        std::thread([attempt] { reopen(*attempt); }).detach();
    } catch (const std::exception&) {
        // No thread to be had: this try failed, the next one comes later.
        if (closing != 0) SDL_CloseAudioDevice(closing);
        attempt->finished = true;
    }
}

void lose(const char* why, std::uint64_t heard, std::uint32_t since) {
    Recovery& recovery = layer.recovery;
    const SDL_AudioDeviceID device = layer.output.device;
    if (!recovery.lost) {
        say(why);
        recovery.lost = true;
        recovery.failedTries = 0;
    }
    keepTimeOnClock(heard, since);
    startAttempt(device);
}

// The device in use: lost when removed, or taking no sound for too long.
// How long is counted from the first update that found it taking nothing:
// a machine that stops the whole process for a while (a busy virtual
// machine) stops the device's thread too, and the update after that must
// not take the pause for a device that stopped.
void watch(std::uint32_t now) {
    Output& output = layer.output;
    const std::uint64_t queued = stillQueued(output);
    const std::uint64_t frontier = output.submitted - std::min(output.submitted, queued);
    if (frontier != output.lastFrontier || queued == 0) {
        output.lastFrontier = frontier;
        output.stalled = false;
        // Beyond the first buffer, which SDL may take before anyone asks.
        if (frontier - output.openedAt > output.deviceBufferFrames) output.tookSound = true;
    } else if (!output.stalled) {
        output.stalled = true;
        output.stalledTick = now;
    }
    const bool removed = SDL_GetAudioDeviceStatus(output.device) == SDL_AUDIO_STOPPED;
    const std::uint32_t patience = output.tookSound ? kStallMs : kStartMs;
    if (!removed && (!output.stalled || now - output.stalledTick <= patience)) return;
    // The clock goes on from what was heard when the device last showed
    // life: a removed one is taken away now; a silent one stopped then.
    const std::uint64_t heard = std::max(layer.heard, outputHeard());
    if (removed)
        lose("The sound device was removed; the demo goes on silently and picks the sound up again "
             "when the device is back.",
             heard, now);
    else
        lose("The sound device stopped taking sound; the demo goes on silently and picks the sound up "
             "again when the device is back.",
             heard, output.stalledTick);
}

// A device opened again, beside the clock.
void join(std::uint32_t now) {
    Output& output = layer.output;
    const std::uint64_t taken =
        output.joinTaken + output.joinQueued - std::min(output.joinQueued, stillQueued(output));
    if (taken > output.deviceBufferFrames) {
        // It takes sound: its queue, mixed from the clock's frame at the
        // last clearing, is the output's from here on.
        output.kind = OutputKind::device;
        output.openedAt = output.submitted - output.joinQueued;
        output.lastFrontier = outputFrontier();
        output.stalled = false;
        output.tookSound = true;
        output.joinQueued = output.joinTaken = 0;
        layer.recovery.lost = false;
        layer.recovery.failedTries = 0;
        say("The sound device is back; the sound goes on where the demo is.");
        return;
    }
    if (now - output.joinedTick > kStartMs || SDL_GetAudioDeviceStatus(output.device) == SDL_AUDIO_STOPPED) {
        // It never began, or went again: close it and try again.
        const SDL_AudioDeviceID device = output.device;
        output.device = 0;
        output.deviceBufferFrames = 0;
        startAttempt(device);
        return;
    }
    // Not yet: its queue starts again from the clock's frame, so that what
    // it plays first is what the demo has reached.
    cutAt([](std::uint64_t) {});
}

void adopt(SDL_AudioDeviceID device, const SDL_AudioSpec& obtained, std::uint32_t now) {
    Output& output = layer.output;
    output.device = device;
    output.deviceBufferFrames = obtained.samples;
    output.joinedTick = now;
    output.joinQueued = output.joinTaken = 0;
    raiseDeviceThread();
    cutAt([](std::uint64_t) {});
    SDL_PauseAudioDevice(device, 0);
}

}  // namespace

void superviseDevice() {
    Output& output = layer.output;
    Recovery& recovery = layer.recovery;
    const std::uint32_t now = platform::tickCount();
    if (output.kind == OutputKind::device) {
        watch(now);
        return;
    }
    if (output.kind != OutputKind::clock || !recovery.lost) return;
    if (output.device != 0) {
        join(now);
        return;
    }
    if (recovery.attempt) {
        std::shared_ptr<Reopening> attempt = recovery.attempt;
        std::lock_guard<std::mutex> hold(attempt->lock);
        if (!attempt->finished) return;
        recovery.attempt.reset();
        if (attempt->opened != 0) {
            adopt(attempt->opened, attempt->obtained, now);
            return;
        }
        ++recovery.failedTries;
        recovery.nextTryTick = now + kRetryMs;
    }
    if (static_cast<std::int32_t>(now - recovery.nextTryTick) >= 0) startAttempt(0);
}

void continueOutage() {
    keepTimeOnClock(0, platform::tickCount());
    layer.recovery.nextTryTick = platform::tickCount();
}

bool settleReopening(std::uint32_t milliseconds) {
    std::shared_ptr<Reopening>& attempt = layer.recovery.attempt;
    if (!attempt) return true;
    for (std::uint32_t waited = 0;; waited += 10) {
        {
            std::lock_guard<std::mutex> hold(attempt->lock);
            if (attempt->finished) {
                if (attempt->opened != 0) SDL_CloseAudioDevice(attempt->opened);
                attempt->opened = 0;
                break;
            }
            if (waited >= milliseconds) {
                attempt->abandoned = true;
                return false;
            }
        }
        SDL_Delay(10);
    }
    attempt.reset();
    return true;
}

}  // namespace sound::detail
