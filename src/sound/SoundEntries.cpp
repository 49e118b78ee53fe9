#include "core/Subsystems.h"
// Replaced by the sound module.
namespace rdv {
void SoundStart(Engine&) {}
void SoundUpdate(Engine&) {}
void SoundShutdown(Engine&) {}
}
