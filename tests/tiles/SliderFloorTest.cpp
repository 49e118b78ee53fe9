#include "ScriptedTileSupport.h"

namespace rdv::test {
namespace {

using SliderFloor = ScriptedTileTest;

// A ball for player 1 (property 0) and one for player 2, then the floor.
std::vector<std::string> WithBalls(std::vector<std::string> floor) {
    std::vector<std::string> all = {"-Ball", "player=0", "pos=(3, 0, 0)", "-Ball", "player=1"};
    all.insert(all.end(), floor.begin(), floor.end());
    return all;
}

TEST_F(SliderFloor, PropertiesAndTheDefaultPad) {
    Load(WithBalls({"-SliderFloor", "slider=(1, 0, 0)", "speed=1000", "aimode=homing", "intel=40", "player=2",
                    "slider=(2, 0, 0)", "AI=2", "slider=(0,0,0)", "delay=3000", "normal=z", "up=z", "dx=3"}));
    auto& floor = Object<scrSliderFloor>(3);
    ASSERT_EQ(floor.pads.size(), 3u);
    // Pads take the AI mode, intelligence and player in force when they are read.
    EXPECT_EQ(floor.pads[0].aiMode, 0);
    EXPECT_EQ(floor.pads[0].intelligence, 99);
    EXPECT_EQ(floor.pads[0].player, 1);  // the ball whose player is 0
    EXPECT_EQ(floor.pads[1].aiMode, 2);
    EXPECT_EQ(floor.pads[1].intelligence, 40);
    EXPECT_EQ(floor.pads[1].player, 2);
    EXPECT_EQ(floor.pads[2].aiMode, 2);
    EXPECT_EQ(floor.halfPeriod, 1500);
    EXPECT_TRUE(Logged("Warning: delay is incorrect for slider floors: did you mean 'speed'?", 0));
    EXPECT_TRUE(VectorEquals(floor.normal, {0, 0, -1}));
    EXPECT_EQ(floor.modelName, "floorpad");
    EXPECT_EQ(floor.group, 1);
    EXPECT_EQ(floor.MaxBounceHeight(), 3);
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(floor.GetEffect(x, y, z), 1);

    Load(WithBalls({"-SliderFloor", "speed=1000", "up=z", "dx=0"}));
    EXPECT_EQ(Object<scrSliderFloor>(3).halfPeriod, 500);
    EXPECT_EQ(Object<scrSliderFloor>(3).timer, 500);
}

TEST_F(SliderFloor, PropertyErrors) {
    const std::string source = Source("scrSliderFloor");
    struct Case {
        const char* line;
        const char* description;
    } cases[] = {
        {"intelligence=101", "Invalid value for 'SliderFloor'.intelligence - should be a number between 0 and 100: 101"},
        {"intel=-1", "Invalid value for 'SliderFloor'.intelligence - should be a number between 0 and 100: -1"},
        {"aimode=smart", "Invalid value for 'SliderFloor'.aimode - should be rnd/arnd/homing/roton: smart"},
        {"copyeffect=2", "Invalid property value for 'SliderFloor.copyeffect', must be 'true' or 'false': 2"},
        {"normal=w", "Invalid property value for 'SliderFloor.normal', must be '(-)x/y/z': w"},
        {"slider=seven", "Invalid property value for 'SliderFloor.slider', must be of the form '(x, y, z)': seven"},
        {"script=n", "Invalid property for 'SliderFloor': script"},
    };
    for (const Case& c : cases) {
        const EngineError e = LoadFails({"-SliderFloor", c.line});
        EXPECT_EQ(e.number, 1005) << c.line;
        EXPECT_EQ(e.source, source) << c.line;
        EXPECT_EQ(e.description, c.description);
    }
    Load({"-SliderFloor", "intelligence=100", "aimode=roton", "AI=movernd"});
    EXPECT_EQ(Object<scrSliderFloor>(1).currentIntelligence, 100);
    EXPECT_EQ(Object<scrSliderFloor>(1).currentAiMode, 1);

    // A pad following a player no ball has fails once the level runs (the
    // ball may still come later in the file, as in a saved level).
    Load(WithBalls({"-SliderFloor", "player=3", "slider=(0, 0, 0)", "up=z", "dx=3"}), "noball");
    EngineError e(0, "", "");
    try {
        int32_t ms = 10;
        level->Tick(ms);
    } catch (const EngineError& raised) {
        e = raised;
    }
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.source, source + "->SecondaryInit");
    EXPECT_EQ(e.description, "Couldnt dereference the player requested");
    EXPECT_EQ(LoadFails(WithBalls({"-SliderFloor", "up=z", "dx=3", "speed=10"})).description,
              "Can not change private properties after draw routines");
}

TEST_F(SliderFloor, BlockedPadsStayAndNeighboursNeverSwap) {
    // Track: cells (0..1, 0) only; two random walkers side by side, and a
    // random pad on (3, 1) whose track is that single face.
    Load(WithBalls({"-SliderFloor", "speed=200", "aimode=arnd", "slider=(0, 0, 0)", "slider=(1, 0, 0)", "AI=rnd",
                    "slider=(3, 1, 0)", "up=z", "dx=1", "sx=3", "sy=1", "dx=3"}));
    auto& floor = Object<scrSliderFloor>(3);
    for (int i = 0; i < 200; ++i) {
        Run(floor, 37);
        EXPECT_TRUE(VectorEquals(floor.pads[0].target, {0, 0, 0}));
        EXPECT_TRUE(VectorEquals(floor.pads[1].target, {1, 0, 0}));
        EXPECT_TRUE(VectorEquals(floor.pads[2].target, {3, 1, 0}));
    }
    EXPECT_EQ(Floor(0, 0, 0), 3);
    EXPECT_EQ(Floor(1, 0, 0), 3);
    EXPECT_EQ(Floor(3, 1, 0), 3);
}

TEST_F(SliderFloor, PadsMoveOnTheBeatAlongTheTrack) {
    // A homing pad that always homes on the ball at cell (3, 0).
    Load(WithBalls({"-SliderFloor", "speed=1000", "aimode=homing", "intelligence=100", "slider=(0, 0, 0)", "up=z",
                    "dx=3"}));
    auto& floor = Object<scrSliderFloor>(3);
    // The first plan ran before the track was painted: the first beat moves nothing.
    Run(floor, 501);
    EXPECT_EQ(floor.phase, 1);
    EXPECT_NEAR(floor.fraction, 499.0f / 1000, 1e-4);
    Run(floor, 500);  // phase 0: plans a step towards the ball
    EXPECT_EQ(floor.phase, 0);
    EXPECT_TRUE(VectorEquals(floor.pads[0].target, {1, 0, 0}));
    EXPECT_EQ(Floor(1, 0, 0), 3);
    Run(floor, 500);  // phase 1: the face moves, and the one it left is empty
    EXPECT_EQ(Floor(0, 0, 0), 0);
    EXPECT_EQ(Floor(1, 0, 0), 3);
    Run(floor, 500);
    EXPECT_TRUE(VectorEquals(floor.pads[0].position, {1, 0, 0}));
    EXPECT_TRUE(VectorEquals(floor.pads[0].target, {2, 0, 0}));
    // Reaching the ball's cell it has nowhere better to go than the random walk,
    // which stays on what is left of the track.
    for (int i = 0; i < 20; ++i) {
        Run(floor, 500);
        const D3DXVECTOR3 t = floor.pads[0].target;
        EXPECT_EQ(Floor(GridComponent(t.x), GridComponent(t.y), 0), 3);
    }
}

TEST_F(SliderFloor, APadEatsItsTrackAndNeverComesBack) {
    // A random walker on a straight track of four faces, one in from an
    // end: it goes one way, every face it leaves is emptied behind it, and
    // once at an end it stays there, whichever way it went; the faces on
    // the other side of where it started were never left and stay.
    Load(WithBalls({"-SliderFloor", "speed=200", "aimode=arnd", "slider=(1, 0, 0)", "up=z", "dx=3"}));
    auto& floor = Object<scrSliderFloor>(3);
    float direction = 0;
    for (int i = 0; i < 400; ++i) {
        Run(floor, 50);
        const SliderPad& pad = floor.pads[0];
        const float step = pad.target.x - pad.position.x;
        if (step != 0) {
            if (direction == 0) direction = step;
            ASSERT_EQ(step, direction) << "the pad turned back at " << i;
        }
        // From where it started up to its face (at its target once the
        // move is made) the track is gone.
        const float at = floor.phase == 1 ? pad.target.x : pad.position.x;
        for (int x = 0; x <= 3; ++x) {
            const bool left = direction > 0 ? x >= 1 && x < at : x <= 1 && x > at;
            ASSERT_EQ(Floor(x, 0, 0), left ? 0 : 3) << "face " << x << " after " << i;
        }
    }
    ASSERT_NE(direction, 0);
    const int end = direction > 0 ? 3 : 0;
    EXPECT_TRUE(VectorEquals(floor.pads[0].position, {float(end), 0, 0}));
    EXPECT_TRUE(VectorEquals(floor.pads[0].target, {float(end), 0, 0}));
    for (int x = 0; x <= 3; ++x) EXPECT_EQ(Floor(x, 0, 0), x == end || (x - 1) * direction < 0 ? 3 : 0) << x;
}

} // namespace
} // namespace rdv::test
