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

TEST_F(MoveChain, AdvanceMovesEveryOccupiedFaceOneStep) {
    // Path (0,0)..(3,0) along x; faces at x = 0 and 1, and a Wall face at 3.
    Load({"-MoveChain", "script=eee", "speed=1000", "up=z", "sx=0", "sy=0", "sz=0", "dx=1", "-Wall", "sx=3",
          "dx=3"});
    auto& chain = Object<scrMovechain>(1);
    auto row = [&] {
        return std::vector<int32_t>{Floor(0, 0, 0), Floor(1, 0, 0), Floor(2, 0, 0), Floor(3, 0, 0)};
    };
    // Any face moves, the one on the last step too, and the path wraps.
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{-1, 1, 1, 0}));
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{0, -1, 1, 1}));
    chain.Advance();
    EXPECT_EQ(row(), (std::vector<int32_t>{1, 0, -1, 1}));

    // A path with every face taken turns round whole; none is lost.
    Load({"-MoveChain", "script=ee", "up=z", "sx=0", "sy=0", "sz=0", "dx=1", "-Wall", "sx=2", "dx=2"});
    auto& full = Object<scrMovechain>(1);
    auto three = [&] { return std::vector<int32_t>{Floor(0, 0, 0), Floor(1, 0, 0), Floor(2, 0, 0)}; };
    full.Advance();
    EXPECT_EQ(three(), (std::vector<int32_t>{-1, 1, 1}));
    full.Advance();
    EXPECT_EQ(three(), (std::vector<int32_t>{1, -1, 1}));
}

TEST_F(MoveChain, APathBackToItsFirstCellMovesEveryBeat) {
    // Round the square (0,0) (1,0) (1,1) (0,1) and back to (0,0): the step
    // back onto the first cell is step 1 itself, so four steps, and a face
    // moves on at every advance, lap after lap, with the rest of the floor
    // (a Wall face on the far corner) carried round too.
    Load({"-MoveChain", "script=emnmwmsm", "speed=1000", "up=z", "sx=0", "sy=0", "sz=0", "dx=0", "-Wall", "sx=1",
          "sy=1", "dx=1"});
    auto& chain = Object<scrMovechain>(1);
    using P = std::vector<std::array<int32_t, 3>>;
    EXPECT_EQ(Positions(chain), (P{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
    EXPECT_EQ(chain.steps.front().px, 0);
    EXPECT_EQ(chain.steps.front().py, 1);
    EXPECT_EQ(chain.steps.front().previousMode, 2);
    EXPECT_EQ(chain.steps.back().nx, 0);
    EXPECT_EQ(chain.steps.back().ny, 0);

    const std::array<std::array<int32_t, 2>, 4> square = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    auto where = [&](int32_t value) {
        for (int i = 0; i < 4; ++i)
            if (Floor(square[i][0], square[i][1], 0) == value) return i;
        return -1;
    };
    int chainAt = where(1), wallAt = where(-1);
    ASSERT_EQ(chainAt, 0);
    ASSERT_EQ(wallAt, 2);
    // Speed 1000: an advance at the first tick, then one every 1000 ms.
    std::vector<int> moves;
    for (int t = 0; t < 12000; t += 10) {
        Run(chain, 10);
        if (where(1) == chainAt) continue;
        EXPECT_EQ(where(1), (chainAt + 1) % 4) << "at " << t;
        EXPECT_EQ(where(-1), (wallAt + 1) % 4) << "at " << t;
        moves.push_back(t);
        chainAt = where(1);
        wallAt = where(-1);
    }
    ASSERT_EQ(moves.size(), 12u);
    for (size_t i = 0; i < moves.size(); ++i) EXPECT_EQ(moves[i], 1000 * static_cast<int>(i)) << i;

    // Coming back into the first cell it slides in from the last one.
    chain.phase = 1;
    chain.fraction = 0;
    D3DXVECTOR3 cell;
    float scale = 0;
    chain.DrawnCell(0, 0, 0, cell, scale);
    EXPECT_FLOAT_EQ(cell.x, 0);
    EXPECT_FLOAT_EQ(cell.y, 0.5f);
    EXPECT_FLOAT_EQ(scale, 1);
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
