// Saving a level keeps every object with what the level gave it: a level
// read, saved and read again holds the same objects with the same settings.
#include <filesystem>

#include "cameras/Cameras.h"
#include "cameras/Director.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/LevelTestSupport.h"
#include "packages/Parse.h"
#include "objects/Ball.h"
#include "objects/Controllers.h"
#include "objects/Flagpost.h"
#include "objects/Music.h"
#include "objects/Scenery.h"
#include "objects/Subtitle.h"
#include "tiles/DropFloor.h"
#include "tiles/GravityPad.h"
#include "tiles/MoveChain.h"
#include "tiles/SliderFloor.h"

namespace rdv::test {
namespace {

class QuietModel : public gfxModel {
public:
    void Load(Engine&, const std::string& modelName) override { name = modelName; }
};

class SaveObjectsTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        RegisterBuiltClasses(Registry(engine));
        // Models without files behind them.
        Graphics(engine).makeModel = [] { return std::make_shared<QuietModel>(); };
    }
    // Every object's own section, in object order.
    static std::vector<std::vector<std::string>> Sections(engLevel& l) {
        std::vector<std::vector<std::string>> all;
        for (int32_t n = 1; n <= l.MapObjects(); ++n) {
            LineListWriter w;
            l.MapObject(n)->WriteHeader(w);
            all.push_back(w.lines);
        }
        return all;
    }
    template <class T> static T& At(engLevel& l, int32_t n) {
        auto* o = dynamic_cast<T*>(l.MapObject(n));
        if (!o) throw std::runtime_error("object " + std::to_string(n) + " is not of the expected class");
        return *o;
    }
};

// Old numbers: 1 controller, 2-6 cameras, 7 move chain, 8 ball, 9 director,
// 10 music, 11 scenery, 12 sky box, 13 subtitle, 14 key handler, 15 flag
// post, 16 drop floor, 17 launch floor, 18 break wall, 19 gravity pad,
// 20 angled pad, 21 an unpainted move chain.
const std::vector<std::string> kEveryClass = {
    "", "-World", "x=4", "y=3", "z=3",
    "-Wall", "up=z", "sx=0", "sy=0", "sz=0", "dx=3",
    "-CutsceneController", "command=f.f.<.",
    "-PointCamera", "x=2.5", "y=-4", "z=4", "priority=2", "cosang=0.5", "d=10", "dmin=1", "lookdir=y",
    "follow=false", "player=2", "up=-y",
    "-PlaneCamera", "pos=1,2,3", "pvec1=x", "pvec2=z", "up=-y", "priority=0.5", "active=false", "player=1",
    "-SpireCamera", "up=x", "x=1", "y=2", "z=0", "vx=3", "vy=0", "vz=1", "d=4", "relative=false",
    "-CylinderCamera", "x=1", "y=1", "z=2", "vx=0", "vy=2", "vz=0", "axis=y", "dist=2", "height=-1", "hrel=false",
    "-RotaryCamera", "x=2", "y=1", "z=1", "up=y", "d=6", "active=false",
    "-MoveChain", "model=floorpad", "index=2", "copyeffect=true", "effect=16", "jumpheight=4", "speed=1000",
    "script=nnee", "normal=-x", "up=z", "sx=1", "sy=1", "sz=1", "dx=2",
    "-Ball", "x=0", "y=1", "z=1", "player=1", "up=z", "controller=1", "flipped=true",
    "-Director", "player=2", "hop=false", "pos=1,2,3", "looktile=2,2,0", "up=0,1,0", "startatcam=false",
    "-Music", "song=theme",
    "-Scenery", "model=tree", "x=1", "y=2", "z=0", "rx=0.5", "scale=2", "index=3",
    "-Skybox", "model=skybox", "rz=1", "tz=3e-05",
    "-Subtitle", "text=Hello there", "x=1", "y=1", "z=1", "time=1500", "onceonly=true", "player=1",
    "-Keyhandler", "player=2",
    "-Flagpost", "x=3", "y=2", "z=1", "player=1", "up=-z",
    "-DropFloor", "model=discpad", "index=3", "jumpheight=2", "fallfirst=true", "up=z", "sx=0", "sy=2", "sz=0", "dx=0",
    "-LaunchFloor", "jumpheight=5", "launchdir=x", "up=z", "sx=1", "sy=2", "sz=0", "dx=1",
    "-BreakWallSpecial", "count=3", "up=x", "sx=1", "sy=0", "sz=0", "dy=0",
    "-MarkedMetalSpecial", "rotation=3", "pullimpact=true", "up=y", "sx=0", "sy=1", "sz=2", "dx=0",
    "-AngledPad", "rotation=5", "style=Snow", "up=z", "sx=3", "sy=2", "sz=2", "dx=3",
    "-MoveChain", "script=n",
    "*"};

