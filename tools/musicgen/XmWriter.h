#pragma once
// A FastTracker 2 module (.xm) in memory and its writer: the tracker format
// the game's music ships in.
#include <cstdint>
#include <string>
#include <vector>

namespace musicgen {

inline constexpr uint8_t kKeyOff = 97;

struct Cell {
    uint8_t note = 0;        // 1 = C-0 ... 96 = B-7, 97 = key off, 0 = none
    uint8_t instrument = 0;  // 1-based, 0 = none
    uint8_t volume = 0;      // volume column: 0x10 + 0..64 sets the volume, 0 = none
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct Pattern {
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells;  // row-major

    Pattern(int rows_, int channels_) : rows(rows_), channels(channels_), cells(size_t(rows_) * channels_) {}
    Cell& at(int row, int channel) { return cells[size_t(row) * channels + channel]; }
    const Cell& at(int row, int channel) const { return cells[size_t(row) * channels + channel]; }
};

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;  // 0..64
};

struct Instrument {
    std::string name;
    std::vector<int16_t> sample;
    uint32_t loopStart = 0;   // in samples
    uint32_t loopLength = 0;  // 0 = no loop
    uint8_t volume = 64;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    int8_t finetune = 0;
    std::vector<EnvelopePoint> envelope;  // empty = off
    int sustainPoint = -1;
    uint16_t fadeout = 0;
    uint8_t vibratoDepth = 0, vibratoRate = 0, vibratoSweep = 0;
};

struct Module {
    std::string name;
    int channels = 8;
    int speed = 6;  // ticks per row
    int bpm = 125;
    std::vector<uint8_t> orders;
    int restart = 0;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The module as the bytes of an .xm file.
std::vector<uint8_t> WriteXm(const Module& module);

// Seconds one pass through the order list lasts (no tempo effects used).
double PlayLength(const Module& module);

} // namespace musicgen
