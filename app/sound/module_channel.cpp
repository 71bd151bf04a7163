// The module channel: libopenmpt renders on demand, in chunks of at most
// 5 ms, into the channel's store; every row start gets a mark at its exact
// frame, so that a position looked up at the frame being heard is the row
// that frame belongs to.
#include "app/sound/layer.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <exception>
#include <ostream>

namespace sound::detail {
namespace {

// libopenmpt keeps a reference to its log stream for the module's life; its
// warnings are of no use to the viewer, so they go nowhere.
std::ostream& nullLog() {
    static std::ostream stream(nullptr);
    return stream;
}

std::uint64_t positionNow(const openmpt::module& player) {
    std::int32_t order = std::max(0, player.get_current_order());
    std::int32_t row = std::max(0, player.get_current_row());
    return (static_cast<std::uint64_t>(order) & 0xFFFF) |
           ((static_cast<std::uint64_t>(row) & 0xFFFF) << 16);
}

// Frames per tick of the current tempo, 2.5 / tempo seconds cut to whole
// frames as the player does, and ticks per row; 0 when they say nothing
// usable.
std::uint64_t tickLength(const openmpt::module& player) {
    std::int64_t tempo = player.get_current_tempo();
    if (tempo <= 0) return 0;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(layer.rate) * 5 / (2 * tempo));
}

std::uint64_t rowLength(const openmpt::module& player) {
    std::int64_t speed = player.get_current_speed();
    return speed > 0 ? static_cast<std::uint64_t>(speed) * tickLength(player) : 0;
}

void addMark(ModuleChannel& module, std::uint64_t frame, std::uint64_t position) {
    while (!module.marks.empty() && module.marks.back().frame >= frame) module.marks.pop_back();
    if (!module.marks.empty() && module.marks.back().position == position) return;
    module.marks.push_back({frame, position});
}

// A row began exactly at `frame`: mark it and predict the next one.
void rowBegins(ModuleChannel& module, std::uint64_t frame, std::uint64_t position) {
    addMark(module, frame, position);
    RowTracker& rows = module.rows;
    rows.current = position;
    rows.rowStartsNext = false;
    rows.searchFrom = rows.searchTo = 0;
    rows.tick = tickLength(*module.player);
    std::uint64_t length = rowLength(*module.player);
    rows.exact = length > 0;
    rows.nextRow = frame + length;
}

// Makes room for `frames` more rendered frames. The store only grows (and is
// zeroed) now and then; rendering writes over what is there.
float* roomFor(ModuleChannel& module, std::uint64_t frames) {
    std::size_t at = static_cast<std::size_t>(module.renderEnd - module.storeBase) * 2;
    std::size_t needed = at + static_cast<std::size_t>(frames) * 2;
    if (module.store.size() < needed) module.store.resize(std::max(needed, module.store.size() * 2));
    return module.store.data() + at;
}

std::size_t readFrames(ModuleChannel& module, std::uint64_t count) {
    float* at = roomFor(module, count);
    std::size_t got = 0;
    try {
        got = module.player->read_interleaved_stereo(layer.rate, static_cast<std::size_t>(count), at);
    } catch (const std::exception&) {
        got = 0;
    }
    module.renderEnd += got;
    return got;
}

bool inSearch(const RowTracker& rows, std::uint64_t frame) {
    return rows.searchFrom <= frame && frame < rows.searchTo;
}

}  // namespace

std::unique_ptr<ModuleChannel> openModule(const char* path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(path, bytes, error)) return nullptr;
    auto module = std::make_unique<ModuleChannel>();
    try {
        module->player = std::make_unique<openmpt::module>(bytes, nullLog());
        // End at the song's end, without the 0.1 s fade-out, and let a jump
        // pick up the notes already sounding at the new position.
        module->player->ctl_set_text("play.at_end", "stop");
        module->player->ctl_set_boolean("seek.sync_samples", true);
    } catch (const std::exception& failure) {
        error = std::string(path) + ": not a module that can be played (" + failure.what() + ")";
        return nullptr;
    }
    module->orders = module->player->get_num_orders();
    if (module->orders <= 0) {
        error = std::string(path) + ": the module has no orders to play";
        return nullptr;
    }
    module->rows.current = positionNow(*module->player);
    module->marks.push_back({0, module->rows.current});
    return module;
}

