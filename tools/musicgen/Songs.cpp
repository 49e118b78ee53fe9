#include "Songs.h"

#include <stdexcept>

#include "Compose.h"
#include "Instruments.h"

namespace musicgen {

namespace {

// Channel layout shared by the songs.
enum Channel { kLead = 0, kArp = 1, kPad1 = 2, kPad2 = 3, kPad3 = 4, kBass = 5, kDrums = 6, kHats = 7, kChannels = 8 };

// Instrument numbers (1-based, in the order AddInstruments adds them).
enum Ins { iLead = 1, iPluck, iPadL, iPadC, iPadR, iBass, iKick, iSnare, iClosedHat, iOpenHat, iBell };

void AddInstruments(Module& m) {
    m.instruments = {SoftLead(), Pluck(), Pad(64), Pad(128), Pad(192), Bass(),
                     Kick(), Snare(), ClosedHat(), OpenHat(), Bell()};
}

constexpr int kBar = 16;  // rows a bar: four beats of four rows

void Pads(Pattern& p, const Chord& c, int bar, int volume) {
    const int row = bar * kBar;
    Put(p, row, kPad1, c.tones[0], iPadL, volume);
    Put(p, row, kPad2, c.tones[1], iPadC, volume);
    Put(p, row, kPad3, c.tones[2], iPadR, volume);
}

// Eighth notes up and down the chord, an octave above the pad.
void Arpeggio(Pattern& p, const Chord& c, int bar, int instrument, int volume, int every = 2) {
    const int up[4] = {c.tones[0] + 12, c.tones[1] + 12, c.tones[2] + 12, c.tones[0] + 24};
    const int order[8] = {0, 1, 2, 3, 2, 1, 2, 1};
    for (int i = 0, row = 0; row < kBar; ++i, row += every)
        Put(p, bar * kBar + row, kArp, up[order[i % 8]], instrument, (row % 8 == 0) ? volume + 6 : volume);
}

Pattern NewPattern() { return Pattern(64, kChannels); }

void CheckLength(const Module& m, double atLeast) {
    if (PlayLength(m) < atLeast) throw std::runtime_error(m.name + " is shorter than wanted");
}

} // namespace

// ---------------------------------------------------------------------------
// theme: a warm, unhurried tune for the menu.

Module Theme() {
    Module m;
    m.name = "Rondovar Theme";
    m.channels = kChannels;
    m.speed = 6;
    m.bpm = 112;
    AddInstruments(m);

    const Chord F = MakeChord("F2", "F3 A3 C4"), Dm = MakeChord("D2", "F3 A3 D4"),
                Bb = MakeChord("Bb1", "F3 Bb3 D4"), C = MakeChord("C2", "E3 G3 C4"),
                Gm = MakeChord("G1", "G3 Bb3 D4"), Am = MakeChord("A1", "E3 A3 C4");

    struct Section {
        Chord chords[4];
        const char* melody;  // lead line, empty = none
        int drums;           // 0 light, 1 full, 2 half time, 3 half time with a fill
    };
    const Section sections[] = {
        {{F, Dm, Bb, C}, "", 0},
        {{F, Dm, Bb, C},
         "C5:4 A4:2 C5:2 F5:6 E5:2 | D5:4 C5:2 A4:2 D5:6 r:2 | F5:4 D5:2 F5:2 G5:4 F5:2 D5:2 | E5:6 D5:2 C5:6 r:2", 1},
        {{Dm, Bb, F, C},
         "A5:6 G5:2 F5:4 E5:2 D5:2 | D5:6 C5:2 D5:4 F5:4 | C5:4 A4:4 C5:4 F5:4 | G5:8 E5:6 r:2", 1},
        {{F, Dm, Bb, C},
         "C5:4 A4:2 C5:2 F5:6 E5:2 | D5:4 E5:2 F5:2 A5:6 G5:2 | F5:4 D5:2 Bb4:2 D5:4 F5:4 | E5:4 G5:4 E5:4 C5:4", 1},
        {{Bb, C, Am, Dm}, "F5:8 D5:6 r:2 | E5:8 G5:6 r:2 | A5:6 G5:2 E5:4 C5:4 | D5:12 r:4", 2},
        {{Gm, C, F, F}, "Bb4:4 D5:4 G5:6 r:2 | E5:4 G5:4 Bb5:4 G5:4 | A5:8 F5:4 C5:4 | F5:12 r:4", 3},
    };

    for (const Section& s : sections) {
        Pattern p = NewPattern();
        if (*s.melody) {
            if (Line(p, kLead, iLead, 0, s.melody, 48) != 64) throw std::runtime_error("theme: melody is not 4 bars");
        } else {
            // The opening: a bell motif answers the chords.
            Line(p, kLead, iBell, 0, "r:32 F5:4 G5:4 A5:4 C6:4 | A5:8 G5:8", 40);
        }
        for (int bar = 0; bar < 4; ++bar) {
            const Chord& c = s.chords[bar];
            const int row = bar * kBar;
            Pads(p, c, bar, s.drums == 0 ? 36 : 30);
            if (s.drums != 0) Arpeggio(p, c, bar, iPluck, 22);
            // Bass: root, a pushed root, the octave and the fifth.
            Put(p, row, kBass, c.bass, iBass, 50);
            if (s.drums == 0) {
                Put(p, row + 8, kBass, c.bass + 7, iBass, 40);
            } else {
                Put(p, row + 6, kBass, c.bass, iBass, 40);
                Put(p, row + 8, kBass, c.bass + 12, iBass, 44);
                Put(p, row + 12, kBass, c.bass + 7, iBass, 42);
            }
            // Drums.
            switch (s.drums) {
            case 0:
                Put(p, row, kDrums, 60, iKick, 40);
                Put(p, row + 8, kDrums, 60, iKick, 32);
                break;
            case 1:
                Put(p, row, kDrums, 60, iKick, 56);
                Put(p, row + 4, kDrums, 60, iSnare, 48);
                Put(p, row + 8, kDrums, 60, iKick, 52);
                if (bar % 2 == 1) Put(p, row + 10, kDrums, 60, iKick, 40);
                Put(p, row + 12, kDrums, 60, iSnare, 48);
                break;
            default:
                Put(p, row, kDrums, 60, iKick, 54);
                Put(p, row + 8, kDrums, 60, iSnare, 48);
                if (s.drums == 3 && bar == 3) {
                    for (int i = 0; i < 4; ++i) Put(p, row + 12 + i, kDrums, 60, iSnare, 30 + 8 * i);
                }
                break;
            }
            for (int h = 0; h < kBar; h += 2) {
                if (s.drums == 1 && bar == 3 && h == 14) {
                    Put(p, row + h, kHats, 60, iOpenHat, 36);
                } else {
                    Put(p, row + h, kHats, 60, iClosedHat, h % 4 == 0 ? 40 : 26);
                }
            }
        }
        m.patterns.push_back(std::move(p));
    }
    for (uint8_t i = 0; i < m.patterns.size(); ++i) m.orders.push_back(i);
    CheckLength(m, 30.0);
    return m;
}

// ---------------------------------------------------------------------------
// meadow: bright, bouncy, a little quicker.

Module Meadow() {
    Module m;
    m.name = "Meadow";
    m.channels = kChannels;
    m.speed = 6;
    m.bpm = 132;
    AddInstruments(m);

    const Chord G = MakeChord("G1", "G3 B3 D4"), Em = MakeChord("E2", "G3 B3 E4"),
                C = MakeChord("C2", "G3 C4 E4"), D = MakeChord("D2", "F#3 A3 D4"),
                Bm = MakeChord("B1", "F#3 B3 D4"), Am = MakeChord("A1", "A3 C4 E4");

    struct Section {
        Chord chords[4];
        int instrument;
        const char* melody;
    };
    const Section sections[] = {
        {{G, Em, C, D}, iPluck,
         "G4:2 B4:2 D5:2 B4:2 G5:2 D5:2 B4:2 D5:2 | E5:2 B4:2 G4:2 B4:2 E5:2 G5:2 E5:2 B4:2 | "
         "C5:2 E5:2 G5:2 E5:2 C5:2 G4:2 C5:2 E5:2 | D5:2 F#5:2 A5:2 F#5:2 D5:4 A4:4"},
        {{G, Em, C, D}, iLead, "D5:4 G5:4 B5:6 A5:2 | G5:4 E5:4 B4:8 | C5:4 E5:4 G5:4 E5:2 G5:2 | F#5:6 E5:2 D5:8"},
        {{C, D, Bm, Em}, iLead, "E5:4 G5:4 C6:6 B5:2 | A5:4 F#5:4 D5:8 | B4:4 D5:4 F#5:4 B5:4 | G5:6 F#5:2 E5:8"},
        {{Am, D, G, G}, iBell, "A5:4 C6:4 E5:4 A5:4 | F#5:4 A5:4 D5:4 F#5:4 | G5:6 D5:2 B4:4 D5:4 | G5:12 r:4"},
    };

    for (const Section& s : sections) {
        Pattern p = NewPattern();
        if (Line(p, kLead, s.instrument, 0, s.melody, s.instrument == iPluck ? 52 : 46) != 64)
            throw std::runtime_error("meadow: melody is not 4 bars");
        for (int bar = 0; bar < 4; ++bar) {
            const Chord& c = s.chords[bar];
            const int row = bar * kBar;
            Pads(p, c, bar, 24);
            if (s.instrument != iPluck) Arpeggio(p, c, bar, iPluck, 20);
            // Bouncing octaves in eighth notes.
            for (int e = 0; e < kBar; e += 2) Put(p, row + e, kBass, c.bass + (e % 4 ? 12 : 0), iBass, e % 4 ? 36 : 48);
            for (int beat = 0; beat < 4; ++beat) Put(p, row + beat * 4, kDrums, 60, iKick, 54);
            Put(p, row + 4, kDrums, 60, iSnare, 50);
            Put(p, row + 12, kDrums, 60, iSnare, 50);
            for (int h = 0; h < kBar; h += 2)
                Put(p, row + h, kHats, 60, h % 4 == 2 ? iOpenHat : iClosedHat, h % 4 == 2 ? 30 : 24);
        }
        m.patterns.push_back(std::move(p));
    }
    m.orders = {0, 1, 2, 3, 0, 1, 2, 3};
    CheckLength(m, 30.0);
    return m;
}

// ---------------------------------------------------------------------------
// caverns: slow pads, a deep bass and a far-away bell.

Module Caverns() {
    Module m;
    m.name = "Caverns";
    m.channels = kChannels;
    m.speed = 6;
    m.bpm = 84;
    AddInstruments(m);

    const Chord Am = MakeChord("A1", "A3 C4 E4"), F = MakeChord("F1", "F3 A3 C4"),
                Dm = MakeChord("D2", "F3 A3 D4"), E = MakeChord("E1", "G#3 B3 E4"),
                G = MakeChord("G1", "G3 B3 D4"), Em = MakeChord("E2", "G3 B3 E4");

    struct Section {
        Chord chords[4];
        int instrument;
        const char* melody;
        bool beat;
    };
    const Section sections[] = {
        {{Am, F, Dm, E}, iBell, "r:8 E5:8 | r:8 C5:8 | r:8 D5:8 | r:8 B4:8", false},
        {{Am, F, G, Em}, iLead, "A4:8 C5:4 E5:4 | F5:8 E5:4 C5:4 | D5:8 B4:8 | E5:12 r:4", true},
        {{Dm, Am, F, E}, iLead, "F5:8 E5:4 D5:4 | C5:8 E5:8 | A5:8 G5:4 F5:4 | E5:8 G#4:4 B4:4", true},
        {{Am, Am, F, E}, iBell, "A5:4 E5:4 C5:4 A4:4 | r:16 | F5:4 C5:4 A4:4 F4:4 | E5:8 B4:8", false},
    };

    for (const Section& s : sections) {
        Pattern p = NewPattern();
        if (Line(p, kLead, s.instrument, 0, s.melody, s.instrument == iBell ? 44 : 36) != 64)
            throw std::runtime_error("caverns: melody is not 4 bars");
        for (int bar = 0; bar < 4; ++bar) {
            const Chord& c = s.chords[bar];
            const int row = bar * kBar;
            Pads(p, c, bar, 40);
            Arpeggio(p, c, bar, iBell, 16, 4);
            Put(p, row, kBass, c.bass, iBass, 54);
            Put(p, row + 10, kBass, c.bass + 12, iBass, 30);
            if (s.beat) {
                Put(p, row, kDrums, 60, iKick, 44);
                Put(p, row + 10, kDrums, 60, iKick, 30);
                Put(p, row + 8, kHats, 60, iOpenHat, 18);
            }
            Put(p, row + 4, kHats, 60, iClosedHat, 16);
            Put(p, row + 12, kHats, 60, iClosedHat, 16);
        }
        m.patterns.push_back(std::move(p));
    }
    for (uint8_t i = 0; i < m.patterns.size(); ++i) m.orders.push_back(i);
    CheckLength(m, 30.0);
    return m;
}

} // namespace musicgen
