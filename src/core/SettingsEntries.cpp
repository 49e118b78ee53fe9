#include "core/Subsystems.h"
// Replaced by the settings file code.
namespace rdv {
void LoadSettings(Engine&) {}
void SaveSettings(Engine&) {}
}
