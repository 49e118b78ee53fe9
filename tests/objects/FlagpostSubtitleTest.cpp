#include <gtest/gtest.h>

#include "cameras/CameraTestSupport.h"
#include "cameras/View.h"
#include "headless/RecordingEngine.h"
#include "objects/BallTestSupport.h"
#include "objects/Flagpost.h"
#include "objects/Music.h"
#include "objects/Scenery.h"
#include "objects/Subtitle.h"

namespace rdv::test {
namespace {

class PlacedObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = MakeRecordingEngine();
        rec->gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        level = std::make_unique<engLevel>(rec->engine);
    }
    template <class T, class... A>
    T& Add(A&&... args) {
        auto o = std::make_unique<T>(std::forward<A>(args)...);
        T& ref = *o;
        level->AddObject(std::move(o));
        return ref;
    }
    void Tick(LevelObject& o, int32_t ms) {
        int32_t e = ms;
        o.Tick(e);
    }
    Engine& engine() { return rec->engine; }
    std::unique_ptr<RecordingEngine> rec;
    std::unique_ptr<engLevel> level;
};

TEST_F(PlacedObjectsTest, AFlagPostWinsOnlyForItsOwnPlayersBall) {
    auto& ball = Add<PlacedBall>(engine(), 0, D3DXVECTOR3{3, 3, 1.5f});
    auto& other = Add<objFlagpost>(engine(), *level);
    for (auto [k, v] : {std::pair{"x", "2"}, {"y", "2"}, {"z", "1"}, {"player", "2"}}) other.AssignVar(k, v);
    for (int i = 0; i < 5; ++i) Tick(other, 10);
    EXPECT_EQ(level->EndReason(), 0);   // player 2 has no ball here
    EXPECT_EQ(other.ballIndex, -1);

    auto& mine = Add<objFlagpost>(engine(), *level);
    for (auto [k, v] : {std::pair{"x", "2"}, {"y", "2"}, {"z", "2"}, {"up", "-y"}}) mine.AssignVar(k, v);
    EXPECT_FLOAT_EQ(mine.angles.y, 1.570795f);
    Tick(mine, 10);
    EXPECT_EQ(level->EndReason(), 0);
    ball.MoveTo({3, 3, 3});
    Tick(mine, 10);
    EXPECT_EQ(level->EndReason(), 1);

    LineListWriter out;
    mine.WriteHeader(out);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"-Flagpost", "x=2", "y=2", "z=2", "player=1", "up=-y"}));
    EngineError e = ErrorOf([&] { mine.AssignVar("up", "up"); });
    EXPECT_EQ(e.description, "Invalid property value for 'Flagpost.up', must be (-)x/y/z : up");
    e = ErrorOf([&] { mine.AssignVar("colour", "red"); });
    EXPECT_EQ(e.description, "Invalid property for 'Flagpost': colour");
}

TEST_F(PlacedObjectsTest, TwoSubtitlesAtStartTakeTheScreenInTurn) {
    auto& a = Add<objSubtitleText>(engine(), *level);
    auto& b = Add<objSubtitleText>(engine(), *level);
    a.AssignVar("text", "first");
    a.AssignVar("time", "300");
    b.AssignVar("text", "second");
    b.AssignVar("time", "200");
    auto frame = [&](int32_t ms) { Tick(a, ms); Tick(b, ms); };
    frame(100);
    EXPECT_EQ(engine().CurrentSubtitle, "first");
    frame(100);
    frame(100);   // first runs out; second takes the empty line in the same frame
    EXPECT_EQ(engine().CurrentSubtitle, "second");
    EXPECT_FALSE(a.active);
    frame(100);
    frame(100);
    EXPECT_EQ(engine().CurrentSubtitle, "");
    frame(100);
    EXPECT_EQ(engine().CurrentSubtitle, "");
}

