#pragma once
// Small helpers for writing tunes into patterns: note names, chords and
// melody lines written as "C5:4 r:2 F#4:2" (note or rest : rows).
#include <string>
#include <vector>

#include "XmWriter.h"

namespace musicgen {

// "C4" = 60 (middle C), "F#3", "Bb4"; throws on anything else.
int Midi(const std::string& name);

struct Chord {
    int bass;                // MIDI note of the bass root
    std::vector<int> tones;  // three MIDI notes for the pad, low to high
};
// Chord("F2", "F3 A3 C4").
Chord MakeChord(const std::string& bass, const std::string& tones);

// A note on a row (volume 0..64). MIDI 60 is the tracker's C-4.
void Put(Pattern& p, int row, int channel, int midi, int instrument, int volume);
void Off(Pattern& p, int row, int channel);

// Writes a melody line from `row`; a note followed by a rest is keyed off
// where the rest starts. Returns the rows written; throws when the line
// runs past the pattern.
int Line(Pattern& p, int channel, int instrument, int row, const std::string& line, int volume);

} // namespace musicgen
