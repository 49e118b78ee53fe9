#include "ScriptedTileSupport.h"

namespace rdv::test {
namespace {

using MoveChain = ScriptedTileTest;

std::vector<std::array<int32_t, 3>> Positions(const scrMovechain& chain) {
    std::vector<std::array<int32_t, 3>> out;
    for (const auto& s : chain.steps) out.push_back({s.x, s.y, s.z});
    return out;
}

TEST_F(MoveChain, ScriptsBuildAClosedPath) {
    Load({"-MoveChain", "script=nnee", "up=z", "dx=0"});
    auto& chain = Object<scrMovechain>(1);
    using P = std::vector<std::array<int32_t, 3>>;
    EXPECT_EQ(Positions(chain), (P{{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 2, 0}, {2, 2, 0}}));
    // Closed: the last step leads to the first, the first comes from the last.
    EXPECT_EQ(chain.steps.back().nx, 0);
    EXPECT_EQ(chain.steps.back().ny, 0);
    EXPECT_EQ(chain.steps.front().px, 2);
    EXPECT_EQ(chain.steps.front().py, 2);
    EXPECT_EQ(chain.steps[2].nx, 1);
    EXPECT_EQ(chain.steps[2].py, 1);

    Load({"-MoveChain", "script=n8", "dx=0"});
    EXPECT_EQ(Positions(Object<scrMovechain>(1)), (P{{0, 0, 0}, {0, 2, 0}}));
    Load({"-MoveChain", "script=N m", "dx=0"});
    EXPECT_EQ(Positions(Object<scrMovechain>(1)), (P{{0, 0, 0}, {0, 1, 0}}));
    EXPECT_EQ(Object<scrMovechain>(1).steps[1].mode, 2);
    EXPECT_EQ(Object<scrMovechain>(1).steps[0].previousMode, 2);

    const EngineError e = LoadFails({"-MoveChain", "script=nx", "dx=0"});
    EXPECT_EQ(e.number, 1010);
    EXPECT_EQ(e.source, "scrMoveChain->SecondaryInit->ParseScript");
    EXPECT_EQ(e.description, "Invalid character in movechain script: 'x'");
}

TEST_F(MoveChain, PropertiesSpeedAndErrors) {
    Load({"-MoveChain", "speed=3000", "-MoveChain", "delay=3000", "normal=z", "-MoveChain", "normal=-x"});
    EXPECT_EQ(Object<scrMovechain>(1).halfPeriod, 1500);
    EXPECT_EQ(Object<scrMovechain>(2).halfPeriod, 1500);
    EXPECT_TRUE(Logged("Warning: delay is incorrect for movechains: did you mean 'speed'?", 0));
    EXPECT_TRUE(VectorEquals(Object<scrMovechain>(2).normal, {0, 0, -1}));
    EXPECT_TRUE(VectorEquals(Object<scrMovechain>(3).normal, {1, 0, 0}));

    EngineError e = LoadFails({"-MoveChain", "copyeffect=yes"});
    EXPECT_EQ(e.source, Source("scrMoveChain"));
    EXPECT_EQ(e.description, "Invalid property value for 'MoveChain.copyeffect', must be 'true' or 'false': yes");
    EXPECT_EQ(LoadFails({"-MoveChain", "colour=1"}).description, "Invalid property for 'MoveChain': colour");
    EXPECT_EQ(LoadFails({"-MoveChain", "normal=sideways"}).number, 1005);
    EXPECT_EQ(LoadFails({"-MoveChain", "normal=(0, 0, 0)"}).number, 1005);
    EXPECT_EQ(LoadFails({"-MoveChain", "dy=1", "script=n"}).description,
              "Can not change private properties after draw routines");
}

TEST_F(MoveChain, CopiedAndOwnEffects) {
    Load({"-MoveChain", "copyeffect=true", "effect=-8", "jumpheight=5", "-MoveChain", "effect=9",
          "-MoveChain", "copyeffect=1", "effect=4", "-MoveChain", "copyeffect=1", "effect=3"});
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(Object<scrMovechain>(1).GetEffect(x, y, z), 4);  // the Ice tile
    EXPECT_EQ(Object<scrMovechain>(1).MaxBounceHeight(), 5);
    EXPECT_EQ(Object<scrMovechain>(2).GetEffect(x, y, z), 9);
    // Chains copying each other in a ring answer solid instead of recursing.
    EXPECT_EQ(Object<scrMovechain>(3).GetEffect(x, y, z), 1);
}

TEST_F(MoveChain, AdvanceWalksThePathBackwardsFromWhereItLeftOff) {
    // Path (0,0)..(3,0) along x; faces at x = 0 and 1, and a Wall face at 3.
    Load({"-MoveChain", "script=eee", "speed=1000", "up=z", "sx=0", "sy=0", "sz=0", "dx=1", "-Wall", "sx=3",
          "dx=3"});
    auto& chain = Object<scrMovechain>(1);
    auto row = [&] {
        return std::vector<int32_t>{Floor(0, 0, 0), Floor(1, 0, 0), Floor(2, 0, 0), Floor(3, 0, 0)};
    };
    // The first walk runs steps 3, 2, 1 and leaves out step 4: the Wall face
    // there stands still this once. The cursor stays where the walk ended,
    // so the next walk runs 4, 3, 2 and the one after 1, 4, 3: any face
    // moves, and the path wraps.
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{0, 1, 1, -1}));
    EXPECT_EQ(chain.cursor, 1);
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{-1, 0, 1, 1}));
    EXPECT_EQ(chain.cursor, 2);
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{1, -1, 0, 1}));
    EXPECT_EQ(chain.cursor, 3);

    // A path with every face taken: the step left out is written over, so
    // the first advance loses the face on the last step.
    Load({"-MoveChain", "script=ee", "up=z", "sx=0", "sy=0", "sz=0", "dx=1", "-Wall", "sx=2", "dx=2"});
    auto& full = Object<scrMovechain>(1);
    auto three = [&] { return std::vector<int32_t>{Floor(0, 0, 0), Floor(1, 0, 0), Floor(2, 0, 0)}; };
    full.Advance();
    EXPECT_EQ(three(), (std::vector<int32_t>{0, 1, 1}));

    // The default script "i" is two steps on one cell: the face stays.
    Load({"-MoveChain", "up=z", "sx=0", "sy=0", "sz=0", "dx=0"});
    auto& still = Object<scrMovechain>(1);
    ASSERT_EQ(still.steps.size(), 2u);
    for (int i = 0; i < 3; ++i) {
        still.Advance();
        EXPECT_EQ(Floor(0, 0, 0), 1);
    }
}

