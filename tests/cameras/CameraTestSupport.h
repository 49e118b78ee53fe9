#pragma once
// Level objects and input for camera and director tests: a ball that is
// wherever the test puts it, and a scripted keyboard for the camera buttons.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "input/Input.h"
#include "level/Level.h"
#include "level/Object.h"
#include "platform/Clock.h"
#include "platform/dinput/ScriptedInput.h"

namespace rdv::test {

class PlacedBall : public LevelObject, public IBall {
public:
    PlacedBall(Engine& engine, int32_t playerIndex, D3DXVECTOR3 at) : engine_(engine), drawn(at), cell(at) {
        player = playerIndex;
    }
    std::string GetFullClassName() const override { return "System.Objects.Player.Ball"; }
    IBall* AsBall() override { return this; }
    void WritePos() override { engine_.ParsedVector = drawn; }
    void WriteTile() override { engine_.ParsedVector = cell; }
    void ResetBall() override {}
    void SetBallStart(float x, float y, float z) override { cell = drawn = {x, y, z}; }
    void MoveTo(D3DXVECTOR3 at) { drawn = cell = at; }

private:
    Engine& engine_;

public:
    D3DXVECTOR3 drawn, cell;
};

// The engine's error from running f, or a failure.
template <class F>
EngineError ErrorOf(F&& f) {
    try {
        f();
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no engine error";
    return EngineError(0, "", "");
}

// Player 1 steps cameras with Page Up / Page Down, player 2 with Q / E.
inline void StartScriptedInput(Engine& engine, const std::shared_ptr<ScriptedDirectInput>& di) {
    engine.platform.clock = std::make_shared<ManualClock>(1000);
    engine.platform.dinput = di;
    const Binding p1[7] = {{0, dik::UP}, {0, dik::DOWN}, {0, dik::RIGHT}, {0, dik::LEFT},
                           {0, dik::SPACE}, {0, dik::PRIOR}, {0, dik::NEXT}};
    const Binding p2[7] = {{0, dik::W}, {0, dik::S}, {0, dik::D}, {0, dik::A},
                           {0, dik::LCONTROL}, {0, dik::Q}, {0, dik::E}};
    for (int i = 0; i < 7; ++i) {
        engine.settings.bindings[i] = p1[i];
        engine.settings.bindings[7 + i] = p2[i];
    }
    StartInput(engine);
    engine.input->bringToFront = [](Engine&) {};
}

} // namespace rdv::test
