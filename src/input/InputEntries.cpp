#include "core/Engine.h"
#include "core/Subsystems.h"
#include "input/Input.h"

namespace rdv {

void StartInput(Engine& engine) {
    if (!engine.input) engine.input = std::make_shared<inpControl>(engine);
    engine.input->StartInput();
}

void PollInput(Engine& engine) {
    if (engine.input) engine.input->PollInput();
}

void StopInput(Engine& engine) {
    if (engine.input) engine.input->StopInput();
}

} // namespace rdv
