#include "ScriptedTileSupport.h"

namespace rdv::test {
namespace {

using FloorTiles = ScriptedTileTest;

TEST_F(FloorTiles, DropFloorDropsAt700AndRestsAt1000) {
    Load({"-DropFloor", "up=z", "sz=1", "dx=1"});
    auto& floor = Object<scrDropFloor>(1);
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(floor.GetEffect(x, y, z), 1);
    EXPECT_EQ(floor.state, 3);
    EXPECT_EQ(floor.GetEffect(x, y, z), 1);  // a second landing does not restart it
    Run(floor, 399);
    EXPECT_EQ(floor.state, 3);
    Run(floor, 1);
    EXPECT_EQ(floor.state, 2);
    Run(floor, 150);
    EXPECT_FLOAT_EQ(floor.fraction, 0.25f);
    Run(floor, 149);
    EXPECT_EQ(Floor(0, 0, 1), 1);
    Run(floor, 1);  // 700 ms
    EXPECT_EQ(floor.state, 1);
    EXPECT_EQ(Floor(0, 0, 1), 0);
    EXPECT_EQ(Floor(1, 0, 1), 0);
    EXPECT_EQ(Floor(0, 0, 0), 1);
    EXPECT_EQ(Floor(1, 0, 0), 1);
    EXPECT_FLOAT_EQ(floor.fraction, -0.5f);
    Run(floor, 300);  // 1000 ms
    EXPECT_EQ(floor.state, 0);
    EXPECT_FLOAT_EQ(floor.fraction, 0);
    // Resting again: a new landing starts a new drop, which takes it out of the world.
    EXPECT_EQ(floor.GetEffect(x, y, z), 1);
    Run(floor, 400);
    Run(floor, 300);
    EXPECT_EQ(Floor(0, 0, 0), 0);
    EXPECT_EQ(Floor(1, 0, 0), 0);
}

TEST_F(FloorTiles, FallFirstUpwardAndNegativeJumpHeight) {
    Load({"-DropFloor", "fallfirst=true", "up=z", "sz=1", "dx=0", "-DropFloor", "jumpheight=-1", "sz=1", "sx=3",
          "dx=3"});
    auto& first = Object<scrDropFloor>(1);
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(first.GetEffect(x, y, z), 0);  // the ball passes
    EXPECT_EQ(first.state, 7);
    Run(first, 299);
    EXPECT_EQ(Floor(0, 0, 1), 1);
    Run(first, 1);
    EXPECT_EQ(first.state, 6);
    EXPECT_EQ(Floor(0, 0, 0), 1);
    Run(first, 300);
    EXPECT_EQ(first.state, 5);
    Run(first, 600);
    EXPECT_EQ(first.state, 4);  // armed again: it rests at 4
    EXPECT_EQ(first.GetEffect(x, y, z), 0);

    auto& sticky = Object<scrDropFloor>(2);
    EXPECT_EQ(sticky.GetEffect(x, y, z), 7);
    EXPECT_EQ(sticky.MaxBounceHeight(), -1);
    // Touched from below, the floor rises one plane.
    float up = 1;
    sticky.state = 0;
    sticky.GetEffect(x, y, up);
    Run(sticky, 400);
    Run(sticky, 300);
    EXPECT_EQ(Floor(3, 0, 1), 0);
    EXPECT_EQ(Floor(3, 0, 2), 2);
    // A wall contact has no z and moves nothing.
    Load({"-DropFloor", "up=z", "sz=1", "dx=0"});
    auto& wall = Object<scrDropFloor>(1);
    float side = 1, none = 0;
    wall.GetEffect(side, none, none);
    Run(wall, 400);
    Run(wall, 300);
    EXPECT_EQ(Floor(0, 0, 1), 1);

    EngineError e = LoadFails({"-DropFloor", "fallfirst=maybe"});
    EXPECT_EQ(e.source, Source("scrDropFloor"));
    EXPECT_EQ(e.description, "Invalid property value for 'DropFloor.fallfirst', must be 'true' or 'false': maybe");
    EXPECT_EQ(LoadFails({"-DropFloor", "launchdir=z"}).description, "Invalid property for 'DropFloor': launchdir");
}

TEST_F(FloorTiles, LaunchFloorLaunchesOnceFromTheRightSide) {
    Load({"-LaunchFloor", "jumpheight=6", "up=z", "dx=0", "-LaunchFloor", "launchdir=-x", "up=x", "dy=0"});
    auto& floor = Object<scrLaunchfloor>(1);
    EXPECT_EQ(floor.group, 4);
    float x = 0, y = 0, down = -1, up = 1;
    EXPECT_EQ(floor.GetEffect(x, y, up), 1);
    EXPECT_EQ(floor.MaxBounceHeight(), 3);
    EXPECT_EQ(floor.GetEffect(x, y, down), 13);
    EXPECT_EQ(floor.MaxBounceHeight(), 6);
    Run(floor, 266);
    EXPECT_NEAR(floor.fraction, 0.5f, 1e-3);
    EXPECT_EQ(floor.GetEffect(x, y, down), 1);  // still launching
    Run(floor, 266);
    EXPECT_EQ(floor.GetEffect(x, y, down), 1);
    Run(floor, 1);
    EXPECT_EQ(floor.state, 0);
    EXPECT_FLOAT_EQ(floor.fraction, 0);
    EXPECT_EQ(floor.MaxBounceHeight(), 3);
    EXPECT_EQ(floor.GetEffect(x, y, down), 13);

    auto& wall = Object<scrLaunchfloor>(2);
    float px = 1, zero = 0;
    EXPECT_EQ(wall.GetEffect(px, zero, zero), 13);

    // The saved form: the jump height first, then the rest with the
    // direction as given.
    LineListWriter out;
    wall.WriteHeader(out);
    EXPECT_EQ(out.lines, (std::vector<std::string>{"-LaunchFloor", "jumpheight=3", "model=discpad", "index=4",
                                                   "launchdir=-x"}));

    // Last: loading again replaces the level's objects, `floor` and `wall` with them.
    const EngineError e = LoadFails({"-LaunchFloor", "launchdir=up"});
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.source, Source("scrLaunchfloor"));
}

TEST_F(FloorTiles, BreakableWallCounts) {
    Load({"-BreakWallSpecial", "count=3", "up=x", "dy=1", "-BreakWallSpecial"});
    auto& wall = Object<scrBreakWall>(1);
    float x = 1, y = 0, z = 0;
    EXPECT_EQ(wall.GetEffect(x, y, z), 1);
    EXPECT_EQ(wall.GetEffect(x, y, z), 1);
    EXPECT_EQ(wall.GetEffect(x, y, z), 10);
    EXPECT_EQ(wall.GetEffect(x, y, z), 1);
    EXPECT_EQ(wall.MaxBounceHeight(), 3);
    EXPECT_EQ(level->GetMapObject(0, 1, 0, -1, 0, 0), 1);

    // A wall without a count never breaks, however often it is hit.
    auto& solid = Object<scrBreakWall>(2);
    for (int i = 0; i < 70000; ++i) ASSERT_EQ(solid.GetEffect(x, y, z), 1) << i;
    EXPECT_EQ(LoadFails({"-BreakWallSpecial", "up=z", "dx=0", "count=2"}).description,
              "Can not change private properties after draw routines");
}

TEST_F(FloorTiles, BreakableWallCountsContactsThroughACopy) {
    // Every question is a contact, also one asked through a move chain
    // that copies the wall's effect: the two share the one count.
    Load({"-BreakWallSpecial", "count=3", "up=x", "dy=1", "-MoveChain", "copyeffect=true", "effect=1"});
    auto& wall = Object<scrBreakWall>(1);
    auto& chain = Object<scrMovechain>(2);
    float x = 1, y = 0, z = 0;
    EXPECT_EQ(chain.GetEffect(x, y, z), 1);
    EXPECT_EQ(wall.GetEffect(x, y, z), 1);
    EXPECT_EQ(chain.GetEffect(x, y, z), 10);
    EXPECT_EQ(wall.count, 0);
    EXPECT_EQ(wall.GetEffect(x, y, z), 1);
}

} // namespace
} // namespace rdv::test
