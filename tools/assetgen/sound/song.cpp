#include "tools/assetgen/sound/song.h"

#include "tools/assetgen/sound/instruments.h"

#include <algorithm>
#include <array>
#include <vector>

namespace assetgen::sound {

namespace {

// =============================================================================
// Harmony and melodies
// =============================================================================
// Notes are MIDI numbers (60 = middle C = note byte 0x40). The piece is in
// D minor; the pad voicings are chosen to move by small steps.

struct Voicing {
    int bass;
    std::array<int, 4> pad;
};

// One bar of harmony: `first` from row 0, `second` from `changeRow`.
struct Harmony {
    Voicing first;
    Voicing second;
    int changeRow;
    const Voicing& at(int row) const { return row < changeRow ? first : second; }
};

const Voicing kDm9{38, {53, 57, 60, 64}};
const Voicing kBbmaj7{34, {53, 57, 62, 65}};
const Voicing kGm7{31, {53, 58, 62, 65}};
const Voicing kA7sus4{33, {52, 55, 57, 62}};
const Voicing kA7{33, {52, 55, 57, 61}};
const Voicing kCadd9{36, {55, 60, 62, 64}};
const Voicing kAm7{33, {55, 60, 64, 67}};
const Voicing kDm{38, {50, 53, 57, 62}};
// Over a D pedal: the twist keeps its bass on D.
const Voicing kEbmaj7{38, {51, 55, 58, 62}};
const Voicing kDmEnd{38, {57, 62, 64, 65}};

Harmony whole(const Voicing& v) { return {v, v, 16}; }
Harmony halves(const Voicing& a, const Voicing& b) { return {a, b, 8}; }

using Progression = std::vector<Harmony>;
// The main theme's: i - VI - iv - V.
const Progression kProgA = {whole(kDm9), whole(kBbmaj7), whole(kGm7), halves(kA7sus4, kA7)};
// The lens theme's: VI - VII - v - i, and its answer ending on the dominant.
const Progression kProgB = {whole(kBbmaj7), whole(kCadd9), whole(kAm7), whole(kDm9)};
const Progression kProgB2 = {whole(kBbmaj7), whole(kCadd9), whole(kDm9), halves(kA7sus4, kA7)};
// The twist: a Phrygian neighbour chord over D.
const Progression kProgT = {whole(kDm), whole(kEbmaj7), whole(kDm), whole(kEbmaj7)};

struct Tone {
    int row;  // within the bar
    int midi;
    int length;  // rows
};
using Bar = std::vector<Tone>;

// Theme A, eight bars over kProgA twice.
const std::vector<Bar> kThemeA = {
    {{0, 69, 3}, {3, 74, 3}, {6, 76, 2}, {8, 77, 6}, {14, 76, 2}},
    {{0, 74, 3}, {3, 72, 3}, {6, 74, 2}, {8, 69, 8}},
    {{0, 67, 3}, {3, 70, 3}, {6, 74, 2}, {8, 77, 4}, {12, 76, 2}, {14, 74, 2}},
    {{0, 76, 6}, {6, 74, 2}, {8, 73, 4}, {12, 76, 4}},
    {{0, 69, 3}, {3, 74, 3}, {6, 76, 2}, {8, 77, 4}, {12, 79, 2}, {14, 81, 2}},
    {{0, 81, 3}, {3, 79, 3}, {6, 77, 2}, {8, 74, 8}},
    {{0, 79, 3}, {3, 77, 3}, {6, 74, 2}, {8, 70, 4}, {12, 72, 2}, {14, 74, 2}},
    {{0, 76, 3}, {3, 74, 3}, {6, 73, 2}, {8, 69, 8}},
};

// Theme B, the lens theme: bars 1-4 over kProgB, 5-8 over kProgB2.
const std::vector<Bar> kThemeB = {
    {{0, 77, 2}, {2, 74, 2}, {4, 81, 4}, {8, 79, 2}, {10, 77, 2}, {12, 74, 4}},
    {{0, 76, 2}, {2, 72, 2}, {4, 79, 4}, {8, 77, 2}, {10, 76, 2}, {12, 72, 4}},
    {{0, 72, 2}, {2, 76, 2}, {4, 81, 4}, {8, 84, 4}, {12, 81, 4}},
    {{0, 79, 6}, {6, 77, 2}, {8, 76, 4}, {12, 74, 4}},
    {{0, 77, 2}, {2, 74, 2}, {4, 81, 4}, {8, 84, 2}, {10, 81, 2}, {12, 79, 4}},
    {{0, 79, 2}, {2, 76, 2}, {4, 84, 4}, {8, 79, 4}, {12, 76, 4}},
    {{0, 77, 6}, {6, 76, 2}, {8, 74, 4}, {12, 72, 4}},
    {{0, 74, 8}, {8, 73, 8}},
};

// Theme C, a second melody over kProgA for the middle of the piece.
const std::vector<Bar> kThemeC = {
    {{0, 81, 2}, {2, 79, 2}, {4, 77, 2}, {6, 76, 2}, {8, 77, 4}, {12, 74, 4}},
    {{0, 77, 2}, {2, 74, 2}, {4, 70, 4}, {8, 74, 2}, {10, 77, 2}, {12, 81, 4}},
    {{0, 79, 4}, {4, 82, 4}, {8, 81, 2}, {10, 79, 2}, {12, 77, 4}},
    {{0, 76, 4}, {4, 74, 4}, {8, 73, 8}},
    {{0, 74, 2}, {2, 77, 2}, {4, 81, 2}, {6, 86, 2}, {8, 84, 4}, {12, 81, 4}},
    {{0, 82, 4}, {4, 81, 4}, {8, 77, 4}, {12, 74, 4}},
    {{0, 79, 2}, {2, 77, 2}, {4, 74, 4}, {8, 70, 4}, {12, 74, 4}},
    {{0, 76, 8}, {8, 73, 8}},
};

// The counter line that enters with the second solid: long notes.
const std::vector<Bar> kCounterLine = {
    {{0, 74, 8}, {8, 77, 8}},
    {{0, 79, 12}, {12, 77, 4}},
    {{0, 76, 4}},
};

// The acid line of the twist: semitones above the bass root, -1 = rest.
const int kAcidSteps[16] = {0, 0, 12, 0, 3, 0, 12, 10, 0, -1, 12, 0, 1, 0, 13, 12};

// =============================================================================
// The arranger: one pattern per order, written bar by bar
// =============================================================================

enum class Drums { None, Four, Broken, QuarterKick, HatsOnly };
enum class Fill { None, Short, Roll, RollToGap, Rush };
enum class BassStyle { None, Long, Offbeat, Rolling, Pulse, Acid };

std::uint8_t noteOf(int midi) { return noteByte(midi / 12 - 1, midi % 12); }

struct Arranger {
    std::vector<Pattern> patterns;  // one per order
    std::vector<int> rows;          // rows each order plays
    std::array<int, 4> padNote{-1, -1, -1, -1};
    std::array<int, 4> padInstrument{0, 0, 0, 0};
    int bassNote = -1;

