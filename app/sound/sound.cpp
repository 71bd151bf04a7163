// The sound layer's operations: handles, set-up, playback and positions.
// The records they work on are described in layer.h.
#include "app/sound/layer.h"

#include "app/backends.h"

#include <algorithm>

namespace sound {
namespace detail {

Layer layer;

ChannelRecord* find(Channel handle) {
    if (handle == 0) return nullptr;
    for (ChannelRecord& record : layer.channels)
        if (record.handle == handle) return &record;
    return nullptr;
}

std::uint32_t bufferFrames() {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(layer.bufferMs) *
                                      static_cast<std::uint64_t>(layer.rate) / 1000);
}

void setError(const std::string& text) { layer.lastError = text; }

}  // namespace detail

using namespace detail;

namespace {

Channel addChannel(ChannelRecord record) {
    // Handles are never reused: one from an earlier pass finds nothing.
    if (++layer.lastHandle == 0) ++layer.lastHandle;
    record.handle = layer.lastHandle;
    layer.channels.push_back(std::move(record));
    return layer.lastHandle;
}

// Starts `record` at channel frame `frame`, heard from the cut on.
void startAt(ChannelRecord& record, std::uint64_t frame) {
    prepareCut();
    if (record.kind == ChannelKind::module) renderForCut(*record.module, frame);
    cutAt([&](std::uint64_t at) {
        record.offset = static_cast<std::int64_t>(at) - static_cast<std::int64_t>(frame);
        record.runStart = frame;
        record.playing = true;
    });
}

std::uint64_t channelFrameHeard(const ChannelRecord& record) {
    if (!record.playing) return record.resumeFrame;
    std::int64_t frame = static_cast<std::int64_t>(layer.heard) - record.offset;
    return std::max<std::int64_t>(frame, static_cast<std::int64_t>(record.runStart));
}

}  // namespace

int init(SDL_Window* window, int frequency) {
    (void)window;  // SDL's audio needs no window
    // Only one pass's music may ever sound.
    if (layer.output.kind != OutputKind::none) shutdown();
    layer.rate = frequency >= 8000 && frequency <= 192000 ? frequency : 44100;
    std::string error;
    bool opened = openOutput(error);
    setError(opened ? std::string() : error);
    return opened ? 1 : 0;
}

void setUpdatePeriod(int milliseconds) { layer.updatePeriodMs = milliseconds; }

void setBufferLength(int milliseconds) {
    layer.bufferMs = static_cast<std::uint32_t>(std::clamp(milliseconds, 10, 5000));
}

Channel loadModule(const char* path) {
    std::string error;
    ChannelRecord record;
    record.kind = ChannelKind::module;
    record.module = openModule(path, error);
    if (!record.module) {
        setError(error);
        return 0;
    }
    setError(std::string());
    return addChannel(std::move(record));
}

Channel createStream(const char* path) {
    std::string error;
    ChannelRecord record;
    record.kind = ChannelKind::wave;
    record.wave = openWave(path, layer.rate, error);
    if (!record.wave) {
        setError(error);
        return 0;
    }
    setError(std::string());
    return addChannel(std::move(record));
}

void prebuffer(Channel channel) {
    ChannelRecord* record = find(channel);
    if (!record || record->playing || record->kind != ChannelKind::module) return;
    renderModule(*record->module, record->resumeFrame + bufferFrames());
}

void playModule(Channel channel) {
    ChannelRecord* record = find(channel);
    if (!record || record->playing || record->kind != ChannelKind::module) return;
    startAt(*record, record->resumeFrame);
}

void playStream(Channel channel, bool restart) {
    ChannelRecord* record = find(channel);
    if (!record || record->kind != ChannelKind::wave) return;
    if (record->playing && !restart) return;
    startAt(*record, restart ? 0 : record->resumeFrame);
}

