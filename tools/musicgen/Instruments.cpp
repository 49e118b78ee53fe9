#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace musicgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Deterministic noise: the same bytes on every build.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return (state_ / 4294967295.0) * 2.0 - 1.0;
    }

private:
    uint32_t state_;
};

std::vector<int16_t> ToPcm(const std::vector<double>& wave, double peak = 0.9) {
    double max = 1e-9;
    for (double v : wave) max = std::max(max, std::fabs(v));
    std::vector<int16_t> out(wave.size());
    for (size_t i = 0; i < wave.size(); ++i) out[i] = static_cast<int16_t>(std::lround(wave[i] / max * peak * 32767.0));
    return out;
}

Instrument Tuned(const char* name, std::vector<double> wave) {
    Instrument ins;
    ins.name = name;
    ins.sample = ToPcm(wave);
    // C-4 at kSampleRate: two octaves above the 8363 Hz reference. 8363 * 4
    // is 0.1% short of 33488, under two cents, below what finetune can mend.
    ins.relativeNote = 24;
    return ins;
}

size_t Samples(double seconds) { return static_cast<size_t>(seconds * kSampleRate); }

} // namespace

Instrument SoftLead() {
    std::vector<double> wave(128);
    for (int n = 0; n < 128; ++n)
        for (int k = 1; k <= 15; ++k) {
            double a = (k % 2 ? 1.0 : 0.25) / k * std::exp(-k / 7.0);
            wave[n] += a * std::sin(2 * kPi * k * n / 128.0);
        }
    Instrument ins = Tuned("soft lead", wave);
    ins.loopStart = 0;
    ins.loopLength = 128;
    ins.volume = 44;
    ins.envelope = {{0, 0}, {3, 64}, {12, 50}, {40, 44}, {80, 40}};
    ins.sustainPoint = 4;
    ins.fadeout = 1200;
    ins.vibratoSweep = 48;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 12;
    return ins;
}

Instrument Pluck() {
    std::vector<double> wave(Samples(1.4));
    const double f = 261.6255653;
    for (size_t n = 0; n < wave.size(); ++n) {
        double t = n / kSampleRate;
        for (int k = 1; k <= 14; ++k)
            wave[n] += (1.0 / k) * std::exp(-t * (2.5 + 2.2 * k)) * std::sin(2 * kPi * k * f * t + 0.3 * k);
        wave[n] *= std::min(1.0, t / 0.002);
    }
    Instrument ins = Tuned("pluck", wave);
    ins.volume = 40;
    ins.panning = 96;
    return ins;
}

Instrument Pad(uint8_t panning) {
    // 128, 129 and 127 periods in one loop: three saws a few cents apart.
    const int length = 128 * 128;
    std::vector<double> wave(length);
    const int cycles[3] = {128, 129, 127};
    for (int n = 0; n < length; ++n)
        for (int o = 0; o < 3; ++o)
            for (int k = 1; k <= 10; ++k)
                wave[n] += std::pow(k, -1.4) * std::sin(2 * kPi * k * cycles[o] * n / length + o * 1.7 + k * 0.5);
    Instrument ins = Tuned("pad", wave);
    ins.loopStart = 0;
    ins.loopLength = length;
    ins.volume = 26;
    ins.panning = panning;
    ins.envelope = {{0, 0}, {30, 56}, {60, 64}, {100, 58}};
    ins.sustainPoint = 3;
    ins.fadeout = 400;
    return ins;
}

Instrument Bass() {
    std::vector<double> wave(128);
    const double amps[5] = {1.0, 0.45, 0.18, 0.08, 0.04};
    for (int n = 0; n < 128; ++n)
        for (int k = 1; k <= 5; ++k) wave[n] += amps[k - 1] * std::sin(2 * kPi * k * n / 128.0);
    Instrument ins = Tuned("bass", wave);
    ins.loopStart = 0;
    ins.loopLength = 128;
    ins.volume = 54;
    ins.envelope = {{0, 0}, {1, 64}, {10, 52}, {60, 40}};
    ins.sustainPoint = 3;
    ins.fadeout = 3000;
    return ins;
}

Instrument Bell() {
    std::vector<double> wave(Samples(2.5));
    const double f = 261.6255653;
    for (size_t n = 0; n < wave.size(); ++n) {
        double t = n / kSampleRate;
        double index = 2.2 * std::exp(-t / 0.35);
        wave[n] = std::exp(-t / 0.8) * std::sin(2 * kPi * f * t + index * std::sin(2 * kPi * 3.5 * f * t));
        wave[n] += 0.3 * std::exp(-t / 1.6) * std::sin(2 * kPi * 2 * f * t);
        wave[n] *= std::min(1.0, t / 0.001);
    }
    Instrument ins = Tuned("bell", wave);
    ins.volume = 36;
    ins.panning = 160;
    return ins;
}

Instrument Kick() {
    std::vector<double> wave(Samples(0.4));
    Noise noise(0x1234567u);
    double phase = 0;
    for (size_t n = 0; n < wave.size(); ++n) {
        double t = n / kSampleRate;
        double f = 45 + 110 * std::exp(-t / 0.035);
        phase += 2 * kPi * f / kSampleRate;
        wave[n] = std::sin(phase) * std::exp(-t / 0.22);
        if (t < 0.004) wave[n] += 0.3 * noise.Next() * (1 - t / 0.004);
    }
    Instrument ins = Tuned("kick", wave);
    ins.volume = 56;
    return ins;
}

Instrument Snare() {
    std::vector<double> wave(Samples(0.3));
    Noise noise(0x2345678u);
    double low = 0, lower = 0;
    for (size_t n = 0; n < wave.size(); ++n) {
        double t = n / kSampleRate;
        double x = noise.Next();
        low += 0.5 * (x - low);
        lower += 0.05 * (x - lower);
        double band = low - lower;  // keeps the middle of the noise
        wave[n] = 0.9 * band * std::exp(-t / 0.08) + 0.5 * std::sin(2 * kPi * 185 * t) * std::exp(-t / 0.05);
    }
    Instrument ins = Tuned("snare", wave);
    ins.volume = 34;
    ins.panning = 136;
    return ins;
}

namespace {

Instrument Hat(const char* name, double decay, uint32_t seed) {
    std::vector<double> wave(Samples(decay * 5));
    Noise noise(seed);
    double prev = 0, prevHigh = 0;
    for (size_t n = 0; n < wave.size(); ++n) {
        double t = n / kSampleRate;
        double x = noise.Next();
        double high = x - prev;  // two differences: only the hiss is left
        prev = x;
        double higher = high - prevHigh;
        prevHigh = high;
        wave[n] = higher * std::exp(-t / decay);
    }
    Instrument ins = Tuned(name, wave);
    ins.volume = 20;
    ins.panning = 176;
    return ins;
}

} // namespace

Instrument ClosedHat() { return Hat("closed hat", 0.022, 0x3456789u); }
Instrument OpenHat() { return Hat("open hat", 0.12, 0x456789Au); }

} // namespace musicgen
