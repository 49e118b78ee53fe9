// Numbers from a level file that become cells or indexes: however large,
// small or undefined, they are held to the 32-bit range (the pads, cells and
// players they name then simply do not exist) instead of overflowing.
#include <cmath>
#include <limits>

#include "ScriptedTileSupport.h"
#include "packages/Parse.h"

namespace rdv::test {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(LevelNumbers, GridComponentsAndPlayerIndexesSaturate) {
    EXPECT_EQ(GridComponent(2.5f), 2);
    EXPECT_EQ(GridComponent(-3.5f), -4);
    EXPECT_EQ(GridComponent(7.7e22f), kMax);
    EXPECT_EQ(GridComponent(-1e30f), kMin);
    EXPECT_EQ(GridComponent(std::numeric_limits<float>::infinity()), kMax);
    EXPECT_EQ(GridComponent(std::nanf("")), 0);

    EXPECT_EQ(ValIndex("1"), 0);
    EXPECT_EQ(ValIndex("2.5"), 1);   // 2.5 rounds to 2 first
    EXPECT_EQ(ValIndex("-1e30"), kMin);
    EXPECT_EQ(ValIndex("1e30"), kMax - 1);
}

using LevelNumbersTile = ScriptedTileTest;

// fuzz_level found the first pad: its random walk looked up the face at a
// cell of 7.7e22, a float-to-int conversion out of range.
TEST_F(LevelNumbersTile, PadsBeyondAnyCellStayPutAndLeaveTheTrackAlone) {
    Load({"-Ball", "player=0", "pos=(1, 1, 1)", "-SliderFloor", "aimode=arnd", "slider=77777777777777777777777(2, 2, 1)",
          "slider=(1, 1, -1e30)", "aimode=homing", "intel=100", "slider=(1e38, -1e38, 1)", "up=z", "sx=1", "sy=1",
          "sz=1", "dx=2"});
    auto& floor = Object<scrSliderFloor>(2);
    ASSERT_EQ(floor.pads.size(), 3u);
    for (int i = 0; i < 8; ++i) Run(floor, floor.halfPeriod + 1);
    EXPECT_FLOAT_EQ(floor.pads[0].position.x, 7.7777776e22f);
    EXPECT_FLOAT_EQ(floor.pads[1].position.z, -1e30f);
    EXPECT_FLOAT_EQ(floor.pads[2].position.y, -1e38f);
    // The track itself is untouched: no pad was on it to carry anything away.
    for (int x = 1; x <= 2; ++x) EXPECT_EQ(Floor(x, 1, 1), 2) << x;
}

// A pad follows a player no ball has: the floor's own error, at load or at
// its first beat.
TEST_F(LevelNumbersTile, PlayerNumbersBeyondTheRangeNameNoBall) {
    try {
        Load({"-Ball", "player=0", "-SliderFloor", "player=-1e30", "slider=(1, 1, 1)", "player=1e30",
              "slider=(2, 1, 1)", "up=z", "sx=1", "sy=1", "sz=1", "dx=2"});
        auto& floor = Object<scrSliderFloor>(2);
        for (int i = 0; i < 4; ++i) Run(floor, floor.halfPeriod + 1);
        ADD_FAILURE() << "a pad followed a player that does not exist";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFormat);
        EXPECT_EQ(e.description, "Couldnt dereference the player requested");
    }
}

} // namespace
} // namespace rdv::test
