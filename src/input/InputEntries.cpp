#include "core/Subsystems.h"
// Replaced by the input module.
namespace rdv {
void StartInput(Engine&) {}
void PollInput(Engine&) {}
void StopInput(Engine&) {}
}