    int addOrder(int rowCount) {
        Pattern pattern;
        pattern.channels = kChannelCount;
        patterns.push_back(pattern);
        rows.push_back(rowCount);
        return int(patterns.size()) - 1;
    }

    // A position given as (order, row) may run past the order's end; it then
    // lands in the following orders.
    Cell* cell(int order, int row, int channel) {
        while (order < int(rows.size()) && row >= rows[std::size_t(order)]) {
            row -= rows[std::size_t(order)];
            ++order;
        }
        if (order >= int(rows.size()) || row < 0) return nullptr;
        return &patterns[std::size_t(order)].at(row, channel);
    }

    void note(int order, int row, int channel, int midi, int instrument, int volume) {
        Cell* c = cell(order, row, channel);
        if (!c) return;
        c->note = noteOf(midi);
        c->instrument = std::uint8_t(instrument);
        c->volume = std::uint8_t(std::clamp(volume, 0, 64));
    }
    // Silences a channel unless a note starts there.
    void cut(int order, int row, int channel) {
        Cell* c = cell(order, row, channel);
        if (c && c->note == kNoNote) {
            c->note = kNoteCut;
            c->instrument = 0;
        }
    }
    void volume(int order, int row, int channel, int value) {
        Cell* c = cell(order, row, channel);
        if (c && c->note == kNoNote) c->volume = std::uint8_t(std::clamp(value, 0, 64));
    }
    void effect(int order, int row, int channel, char letter, int info) {
        Cell* c = cell(order, row, channel);
        if (c && c->command == 0) {
            c->command = command(letter);
            c->info = std::uint8_t(info);
        }
    }
    // Speed, tempo and pattern breaks go in any free effect column.
    void control(int order, int row, char letter, int info) {
        for (int channel = kChannelCount - 1; channel >= 0; --channel) {
            Cell& c = patterns[std::size_t(order)].at(row, channel);
            if (c.command == 0) {
                c.command = command(letter);
                c.info = std::uint8_t(info);
                return;
            }
        }
    }

    // ---- parts ---------------------------------------------------------------

    void drums(int o, int bar, Drums style, Fill fill = Fill::None, int level = 0) {
        int base = bar * 16;
        int fillFrom = fill == Fill::Short ? 12 : (fill == Fill::None ? 16 : 0);
        for (int r = 0; r < 16; ++r) {
            int row = base + r;
            bool beat = r % 4 == 0;
            switch (style) {
                case Drums::Four:
                    if (beat) note(o, row, kChKick, 60, kKick, 64);
                    if ((r == 4 || r == 12) && r < fillFrom) note(o, row, kChSnare, 60, kSnare, 52 + level);
                    if (r % 4 == 2) note(o, row, kChOpenHat, 60, kHatOpen, 20 + level);
                    else note(o, row, kChHat, 60, kHatClosed, (r % 2 ? 14 : 24) + level);
                    break;
                case Drums::Broken:
                    if (r == 0 || r == 6 || r == 10) note(o, row, kChKick, 60, kKick, 62);
                    if ((r == 4 || r == 12) && r < fillFrom) note(o, row, kChSnare, 60, kSnare, 48);
                    if (r == 15) note(o, row, kChSnare, 60, kSnare, 20);
                    note(o, row, kChHat, 60, kHatClosed, (r % 4 == 2 ? 26 : (r % 2 ? 12 : 18)));
                    if (r == 14) note(o, row, kChOpenHat, 60, kHatOpen, 20);
                    break;
                case Drums::QuarterKick:
                    if (beat) note(o, row, kChKick, 60, kKick, 44 + level);
                    if (r % 2 == 0) note(o, row, kChHat, 60, kHatClosed, 16 + level);
                    break;
                case Drums::HatsOnly:
                    note(o, row, kChHat, 60, kHatClosed, (r % 4 == 2 ? 20 : 10) + level);
                    break;
                case Drums::None:
                    break;
            }
        }
        switch (fill) {
            case Fill::Short:
                for (int r = 12; r < 16; ++r) note(o, base + r, kChSnare, 60, kSnare, 30 + 6 * (r - 12));
                break;
            case Fill::Roll:
            case Fill::RollToGap:
                // Eighths, then sixteenths, louder all the way.
                for (int r = 0; r < 16; ++r) {
                    if (r < 8 && r % 2) continue;
                    note(o, base + r, kChSnare, 60, kSnare, 22 + 2 * r);
                }
                if (fill == Fill::RollToGap) {
                    // The last beat is silence: every channel stops.
                    for (int channel = 0; channel < kChannelCount; ++channel) cut(o, base + 12, channel);
                    padNote.fill(-1);
                    bassNote = -1;
                }
                break;
            case Fill::Rush:
                // Thirty-seconds (retrigger every 3 ticks), rising in volume.
                for (int r = 0; r < 16; ++r) {
                    note(o, base + r, kChSnare, 60, kSnare, 24 + 2 * r);
                    effect(o, base + r, kChSnare, 'Q', 0x03);
                }
                break;
            case Fill::None:
                break;
        }
    }

