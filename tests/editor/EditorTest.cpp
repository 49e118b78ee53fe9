#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/Subsystems.h"
#include "editor/Editor.h"
#include "game/Game.h"
#include "input/Input.h"
#include "level/LevelTestSupport.h"
#include "platform/Clock.h"
#include "platform/dinput/ScriptedInput.h"

namespace rdv::test {
namespace {

// A ball that counts what the editor asks of it.
class CountingBall : public LevelObject, public IBall {
public:
    explicit CountingBall(int32_t who) { player = who; }
    void ResetBall() override { ++resets; }
    void SetBallStart(float x, float y, float z) override { start = {x, y, z}; }
    void WriteHeader(LevelWriter& out) override { out.WriteLine("-Ball"); }
    std::string GetFullClassName() const override { return "System.Objects.Player.Ball"; }
    IBall* AsBall() override { return this; }
    int resets = 0;
    D3DXVECTOR3 start{-1, -1, -1};
};

class EditorTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        engine.platform.clock = std::make_shared<ManualClock>(1000);
        engine.platform.dinput = di;
        auto& registry = Registry(engine);
        registry.Register("System.EditCamera",
                          [](Engine& e, engLevel&) { return std::make_unique<objEditCamera>(e); });
        registry.Register("System.DrawCursor",
                          [](Engine& e, engLevel& l) { return std::make_unique<objDrawCursor>(e, l); });
        registry.Register("System.Flagpost", [](Engine&, engLevel&) {
            return std::make_unique<ProbeObject>("System.Objects.Flagpost", "-Flagpost");
        });
        StartInput(engine);
    }
    void TearDown() override {
        StopInput(engine);
        LevelTest::TearDown();
    }
    // A level of the given size with a ball, opened in the editor.
    objDrawCursor& Open(int x, int y, int z) {
        WriteLevel("edit", {"", "-World", "x=" + std::to_string(x), "y=" + std::to_string(y),
                            "z=" + std::to_string(z), "-Ball", "*"});
        level->LoadLevel("edit");
        level->EnterEditor();
        auto* cursor = dynamic_cast<objDrawCursor*>(level->GetEditorCursor());
        EXPECT_NE(cursor, nullptr);
        return *cursor;
    }
    // One frame: input polled, then the cursor's tick.
    void Frame(LevelObject& object, int32_t ms = 16) {
        PollInput(engine);
        object.Tick(ms);
    }
    void Tap(LevelObject& object, uint8_t code) {
        di->KeyDown(code);
        Frame(object);
        di->KeyUp(code);
        Frame(object);
    }
    int32_t Below(const objDrawCursor& c) { return level->GetMapObject(c.CellX(), c.CellY(), c.CellZ(), 0, 0, -1); }

    std::shared_ptr<ScriptedDirectInput> di = std::make_shared<ScriptedDirectInput>();
};

