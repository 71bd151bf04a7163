// The mixer: sums every playing channel in float over a block of output
// frames, clips once while converting to 16 bits, and hands the block to the
// output. A cut drops what the output still queues, so that a start, stop or
// jump is heard at once; the channels keep their own rendered audio, so the
// queue is simply mixed again.
#include "app/sound/layer.h"

#include <algorithm>

namespace sound::detail {
namespace {

constexpr std::uint64_t kBlockFrames = 4096;

void addFrames(float* __restrict mix, const float* __restrict frames, std::size_t count) {
    for (std::size_t i = 0; i < count * 2; ++i) mix[i] += frames[i];
}

// Adds channel `record`'s share of output frames [start, start + count).
void mixChannel(ChannelRecord& record, std::uint64_t start, std::uint64_t count) {
    const std::int64_t first = static_cast<std::int64_t>(start) - record.offset;
    const std::int64_t last = first + static_cast<std::int64_t>(count);
    std::int64_t from = std::max<std::int64_t>(first, static_cast<std::int64_t>(record.runStart));
    if (last <= from) return;
    if (record.kind == ChannelKind::module) {
        ModuleChannel& module = *record.module;
        renderModule(module, static_cast<std::uint64_t>(last));
        from = std::max<std::int64_t>(from, static_cast<std::int64_t>(module.storeBase));
        std::int64_t to = std::min<std::int64_t>(last, static_cast<std::int64_t>(module.renderEnd));
        if (to <= from) return;
        addFrames(layer.mix.data() + (from - first) * 2,
                  module.store.data() + (static_cast<std::uint64_t>(from) - module.storeBase) * 2,
                  static_cast<std::size_t>(to - from));
    } else {
        const WaveChannel& wave = *record.wave;
        std::int64_t to = std::min<std::int64_t>(last, static_cast<std::int64_t>(wave.frames.size() / 2));
        if (to <= from) return;
        addFrames(layer.mix.data() + (from - first) * 2, wave.frames.data() + from * 2,
                  static_cast<std::size_t>(to - from));
    }
}

void mixBlock(std::uint64_t start, std::uint64_t count) {
    const std::size_t samples = static_cast<std::size_t>(count) * 2;
    layer.mix.assign(samples, 0.0f);
    for (ChannelRecord& record : layer.channels)
        if (record.playing) mixChannel(record, start, count);
    layer.pcm.resize(samples);
    const float* __restrict mix = layer.mix.data();
    std::int16_t* __restrict pcm = layer.pcm.data();
    for (std::size_t i = 0; i < samples; ++i) {
        // The one clip of the whole mix, then rounding to the nearest step
        // (shifted up to stay positive, so that truncation rounds).
        float value = mix[i];
        value = value > 1.0f ? 1.0f : value;
        value = value < -1.0f ? -1.0f : value;
        value *= 32767.0f;
        pcm[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(value + 32768.5f) - 32768);
    }
    submit(layer.pcm.data(), static_cast<std::size_t>(count));
}

}  // namespace

void fill(std::uint64_t end) {
    if (layer.output.kind == OutputKind::none) return;
    std::uint64_t start = layer.output.submitted;
    while (start < end) {
        std::uint64_t count = std::min(end - start, kBlockFrames);
        mixBlock(start, count);
        start += count;
    }
}

namespace {

std::uint64_t cut() {
    // Time that has passed (offline, clock) is heard with the channels as
    // they were: mix it before anything changes.
    fill(outputFrontier());
    return clearQueue();
}

void refill() {
    fill(outputFrontier() + bufferFrames());
    releaseQueue();
}

}  // namespace

std::uint64_t prepareCut() {
    if (layer.output.kind != OutputKind::device) {
        fill(outputFrontier());
        return outputFrontier();
    }
    // The device goes on taking sound until the cut: the cut falls at this
    // frame or a little later, and the new queue reaches a buffer length
    // beyond it. Render that much of every module playing now.
    const std::uint64_t frontier = outputFrontier();
    for (ChannelRecord& record : layer.channels) {
        if (!record.playing || record.kind != ChannelKind::module) continue;
        std::int64_t frame = static_cast<std::int64_t>(frontier) - record.offset;
        renderForCut(*record.module, static_cast<std::uint64_t>(std::max<std::int64_t>(frame, 0)));
    }
    return frontier;
}

void renderForCut(ModuleChannel& module, std::uint64_t from) {
    if (layer.output.kind != OutputKind::device) return;
    // A tenth of a second more than the queue: the cut comes as much later
    // as the rendering takes.
    renderModule(module, from + bufferFrames() + static_cast<std::uint64_t>(layer.rate) / 10);
}

void cutAt(const std::function<void(std::uint64_t at)>& change) {
    std::uint64_t at = cut();
    change(at);
    refill();
}

void advance() {
    if (layer.output.kind == OutputKind::none) return;
    superviseDevice();
    std::uint64_t frames = framesToConsume();
    // Mix what is consumed first (the offline sink and the clock never run
    // dry), then consume, then top up.
    fill(layer.output.consumed + frames);
    consume(frames);
    refill();
    // A device that takes the sound up again after the clock stood in can
    // start a device buffer behind where the clock was: the heard frame
    // waits for it rather than going back.
    layer.heard = std::max(layer.heard, outputHeard());
    for (ChannelRecord& record : layer.channels) {
        if (!record.playing || record.kind != ChannelKind::module) continue;
        std::int64_t frame = static_cast<std::int64_t>(layer.heard) - record.offset;
        if (frame > 0) trimModule(*record.module, static_cast<std::uint64_t>(frame));
    }
}

}  // namespace sound::detail