// Departs from the original: every object is saved with every property it was given.
TEST_F(SaveObjectsTest, EveryClassComesBackWithItsProperties) {
    WriteLevel("every", kEveryClass);
    level->LoadLevel("every");
    // Play a little first: the cameras follow the ball, the sky turns, the
    // subtitle shows and goes, the break wall is hit; the saved level is the
    // level as given.
    for (int32_t n : {3, 4, 5}) {
        float x = 3, y = 1, z = 6;
        level->MapObject(n)->Reposition(x, y, z);
    }
    for (int32_t n : {9, 12, 13}) {
        for (int i = 0; i < 5; ++i) {
            int32_t ms = 400;
            level->MapObject(n)->Tick(ms);
        }
    }
    ASSERT_FALSE(At<objSubtitleText>(*level, 13).active);
    float fx = 1, fy = 0, fz = 0;
    At<scrBreakWall>(*level, 18).GetEffect(fx, fy, fz);
    level->SaveLevel("first");

    engLevel copy(engine);
    copy.LoadLevel("first");
    // Tiles on the grid first (old order), then the rest; the unpainted move
    // chain is gone.
    const std::vector<std::string> expected = {
        "System.Tiles.Special.Moverchain", "System.Tiles.Special.Dropfloor", "System.Tiles.Special.Launchfloor",
        "System.Tiles.BreakWall", "System.Tiles.Special.Marked", "System.Tiles.Special.Angled",
        "System.CutsceneController", "System.Camera.PointCamera", "System.Camera.PlaneCamera",
        "System.Camera.Rotary.Spire", "System.Camera.Rotary.Gravity", "System.Camera.Rotary.Point",
        "System.Objects.Player.Ball", "System.Director", "System.Audio.Music", "System.Objects.Scenery",
        "System.Objects.Scenery.Skybox", "System.Graphics.Subtitle", "System.Keyhandler", "System.Objects.Flagpost"};
    std::vector<std::string> names;
    for (int32_t n = 1; n <= copy.MapObjects(); ++n) names.push_back(copy.MapObjectName(n));
    EXPECT_EQ(names, expected);

    // The ball is still driven by its controller, now object 7, and the move
    // chain still copies the drop floor, now object 2.
    auto& ball = At<objBall>(copy, 13);
    EXPECT_EQ(ball.controller, copy.MapObject(7));
    EXPECT_FALSE(ball.ownsController);
    EXPECT_TRUE(ball.flipped);
    EXPECT_EQ(At<objCutsceneController>(copy, 7).Command(), "f.f.<.");
    auto& chain = At<scrMovechain>(copy, 1);
    EXPECT_TRUE(chain.copyEffect);
    EXPECT_EQ(chain.effect, 2);
    EXPECT_EQ(chain.script, "nnee");
    EXPECT_EQ(chain.halfPeriod, 500);
    EXPECT_EQ(chain.modelName, "floorpad");

    // A sample of fields, class by class.
    auto& point = At<objPointCamera>(copy, 8);
    EXPECT_FLOAT_EQ(point.position.x, 3.75f);
    EXPECT_FLOAT_EQ(point.position.y, -6.0f);
    EXPECT_FLOAT_EQ(point.priority, 0.5f);
    EXPECT_FLOAT_EQ(point.coneCosine, 0.5f);
    EXPECT_FLOAT_EQ(point.farLimit, 15.0f);
    EXPECT_FLOAT_EQ(point.nearLimit, 1.5f);
    EXPECT_FALSE(point.bFollow);
    EXPECT_EQ(point.balltolookat, 1);
    auto& plane = At<objPlaneCamera>(copy, 9);
    EXPECT_FALSE(plane.Active);
    EXPECT_FLOAT_EQ(plane.priority, 2.0f);
    EXPECT_FLOAT_EQ(plane.position.z, 4.5f);   // as given, not where it followed the ball to
    auto& spire = At<objSpireCamera>(copy, 10);
    EXPECT_FALSE(spire.relative);
    EXPECT_FLOAT_EQ(spire.position.x, 4.5f);
    EXPECT_FLOAT_EQ(spire.axisPoint.y, 3.0f);
    auto& cylinder = At<objGravityCamera>(copy, 11);
    EXPECT_FALSE(cylinder.heightRelative);
    EXPECT_FLOAT_EQ(cylinder.height, -1.0f);
    EXPECT_FALSE(At<objRotaryCamera>(copy, 12).enabled);
    auto& director = At<objDirector>(copy, 14);
    EXPECT_EQ(director.player, 1);
    EXPECT_FALSE(director.hop);
    EXPECT_TRUE(director.snapped);
    EXPECT_TRUE(director.lookAtTile);
    EXPECT_FLOAT_EQ(director.eye.z, 4.5f);
    EXPECT_FLOAT_EQ(director.lookTile.x, 3.0f);
    EXPECT_FLOAT_EQ(director.up.y, 1.5f);
    EXPECT_EQ(At<objMusic>(copy, 15).song, "theme");
    auto& scenery = At<objScenery>(copy, 16);
    EXPECT_EQ(scenery.modelName, "tree");
    EXPECT_FLOAT_EQ(scenery.scale, 2.0f);
    EXPECT_EQ(scenery.renderIndex, 3);
    auto& sky = At<objSkyBox>(copy, 17);
    EXPECT_FLOAT_EQ(sky.angles.z, 1.0f);   // the start angle, not the turned one
    EXPECT_FLOAT_EQ(sky.speed.z, 3e-05f);
    auto& subtitle = At<objSubtitleText>(copy, 18);
    EXPECT_EQ(subtitle.text, "Hello there");
    EXPECT_EQ(subtitle.duration, 1500);
    EXPECT_TRUE(subtitle.active);          // it had been shown and gone before the save
    EXPECT_TRUE(subtitle.onceonly);
    EXPECT_EQ(subtitle.ballIndex, -1);
    EXPECT_EQ(At<objKeyhandler>(copy, 19).PlayerID(), 1);
    EXPECT_EQ(At<scrBreakWall>(copy, 4).count, 3);   // as given, before the hit
    EXPECT_EQ(At<scrDropFloor>(copy, 2).state, 4);
    EXPECT_EQ(At<scrGravPad>(copy, 5).rotation, 2);
    EXPECT_TRUE(At<scrGravPad>(copy, 5).pullImpact);
    EXPECT_EQ(At<scrDirectionalPad>(copy, 6).style, 5);

    // Saved again, the level writes the same text, and each object the
    // same section as the one it was read from.
    copy.SaveLevel("second");
    EXPECT_EQ(ReadLines("first"), ReadLines("second"));
    for (int32_t n = 1; n <= copy.MapObjects(); ++n) {
        LineListWriter w;
        copy.MapObject(n)->WriteHeader(w);
        ASSERT_FALSE(w.lines.empty()) << n;
    }
}

