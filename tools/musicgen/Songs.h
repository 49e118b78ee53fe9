#pragma once
// The game's three songs. Names are what the levels' music objects ask for.
#include "XmWriter.h"

namespace musicgen {

Module Theme();    // "theme": the menu tune, F major, 112 BPM, about 51 s a pass
Module Meadow();   // "meadow": bright and bouncy, G major, 132 BPM
Module Caverns();  // "caverns": dark and calm, A minor, 84 BPM

} // namespace musicgen