void renderModule(ModuleChannel& module, std::uint64_t end) {
    const std::uint64_t chunk = std::max(1, layer.rate / 200);  // 5 ms
    RowTracker& rows = module.rows;
    while (module.renderEnd < end && !module.ended) {
        const std::uint64_t frame = module.renderEnd;
        const bool predicted = rows.exact && frame == rows.nextRow;
        const bool probe = rows.rowStartsNext || predicted || inSearch(rows, frame);
        std::uint64_t count = 1;
        if (!probe) {
            count = std::min(end - frame, chunk);
            if (rows.exact && rows.nextRow > frame) count = std::min(count, rows.nextRow - frame);
            if (rows.searchTo > rows.searchFrom && rows.searchFrom > frame)
                count = std::min(count, rows.searchFrom - frame);
        }
        std::size_t got = readFrames(module, count);
        if (got == 0) {
            module.ended = true;
            break;
        }
        std::uint64_t now = positionNow(*module.player);
        if (probe) {
            // One frame: its row is known exactly.
            if (rows.rowStartsNext || now != rows.current) {
                rowBegins(module, frame, now);
            } else if (predicted) {
                // The row lasts longer than its speed says (a pattern delay):
                // it can only end on a later tick.
                rows.nextRow = frame + rows.tick;
            }
        } else if (now != rows.current) {
            // A row began somewhere in this chunk: mark it at the chunk's
            // start and search the next row's start frame by frame.
            addMark(module, frame, now);
            rows.current = now;
            rows.exact = false;
            std::uint64_t length = rowLength(*module.player);
            rows.searchFrom = length ? frame + length : 0;
            rows.searchTo = length ? frame + got + length : 0;
        }
        if (got < count) module.ended = true;
    }
}

std::uint64_t modulePositionAt(const ModuleChannel& module, std::uint64_t frame) {
    if (module.marks.empty()) return module.rows.current;
    auto after = std::upper_bound(module.marks.begin(), module.marks.end(), frame,
                                  [](std::uint64_t f, const Mark& mark) { return f < mark.frame; });
    if (after == module.marks.begin()) return after->position;
    return std::prev(after)->position;
}

void jumpModule(ModuleChannel& module, std::uint64_t frame, int order) {
    // libopenmpt ignores orders it does not have; so do we, before anything
    // rendered is dropped.
    if (order < 0 || order >= module.orders) return;
    frame = std::max(frame, module.storeBase);
    if (frame > module.renderEnd) {
        // The song had ended before this frame: what it did not render there
        // was silence.
        float* at = roomFor(module, frame - module.renderEnd);
        std::fill(at, at + static_cast<std::size_t>(frame - module.renderEnd) * 2, 0.0f);
    }
    module.renderEnd = frame;
    try {
        module.player->set_position_order_row(order, 0);
    } catch (const std::exception&) {
    }
    module.ended = false;
    while (!module.marks.empty() && module.marks.back().frame >= frame) module.marks.pop_back();
    module.rows = RowTracker{};
    module.rows.current = positionNow(*module.player);
    module.rows.rowStartsNext = true;
    module.marks.push_back({frame, module.rows.current});
}

void trimModule(ModuleChannel& module, std::uint64_t frame) {
    while (module.marks.size() >= 2 && module.marks[1].frame <= frame) module.marks.pop_front();
    frame = std::min(frame, module.renderEnd);
    // Drop in large steps: the store is moved down only now and then.
    if (frame < module.storeBase + 8192) return;
    std::size_t drop = static_cast<std::size_t>(frame - module.storeBase) * 2;
    std::size_t kept = static_cast<std::size_t>(module.renderEnd - frame) * 2;
    std::copy(module.store.begin() + static_cast<std::ptrdiff_t>(drop),
              module.store.begin() + static_cast<std::ptrdiff_t>(drop + kept), module.store.begin());
    module.storeBase = frame;
}

}  // namespace sound::detail