// Departs from the original: the editor's camera and cursor are not saved.
TEST_F(SaveObjectsTest, TheEditorsObjectsAreLeftOut) {
    // They come back from EnterEditor; written, they would double up at the
    // next "-e" and the camera's pose would fight the level's director.
    WriteLevel("edit", {"", "-World", "x=2", "y=2", "z=1", "-Ball", "-Director", "*"});
    level->LoadLevel("edit");
    level->EnterEditor();
    level->SaveLevel("save");
    engLevel copy(engine);
    copy.LoadLevel("save");
    ASSERT_EQ(copy.MapObjects(), 2);
    EXPECT_EQ(copy.MapObjectName(1), "System.Objects.Player.Ball");
    EXPECT_EQ(copy.MapObjectName(2), "System.Director");
    // Outside a save no object has a saved number.
    EXPECT_EQ(level->SavedNumberOf(1), 0);
}

TEST_F(SaveObjectsTest, EveryNameOfTheRegistryMakesAnObject) {
    for (std::string_view known : engRegistry::Names()) {
        std::string name(known);
        std::unique_ptr<LevelObject> made;
        ASSERT_NO_THROW(made = level->CreateNewObject(name)) << known;
        ASSERT_NE(made, nullptr) << known;
        EXPECT_EQ(name, known);
    }
    // The older director name loads as a director and saves under its own name.
    WriteLevel("dock", {"", "-World", "x=2", "y=2", "z=1", "-Ball", "-Dock", "player=1", "*"});
    level->LoadLevel("dock");
    ASSERT_EQ(level->MapObjects(), 2);
    EXPECT_EQ(level->MapObjectName(2), "System.Director");
    LineListWriter w;
    level->MapObject(2)->WriteHeader(w);
    ASSERT_FALSE(w.lines.empty());
    EXPECT_EQ(w.lines[0], "-Director");
}

