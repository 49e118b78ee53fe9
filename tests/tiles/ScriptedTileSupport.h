#pragma once
// Scripted-tile tests: a level fixture with the real scripted classes and a
// small ball that only has a player number and a position.
#include "../level/LevelTestSupport.h"
#include "packages/Parse.h"
#include "tiles/DropFloor.h"
#include "tiles/GravityPad.h"
#include "tiles/MoveChain.h"
#include "tiles/SliderFloor.h"

namespace rdv::test {

class TestBall : public LevelObject, public IBall {
public:
    explicit TestBall(Engine& engine) : engine_(engine) {}
    void AssignVar(const std::string& key, const std::string& value) override {
        if (key == "player") player = ValLong(value);
        else if (key == "pos") {
            ParseVector(engine_, value);
            position = engine_.ParsedVector * 1.5f;
        } else RaiseInvalidProperty("objBall", "Ball", key);
    }
    void WritePos() override { engine_.ParsedVector = position; }
    std::string GetFullClassName() const override { return "System.Objects.Player.Ball"; }
    IBall* AsBall() override { return this; }
    void ResetBall() override {}
    void SetBallStart(float, float, float) override {}
    D3DXVECTOR3 position{0, 0, 0};

private:
    Engine& engine_;
};

class ScriptedTileTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        auto& registry = Registry(engine);
        RegisterBuiltClasses(registry);
        registry.Register("System.Ball", [](Engine& e, engLevel&) { return std::make_unique<TestBall>(e); });
    }
    // Loads a 4 x 3 x 3 world followed by `lines`.
    void Load(const std::vector<std::string>& lines, const std::string& name = "tiles") {
        std::vector<std::string> all = {"", "-World", "x=4", "y=3", "z=3"};
        all.insert(all.end(), lines.begin(), lines.end());
        WriteLevel(name, all);
        level->LoadLevel(name);
    }
    EngineError LoadFails(const std::vector<std::string>& lines) {
        std::vector<std::string> all = {"", "-World", "x=4", "y=3", "z=3"};
        all.insert(all.end(), lines.begin(), lines.end());
        WriteLevel("bad", all);
        return LoadError("bad");
    }
    template <class T> T& Object(int32_t number) {
        auto* object = dynamic_cast<T*>(level->MapObject(number));
        EXPECT_NE(object, nullptr) << number;
        return *object;
    }
    int32_t Floor(int32_t x, int32_t y, int32_t plane) const { return level->GetMapObject(x, y, plane, 0, 0, -1); }
    void Run(LevelObject& object, int32_t ms) { object.Tick(ms); }
};

inline std::string Source(const char* className) {
    return std::string("Engine->LoadLevel->ReadLevelFile->AssignProperty->") + className + ".AssignVar";
}

} // namespace rdv::test
