// Inside the sound layer: the records its files share and the functions they
// call in one another. Nothing outside app/sound includes this.
//
// Frames are stereo frames at the output rate. Two time lines meet here:
// - output frames, counted from init(): what was handed to the output, what
//   it consumed, what is heard;
// - channel frames, each channel's own: a wave's frame in its converted
//   data, a module's frame in everything it has rendered since it was loaded.
// While a channel plays, output frame = channel frame + offset. Every start,
// stop and jump happens at a cut: the first output frame that can still be
// changed; the queue from there on is dropped and mixed again.
//
// The device can be lost while the demo plays (its server restarted, the
// card pulled out). The layer then keeps time on the program's clock, as
// when no device opened, while a thread of its own opens the device again
// (recovery.cpp); output frames go on counting through all of it.
//
// The layer's one state record (`layer`) lives in sound.cpp.
#pragma once

#include "app/sound/sound.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sound::detail {

// ---- Module ------------------------------------------------------------------

// Channel frame -> position (order | row << 16) from that frame on.
struct Mark {
    std::uint64_t frame;
    std::uint64_t position;
};

// How the renderer knows where rows begin. libopenmpt only tells the row of
// the last frame rendered. Rows begin on tick boundaries, and a tick lasts
// 2.5 / tempo seconds, so rendering is split where the next row should begin
// (speed ticks on) and one frame is probed there; when the row goes on (a
// pattern delay), it is probed again a tick later. When a row begins where no
// tick was expected (a tempo slide), the chunk it appeared in places it to
// within 5 ms, and the next row's start is searched frame by frame.
struct RowTracker {
    std::uint64_t current = 0;    // position of the last frame rendered
    bool rowStartsNext = true;    // the next frame rendered begins a row (load, jump)
    bool exact = false;           // nextRow is a tick boundary
    std::uint64_t nextRow = 0;    // first frame of the next tick that may begin a row
    std::uint64_t tick = 0;       // frames per tick
    std::uint64_t searchFrom = 0; // frames searched one by one for a row start
    std::uint64_t searchTo = 0;   // (empty when equal)
};

struct ModuleChannel {
    std::unique_ptr<openmpt::module> player;
    std::vector<float> store;    // rendered stereo frames storeBase..renderEnd (and room)
    std::uint64_t storeBase = 0;
    std::uint64_t renderEnd = 0;  // channel frame after the last one rendered
    bool ended = false;           // libopenmpt reached the end of the song
    std::deque<Mark> marks;       // ascending frames, one per row start
    RowTracker rows;
    int orders = 0;
};

// ---- Wave ----------------------------------------------------------------------

struct WaveChannel {
    std::vector<float> frames;        // converted: float stereo at the output rate
    std::uint64_t sourceFrames = 0;   // frames in the file
    std::uint32_t sourceRate = 0;
    std::uint32_t bytesPerFrame = 0;  // of the file's own sample format
    int rate = 0;                     // the output rate it was converted to
};

// ---- Channels ------------------------------------------------------------------

enum class ChannelKind { module, wave };

struct ChannelRecord {
    Channel handle = 0;
    ChannelKind kind = ChannelKind::wave;
    bool playing = false;
    std::int64_t offset = 0;        // output frame - channel frame, while playing
    std::uint64_t resumeFrame = 0;  // channel frame it goes on from, while stopped
    std::uint64_t runStart = 0;     // channel frame the current run began at
    std::unique_ptr<ModuleChannel> module;
    std::unique_ptr<WaveChannel> wave;
};

// ---- Output --------------------------------------------------------------------

// device: SDL's device, by its own account of what it took.
// clock: the program's clock; when `device` is set beside it, that is a
// device opened again after a loss, fed from the clock's frame at every
// update until it takes sound, and then the output is the device again.
enum class OutputKind { none, device, offline, clock };

struct Output {
    OutputKind kind = OutputKind::none;
    SDL_AudioDeviceID device = 0;
    std::uint32_t deviceBufferFrames = 0;
    bool locked = false;                // device: held from a cut until refilled
    std::uint64_t submitted = 0;        // frames handed to the output
    std::uint64_t consumed = 0;         // offline and clock: frames consumed
    std::uint32_t clockStartTick = 0;   // clock: tick count at clockBase
    std::uint64_t clockBase = 0;        // clock: output frame at clockStartTick
    std::vector<std::int16_t> pending;  // offline: queued, not yet consumed
    std::size_t pendingRead = 0;        // samples of `pending` consumed
    // The device, watched at every update (recovery.cpp).
    std::uint64_t openedAt = 0;         // output frame it began at
    std::uint64_t lastFrontier = 0;
    bool stalled = false;               // an update found it had taken nothing
    std::uint32_t stalledTick = 0;      // ... first, since it last took sound
    bool tookSound = false;             // more than its own first buffer
    // A device beside the clock (see OutputKind).
    std::uint32_t joinedTick = 0;       // when it was opened
    std::uint64_t joinQueued = 0;       // frames queued to it since the last clearing
    std::uint64_t joinTaken = 0;        // frames it took before that, since it opened
};

// The offline sink's side that outlives init() and shutdown().
struct OfflineSink {
    std::uint64_t toConsume = 0;          // asked for, not yet consumed
    std::vector<std::int16_t> recording;  // everything consumed
};

// ---- Recovery ------------------------------------------------------------------

// One try at opening the device again, made on a thread of its own: an open
// can wait on a sound server for as long as the server likes, and the frame
// loop must not. The thread closes `closing` first (a lost device's close
// can wait too), sets SDL's driver up anew when asked, then opens. The layer
// and the thread share the record; `finished` and `abandoned` are read and
// written under `lock`, the rest belongs to the thread until `finished`.
struct Reopening {
    std::mutex lock;
    bool finished = false;
    bool abandoned = false;          // the layer has gone: close what was opened
    SDL_AudioDeviceID closing = 0;
    bool restartDriver = false;
    std::string driver;
    SDL_AudioSpec wanted{};
    SDL_AudioDeviceID opened = 0;
    SDL_AudioSpec obtained{};
};