TEST_F(SaveObjectsTest, SlidersAndLaunchFloorsWriteWhatTheyWereGiven) {
    WriteLevel("slide", {"", "-World", "x=4", "y=3", "z=1", "-Ball", "player=1", "-SliderFloor", "copyeffect=true",
                         "effect=-5", "speed=600", "normal=z", "aimode=homing", "intel=50", "slider=(1, 1, 0)",
                         "aimode=rnd", "slider=(2, 1, 0)", "up=z", "sx=1", "sy=1", "sz=0", "dx=2", "-LaunchFloor",
                         "jumpheight=5", "launchdir=-y", "up=z", "sx=0", "sy=0", "sz=0", "dx=0", "*"});
    level->LoadLevel("slide");
    for (int i = 0; i < 6; ++i) {
        int32_t ms = 400;
        level->Tick(ms);
    }
    LineListWriter slider;
    level->MapObject(2)->WriteHeader(slider);
    // The pads where they were placed, each after its own settings.
    EXPECT_EQ(slider.lines, (std::vector<std::string>{
                                "-SliderFloor", "model=floorpad", "index=1", "jumpheight=3", "copyeffect=true",
                                "effect=-5", "speed=600", "normal=z", "aimode=2", "intelligence=50", "player=1",
                                "slider=(1, 1, 0)", "aimode=0", "intelligence=50", "player=1", "slider=(2, 1, 0)",
                                "aimode=0", "intelligence=50", "player=1"}));
    // Saved, the slider comes before the ball it follows, and still finds it.
    level->SaveLevel("slide2");
    engLevel copy(engine);
    copy.LoadLevel("slide2");
    ASSERT_EQ(copy.MapObjectName(3), "System.Objects.Player.Ball");
    int32_t ms = 10;
    copy.Tick(ms);
    for (const SliderPad& pad : At<scrSliderFloor>(copy, 1).pads) EXPECT_EQ(pad.player, 3);

    LineListWriter launch;
    level->MapObject(3)->WriteHeader(launch);
    EXPECT_EQ(launch.lines, (std::vector<std::string>{"-LaunchFloor", "jumpheight=5", "model=discpad", "index=4",
                                                      "launchdir=-y"}));
}

TEST_F(SaveObjectsTest, NumbersReadBackAsTheSameFloats) {
    // World values are written divided by 1.5 and read back multiplied: any
    // value the loader made comes back exactly.
    for (const char* given : {"0.1", "0.3333333", "-2.2", "1e-7", "12345.678", "3", "0.7", "2.6"}) {
        const float v = static_cast<float>(Val(given)) * 1.5f;
        const std::string text = GridValueText(v);
        EXPECT_EQ(static_cast<float>(Val(text)) * 1.5f, v) << given << " " << text;
        EXPECT_EQ(static_cast<float>(Val(LevelValueText(v))), v) << given;
    }
    EXPECT_EQ(GridValueText(4.5f), "3");
    EXPECT_EQ(DirectionText({0, -1, 0}), "-y");
    EXPECT_EQ(GridVectorText({1.5f, -3, 0}), "(1, -2, 0)");
}

TEST_F(SaveObjectsTest, TheEntryLevelRoundTrips) {
    const auto source = std::filesystem::path(RDV_SOURCE_DIR) / "data" / "maps" / "entry.tcs";
    ASSERT_TRUE(std::filesystem::exists(source)) << source;
    std::filesystem::copy_file(source, folder / "maps" / "entry.tcs", std::filesystem::copy_options::overwrite_existing);
    level->LoadLevel("entry");
    const auto before = Sections(*level);
    level->SaveLevel("first");
    engLevel copy(engine);
    copy.LoadLevel("first");
    copy.SaveLevel("second");
    EXPECT_EQ(ReadLines("first"), ReadLines("second"));
    // Nothing of the entry level is lost: same classes, same sections (the
    // ball's controller renumbered with it).
    ASSERT_EQ(copy.MapObjects(), level->MapObjects());
    const auto after = Sections(copy);
    int32_t ball = level->FindObject("System.Objects.Player");
    ASSERT_GT(ball, 0);
    auto& copyBall = At<objBall>(copy, copy.FindObject("System.Objects.Player"));
    EXPECT_NE(copyBall.controller, nullptr);
    EXPECT_FALSE(copyBall.ownsController);
    EXPECT_NE(dynamic_cast<objCutsceneController*>(copyBall.controller), nullptr);
    for (int32_t n = 1; n <= copy.MapObjects(); ++n) EXPECT_FALSE(after[static_cast<size_t>(n - 1)].empty()) << n;
    EXPECT_EQ(before.size(), after.size());
}

} // namespace
} // namespace rdv::test
