#include "XmWriter.h"

#include <algorithm>
#include <stdexcept>

namespace musicgen {

namespace {

class Bytes {
public:
    void u8(uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void zeros(size_t n) { out.insert(out.end(), n, 0); }
    std::vector<uint8_t> out;
};

void WritePattern(Bytes& b, const Pattern& p) {
    Bytes data;
    for (int r = 0; r < p.rows; ++r)
        for (int c = 0; c < p.channels; ++c) {
            const Cell& cell = p.at(r, c);
            // Packed form: a mask byte, then only the fields present.
            uint8_t mask = 0x80;
            if (cell.note) mask |= 1;
            if (cell.instrument) mask |= 2;
            if (cell.volume) mask |= 4;
            if (cell.effect) mask |= 8;
            if (cell.param) mask |= 16;
            data.u8(mask);
            if (cell.note) data.u8(cell.note);
            if (cell.instrument) data.u8(cell.instrument);
            if (cell.volume) data.u8(cell.volume);
            if (cell.effect) data.u8(cell.effect);
            if (cell.param) data.u8(cell.param);
        }
    b.u32(9);  // pattern header length
    b.u8(0);   // packing type
    b.u16(static_cast<uint32_t>(p.rows));
    b.u16(static_cast<uint32_t>(data.out.size()));
    b.out.insert(b.out.end(), data.out.begin(), data.out.end());
}

void WriteInstrument(Bytes& b, const Instrument& ins) {
    if (ins.envelope.size() > 12) throw std::runtime_error("instrument " + ins.name + ": more than 12 envelope points");
    b.u32(263);  // instrument header size, FastTracker 2's own
    b.text(ins.name, 22);
    b.u8(0);     // type
    b.u16(1);    // one sample
    b.u32(40);   // sample header size
    b.zeros(96); // every note plays sample 0
    for (size_t i = 0; i < 12; ++i) {
        EnvelopePoint pt = i < ins.envelope.size() ? ins.envelope[i] : EnvelopePoint{0, 0};
        b.u16(pt.tick);
        b.u16(pt.value);
    }
    b.zeros(48);  // panning envelope
    b.u8(static_cast<uint32_t>(ins.envelope.size()));
    b.u8(0);      // panning points
    b.u8(ins.sustainPoint >= 0 ? static_cast<uint32_t>(ins.sustainPoint) : 0);
    b.u8(0);      // volume loop start
    b.u8(0);      // volume loop end
    b.u8(0);      // panning sustain
    b.u8(0);      // panning loop start
    b.u8(0);      // panning loop end
    uint8_t volType = 0;
    if (!ins.envelope.empty()) volType |= 1;
    if (!ins.envelope.empty() && ins.sustainPoint >= 0) volType |= 2;
    b.u8(volType);
    b.u8(0);      // panning type
    b.u8(0);      // vibrato type: sine
    b.u8(ins.vibratoSweep);
    b.u8(ins.vibratoDepth);
    b.u8(ins.vibratoRate);
    b.u16(ins.fadeout);
    b.zeros(22);  // reserved

    const uint32_t length = static_cast<uint32_t>(ins.sample.size());
    b.u32(length * 2);
    b.u32(ins.loopLength ? ins.loopStart * 2 : 0);
    b.u32(ins.loopLength * 2);
    b.u8(ins.volume);
    b.u8(static_cast<uint8_t>(ins.finetune));
    b.u8((ins.loopLength ? 1 : 0) | 0x10);  // forward loop, 16-bit
    b.u8(ins.panning);
    b.u8(static_cast<uint8_t>(ins.relativeNote));
    b.u8(0);
    b.text(ins.name, 22);

    // 16-bit sample data is stored as differences.
    int16_t previous = 0;
    for (int16_t s : ins.sample) {
        b.u16(static_cast<uint16_t>(static_cast<uint16_t>(s) - static_cast<uint16_t>(previous)));
        previous = s;
    }
}

} // namespace

std::vector<uint8_t> WriteXm(const Module& m) {
    if (m.orders.empty() || m.orders.size() > 256) throw std::runtime_error(m.name + ": order list must hold 1..256 entries");
    for (auto o : m.orders)
        if (o >= m.patterns.size()) throw std::runtime_error(m.name + ": order names a missing pattern");
    for (const auto& p : m.patterns)
        if (p.channels != m.channels) throw std::runtime_error(m.name + ": pattern channel count differs");

    Bytes b;
    b.text("Extended Module: ", 17);
    b.text(m.name, 20);
    b.u8(0x1A);
    b.text("Rondovar musicgen", 20);
    b.u16(0x0104);
    b.u32(276);
    b.u16(static_cast<uint32_t>(m.orders.size()));
    b.u16(static_cast<uint32_t>(m.restart));
    b.u16(static_cast<uint32_t>(m.channels));
    b.u16(static_cast<uint32_t>(m.patterns.size()));
    b.u16(static_cast<uint32_t>(m.instruments.size()));
    b.u16(1);  // linear frequency table
    b.u16(static_cast<uint32_t>(m.speed));
    b.u16(static_cast<uint32_t>(m.bpm));
    for (size_t i = 0; i < 256; ++i) b.u8(i < m.orders.size() ? m.orders[i] : 0);

    for (const auto& p : m.patterns) WritePattern(b, p);
    for (const auto& ins : m.instruments) WriteInstrument(b, ins);
    return b.out;
}

double PlayLength(const Module& m) {
    double rows = 0;
    for (auto o : m.orders) rows += m.patterns[o].rows;
    return rows * m.speed * 2.5 / m.bpm;
}

} // namespace musicgen