TEST_F(PlacedObjectsTest, AOnceOnlySubtitleShowsOnceAndAnotherReturnsAtItsCell) {
    auto& ball = Add<PlacedBall>(engine(), 0, D3DXVECTOR3{0, 0, 0});
    auto& once = Add<objSubtitleText>(engine(), *level);
    for (auto [k, v] : {std::pair{"text", "hello"}, {"time", "100"}, {"onceonly", "true"}, {"player", "1"}, {"x", "1"}}) once.AssignVar(k, v);
    Tick(once, 50);
    EXPECT_EQ(engine().CurrentSubtitle, "hello");
    Tick(once, 60);
    EXPECT_EQ(engine().CurrentSubtitle, "");
    EXPECT_TRUE(once.used);
    // The ball reaches its cell: nothing comes back.
    ball.MoveTo({1.5f, 0, 0});
    Tick(once, 10);
    Tick(once, 10);
    EXPECT_EQ(engine().CurrentSubtitle, "");

    auto& again = Add<objSubtitleText>(engine(), *level);
    for (auto [k, v] : {std::pair{"text", "again"}, {"time", "100"}, {"x", "2"}, {"player", "1"}, {"active", "false"}}) again.AssignVar(k, v);
    Tick(again, 150);
    EXPECT_EQ(engine().CurrentSubtitle, "");
    ball.MoveTo({3, 0, 0});
    Tick(again, 10);
    Tick(again, 10);
    EXPECT_EQ(engine().CurrentSubtitle, "again");
    EngineError e = ErrorOf([&] { again.AssignVar("active", "yes"); });
    EXPECT_EQ(e.description, "Invalid property value for 'Subtitle.active', must be 'true' or 'false': yes");
}

TEST_F(PlacedObjectsTest, DestroyingTheSubtitleOnScreenClearsTheLine) {
    auto sub = std::make_unique<objSubtitleText>(engine(), *level);
    sub->AssignVar("text", "bye");
    Tick(*sub, 10);
    EXPECT_EQ(engine().CurrentSubtitle, "bye");
    sub.reset();
    EXPECT_EQ(engine().CurrentSubtitle, "");
}

TEST_F(PlacedObjectsTest, ASkyBoxTurnsWrapsAndDrawsAtTheEyeWithoutDepthWrites) {
    objSkyBox sky(engine());
    sky.AssignVar("rx", "6.3");
    sky.AssignVar("tz", "0.001");
    sky.AssignVar("model", "sky");
    engine().currentPlayer = 1;
    SetPlayerView(engine(), {4, 5, 6}, {0, 0, 0}, {0, 0, 1}, 1);
    rec->device()->ClearCalls();
    Tick(sky, 100);
    EXPECT_NEAR(sky.angles.x, 0.017f, 1e-3);
    EXPECT_NEAR(sky.angles.z, 0.1f, 1e-5);
    sky.WritePos();
    EXPECT_FLOAT_EQ(engine().ParsedVector.y, 5);
    EngineError e = ErrorOf([&] { sky.AssignVar("model", "again"); });
    EXPECT_EQ(e.description, "Couldn't load model: already loaded one");
    e = ErrorOf([&] { sky.AssignVar("scale", "2"); });
    EXPECT_EQ(e.description, "Invalid property for 'Scenery': scale");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objSkyBox.AssignVar");
}

TEST_F(PlacedObjectsTest, SceneryAndMusicProperties) {
    objScenery s(engine());
    for (auto [k, v] : {std::pair{"x", "2"}, {"scale", "3"}, {"index", "2.5"}, {"model", "rock"}}) s.AssignVar(k, v);
    EXPECT_EQ(s.renderIndex, 2);   // halves round to even
    s.WritePos();
    EXPECT_FLOAT_EQ(engine().ParsedVector.x, 3);
    EXPECT_NE(s.modelIndex, 0);
    objMusic m(engine());
    m.AssignVar("song", "theme");   // sound is not ready: nothing loads, nothing plays
    EXPECT_EQ(m.handle, 0);
    EngineError e = ErrorOf([&] { m.AssignVar("volume", "1"); });
    EXPECT_EQ(e.description, "Invalid property for 'Music': volume");
    // A second song is an error with sound off too.
    e = ErrorOf([&] { m.AssignVar("song", "other"); });
    EXPECT_EQ(e.description, "Couldn't load music: already loaded a song");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objMusic.AssignVar");
    EXPECT_EQ(m.song, "theme");
}

} // namespace
} // namespace rdv::test