    // Voicings name the root in the bass register; the bass sample carries a
    // sine an octave below the note it plays, so notes go an octave up.
    void bass(int o, int bar, const Harmony& h, BassStyle style, int vol = 50) {
        int base = bar * 16;
        for (int r = 0; r < 16; ++r) {
            int row = base + r;
            int root = h.at(r).bass;
            switch (style) {
                case BassStyle::Long:
                    if ((r == 0 || r == h.changeRow) && bassNote != root) {
                        note(o, row, kChBass, root + 12, kBass, vol);
                        bassNote = root;
                    }
                    break;
                case BassStyle::Offbeat:
                    if (r % 4 == 2) {
                        note(o, row, kChBass, root + 12, kBass, vol);
                        cut(o, row + 2, kChBass);
                    }
                    bassNote = -1;
                    break;
                case BassStyle::Rolling:
                    if (r % 4 == 0) {
                        cut(o, row, kChBass);
                    } else {
                        int step = r % 4;
                        note(o, row, kChBass, root + (step == 2 ? 24 : 12), kBass,
                             step == 2 ? vol : vol - 10);
                    }
                    bassNote = -1;
                    break;
                case BassStyle::Pulse:
                    if (r % 2 == 0) {
                        note(o, row, kChBass, root + 12, kBass, vol - (r % 4 ? 8 : 0));
                        cut(o, row + 1, kChBass);
                    }
                    bassNote = -1;
                    break;
                case BassStyle::Acid: {
                    int step = kAcidSteps[r];
                    if (step >= 0) note(o, row, kChBass, root + 12 + step, kAcid, vol - (r % 2 ? 12 : 0));
                    bassNote = -1;
                    break;
                }
                case BassStyle::None:
                    break;
            }
        }
    }

    void chord(int o, int row, const Voicing& v, int instrument, int vol, bool force) {
        static const int kPadChannels[4] = {kChPad1, kChPad2, kChPad3, kChPad4};
        for (int i = 0; i < 4; ++i) {
            if (!force && padNote[std::size_t(i)] == v.pad[std::size_t(i)] &&
                padInstrument[std::size_t(i)] == instrument)
                continue;
            note(o, row, kPadChannels[i], v.pad[std::size_t(i)], instrument, vol);
            padNote[std::size_t(i)] = v.pad[std::size_t(i)];
            padInstrument[std::size_t(i)] = instrument;
        }
    }
    void pads(int o, int bar, const Harmony& h, int instrument, int vol, bool force = false) {
        chord(o, bar * 16, h.first, instrument, vol, force);
        if (h.changeRow < 16) chord(o, bar * 16 + h.changeRow, h.second, instrument, vol, false);
    }
    // Pad volume moving linearly from `from` to `to` over `rowsLong` rows.
    void padRamp(int o, int row, int rowsLong, int from, int to) {
        static const int kPadChannels[4] = {kChPad1, kChPad2, kChPad3, kChPad4};
        for (int r = 0; r < rowsLong; r += 2) {
            int value = from + (to - from) * r / rowsLong;
            for (int channel : kPadChannels) volume(o, row + r, channel, value);
        }
    }
    void padsOff(int o, int row) {
        for (int channel : {kChPad1, kChPad2, kChPad3, kChPad4}) cut(o, row, channel);
        padNote.fill(-1);
    }

    // Sixteenth-note arpeggio over the pad's chord, an octave up.
    void arp(int o, int bar, const Harmony& h, int vol, int octave = 12) {
        static const int kOrder[16] = {0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 3, 2, 1, 2, 3};
        for (int r = 0; r < 16; ++r) {
            const Voicing& v = h.at(r);
            int index = kOrder[r];
            int midi = index < 4 ? v.pad[std::size_t(index)] : v.pad[0] + 12;
            note(o, bar * 16 + r, kChArp, midi + octave, kPluck, vol + (r % 4 == 0 ? 6 : 0));
        }
    }

    // A melody bar on `channel`, with an echo three rows later on `echo`
    // (-1 = none). Long notes get vibrato after their first beat.
    void melody(int o, int bar, const Bar& tones, int channel, int instrument, int vol,
                int echo = -1, int transpose = 0) {
        int base = bar * 16;
        for (const Tone& t : tones) {
            int start = base + t.row;
            int end = start + t.length;
            note(o, start, channel, t.midi + transpose, instrument, vol);
            if (instrument != kBell) {
                cut(o, end, channel);
                if (t.length >= 6)
                    for (int r = start + 4; r < end; ++r) effect(o, r, channel, 'H', 0x42);
            }
            if (echo >= 0) {
                note(o, start + 3, echo, t.midi + transpose, instrument, vol * 2 / 5);
                if (instrument != kBell) cut(o, end + 3, echo);
            }
        }
    }

