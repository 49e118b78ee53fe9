#pragma once
// The instruments of the game's music, synthesized here. Every sample is
// tuned so that note C-4 plays middle C (261.63 Hz).
#include <cstdint>

#include "XmWriter.h"

namespace musicgen {

// Sample rate at which one period of middle C is exactly 128 samples.
inline constexpr double kSampleRate = 128 * 261.6255653;

Instrument SoftLead();             // rounded pulse, gentle vibrato, sustains until key off
Instrument Pluck();                // plucked string, decays by itself
Instrument Pad(uint8_t panning);   // three detuned saws, slow attack and release
Instrument Bass();                 // round bass, sustains until key off
Instrument Bell();                 // inharmonic mallet bell, decays by itself
Instrument Kick();
Instrument Snare();
Instrument ClosedHat();
Instrument OpenHat();

} // namespace musicgen