EngineError ErrorOf(LevelObject& object, const std::string& key, const std::string& value) {
    try {
        object.AssignVar(key, value);
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for " << key << "=" << value;
    return EngineError(0, "", "");
}

TEST_F(EditorTest, PropertiesAndTheirErrors) {
    objDrawCursor cursor(engine, *level);
    cursor.AssignVar("x", "2");
    cursor.AssignVar("y", "3");
    cursor.AssignVar("z", "1");
    cursor.AssignVar("up", "-y");
    cursor.WritePos();
    EXPECT_EQ(engine.ParsedVector, (D3DXVECTOR3{3, 4.5f, 1.5f}));
    cursor.WriteUp();
    EXPECT_EQ(engine.ParsedVector, (D3DXVECTOR3{0, -1, 0}));
    EXPECT_EQ(ErrorOf(cursor, "up", "diagonal").description,
              "Invalid property value for 'DrawCursor.up', must be (-)x/y/z : diagonal");
    EXPECT_EQ(ErrorOf(cursor, "colour", "1").description, "Invalid property for 'DrawCursor': colour");

    objEditCamera camera(engine);
    camera.AssignVar("pos", "1,2,3");
    camera.AssignVar("lookdir", "0,3,0");
    camera.AssignVar("enabled", "false");
    camera.WritePos();
    EXPECT_EQ(engine.ParsedVector, (D3DXVECTOR3{1.5f, 3, 4.5f}));
    camera.WriteRot();
    EXPECT_EQ(engine.ParsedVector, (D3DXVECTOR3{0, 1, 0}));
    EXPECT_FALSE(camera.Active);
    float x = 100, y = 100, z = 100;
    EXPECT_TRUE(camera.CanSeePoint(x, y, z));
    EXPECT_EQ(ErrorOf(camera, "pos", "abc").description,
              "Invalid property value for 'EditCamera.Position', must be a vector : abc");
    EXPECT_EQ(ErrorOf(camera, "pos", "abc").source,
              "Engine->LoadLevel->ReadLevelFile->AssignProperty->objEditCamera.AssignVar");
    // "up" is taken as given, in world units, not normalised.
    camera.AssignVar("up", "0,0,2");
    camera.WriteUp();
    EXPECT_EQ(engine.ParsedVector, (D3DXVECTOR3{0, 0, 3}));
    EXPECT_EQ(ErrorOf(camera, "up", "abc").description,
              "Invalid property value for 'EditCamera.up', must be a vector: abc");
    EXPECT_EQ(ErrorOf(camera, "lookdir", "abc").description,
              "Invalid property value for 'EditCamera.lookdir', must be a vector : abc");
    EXPECT_EQ(ErrorOf(camera, "active", "yes").description,
              "Invalid property value for 'EditCamera.enabled', must be true/false : yes");
    EXPECT_EQ(ErrorOf(camera, "speed", "2").description, "Invalid property for 'EditCamera': speed");
}

TEST_F(EditorTest, KeysMoveTheCursorAndStopAtTheBorders) {
    auto& c = Open(3, 2, 2);
    // A and Z at the low corner do nothing; the far borders stop D, E and W.
    for (uint8_t key : {dik::A, dik::Z, dik::X}) Tap(c, key);
    EXPECT_EQ(c.position, (D3DXVECTOR3{0, 0, 0}));
    for (int i = 0; i < 4; ++i) {
        Tap(c, dik::E);
        Tap(c, dik::D);
        Tap(c, dik::W);
    }
    EXPECT_EQ(c.position, (D3DXVECTOR3{3, 1.5f, 1.5f}));
    Tap(c, dik::A);
    Tap(c, dik::Z);
    Tap(c, dik::X);
    EXPECT_EQ(c.position, (D3DXVECTOR3{1.5f, 0, 0}));
}

TEST_F(EditorTest, ACursorOutsideTheWorldOnlyWalksBackIn) {
    auto& c = Open(3, 3, 3);
    c.position = {9, 0, 0};
    Tap(c, dik::E);
    EXPECT_EQ(c.position.x, 9);
    Tap(c, dik::Z);
    EXPECT_EQ(c.position.x, 7.5f);
}

TEST_F(EditorTest, HeldKeysRepeatAtHalvingIntervals) {
    auto& c = Open(50, 1, 1);
    di->KeyDown(dik::E);
    Frame(c, 0);
    EXPECT_EQ(c.CellX(), 1);  // at once
    Frame(c, 499);
    EXPECT_EQ(c.CellX(), 1);
    Frame(c, 1);
    EXPECT_EQ(c.CellX(), 2);  // after 500 ms
    const int32_t intervals[] = {250, 125, 62, 31, 25, 25};
    int32_t expected = 2;
    for (int32_t interval : intervals) {
        Frame(c, interval - 1);
        EXPECT_EQ(c.CellX(), expected) << interval;
        Frame(c, 1);
        EXPECT_EQ(c.CellX(), ++expected) << interval;
    }
    // Release: the next press steps at once and waits the full 500 ms again.
    di->KeyUp(dik::E);
    Frame(c, 1000);
    EXPECT_EQ(c.CellX(), expected);
    di->KeyDown(dik::E);
    Frame(c, 0);
    EXPECT_EQ(c.CellX(), ++expected);
    Frame(c, 300);
    EXPECT_EQ(c.CellX(), expected);
    Frame(c, 200);
    EXPECT_EQ(c.CellX(), ++expected);
}

TEST_F(EditorTest, VTurnsTheCursorThroughItsThreeAxes) {
    auto& c = Open(2, 2, 2);
    c.AssignVar("up", "-z");
    const D3DXVECTOR3 ups[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    const D3DXVECTOR3 rotations[] = {{1.570795f, 0, 0}, {0, 1.570795f, 0}, {0, 0, 0}, {1.570795f, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        Tap(c, dik::V);
        EXPECT_EQ(c.up, ups[i]) << i;
        EXPECT_EQ(c.rotation, rotations[i]) << i;
        EXPECT_EQ(c.axisStep, (i + 1) % 3) << i;
    }
    // A held V turns once.
    di->KeyDown(dik::V);
    for (int i = 0; i < 5; ++i) Frame(c);
    EXPECT_EQ(c.axisStep, 2);
}

TEST_F(EditorTest, PaintPickEraseAndRestoreLeaveTheGridAsExpected) {
    auto& c = Open(3, 1, 1);
    level->SetMapObject(0, 0, 0, 0, 0, -1, -5);
    level->SetMapObject(2, 0, 0, 0, 0, -1, -7);
    // Pick up the tile under the cursor (loaded when the cursor first moves).
    Tap(c, dik::E);
    Tap(c, dik::Z);
    EXPECT_EQ(c.savedTile, -5);
    Tap(c, dik::Q);
    EXPECT_EQ(c.brush, -5);
    // Paint it two cells on; moving away keeps the paint.
    Tap(c, dik::E);
    Tap(c, dik::S);
    EXPECT_EQ(Below(c), -5);
    Tap(c, dik::E);
    EXPECT_EQ(level->GetMapObject(1, 0, 0, 0, 0, -1), -5);
    // Moving over a tile without painting leaves it as it was.
    EXPECT_EQ(c.savedTile, -7);
    Tap(c, dik::Z);
    EXPECT_EQ(level->GetMapObject(2, 0, 0, 0, 0, -1), -7);
    // Erase, then move off: the face stays empty.
    Tap(c, dik::Z);
    Tap(c, dik::C);
    EXPECT_EQ(Below(c), 0);
    EXPECT_EQ(c.savedTile, 0);
    Tap(c, dik::E);
    EXPECT_EQ(level->GetMapObject(0, 0, 0, 0, 0, -1), 0);
    EXPECT_EQ(level->GetMapObject(1, 0, 0, 0, 0, -1), -5);
    // The cursor paints the face towards -up: after V that is the -x wall.
    Tap(c, dik::V);
    Tap(c, dik::S);
    EXPECT_EQ(level->GetMapObject(1, 0, 0, -1, 0, 0), -5);
    EXPECT_EQ(level->GetMapObject(1, 0, 0, 0, 0, -1), -5);
}

TEST_F(EditorTest, MouseButtonsAloneSetAndPickTheBrush) {
    auto& c = Open(3, 1, 1);
    level->SetMapObject(1, 0, 0, 0, 0, -1, -3);
    Tap(c, dik::E);
    di->SetButton(1, true);  // right: pick
    Frame(c);
    di->SetButton(1, false);
    EXPECT_EQ(c.brush, -3);
    Tap(c, dik::Z);
    di->SetButton(0, true);  // left: paint
    Frame(c);
    di->SetButton(0, false);
    Frame(c);
    EXPECT_EQ(level->GetMapObject(0, 0, 0, 0, 0, -1), -3);
}

TEST_F(EditorTest, DragsFollowTheScreenDirection) {
    int axis = -1, sign = 0;
    // Looking along +x with z up, the screen's right is +y (left-handed), up is +x.
    DragAxis({1, 0, -1}, 0, axis, sign);
    EXPECT_EQ(axis, 1);
    EXPECT_EQ(sign, 1);
    DragAxis({1, 0, -1}, 1, axis, sign);
    EXPECT_EQ(axis, 0);
    EXPECT_EQ(sign, 1);
    // Looking along -y, mostly: right is +x.
    DragAxis({0.2f, -1, -1}, 0, axis, sign);
    EXPECT_EQ(axis, 0);
    EXPECT_EQ(sign, 1);

    auto& c = Open(5, 5, 5);
    engine.playerViews[0].eye = {0, 0, 5};
    engine.playerViews[0].lookAt = {1, 0, 4};
    // Both buttons: 31 units up the screen is two steps up; no paint.
    di->SetButton(0, true);
    di->SetButton(1, true);
    di->MoveMouse(0, -31);
    Frame(c);
    EXPECT_EQ(c.position, (D3DXVECTOR3{0, 0, 3}));
    // Right alone: 16 units up the screen moves one cell away (+x); the
    // remainder carries over while the button stays down.
    di->SetButton(0, false);
    di->MoveMouse(0, -16);
    Frame(c);
    di->MoveMouse(0, -14);
    Frame(c);
    EXPECT_EQ(c.position, (D3DXVECTOR3{3, 0, 3}));
    di->SetButton(1, false);
    Frame(c);
    EXPECT_EQ(c.dragAccumulated, (std::array<int32_t, 3>{0, 0, 0}));
}

TEST_F(EditorTest, BAndRReachTheBallOfThePlayerChosenByLeftAlt) {
    auto& c = Open(4, 4, 4);
    auto first = std::make_unique<CountingBall>(0);
    auto second = std::make_unique<CountingBall>(1);
    CountingBall& one = *first;
    CountingBall& two = *second;
    level->AddObject(std::move(second));
    level->AddObject(std::move(first));
    Tap(c, dik::E);
    Tap(c, dik::W);
    Tap(c, dik::B);
    EXPECT_EQ(one.start, (D3DXVECTOR3{1.5f, 0, 1.5f}));
    EXPECT_EQ(two.start, (D3DXVECTOR3{-1, -1, -1}));
    Tap(c, dik::R);
    EXPECT_EQ(one.resets, 1);
    EXPECT_EQ(two.resets, 0);
    di->KeyDown(dik::LMENU);
    Tap(c, dik::D);
    Tap(c, dik::B);
    Tap(c, dik::R);
    EXPECT_EQ(two.start, (D3DXVECTOR3{1.5f, 1.5f, 1.5f}));
    EXPECT_EQ(two.resets, 1);
    EXPECT_EQ(one.resets, 1);
}

TEST_F(EditorTest, NothingMovesWhileTheMenuIsOpenOrTheCameraIsOff) {
    auto& c = Open(4, 4, 4);
    objEditCamera camera(engine);
    camera.lookDir = {1, 0, 0};
    engine.game = std::make_shared<engGame>(engine);
    engine.game->menuOpen = true;
    di->KeyDown(dik::E);
    di->SetButton(0, true);
    di->MoveMouse(50, 50);
    Frame(c);
    Frame(camera);
    EXPECT_EQ(c.position, (D3DXVECTOR3{0, 0, 0}));
    EXPECT_EQ(camera.lookDir, (D3DXVECTOR3{1, 0, 0}));
    engine.game->menuOpen = false;
    camera.Active = false;
    di->MoveMouse(50, 50);
    Frame(camera);
    EXPECT_EQ(camera.lookDir, (D3DXVECTOR3{1, 0, 0}));
    engine.game.reset();
}

TEST_F(EditorTest, TheCameraFliesInItsThreeMouseModes) {
    objEditCamera camera(engine);
    camera.AssignVar("pos", "0,0,0");
    camera.lookDir = {1, 0, 0};
    auto near = [](const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
        return std::abs(a.x - b.x) < 1e-5f && std::abs(a.y - b.y) < 1e-5f && std::abs(a.z - b.z) < 1e-5f;
    };
    // Left: walk 1 unit forward along the ground, even when looking down.
    camera.lookDir = {0.6f, 0, -0.8f};
    di->SetButton(0, true);
    di->MoveMouse(0, -100);
    Frame(camera);
    EXPECT_TRUE(near(camera.position, {0.6f, 0, 0}));
    EXPECT_TRUE(near(engine.playerViews[0].eye, camera.position));
    EXPECT_TRUE(near(engine.playerViews[0].lookAt, camera.position + camera.lookDir));
    // Right: looking up is clamped before normalising.
    di->SetButton(0, false);
    di->SetButton(1, true);
    camera.lookDir = {1, 0, 0};
    di->MoveMouse(0, -500);
    Frame(camera);
    EXPECT_TRUE(near(camera.lookDir, {0.7071068f, 0, 0.7071068f}));
    // Both: rise by 0.5 and slide along up x look.
    di->SetButton(0, true);
    camera.lookDir = {1, 0, 0};
    camera.position = {0, 0, 0};
    di->MoveMouse(100, -50);
    Frame(camera);
    EXPECT_TRUE(near(camera.position, {0, 1, 0.5f}));
}

// Departs from the original: the edit camera starts at player 0's view.
TEST_F(EditorTest, TheCameraStartsAtPlayerZerosViewUnlessPlaced) {
    engine.playerViews[0].eye = {3, 4, 5};
    engine.playerViews[0].lookAt = {3, 6, 5};
    objEditCamera fresh(engine);
    Frame(fresh);
    EXPECT_FLOAT_EQ(fresh.position.x, 3);
    EXPECT_FLOAT_EQ(fresh.position.y, 4);
    EXPECT_FLOAT_EQ(fresh.position.z, 5);
    EXPECT_FLOAT_EQ(fresh.lookDir.y, 1);
    // Later views of player 0 are its own doing, not followed.
    engine.playerViews[0].eye = {9, 9, 9};
    Frame(fresh);
    EXPECT_FLOAT_EQ(fresh.position.x, 3);

    objEditCamera placed(engine);
    placed.AssignVar("pos", "1,2,3");
    Frame(placed);
    EXPECT_FLOAT_EQ(placed.position.x, 1.5f);
    EXPECT_FLOAT_EQ(placed.position.z, 4.5f);
}

TEST_F(EditorTest, AnEditedLevelSavesAndLoadsWithItsObjects) {
    WriteLevel("trip", {"", "-World", "x=3", "y=2", "z=2", "-Wall", "up=z", "sx=0", "sy=0", "sz=0", "dx=2",
                        "-Ball", "-Flagpost", "-Director", "-MoveChain", "up=z", "sx=0", "sy=1", "sz=0", "*"});
    level->LoadLevel("trip");
    level->EnterEditor();
    auto& c = *dynamic_cast<objDrawCursor*>(level->GetEditorCursor());
    // Pick the move chain at (0, 1), paint it at (2, 1), erase the wall at
    // (1, 0), then paint a wall under (2, 0) sideways (-x face) after V.
    Tap(c, dik::D);
    Tap(c, dik::Q);
    Tap(c, dik::E);
    Tap(c, dik::E);
    Tap(c, dik::S);
    Tap(c, dik::A);
    Tap(c, dik::Z);
    Tap(c, dik::C);
    Tap(c, dik::Z);
    Tap(c, dik::Q);
    Tap(c, dik::E);
    Tap(c, dik::E);
    Tap(c, dik::V);
    Tap(c, dik::S);
    level->SaveLevel("save");

    engLevel copy(engine);
    copy.LoadLevel("save");
    const int32_t chain = level->FindObject("System.Tiles");
    ASSERT_GT(chain, 0);
    const int32_t copyChain = copy.FindObject("System.Tiles");
    EXPECT_EQ(copy.GetMapObject(0, 0, 0, 0, 0, -1), -1);
    EXPECT_EQ(copy.GetMapObject(1, 0, 0, 0, 0, -1), 0);
    EXPECT_EQ(copy.GetMapObject(2, 0, 0, 0, 0, -1), -1);
    EXPECT_EQ(copy.GetMapObject(2, 0, 0, -1, 0, 0), -1);
    EXPECT_EQ(copy.GetMapObject(0, 1, 0, 0, 0, -1), copyChain);
    EXPECT_EQ(copy.GetMapObject(2, 1, 0, 0, 0, -1), copyChain);
    // Face for face, mapping the chain's number; no editor objects saved.
    for (int o = 0; o < 3; ++o) {
        const auto& a = level->Faces(o);
        const auto& b = copy.Faces(o);
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i] == chain ? copyChain : a[i], b[i]) << o << " " << i;
    }
    std::vector<std::string> names;
    for (int32_t n = 1; n <= copy.MapObjects(); ++n) names.push_back(copy.MapObjectName(n));
    // The balls, flag posts and director come back; the editor objects do not.
    for (const char* name : {"System.Director", "System.Objects.Flagpost", "System.Objects.Player.Ball"})
        EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
    for (const auto& name : names) EXPECT_EQ(name.find("Edit"), std::string::npos) << name;
}

} // namespace
} // namespace rdv::test