void stop(Channel channel) {
    ChannelRecord* record = find(channel);
    if (!record || !record->playing) return;
    prepareCut();
    cutAt([&](std::uint64_t at) {
        std::int64_t frame = static_cast<std::int64_t>(at) - record->offset;
        record->resumeFrame = static_cast<std::uint64_t>(
            std::max<std::int64_t>(frame, static_cast<std::int64_t>(record->runStart)));
        record->playing = false;
    });
}

std::uint64_t position(Channel channel) {
    const ChannelRecord* record = find(channel);
    if (!record) return 0;
    std::uint64_t frame = channelFrameHeard(*record);
    if (record->kind == ChannelKind::module) return modulePositionAt(*record->module, frame);
    return wavePositionAt(*record->wave, frame);
}

void setModuleOrder(Channel channel, int order) {
    ChannelRecord* record = find(channel);
    if (!record || record->kind != ChannelKind::module) return;
    if (order < 0 || order >= record->module->orders) return;
    if (!record->playing) {
        jumpModule(*record->module, record->resumeFrame, order);
        return;
    }
    // The seek and the rendering after it are done before the cut, at the
    // earliest frame it can fall at; the cut then moves the new run to where
    // it really falls (what the old run had there was taken meanwhile).
    std::uint64_t earliest = prepareCut();
    std::uint64_t frame = static_cast<std::uint64_t>(static_cast<std::int64_t>(earliest) - record->offset);
    jumpModule(*record->module, frame, order);
    // The new run starts here: what is heard before the cut is the old one.
    record->runStart = frame;
    renderForCut(*record->module, frame);
    cutAt([&](std::uint64_t at) {
        record->offset = static_cast<std::int64_t>(at) - static_cast<std::int64_t>(frame);
    });
}

void update() { advance(); }

void shutdown() {
    // The offline sink hears what it was told has passed before it goes, as
    // the next update would have (the last frame of a capture).
    if (layer.output.kind == OutputKind::offline) advance();
    closeOutput();
    layer.channels.clear();
    layer.heard = 0;
    layer.mix.clear();
    layer.pcm.clear();
}

const char* lastError() { return layer.lastError.c_str(); }

std::uint64_t length(Channel channel) {
    const ChannelRecord* record = find(channel);
    if (!record) return 0;
    if (record->kind == ChannelKind::module) return static_cast<std::uint64_t>(record->module->orders);
    return record->wave->sourceFrames * record->wave->bytesPerFrame;
}

int outputRate() { return layer.rate; }

std::vector<ChannelInfo> channelsHeld() {
    std::vector<ChannelInfo> held;
    for (const ChannelRecord& record : layer.channels)
        held.push_back(ChannelInfo{record.handle, record.kind == ChannelKind::module, record.playing});
    return held;
}

double secondsUntilHeard(Channel channel) {
    const ChannelRecord* record = find(channel);
    if (!record || !record->playing) return 0.0;
    const std::int64_t start = record->offset + static_cast<std::int64_t>(record->runStart);
    return static_cast<double>(start - listenerFrame()) / static_cast<double>(layer.rate);
}

void clearOfflineRecording() {
    layer.offline.toConsume = 0;
    layer.offline.recording.clear();
}

void consumeOffline(std::uint64_t frames) { layer.offline.toConsume += frames; }

const std::vector<std::int16_t>& offlineRecording() { return layer.offline.recording; }

bool writeOfflineWave(const char* path) {
    std::string error;
    bool ok = writeWaveFile(path, layer.offline.recording, layer.rate, error);
    setError(ok ? std::string() : error);
    return ok;
}

const Operations& layerOperations() {
    static const Operations operations = {init,       setUpdatePeriod, setBufferLength,   loadModule,
                                          createStream, prebuffer,     playModule,        playStream,
                                          stop,       position,        setModuleOrder,    update,
                                          shutdown,   length,          lastError,         secondsUntilHeard};
    return operations;
}

const Operations& operations() {
    const Operations* standIn = platform::backends().sound;
    return standIn ? *standIn : layerOperations();
}

}  // namespace sound