    void impact(int o, int row, int boomVol = 56, int crashVol = 44) {
        if (boomVol > 0) note(o, row, kChFx, 60, kBoom, boomVol);
        if (crashVol > 0) note(o, row, kChCrash, 60, kCrash, crashVol);
    }
    // The reverse cymbal peaks one bar after it starts (at tempo 128).
    void swellInto(int o, int row) { note(o, row - 16, kChFx, 60, kReverseCymbal, 40); }
    // Noise pitched up a semitone every `step` rows, louder as it goes.
    void riser(int o, int row, int rowsLong, int step = 2, int channel = kChOpenHat) {
        for (int r = 0; r < rowsLong; r += step)
            note(o, row + r, channel, 48 + r / step, kNoiseRiser, 6 + 34 * r / rowsLong);
        cut(o, row + rowsLong, channel);
    }

    // Every channel without a note at this row is silenced: an order the demo
    // jumps to must not inherit what was ringing before the jump.
    void cleanStart(int o) {
        for (int channel = 0; channel < kChannelCount; ++channel) cut(o, 0, channel);
    }
};

// =============================================================================
// The piece
// =============================================================================

void openingScene(Arranger& a) {
    // Order 0 (0-7.5 s): the slab's underside with the logo. Glass pad and
    // bells, a low drone; a reverse cymbal swells into the tilt.
    int o = a.addOrder(64);
    a.control(o, 0, 'A', kSpeed);
    a.control(o, 0, 'T', kTempo);
    for (int bar = 0; bar < 4; ++bar) a.pads(o, bar, kProgA[std::size_t(bar)], kGlassPad, 8);
    a.padRamp(o, 2, 30, 6, 24);
    a.bass(o, 0, kProgA[0], BassStyle::Long, 24);
    for (int bar = 1; bar < 4; ++bar) a.bass(o, bar, kProgA[std::size_t(bar)], BassStyle::Long, 24);
    a.melody(o, 0, {{4, 81, 4}, {10, 76, 6}}, kChBell, kBell, 30, kChBellEcho);
    a.melody(o, 1, {{0, 77, 6}, {6, 74, 4}, {10, 81, 6}}, kChBell, kBell, 30, kChBellEcho);
    a.melody(o, 2, {{0, 79, 6}, {6, 77, 4}, {10, 74, 6}}, kChBell, kBell, 32, kChBellEcho);
    a.melody(o, 3, {{0, 76, 8}, {8, 73, 8}}, kChBell, kBell, 34, kChBellEcho);
    a.swellInto(o, 64);

    // Order 1 (7.5-15 s): the slab tilts down (7.5-8.5), then the empty
    // floor. An impact on the tilt; the pulse starts as the floor settles
    // (row 8, 8.44 s); the arpeggio fades in; a roll and a swell lead on.
    o = a.addOrder(64);
    a.impact(o, 0, 50, 40);
    for (int bar = 0; bar < 4; ++bar) a.pads(o, bar, kProgA[std::size_t(bar)], kPad, 26);
    a.bassNote = -1;
    a.note(o, 0, kChBass, 50, kBass, 34);
    for (int r = 8; r < 16; r += 2) {
        a.note(o, r, kChBass, 50, kBass, 34);
        a.cut(o, r + 1, kChBass);
    }
    for (int bar = 1; bar < 4; ++bar) a.bass(o, bar, kProgA[std::size_t(bar)], BassStyle::Pulse, 32);
    for (int r = 8; r < 16; ++r) a.note(o, r, kChHat, 60, kHatClosed, r % 2 ? 8 : 14);
    for (int bar = 1; bar < 4; ++bar) a.drums(o, bar, Drums::HatsOnly, Fill::None, bar * 2);
    for (int bar = 1; bar < 4; ++bar) a.arp(o, bar, kProgA[std::size_t(bar)], 8 + 5 * bar);
    a.drums(o, 3, Drums::None, Fill::Roll);
    a.riser(o, 32, 32);
    a.swellInto(o, 64);

    // Order 2 (15-22.5 s): the beat drops; the icosahedron appears at
    // 15.5 s (a bell on row 4) and first lands about row 8.
    o = a.addOrder(64);
    a.impact(o, 0);
    for (int bar = 0; bar < 4; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar)];
        a.drums(o, bar, Drums::Four, bar == 3 ? Fill::Short : Fill::None);
        a.bass(o, bar, h, BassStyle::Offbeat, 40);
        a.pads(o, bar, h, kPad, 27);
        a.arp(o, bar, h, 20);
    }
    a.melody(o, 0, {{4, 81, 8}}, kChBell, kBell, 40, kChBellEcho);

