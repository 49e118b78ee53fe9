#include "core/Subsystems.h"
// Replaced by the graphics module.
namespace rdv {
void InitGraphics(Engine&) {}
void BeginFrame(Engine&) {}
void Display(Engine&) {}
void ShutdownGraphics(Engine&) {}
}
