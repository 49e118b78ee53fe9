#include <gtest/gtest.h>

#include "cameras/CameraTestSupport.h"
#include "cameras/Cameras.h"
#include "cameras/Director.h"

namespace rdv::test {
namespace {

class DirectorTest : public ::testing::Test {
protected:
    template <class T, class... A>
    T& Add(A&&... args) {
        auto o = std::make_unique<T>(std::forward<A>(args)...);
        T& ref = *o;
        level.AddObject(std::move(o));
        return ref;
    }
    objPointCamera& Camera(D3DXVECTOR3 at) {
        auto& c = Add<objPointCamera>(engine);
        c.position = at;
        return c;
    }
    void Tick(objDirector& d, int32_t ms) {
        int32_t e = ms;
        d.Tick(e);
    }
    Engine engine;
    engLevel level{engine};
};

TEST_F(DirectorTest, WithNoCameraKeepsItsPoseAndRearmsTheSwitchDelay) {
    Add<PlacedBall>(engine, 0, D3DXVECTOR3{0, 0, 0});
    auto& d = Add<objDirector>(engine, level);
    d.AssignVar("pos", "2,0,0");
    d.AssignVar("lookdir", "0,1,0");
    for (int i = 0; i < 3; ++i) {
        Tick(d, 30);
        EXPECT_FLOAT_EQ(d.switchDelay, 100);
        EXPECT_EQ(d.cameraIndex, 0);
    }
    EXPECT_EQ(d.ballIndex, 1);
    EXPECT_FLOAT_EQ(engine.playerViews[0].eye.x, 3);
    EXPECT_FLOAT_EQ(engine.playerViews[0].lookAt.y, 1);
}

TEST_F(DirectorTest, BestCameraTakesTheFirstOfEqualScoresAndPriorityZeroAlwaysWins) {
    Add<PlacedBall>(engine, 0, D3DXVECTOR3{0, 0, 0});
    auto& d = Add<objDirector>(engine, level);
    d.AssignVar("pos", "0,0,0");
    Camera({3, 0, 0});    // 3
    Camera({-3, 0, 0});   // 4
    EXPECT_EQ(d.BestCamera(0), 3);
    // From 3 the search wraps round and meets 4 first.
    d.cameraIndex = 3;
    EXPECT_EQ(d.BestCamera(3), 4);
    auto& far = Camera({0, 10, 0});   // 5, the last object: a candidate from 0 too
    far.priority = 0;
    EXPECT_EQ(d.BestCamera(0), 5);
    // A level priority of 2 halves the score and beats an equal distance.
    auto& preferred = Camera({0, -3, 0});   // 6
    far.priority = 1;
    preferred.AssignVar("priority", "2");
    EXPECT_EQ(d.BestCamera(0), 6);
    // A camera serving the other player, or switched off, never qualifies.
    preferred.balltolookat = 1;
    EXPECT_EQ(d.BestCamera(0), 3);
    Add<objRotaryCamera>(engine);   // 7: skipped
    EXPECT_EQ(d.NextCamera(4, 1), 5);
    EXPECT_EQ(d.NextCamera(5, 1), 3);
    EXPECT_EQ(d.NextCamera(3, -1), 5);
}

TEST_F(DirectorTest, TheGlideReachesTheCameraInAboutASecondAndTurnsToTheBall) {
    Add<PlacedBall>(engine, 0, D3DXVECTOR3{9, 4.5f, 0});
    auto& d = Add<objDirector>(engine, level);
    d.AssignVar("pos", "0,0,0");
    d.AssignVar("startatcam", "false");
    Camera({9, 0, 0});
    int32_t spent = 0;
    while (!(d.eye == D3DXVECTOR3{9, 0, 0}) && spent < 3000) {
        Tick(d, 10);
        spent += 10;
    }
    EXPECT_GE(spent, 990);
    EXPECT_LE(spent, 1020);
    EXPECT_NEAR(d.dir.x, 0, 1e-3);
    EXPECT_NEAR(d.dir.y, 1, 1e-3);
    EXPECT_FLOAT_EQ(engine.playerViews[0].eye.x, 9);

    // startatcam (the default): the first tick puts the view on the camera.
    auto& jump = Add<objDirector>(engine, level);
    Tick(jump, 10);
    EXPECT_TRUE(jump.eye == (D3DXVECTOR3{9, 0, 0}));
}

TEST_F(DirectorTest, ACameraThatLosesTheBallIsReplacedAtTheNextCheck) {
    auto& ball = Add<PlacedBall>(engine, 0, D3DXVECTOR3{3, 0, 0});
    auto& d = Add<objDirector>(engine, level);
    auto& near = Camera({0, 0, 0});
    near.AssignVar("d", "4");   // sees up to 6
    Camera({20, 0, 0});
    Tick(d, 10);
    EXPECT_EQ(d.cameraIndex, 3);
    Tick(d, 10);   // a check that passes
    ball.MoveTo({12, 0, 0});
    Tick(d, 100);   // the check waits 250 ms
    EXPECT_EQ(d.cameraIndex, 3);
    Tick(d, 200);
    EXPECT_EQ(d.cameraIndex, 4);
}

TEST_F(DirectorTest, AButtonChangeStepsTheCameraAndResetsBothGlideSpeeds) {
    auto di = std::make_shared<ScriptedDirectInput>();
    StartScriptedInput(engine, di);
    Add<PlacedBall>(engine, 0, D3DXVECTOR3{0, 0, 3});
    auto& d = Add<objDirector>(engine, level);
    d.AssignVar("pos", "2,2,2");
    d.AssignVar("startatcam", "0");
    Camera({5, 0, 0});
    Camera({0, 5, 0});
    Tick(d, 10);
    Tick(d, 10);
    const int32_t first = d.cameraIndex;
    ASSERT_GT(first, 0);
    EXPECT_GT(d.moveSpeed, 0);
    EXPECT_GT(d.turnSpeed, 0);
    di->KeyDown(dik::NEXT);
    PollInput(engine);
    Tick(d, 10);
    EXPECT_NE(d.cameraIndex, first);
    EXPECT_EQ(d.moveSpeed, 0);
    EXPECT_EQ(d.turnSpeed, 0);
    EXPECT_FLOAT_EQ(d.switchDelay, 250);
    // Held down, the button waits for the delay before stepping again.
    const int32_t second = d.cameraIndex;
    Tick(d, 10);
    EXPECT_EQ(d.cameraIndex, second);
    StopInput(engine);
}

TEST_F(DirectorTest, PropertiesAndTheirErrors) {
    auto& d = Add<objDirector>(engine, level);
    d.AssignVar("x", "1.5");
    d.AssignVar("looktile", "3,2,0");
    EXPECT_TRUE(d.lookAtTile);
    EXPECT_NEAR(d.dir.x, 0.70711f, 1e-4);
    EXPECT_NEAR(d.dir.y, 0.70711f, 1e-4);
    d.AssignVar("y", "3");   // moving the eye re-aims at the tile
    EXPECT_NEAR(d.dir.x, 1, 1e-5);
    d.AssignVar("player", "2");
    EXPECT_EQ(d.player, 1);
    LineListWriter out;
    d.WriteHeader(out);
    ASSERT_GE(out.lines.size(), 2u);
    EXPECT_EQ(out.lines[0], "-Director");
    EXPECT_EQ(out.lines[1], "player=2");
    EngineError e = ErrorOf([&] { d.AssignVar("up", "1"); });
    EXPECT_EQ(e.description, "Invalid property value for 'Director.UpVector', must be a vector : 1");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objDirector.AssignVar");
    e = ErrorOf([&] { d.AssignVar("hop", "maybe"); });
    EXPECT_EQ(e.description, "Invalid property value for 'Director.hop', must be true/false : maybe");
    e = ErrorOf([&] { d.AssignVar("player", "0"); });
    EXPECT_EQ(e.description, "Invalid property value for 'Director.player', must be 1 or 2 : 0");
    // The vectors and "startatcam" raise with no text of their own.
    for (const char* key : {"pos", "lookdir", "l", "looktile", "startatcam"}) {
        e = ErrorOf([&] { d.AssignVar(key, "maybe"); });
        EXPECT_EQ(e.number, 1005) << key;
        EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objDirector.AssignVar") << key;
        EXPECT_EQ(e.description, "") << key;
    }
    e = ErrorOf([&] { d.AssignVar("zoom", "1"); });
    EXPECT_EQ(e.description, "Invalid property for 'objDirector': zoom");
}

} // namespace
} // namespace rdv::test
