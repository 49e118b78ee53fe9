#include <gtest/gtest.h>

#include "cameras/Cameras.h"
#include "cameras/CameraTestSupport.h"
#include "cameras/View.h"

namespace rdv::test {
namespace {

void Set(LevelObject& o, std::initializer_list<std::pair<const char*, const char*>> props) {
    for (const auto& [k, v] : props) o.AssignVar(k, v);
}

bool Sees(LevelObject& camera, float x, float y, float z) { return camera.CanSeePoint(x, y, z); }

D3DXVECTOR3 Reposition(Engine& engine, LevelObject& camera, D3DXVECTOR3 p) {
    camera.Reposition(p.x, p.y, p.z);
    camera.WritePos();
    return engine.ParsedVector;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float eps = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(PointCamera, SeesOnlyInsideItsConeBetweenTheNearAndFarLimits) {
    Engine engine;
    objPointCamera cam(engine);
    // Far 6, near 1.5, cone half-angle 0.5 rad around +x.
    Set(cam, {{"x", "0"}, {"y", "0"}, {"z", "0"}, {"lookdir", "1,0,0"}, {"angle", "0.5"}, {"d", "4"}, {"dmin", "1"}});
    EXPECT_TRUE(Sees(cam, 3, 0, 0));
    EXPECT_TRUE(Sees(cam, 3, 1, 0));     // 18 degrees off the axis
    EXPECT_FALSE(Sees(cam, 3, 3, 0));    // 45 degrees
    EXPECT_FALSE(Sees(cam, 1, 0, 0));    // nearer than 1.5
    EXPECT_FALSE(Sees(cam, 6.5f, 0, 0)); // beyond 6
    EXPECT_FALSE(Sees(cam, -3, 0, 0));   // behind

    objPointCamera all(engine);
    Set(all, {{"lookdir", "1,0,0"}});
    EXPECT_TRUE(Sees(all, -3, 0, 0));    // the default cosine -1 sees every way
    EXPECT_TRUE(Sees(all, 0, 0, 14));
    EXPECT_FALSE(Sees(all, 0, 0, 30));   // beyond the default 15
    EXPECT_FALSE(Sees(all, 0, 0, 2));    // nearer than the default 2.5

    // Unscaled axis components are normalised in place before the test.
    objPointCamera raw(engine);
    Set(raw, {{"lx", "0"}, {"ly", "5"}, {"lz", "0"}, {"cosang", "0.9"}});
    EXPECT_TRUE(Sees(raw, 0, 5, 0));
    EXPECT_FALSE(Sees(raw, 5, 5, 0));
}

TEST(PointCamera, PropertiesScaleFromCellsAndPriorityIsInverted) {
    Engine engine;
    objPointCamera cam(engine);
    Set(cam, {{"pos", "1,2,3"}, {"up", "0,0,5"}, {"priority", "2"}, {"player", "2"}, {"follow", "false"},
              {"enabled", "0"}});
    cam.WritePos();
    ExpectNear(engine.ParsedVector, {1.5f, 3, 4.5f});
    cam.WriteUp();
    ExpectNear(engine.ParsedVector, {0, 0, 1});
    EXPECT_FLOAT_EQ(cam.priority, 0.5f);
    EXPECT_EQ(cam.balltolookat, 1);
    EXPECT_FALSE(cam.bFollow);
    EXPECT_FALSE(cam.Active);
    cam.AssignVar("player", "0");
    EXPECT_EQ(cam.balltolookat, -1);
    cam.AssignVar("priority", "0");
    EXPECT_FLOAT_EQ(cam.priority, 1e10f);
}

TEST(PointCamera, BadValuesRaiseTheClassErrors) {
    Engine engine;
    objPointCamera cam(engine);
    const std::string base = "Engine->LoadLevel->ReadLevelFile->AssignProperty->objPointCamera";
    EngineError e = ErrorOf([&] { cam.AssignVar("pos", "1,2"); });
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.source, base + ".Position");
    EXPECT_EQ(e.description, "Invalid property value for 'PointCamera.Position', must be a vector : 1,2");
    e = ErrorOf([&] { cam.AssignVar("player", "3"); });
    EXPECT_EQ(e.source, base + ".AssignVar");
    EXPECT_EQ(e.description, "Invalid property value for 'PointCamera.player', must be 1 or 2 : 3");
    e = ErrorOf([&] { cam.AssignVar("follow", "yes"); });
    EXPECT_EQ(e.description, "Invalid property value for 'PointCamera.follow', must be true/false : yes");
    e = ErrorOf([&] { cam.AssignVar("zoom", "1"); });
    EXPECT_EQ(e.description, "Invalid property for 'objPointCamera': zoom");

    objPlaneCamera plane(engine);
    e = ErrorOf([&] { plane.AssignVar("pos", "nonsense"); });
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objPlaneCamera.Position");
    e = ErrorOf([&] { plane.AssignVar("pvec2", "0"); });
    EXPECT_EQ(e.description, "Invalid property value for 'PlaneCamera.PlaneVector2', must be a vector : 0");

    objSpireCamera spire(engine);
    e = ErrorOf([&] { spire.AssignVar("up", "1,1,0"); });
    EXPECT_EQ(e.description, "Invalid property value for 'SpireCamera.up', must be (-)x/y/z : 1,1,0");
    e = ErrorOf([&] { spire.AssignVar("far", "1"); });
    EXPECT_EQ(e.description, "Invalid property for 'SpireCamera': far");

    objGravityCamera cyl(engine);
    e = ErrorOf([&] { cyl.AssignVar("hrel", "2"); });
    EXPECT_EQ(e.description, "Invalid property value for 'CylinderCamera.hrelative', must be true/false : 2");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objGravityCamera.AssignVar");

    objRotaryCamera rot(engine);
    e = ErrorOf([&] { rot.AssignVar("up", "q"); });
    EXPECT_EQ(e.description, "Invalid property value for 'RotaryCamera.up', must be (-)x/y/z : q");
}

TEST(PlaneCamera, SlidesInItsPlaneToStayInFrontOfTheBall) {
    Engine engine;
    objPlaneCamera cam(engine);
    Set(cam, {{"x", "0"}, {"y", "-4"}, {"z", "2"}, {"pvec1", "0,0,1"}, {"pvec2", "1,0,0"}});
    // The director may ask before the camera's first tick.
    ExpectNear(Reposition(engine, cam, {4.5f, 3, 1.5f}), {4.5f, -6, 1.5f});
    int32_t e = 10;
    cam.Tick(e);
    ExpectNear(Reposition(engine, cam, {9, 7, -3}), {9, -6, -3});
    cam.WriteRot();
    ExpectNear(engine.ParsedVector, {0, 1, 0});
    EXPECT_TRUE(Sees(cam, 100, 100, 100));

    // Without plane vectors there is no plane: the camera stays where it is
    // and has no look direction.
    objPlaneCamera bare(engine);
    Set(bare, {{"pos", "1,2,3"}});
    bare.Tick(e);
    ExpectNear(Reposition(engine, bare, {9, 7, -3}), {1.5f, 3, 4.5f});
    bare.WriteRot();
    ExpectNear(engine.ParsedVector, {0, 0, 0});
}

TEST(PointCamera, WriteRotIsTheLookDirectionTheTickCopies) {
    Engine engine;
    objPointCamera cam(engine);
    Set(cam, {{"lx", "0"}, {"ly", "5"}, {"lz", "0"}});
    cam.WriteRot();
    ExpectNear(engine.ParsedVector, {0, 0, 0});  // nothing copied yet
    int32_t e = 10;
    cam.Tick(e);
    cam.WriteRot();
    ExpectNear(engine.ParsedVector, {0, 5, 0});  // as given, not normalised
}

TEST(SpireCamera, NotRelativeStandsOnItsCircleAndLosesTheBallOutsideIt) {
    Engine engine;
    objSpireCamera cam(engine);
    Set(cam, {{"x", "0"}, {"y", "0"}, {"d", "5"}, {"relative", "false"}});
    ExpectNear(Reposition(engine, cam, {3, 0, 1}), {5, 0, 1});
    ExpectNear(Reposition(engine, cam, {0, -2, 4}), {0, -5, 4});
    // On the axis line the last side is kept.
    ExpectNear(Reposition(engine, cam, {0, 0, 7}), {0, -5, 7});
    EXPECT_TRUE(Sees(cam, 4.9f, 0, 0));
    EXPECT_FALSE(Sees(cam, 5.1f, 0, 0));
    EXPECT_FALSE(Sees(cam, 3.6f, 3.6f, 0));
    cam.WriteUp();
    ExpectNear(engine.ParsedVector, {0, 0, 1});
}

TEST(SpireCamera, RelativeStandsTheRadiusBeyondTheBallAtItsHeightAboveTheAxisPoint) {
    Engine engine;
    objSpireCamera cam(engine);
    Set(cam, {{"x", "0"}, {"y", "0"}, {"z", "2"}, {"d", "5"}});
    // The base is the ball's components across the axis; along it only the
    // ball's height above the axis point (1 - 3) counts.
    ExpectNear(Reposition(engine, cam, {3, 0, 1}), {8, 0, -2});
    ExpectNear(Reposition(engine, cam, {0, 4, 5}), {0, 9, 2});
    EXPECT_TRUE(Sees(cam, 60, 0, 0));
    // An x axis: the side starts along y.
    objSpireCamera sideways(engine);
    Set(sideways, {{"up", "x"}, {"x", "0"}, {"d", "2"}});
    ExpectNear(Reposition(engine, sideways, {4, 0, 0}), {4, 2, 0});
}

TEST(CylinderCamera, KeepsTheBallBetweenItAndTheAxisAndPointsUpToTheBall) {
    Engine engine;
    objGravityCamera cam(engine);   // axis x through (1, 1, 1), distance 1.5, height -3, both relative
    cam.WriteUp();
    ExpectNear(engine.ParsedVector, {0, 0, 0});  // no radial before the first Reposition
    ExpectNear(Reposition(engine, cam, {4, 1, -2}), {1, 1, -3.5f});
    cam.WriteUp();
    ExpectNear(engine.ParsedVector, {0, 0, -1});
    ExpectNear(Reposition(engine, cam, {7, 3, 1}), {4, 4.5f, 1});

    objGravityCamera fixed(engine);
    Set(fixed, {{"hrel", "false"}, {"arel", "false"}, {"height", "2"}, {"dist", "4"}});
    // The axis point at height 2 is (3, 1, 1); the camera stands 4 from it towards the ball.
    ExpectNear(Reposition(engine, fixed, {3, 1, 5}), {3, 1, 5});
    ExpectNear(Reposition(engine, fixed, {3, 7, 1}), {3, 5, 1});
    EXPECT_TRUE(Sees(fixed, -100, 0, 0));
}

TEST(RotaryCamera, SetsTheFirstPlayersViewAndIsNoDirectorCamera) {
    Engine engine;
    objRotaryCamera cam(engine);
    EXPECT_EQ(cam.AsCamera(), nullptr);
    ExpectNear(engine.playerViews[0].eye, {5, 0, 0});
    Set(cam, {{"x", "2"}, {"y", "0"}, {"z", "0"}, {"d", "4"}, {"up", "x"}});
    int32_t e = 16;
    cam.Tick(e);
    ExpectNear(engine.playerViews[0].eye, {3, 4, 0});
    ExpectNear(engine.playerViews[0].lookAt, {3, 0, 0});
    cam.AssignVar("enabled", "false");
    cam.AssignVar("d", "9");
    cam.Tick(e);
    ExpectNear(engine.playerViews[0].eye, {3, 4, 0});
}

TEST(RotaryCamera, TheSecondPlayersCameraButtonsTurnTheOrbit) {
    Engine engine;
    auto di = std::make_shared<ScriptedDirectInput>();
    StartScriptedInput(engine, di);
    objRotaryCamera cam(engine);
    di->KeyDown(dik::Q);
    PollInput(engine);
    int32_t e = 1000;   // 1.5 rad
    cam.Tick(e);
    ExpectNear(engine.playerViews[0].eye, {5 * std::cos(1.5f), 5 * std::sin(1.5f), 0}, 1e-3f);
    di->KeyUp(dik::Q);
    di->KeyDown(dik::E);
    PollInput(engine);
    cam.Tick(e);
    ExpectNear(engine.playerViews[0].eye, {5, 0, 0}, 1e-3f);
    StopInput(engine);
}

TEST(PlayerView, IsALeftHandedLookAtKeptPerPlayer) {
    Engine engine;
    SetPlayerView(engine, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 1);
    EXPECT_FLOAT_EQ(engine.playerViews[1].view.m[0][0], 1);
    EXPECT_FLOAT_EQ(engine.playerViews[1].view.m[2][2], 1);   // +z goes into the screen
    SetPlayerView(engine, {1, 2, 3}, {1, 2, 4}, {0, 1, 0}, 5);   // no such player: ignored
    EXPECT_FLOAT_EQ(engine.playerViews[0].eye.x, 0);
    engine.currentPlayer = 1;
    SetPlayerView(engine, {1, 2, 3}, {1, 2, 4}, {0, 1, 0}, 1);
    ExpectNear(CurrentPlayerEye(engine), {1, 2, 3});
    EXPECT_FLOAT_EQ(engine.playerViews[1].view.m[3][2], -3);
}

} // namespace
} // namespace rdv::test