// What outlives a pass: a loss is said once, however many passes it lasts.
struct Recovery {
    bool lost = false;               // said lost, not yet said back
    std::string driver;              // SDL's driver the device was opened with
    std::shared_ptr<Reopening> attempt;
    std::uint32_t nextTryTick = 0;
    int failedTries = 0;
};

// ---- The layer -------------------------------------------------------------------

struct Layer {
    int rate = 44100;
    std::uint32_t bufferMs = 200;
    int updatePeriodMs = 0;
    std::vector<ChannelRecord> channels;
    Channel lastHandle = 0;
    Output output;
    OfflineSink offline;
    bool audioSubsystem = false;   // we hold a count of SDL's audio subsystem
    Recovery recovery;
    std::uint64_t heard = 0;   // output frame being heard, as of the last update
    std::vector<float> mix;    // scratch: one block of the mix
    std::vector<std::int16_t> pcm;
    std::string lastError;
};

extern Layer layer;

ChannelRecord* find(Channel handle);
std::uint32_t bufferFrames();
void setError(const std::string& text);

// module_channel.cpp
std::unique_ptr<ModuleChannel> openModule(const char* path, std::string& error);
// Renders until channel frame `end` (or the end of the song).
void renderModule(ModuleChannel& module, std::uint64_t end);
std::uint64_t modulePositionAt(const ModuleChannel& module, std::uint64_t frame);
// Drops everything rendered from `frame` on and goes on at `order`, row 0.
void jumpModule(ModuleChannel& module, std::uint64_t frame, int order);
// Forgets audio before `frame` and marks no longer needed to look `frame` up.
void trimModule(ModuleChannel& module, std::uint64_t frame);

// wave_channel.cpp
std::unique_ptr<WaveChannel> openWave(const char* path, int rate, std::string& error);
std::uint64_t wavePositionAt(const WaveChannel& wave, std::uint64_t frame);

// output.cpp (layer.output)
// Opens what the layer's choice says; false (with the reason) when the device
// could not be opened and the clock stands in for it.
bool openOutput(std::string& error);
void closeOutput();
// What the layer asks SDL's device for.
SDL_AudioSpec deviceSpec();
// Gives the thread that feeds the device the priority SDL gives it with
// every driver but PipeWire.
void raiseDeviceThread();
// Takes `device` (opened with `obtained`) as the fresh output; it starts
// taking sound at once.
void useDevice(SDL_AudioDeviceID device, const SDL_AudioSpec& obtained);
// The clock stands in from now on: output frame `frame` was heard at tick
// count `tick`, and the frames after it follow the clock.
void keepTimeOnClock(std::uint64_t frame, std::uint32_t tick);
// Frames SDL's device still holds in its queue.
std::uint64_t stillQueued(const Output& output);
// The first output frame a cut can still change.
std::uint64_t outputFrontier();
// The output frame being heard, by the output's own account.
std::uint64_t outputHeard();
// The output frame the listener has reached now: for the device, what it
// has taken less its own buffer (negative while that still fills with the
// first frames it took); offline and on the clock, every frame whose time
// has passed, consumed by an update or not.
std::int64_t listenerFrame();
// Hands interleaved stereo frames to the output.
void submit(const std::int16_t* samples, std::size_t frames);
// Drops everything queued that can still be dropped; returns the first
// output frame dropped, from which the queue goes on. The device takes
// nothing more until releaseQueue().
std::uint64_t clearQueue();
// Lets the device take from the queue again after clearQueue().
void releaseQueue();
// Frames to consume at this update: offline, what was asked for; clock,
// what the program's clock says has passed; device, 0 (it keeps its own).
std::uint64_t framesToConsume();
// Offline: moves `frames` queued ones into the recording. Clock: counts them.
void consume(std::uint64_t frames);

// recovery.cpp
// At every update, before anything is consumed: notices a device lost
// (removed, or taking no sound), keeps time on the clock while it is, tries
// to open it again, and hands the output back to it once it takes sound.
void superviseDevice();
// Starts the output as lost: an earlier pass lost the device and it is not
// back yet.
void continueOutage();
// Waits a while for a try at reopening that is under way; true when none
// is (any device it opened is closed). Afterwards SDL's audio is the
// caller's alone.
bool settleReopening(std::uint32_t milliseconds);

// mixer.cpp
// Mixes output frames up to `end` and submits them.
void fill(std::uint64_t end);
// A start, stop or jump is made in two steps. prepareCut() returns the
// earliest output frame the cut can fall at (offline and on the clock,
// exactly where it falls, once the time that has passed is mixed with the
// channels as they were); whatever slow work the change needs (a module's
// seek, its rendering) is done then. cutAt() cuts the queue where the output
// says, calls `change` with that frame and mixes the queue again. On the
// device everything the new queue needs is rendered by then: the device is
// held only while its queue is swapped, since its server keeps only about
// one device buffer of sound and plays silence when that runs out.
std::uint64_t prepareCut();
void cutAt(const std::function<void(std::uint64_t at)>& change);
// On the device: renders `module` from channel frame `from` as far as a cut
// mixes (see prepareCut); nothing elsewhere.
void renderForCut(ModuleChannel& module, std::uint64_t from);
// update(): consumes, tops up, moves the heard frame on, forgets the past.
void advance();

// files.cpp
bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error);
bool writeWaveFile(const char* path, const std::vector<std::int16_t>& samples, int rate,
                   std::string& error);

}  // namespace sound::detail