    // Order 3 (22.5-30 s): the dodecahedron grows inside (22.5-24.5 s): the
    // arpeggio climbs two octaves; from its full size (row 16, 24.4 s) a
    // counter line; the ride begins about row 53 (28.7 s): a fill.
    o = a.addOrder(64);
    for (int bar = 0; bar < 4; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar)];
        a.drums(o, bar, Drums::Four);
        a.bass(o, bar, h, BassStyle::Offbeat, 40);
        a.pads(o, bar, h, kPad, 27);
    }
    for (int r = 0; r < 16; ++r) {
        const Voicing& v = kProgA[0].first;
        int midi = v.pad[std::size_t(r % 4)] + 12 * (r / 4);
        a.note(o, r, kChArp, midi, kPluck, 14 + 2 * r);
    }
    for (int bar = 1; bar < 3; ++bar) a.arp(o, bar, kProgA[std::size_t(bar)], 18);
    for (int bar = 0; bar < 3; ++bar)
        a.melody(o, bar + 1, kCounterLine[std::size_t(bar)], kChLead, kLead, 36, kChEcho);
    for (int r = 52; r < 64; ++r) a.note(o, r, kChSnare, 60, kSnare, 24 + 3 * (r - 52));
    a.swellInto(o, 64);

    // Orders 4-5 (30-45 s): theme A in full while the solids ride; the last
    // bar builds into the zoom tunnel (the scene ends about row 62 of order 5).
    for (int half = 0; half < 2; ++half) {
        o = a.addOrder(64);
        if (half == 0) a.impact(o, 0, 0, 44);
        for (int bar = 0; bar < 4; ++bar) {
            const Harmony& h = kProgA[std::size_t(bar)];
            bool last = half == 1 && bar == 3;
            a.drums(o, bar, Drums::Four, last ? Fill::Rush : Fill::None);
            a.bass(o, bar, h, BassStyle::Rolling, 40);
            a.pads(o, bar, h, kPad, 26);
            a.arp(o, bar, h, 14);
            a.melody(o, bar, kThemeA[std::size_t(half * 4 + bar)], kChLead, kLead, 48, kChEcho);
        }
        if (half == 1) a.riser(o, 32, 32, 1, kChBellEcho);
    }
}

// A chorus of theme A over eight bars (two 64-row orders or four 32-row ones).
void chorusA(Arranger& a, int rowsPerOrder, bool big, bool buildAtEnd) {
    int barsPerOrder = rowsPerOrder / 16;
    int o = -1;
    for (int bar = 0; bar < 8; ++bar) {
        if (bar % barsPerOrder == 0) o = a.addOrder(rowsPerOrder);
        int local = bar % barsPerOrder;
        const Harmony& h = kProgA[std::size_t(bar % 4)];
        if (bar == 0) a.impact(o, 0, big ? 52 : 0, 44);
        bool last = bar == 7;
        a.drums(o, local, Drums::Four, last ? (buildAtEnd ? Fill::Roll : Fill::Short) : Fill::None);
        a.bass(o, local, h, BassStyle::Rolling, 40);
        a.pads(o, local, h, kPad, 26);
        a.arp(o, local, h, big ? 18 : 12);
        a.melody(o, local, kThemeA[std::size_t(bar)], kChLead, kLead, 48, kChEcho);
        if (big) a.melody(o, local, kThemeA[std::size_t(bar)], kChBell, kBell, 22, -1, 12);
    }
}

