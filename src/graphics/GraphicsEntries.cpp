// The graphics module's entries in the reboot loop and the main loop.
#include "core/Engine.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"

namespace rdv {

void InitGraphics(Engine& engine) { Graphics(engine).InitGraphics(); }

void BeginFrame(Engine& engine) {
    if (engine.gfx) engine.gfx->BeginFrame();
}

void Display(Engine& engine) {
    if (engine.gfx) engine.gfx->Display();
}

void ShutdownGraphics(Engine& engine) {
    if (engine.gfx) engine.gfx->ShutdownGraphics();
}

} // namespace rdv
