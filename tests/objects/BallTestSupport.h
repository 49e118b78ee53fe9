#pragma once
// A ball on a small empty grid of the recording engine, steered by a
// controller the test sets by hand, and tiles of any effect code.
#include <gtest/gtest.h>

#include <memory>

#include "core/Engine.h"
#include "core/Error.h"
#include "headless/RecordingEngine.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "objects/Ball.h"

namespace rdv::test {

// The ball's model without a file behind it.
class QuietModel : public gfxModel {
public:
    void Load(Engine&, const std::string& modelName) override { name = modelName; }
};

class HandController : public LevelObject, public IController {
public:
    float kMove() override { return move; }
    float kRot() override { return rot; }
    bool kJump() override { return jump; }
    bool kBreak() override { return false; }
    std::string GetFullClassName() const override { return "System.Test.Hand"; }
    IController* AsController() override { return this; }
    float move = 0, rot = 0;
    bool jump = false;
};

// A tile with a chosen effect, bounce limit and push direction.
class EffectTile : public LevelObject {
public:
    EffectTile(Engine& engine, int32_t effect, int16_t bounce = 3) : engine_(engine), effect_(effect), bounce_(bounce) {}
    int32_t GetEffect(float&, float&, float&) override { return effect_; }
    int16_t MaxBounceHeight() override { return bounce_; }
    void GetDirectionVector(float&, float&, float&) override { engine_.ParsedVector = push; }
    std::string GetFullClassName() const override { return "System.Tiles.Test"; }
    D3DXVECTOR3 push{1, 0, 0};

private:
    Engine& engine_;
    int32_t effect_;
    int16_t bounce_;
};

class BallTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = MakeRecordingEngine();
        rec->gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        LoadSystemClasses(rec->engine);
        level = std::make_unique<engLevel>(rec->engine);
        level->SetWorldSize(6, 6, 6);
        ball = std::make_unique<objBall>(rec->engine, *level);
        ball->controller = &hand;
        ball->ownsController = false;
    }
    void TearDown() override {
        ball.reset();
        level.reset();
        UnloadSystemClasses(rec->engine);
    }

    void Place(int x, int y, int z) { ball->SetBallStart(1.5f * x, 1.5f * y, 1.5f * z); }
    // Static tile `code` on the face of cell (x, y, z) towards (dx, dy, dz).
    void Tile(int x, int y, int z, int dx, int dy, int dz, int code) {
        level->SetMapObject(x, y, z, dx, dy, dz, -code);
    }
    EffectTile& Special(int x, int y, int z, int dx, int dy, int dz, int32_t effect, int16_t bounce = 3) {
        auto tile = std::make_unique<EffectTile>(rec->engine, effect, bounce);
        EffectTile& ref = *tile;
        level->SetMapObject(x, y, z, dx, dy, dz, level->AddObject(std::move(tile)));
        return ref;
    }
    void Run(int32_t ms) {
        int32_t e = ms;
        ball->Tick(e);
    }
    // Ticks of `step` ms until the phase is `phase` (at most `limit` ms);
    // returns the ms spent, or -1.
    int32_t RunUntilPhase(int32_t phase, int32_t limit = 20000, int32_t step = 1) {
        for (int32_t spent = 0; spent <= limit; spent += step) {
            if (ball->phase == phase) return spent;
            Run(step);
        }
        return -1;
    }
    void Cell(int32_t& x, int32_t& y, int32_t& z) { ball->Cell(x, y, z); }
    bool AtCell(int x, int y, int z) {
        int32_t a, b, c;
        ball->Cell(a, b, c);
        return a == x && b == y && c == z;
    }

    std::unique_ptr<RecordingEngine> rec;
    std::unique_ptr<engLevel> level;
    std::unique_ptr<objBall> ball;
    HandController hand;
};


} // namespace rdv::test