void middle(Arranger& a) {
    // Orders 6-7: the big chorus.
    chorusA(a, 64, true, false);

    // Orders 8-9: the groove over the lens theme's chords; bells call.
    for (int half = 0; half < 2; ++half) {
        int o = a.addOrder(64);
        for (int bar = 0; bar < 4; ++bar) {
            const Harmony& h = kProgB[std::size_t(bar)];
            a.drums(o, bar, Drums::Four, half == 1 && bar == 3 ? Fill::RollToGap : Fill::None);
            a.bass(o, bar, h, BassStyle::Offbeat, 40);
            a.pads(o, bar, h, kPad, 26);
            a.arp(o, bar, h, 18);
        }
        a.melody(o, 1, {{0, 81, 2}, {2, 79, 2}, {4, 76, 4}}, kChBell, kBell, 34, kChBellEcho);
        a.melody(o, 3, {{0, 77, 2}, {2, 76, 2}, {4, 74, 4}}, kChBell, kBell, 34, kChBellEcho);
    }

    // Orders 10-13: breakdown, theme A on the bells over the glass pad.
    for (int pair = 0; pair < 4; ++pair) {
        int o = a.addOrder(32);
        if (pair == 0) a.impact(o, 0, 48, 0);
        for (int bar = 0; bar < 2; ++bar) {
            int index = pair * 2 + bar;
            const Harmony& h = kProgA[std::size_t(index % 4)];
            a.pads(o, bar, h, kGlassPad, 20);
            a.bass(o, bar, h, BassStyle::Long, 24);
            a.melody(o, bar, kThemeA[std::size_t(index)], kChBell, kBell, 32, kChBellEcho);
        }
    }

    // Orders 14-15: build.
    for (int pair = 0; pair < 2; ++pair) {
        int o = a.addOrder(32);
        for (int bar = 0; bar < 2; ++bar) {
            const Harmony& h = kProgA[std::size_t(pair * 2 + bar)];
            bool last = pair == 1 && bar == 1;
            a.drums(o, bar, Drums::QuarterKick, last ? Fill::Rush : (pair == 1 ? Fill::Roll : Fill::None), pair * 6);
            a.bass(o, bar, h, BassStyle::Pulse, 36);
            a.pads(o, bar, h, kPad, 20);
            a.arp(o, bar, h, 12 + 4 * (pair * 2 + bar));
        }
        if (pair == 1) a.riser(o, 0, 32);
    }

    // Orders 16-19: theme A again.
    chorusA(a, 32, false, false);

    // Orders 20-23: theme C over the same chords, a broken beat.
    for (int pair = 0; pair < 4; ++pair) {
        int o = a.addOrder(32);
        for (int bar = 0; bar < 2; ++bar) {
            int index = pair * 2 + bar;
            const Harmony& h = kProgA[std::size_t(index % 4)];
            a.drums(o, bar, Drums::Broken, index == 7 ? Fill::Short : Fill::None);
            a.bass(o, bar, h, BassStyle::Offbeat, 40);
            a.pads(o, bar, h, kPad, 26);
            a.melody(o, bar, kThemeC[std::size_t(index)], kChLead, kLead, 42, kChEcho);
        }
    }

    // Orders 24-25: build over VI - VII - iv - V.
    const Progression lift = {whole(kBbmaj7), whole(kCadd9), whole(kGm7), halves(kA7sus4, kA7)};
    for (int pair = 0; pair < 2; ++pair) {
        int o = a.addOrder(32);
        for (int bar = 0; bar < 2; ++bar) {
            const Harmony& h = lift[std::size_t(pair * 2 + bar)];
            bool last = pair == 1 && bar == 1;
            a.drums(o, bar, Drums::Four, last ? Fill::Rush : (pair == 1 ? Fill::Roll : Fill::None));
            a.bass(o, bar, h, BassStyle::Pulse, 38);
            a.pads(o, bar, h, kPad, 26);
            a.arp(o, bar, h, 16);
        }
        if (pair == 1) a.riser(o, 0, 32);
    }

    // Orders 26-29: the big chorus once more.
    chorusA(a, 32, true, false);

    // Orders 30-33: the groove thins out.
    for (int pair = 0; pair < 4; ++pair) {
        int o = a.addOrder(32);
        for (int bar = 0; bar < 2; ++bar) {
            int index = pair * 2 + bar;
            const Harmony& h = kProgB[std::size_t(index % 4)];
            a.drums(o, bar, index < 6 ? Drums::Four : Drums::HatsOnly);
            a.bass(o, bar, h, index < 4 ? BassStyle::Rolling : BassStyle::Offbeat, 38);
            a.pads(o, bar, h, kPad, 22 - index);
            a.arp(o, bar, h, 18 - index);
        }
    }

    // Orders 34-37: quiet; the bells foretell the lens theme.
    for (int pair = 0; pair < 4; ++pair) {
        int o = a.addOrder(32);
        for (int bar = 0; bar < 2; ++bar) {
            int index = pair * 2 + bar;
            const Harmony& h = (index < 4 ? kProgB : kProgB2)[std::size_t(index % 4)];
            a.pads(o, bar, h, kGlassPad, 18);
            a.bass(o, bar, h, BassStyle::Long, 24);
            a.melody(o, bar, kThemeB[std::size_t(index)], kChBell, kBell, 34, kChBellEcho);
            if (pair >= 2) a.drums(o, bar, Drums::HatsOnly, Fill::None, pair * 2 - 4);
        }
    }

    // Order 38: the long rise back into the lens part.
    int o = a.addOrder(64);
    const Progression rise = {whole(kGm7), whole(kGm7), whole(kA7sus4), whole(kA7)};
    for (int bar = 0; bar < 4; ++bar) {
        const Harmony& h = rise[std::size_t(bar)];
        a.pads(o, bar, h, kGlassPad, 20 + 4 * bar);
        a.bass(o, bar, h, BassStyle::Long, 24);
        if (bar >= 2) a.drums(o, bar, Drums::QuarterKick, bar == 3 ? Fill::Rush : Fill::Roll, 6);
        else a.drums(o, bar, Drums::HatsOnly, Fill::None, 4 * bar);
    }
    a.riser(o, 0, 64);
}

