#include "Compose.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace musicgen {

int Midi(const std::string& name) {
    static const int steps[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') throw std::runtime_error("bad note " + name);
    int semitone = steps[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') { ++semitone; ++i; }
    else if (name[i] == 'b') { --semitone; ++i; }
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '7') throw std::runtime_error("bad note " + name);
    return 12 * (name[i] - '0' + 1) + semitone;
}

Chord MakeChord(const std::string& bass, const std::string& tones) {
    Chord c{Midi(bass), {}};
    std::istringstream in(tones);
    for (std::string t; in >> t;) c.tones.push_back(Midi(t));
    if (c.tones.size() != 3) throw std::runtime_error("a pad chord has three notes: " + tones);
    return c;
}

void Put(Pattern& p, int row, int channel, int midi, int instrument, int volume) {
    const int note = midi - 11;  // MIDI 60 -> 49, the tracker's C-4
    if (row < 0 || row >= p.rows || note < 1 || note > 96) throw std::runtime_error("note out of range");
    Cell& c = p.at(row, channel);
    c.note = static_cast<uint8_t>(note);
    c.instrument = static_cast<uint8_t>(instrument);
    c.volume = static_cast<uint8_t>(0x10 + std::max(0, std::min(64, volume)));
}

void Off(Pattern& p, int row, int channel) {
    if (row < 0 || row >= p.rows) return;
    Cell& c = p.at(row, channel);
    if (!c.note) c.note = kKeyOff;
}

int Line(Pattern& p, int channel, int instrument, int row, const std::string& line, int volume) {
    std::istringstream in(line);
    const int start = row;
    bool sounding = false;
    for (std::string token; in >> token;) {
        if (token == "|") continue;  // bar line, for the reader
        const size_t colon = token.find(':');
        if (colon == std::string::npos) throw std::runtime_error("token without length: " + token);
        const std::string what = token.substr(0, colon);
        const int rows = std::stoi(token.substr(colon + 1));
        if (rows <= 0 || row + rows > p.rows) throw std::runtime_error("line runs past the pattern: " + line);
        if (what == "r") {
            if (sounding) Off(p, row, channel);
            sounding = false;
        } else {
            Put(p, row, channel, Midi(what), instrument, volume);
            sounding = true;
        }
        row += rows;
    }
    return row - start;
}

} // namespace musicgen