TEST_F(MoveChain, AClosingStepBackOntoTheFirstCellIsAStepOfItsOwn) {
    // "nesw" goes round the square and writes a fifth step back onto (0, 0).
    Load({"-MoveChain", "script=nesw", "speed=1000", "up=z", "sx=0", "sy=0", "sz=0", "dx=0"});
    auto& chain = Object<scrMovechain>(1);
    using P = std::vector<std::array<int32_t, 3>>;
    EXPECT_EQ(Positions(chain), (P{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(chain.steps.front().px, 0);
    EXPECT_EQ(chain.steps.front().py, 0);
    EXPECT_EQ(chain.steps[3].nx, 0);
    EXPECT_EQ(chain.steps[3].ny, 0);

    // The face goes round the four cells in order, one a beat, except when
    // a walk that starts at step 4 finds it there: it moves onto the shared
    // cell (step 5) and, later in the same walk, on from there as step 1,
    // skipping a beat's worth of its lap. With five steps and a cursor
    // kept from walk to walk that comes every fifteen advances, first at
    // the 16th.
    const std::array<std::array<int32_t, 2>, 4> square = {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}};
    auto where = [&] {
        for (int i = 0; i < 4; ++i)
            if (Floor(square[i][0], square[i][1], 0) == 1) return i;
        return -1;
    };
    std::vector<int> skipped;
    int at = where();
    ASSERT_EQ(at, 0);
    for (int n = 1; n <= 35; ++n) {
        chain.Advance();
        const int now = where();
        ASSERT_NE(now, -1) << "the face was lost at advance " << n;
        if (now == (at + 2) % 4) skipped.push_back(n);
        else EXPECT_EQ(now, (at + 1) % 4) << "advance " << n;
        at = now;
    }
    EXPECT_EQ(skipped, (std::vector<int>{16, 31}));
}

TEST_F(MoveChain, TickAdvancesEverySecondHalfPeriod) {
    Load({"-MoveChain", "script=e", "speed=1000", "up=z", "dx=0"});
    auto& chain = Object<scrMovechain>(1);
    Run(chain, 1);  // the first half period starts at once, in phase 1
    EXPECT_EQ(chain.phase, 1);
    EXPECT_EQ(Floor(1, 0, 0), 1);
    EXPECT_NEAR(chain.fraction, 1 - 499.0f / 500, 1e-4);
    Run(chain, 499);
    EXPECT_EQ(chain.phase, 1);
    Run(chain, 1);
    EXPECT_EQ(chain.phase, 0);
    EXPECT_EQ(Floor(1, 0, 0), 1);
    Run(chain, 500);
    EXPECT_EQ(chain.phase, 1);
    EXPECT_EQ(Floor(0, 0, 0), 1);
    EXPECT_EQ(Floor(1, 0, 0), 0);

    // A sliding step ("m") is drawn between its cell and the next.
    Load({"-MoveChain", "script=mec", "up=z", "dx=0"});
    auto& slide = Object<scrMovechain>(1);
    slide.phase = 0;
    slide.fraction = 0.5f;
    D3DXVECTOR3 cell;
    float scale = 0;
    slide.DrawnCell(0, 0, 0, cell, scale);
    EXPECT_FLOAT_EQ(cell.x, 0.25f);
    EXPECT_FLOAT_EQ(scale, 1);
    slide.DrawnCell(1, 0, 0, cell, scale);  // mode "c": shrinks in place
    EXPECT_FLOAT_EQ(cell.x, 1);
    EXPECT_FLOAT_EQ(scale, 0.5f);
}

} // namespace
} // namespace rdv::test