void lensScene(Arranger& a) {
    // Order 39 (lens scene 0 s): straight after the zoom tunnel, whose sweep
    // still rings: the groove on the lens theme's chords.
    int o = a.addOrder(64);
    a.control(o, 0, 'A', kSpeed);
    a.control(o, 0, 'T', kTempo);
    a.padNote.fill(-1);
    a.bassNote = -1;
    a.impact(o, 0, 56, 46);
    for (int bar = 0; bar < 4; ++bar) {
        const Harmony& h = kProgB[std::size_t(bar)];
        a.drums(o, bar, Drums::Four);
        a.bass(o, bar, h, BassStyle::Offbeat, 40);
        a.pads(o, bar, h, kPad, 26);
        if (bar >= 2) a.arp(o, bar, h, 14);
    }
    a.cleanStart(o);

    // Order 40 (7.5 s): two bars on the dominant; a fill brings the lens.
    o = a.addOrder(32);
    const Progression prep = {whole(kGm7), halves(kA7sus4, kA7)};
    for (int bar = 0; bar < 2; ++bar) {
        const Harmony& h = prep[std::size_t(bar)];
        a.drums(o, bar, Drums::Four, bar == 1 ? Fill::Short : Fill::None);
        a.bass(o, bar, h, BassStyle::Offbeat, 40);
        a.pads(o, bar, h, kPad, 26);
        a.arp(o, bar, h, 18);
    }
    a.swellInto(o, 32);

    // Orders 41-42 (11.25 s): the lens appears: theme B.
    for (int half = 0; half < 2; ++half) {
        o = a.addOrder(64);
        if (half == 0) a.impact(o, 0, 0, 46);
        const Progression& prog = half == 0 ? kProgB : kProgB2;
        for (int bar = 0; bar < 4; ++bar) {
            const Harmony& h = prog[std::size_t(bar)];
            a.drums(o, bar, Drums::Four, half == 1 && bar == 3 ? Fill::Short : Fill::None);
            a.bass(o, bar, h, BassStyle::Rolling, 40);
            a.pads(o, bar, h, kPad, 26);
            a.arp(o, bar, h, 14);
            const Bar& line = kThemeB[std::size_t(half * 4 + bar)];
            a.melody(o, bar, line, kChLead, kLead, 42, kChEcho);
            a.melody(o, bar, line, kChBell, kBell, 18, -1, 12);
        }
    }

    // Order 43 (26.25 s): two bars, a roll that stops dead for the break.
    o = a.addOrder(32);
    const Progression toBreak = {whole(kBbmaj7), halves(kA7sus4, kA7)};
    for (int bar = 0; bar < 2; ++bar) {
        const Harmony& h = toBreak[std::size_t(bar)];
        a.drums(o, bar, bar == 0 ? Drums::Four : Drums::QuarterKick, bar == 1 ? Fill::RollToGap : Fill::None);
        a.bass(o, bar, h, BassStyle::Offbeat, 40);
        a.pads(o, bar, h, kPad, 26);
    }
    a.melody(o, 0, {{0, 74, 8}, {8, 77, 8}}, kChLead, kLead, 40, kChEcho);
    a.melody(o, 1, {{0, 76, 12}}, kChLead, kLead, 40, kChEcho);

    // Order 44 (30 s): the zoom-out: a break. Impact, glass pads, the lens
    // theme slowed down on the bells, no drums.
    o = a.addOrder(64);
    a.impact(o, 0, 60, 44);
    for (int bar = 0; bar < 4; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar)];
        a.pads(o, bar, h, kGlassPad, 20);
        a.bass(o, bar, h, BassStyle::Long, 24);
    }
    a.melody(o, 0, {{0, 77, 8}, {8, 74, 8}}, kChBell, kBell, 40, kChBellEcho);
    a.melody(o, 1, {{0, 81, 8}, {8, 79, 8}}, kChBell, kBell, 40, kChBellEcho);
    a.melody(o, 2, {{0, 77, 8}, {8, 74, 8}}, kChBell, kBell, 40, kChBellEcho);
    a.melody(o, 3, {{0, 76, 8}, {8, 73, 8}}, kChBell, kBell, 40, kChBellEcho);
    a.melody(o, 2, {{0, 70, 16}}, kChLead, kLead, 26, kChEcho);
    a.melody(o, 3, {{0, 69, 16}}, kChLead, kLead, 26, kChEcho);

    // Order 45 (37.5 s): the pulse comes back; a swell into the twist.
    o = a.addOrder(32);
    for (int bar = 0; bar < 2; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar)];
        a.pads(o, bar, h, kGlassPad, 20);
        a.bass(o, bar, h, BassStyle::Pulse, 32);
        a.drums(o, bar, bar == 0 ? Drums::HatsOnly : Drums::QuarterKick, bar == 1 ? Fill::Roll : Fill::None, 4);
        a.arp(o, bar, h, 10 + 6 * bar);
    }
    a.riser(o, 0, 32, 1);

    // Orders 46-47 (41.25 s): the twist: a Phrygian turn, the acid line and a
    // broken beat.
    for (int part = 0; part < 2; ++part) {
        o = a.addOrder(part == 0 ? 64 : 32);
        if (part == 0) a.impact(o, 0, 56, 46);
        int bars = part == 0 ? 4 : 2;
        for (int bar = 0; bar < bars; ++bar) {
            const Harmony& h = kProgT[std::size_t(bar)];
            a.drums(o, bar, Drums::Broken);
            a.bass(o, bar, h, BassStyle::Acid, 44);
            a.pads(o, bar, h, kPad, 18);
            a.arp(o, bar, h, 14, 24);
        }
        a.melody(o, 0, {{0, 86, 2}, {3, 87, 2}, {6, 86, 2}, {10, 81, 6}}, kChBell, kBell, 30, kChBellEcho);
        if (part == 0)
            a.melody(o, 2, {{0, 86, 2}, {3, 87, 2}, {6, 89, 2}, {10, 86, 6}}, kChBell, kBell, 30, kChBellEcho);
    }

    // Order 48 (52.5 s): the build.
    o = a.addOrder(32);
    const Progression build = {whole(kGm7), whole(kBbmaj7)};
    for (int bar = 0; bar < 2; ++bar) {
        const Harmony& h = build[std::size_t(bar)];
        a.drums(o, bar, Drums::Four, bar == 1 ? Fill::Roll : Fill::None);
        a.bass(o, bar, h, BassStyle::Pulse, 40);
        a.pads(o, bar, h, kPad, 26);
        a.arp(o, bar, h, 16);
    }
    a.riser(o, 0, 32);

    // Order 49 (56.25 s): the lens falls (rows 0-31): no beat, a rolling
    // snare, a riser, the dominant; row 32 (60 s) is the drop: theme A.
    o = a.addOrder(64);
    a.cut(o, 0, kChBass);
    a.bassNote = -1;
    a.pads(o, 0, whole(kA7sus4), kGlassPad, 24);
    a.pads(o, 1, whole(kA7), kGlassPad, 24);
    a.padRamp(o, 1, 30, 24, 40);
    a.drums(o, 0, Drums::None, Fill::Roll);
    a.drums(o, 1, Drums::None, Fill::Rush);
    a.riser(o, 0, 32, 1);
    a.melody(o, 0, {{0, 69, 16}}, kChLead, kLead, 34, kChEcho);
    a.melody(o, 1, {{0, 73, 8}, {8, 76, 8}}, kChLead, kLead, 38, kChEcho);
    a.impact(o, kDropRow, 62, 50);
    for (int bar = 2; bar < 4; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar - 2)];
        a.drums(o, bar, Drums::Four, Fill::None, 4);
        a.bass(o, bar, h, BassStyle::Rolling, 42);
        a.pads(o, bar, h, kPad, 27, bar == 2);
        a.arp(o, bar, h, 18);
        a.melody(o, bar, kThemeA[std::size_t(bar - 2)], kChLead, kLead, 50, kChEcho);
        a.melody(o, bar, kThemeA[std::size_t(bar - 2)], kChBell, kBell, 22, -1, 12);
    }

    // Order 50 (63.75 s): the chorus goes on.
    o = a.addOrder(32);
    for (int bar = 0; bar < 2; ++bar) {
        const Harmony& h = kProgA[std::size_t(bar + 2)];
        a.drums(o, bar, Drums::Four, Fill::None, 4);
        a.bass(o, bar, h, BassStyle::Rolling, 42);
        a.pads(o, bar, h, kPad, 27);
        a.arp(o, bar, h, 18);
        a.melody(o, bar, kThemeA[std::size_t(bar + 2)], kChLead, kLead, 50, kChEcho);
        a.melody(o, bar, kThemeA[std::size_t(bar + 2)], kChBell, kBell, 22, -1, 12);
    }

    // Order 51 (67.5 s): one bar, faster, rushing on the dominant into the
    // closing sting (which the demo plays at order 52).
    o = a.addOrder(16);
    a.control(o, 0, 'T', kFinalBarTempo);
    a.drums(o, 0, Drums::QuarterKick, Fill::Rush, 10);
    a.bass(o, 0, whole(kA7), BassStyle::Pulse, 42);
    a.pads(o, 0, whole(kA7), kPad, 26);
    a.padRamp(o, 0, 16, 26, 40);
    a.arp(o, 0, whole(kA7), 20, 24);
    a.melody(o, 0, {{0, 76, 16}}, kChLead, kLead, 50, kChEcho);
    a.riser(o, 0, 16, 1);

    // Order 52 (69.2 s): the ending when the module plays on its own: the
    // final chord, rung out.
    o = a.addOrder(64);
    a.control(o, 0, 'T', kTempo);
    a.impact(o, 0, 64, 50);
    a.note(o, 0, kChKick, 60, kKick, 64);
    a.cut(o, 0, kChArp);
    a.cut(o, 0, kChSnare);
    a.bassNote = -1;
    a.bass(o, 0, whole(kDmEnd), BassStyle::Long, 50);
    a.pads(o, 0, whole(kDmEnd), kPad, 30, true);
    a.note(o, 0, kChLead, 74, kLead, 40);
    a.note(o, 0, kChBell, 86, kBell, 40);
    a.note(o, 3, kChBellEcho, 86, kBell, 16);
    a.note(o, 8, kChBell, 81, kBell, 30);
    a.note(o, 16, kChBell, 74, kBell, 24);
    // Everything sustained fades over three bars, then stops.
    for (int r = 2; r < 50; r += 2) {
        int value = 30 * (50 - r) / 48;
        for (int channel : {kChPad1, kChPad2, kChPad3, kChPad4}) a.volume(o, r, channel, value);
        a.volume(o, r, kChBass, 50 * (50 - r) / 48);
        a.volume(o, r, kChLead, 40 * (50 - r) / 48);
        a.volume(o, r, kChEcho, 0);
    }
    for (int channel = 0; channel < kChannelCount; ++channel) a.cut(o, 56, channel);
}

