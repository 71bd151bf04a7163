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
// The layer's one state record (`layer`) lives in sound.cpp.
#pragma once

#include "app/sound/sound.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <deque>
#include <memory>
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

enum class OutputKind { none, device, offline, clock };

struct Output {
    OutputKind kind = OutputKind::none;
    SDL_AudioDeviceID device = 0;
    bool audioSubsystem = false;        // we initialised SDL's audio subsystem
    std::uint32_t deviceBufferFrames = 0;
    bool locked = false;                // device: held from a cut until refilled
    std::uint64_t submitted = 0;        // frames handed to the output
    std::uint64_t consumed = 0;         // offline and clock: frames consumed
    std::uint32_t clockStartTick = 0;   // clock: tick count at init
    std::vector<std::int16_t> pending;  // offline: queued, not yet consumed
    std::size_t pendingRead = 0;        // samples of `pending` consumed
};

// The offline sink's side that outlives init() and shutdown().
struct OfflineSink {
    std::uint64_t toConsume = 0;          // asked for, not yet consumed
    std::vector<std::int16_t> recording;  // everything consumed
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

// mixer.cpp
// Mixes output frames up to `end` and submits them.
void fill(std::uint64_t end);
// Cuts the queue at the frontier and returns the cut frame.
std::uint64_t cut();
// Mixes the queue up to the buffer length (after a cut, and in update()),
// and lets the device take from it again.
void refill();
// update(): consumes, tops up, moves the heard frame on, forgets the past.
void advance();

// files.cpp
bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error);
bool writeWaveFile(const char* path, const std::vector<std::int16_t>& samples, int rate,
                   std::string& error);

}  // namespace sound::detail