// Identical patterns are stored once.
void assemble(const Arranger& a, Module& module) {
    for (std::size_t order = 0; order < a.patterns.size(); ++order) {
        Pattern pattern = a.patterns[order];
        int rows = a.rows[order];
        if (rows < kMaxRows) {
            // End the order early with a pattern break to row 0 of the next.
            bool placed = false;
            for (int channel = kChannelCount - 1; channel >= 0 && !placed; --channel) {
                Cell& c = pattern.at(rows - 1, channel);
                if (c.command == 0) {
                    c.command = command('C');
                    c.info = 0;
                    placed = true;
                }
            }
        }
        std::size_t index = 0;
        for (; index < module.patterns.size(); ++index) {
            const Pattern& known = module.patterns[index];
            bool same = true;
            for (std::size_t i = 0; i < known.cells.size() && same; ++i) {
                const Cell& x = known.cells[i];
                const Cell& y = pattern.cells[i];
                same = x.note == y.note && x.instrument == y.instrument && x.volume == y.volume &&
                       x.command == y.command && x.info == y.info;
            }
            if (same) break;
        }
        if (index == module.patterns.size()) module.patterns.push_back(pattern);
        module.orders.push_back(std::uint8_t(index));
    }
}

}  // namespace

Module composeOrbita() {
    Module module;
    module.title = "Orbita";
    module.initialSpeed = kSpeed;
    module.initialTempo = kTempo;
    module.globalVolume = 64;
    module.masterVolume = 54;
    module.channelPan.resize(kChannelCount);
    const std::uint8_t pans[kChannelCount] = {7, 8, 10, 6, 7, 3, 12, 5, 10, 8, 12, 4, 11, 8, 5, 3};
    for (int i = 0; i < kChannelCount; ++i) module.channelPan[std::size_t(i)] = pans[i];
    module.samples = synthesiseInstruments();

    Arranger a;
    openingScene(a);
    middle(a);
    lensScene(a);
    assemble(a, module);
    return module;
}

}  // namespace assetgen::sound
