// The scripted tiles with a real ball, through the level simulator: what a
// player sees them do, cell by cell and over time.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "core/Engine.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "headless/Simulation.h"
#include "objects/Ball.h"
#include "objects/BallTestSupport.h"
#include "tiles/DropFloor.h"
#include "tiles/SliderFloor.h"

namespace rdv::test {
namespace {

struct Cell {
    int32_t x, y, z;
    bool operator==(const Cell&) const = default;
};

// One ball's cell after every tick of a run.
struct Track {
    std::vector<int64_t> time;
    std::vector<Cell> cell;
    std::vector<int32_t> phase;
    std::vector<std::string> lines;

    // The first time the ball is in `c`, or -1.
    int64_t FirstIn(const Cell& c) const {
        for (size_t i = 0; i < cell.size(); ++i)
            if (cell[i] == c) return time[i];
        return -1;
    }
    int32_t HighestZ() const {
        int32_t z = -1000;
        for (const Cell& c : cell) z = std::max(z, c.z);
        return z;
    }
    // Whether some line, after its time, reads `event`.
    bool Has(const std::string& event) const {
        for (const auto& l : lines)
            if (l.size() > event.size() && l.compare(l.size() - event.size(), event.size(), event) == 0 &&
                l[l.size() - event.size() - 1] == ' ')
                return true;
        return false;
    }
};

class TileSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::path(RDV_BINARY_DIR) / "test-tilesim" / info->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "maps");
    }
    void Start(const std::vector<std::string>& lines) {
        {
            std::ofstream out(folder / "maps" / "tiles.tcs", std::ios::binary);
            out << "BTv1\r\n";
            for (const auto& line : lines) out << line << "\r\n";
        }
        sim.emplace(folder);
        sim->recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        sim->Load("tiles");
    }
    objBall& Ball() {
        for (int32_t n = 1; n <= sim->level()->MapObjects(); ++n)
            if (auto* b = dynamic_cast<objBall*>(sim->level()->MapObject(n))) return *b;
        throw std::runtime_error("no ball");
    }
    // Runs `ms` in 10 ms ticks, `each` after every tick.
    Track Run(int32_t ms, const std::function<void(int64_t)>& each = {}) {
        Track t;
        for (int32_t done = 0; done < ms; done += 10) {
            sim->Run(10, 10, [&](const std::string& l) { t.lines.push_back(l); });
            objBall& b = Ball();
            Cell c{};
            b.Cell(c.x, c.y, c.z);
            t.time.push_back(sim->Time());
            t.cell.push_back(c);
            t.phase.push_back(b.phase);
            if (each) each(sim->Time());
        }
        return t;
    }
    int32_t Floor(int32_t x, int32_t y, int32_t z) { return sim->level()->GetMapObject(x, y, z, 0, 0, -1); }

    std::filesystem::path folder;
    std::optional<Simulation> sim;
};

const std::vector<std::string> kWorld = {"-World", "x=4", "y=4", "z=7"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(TileSimulation, ALaunchFloorThrowsTheBallUpByItsJumpHeight) {
    // On a plain floor the ball bounces within its cell.
    Start(With(kWorld, {"-Wall", "up=z", "sx=1", "sy=1", "sz=1", "dx=1", "-Ball", "x=1", "y=1", "z=1", "player=1",
                        "up=z"}));
    EXPECT_EQ(Run(4000).HighestZ(), 1);

    Start(With(kWorld, {"-LaunchFloor", "jumpheight=4", "up=z", "sx=1", "sy=1", "sz=1", "dx=1", "-Ball", "x=1", "y=1", "z=1",
                        "player=1", "up=z"}));
    auto& floor = dynamic_cast<scrLaunchfloor&>(*sim->level()->MapObject(1));
    bool dipped = false;
    const Track t = Run(8000, [&](int64_t) { dipped = dipped || floor.fraction > 0.4f; });
    // The throw's own rise, then one more cell for each unit of jump height.
    EXPECT_EQ(t.HighestZ(), 1 + 1 + 4);
    EXPECT_TRUE(dipped) << "the pad dips while it throws";
    // Up cell by cell, then down again onto the floor, which throws again.
    const int64_t top = t.FirstIn({1, 1, 6});
    ASSERT_GT(top, 0);
    EXPECT_LT(t.FirstIn({1, 1, 2}), t.FirstIn({1, 1, 3}));
    EXPECT_LT(t.FirstIn({1, 1, 4}), top);
    bool back = false;
    for (size_t i = 0; i < t.time.size(); ++i)
        if (t.time[i] > top && t.cell[i] == Cell{1, 1, 1}) back = true;
    EXPECT_TRUE(back);
    EXPECT_FALSE(t.Has("endlevel 2"));

    // A lower jump height throws less high.
    Start(With(kWorld, {"-LaunchFloor", "jumpheight=2", "up=z", "sx=1", "sy=1", "sz=1", "dx=1", "-Ball", "x=1", "y=1",
                        "z=1", "player=1", "up=z"}));
    EXPECT_EQ(Run(6000).HighestZ(), 1 + 1 + 2);

    // Under reversed gravity the floor is met from the wrong side: no throw.
    Start(With(kWorld, {"-LaunchFloor", "jumpheight=4", "up=z", "sx=1", "sy=1", "sz=4", "dx=1", "-Ball", "x=1", "y=1", "z=3",
                        "player=1", "up=-z"}));
    for (const Cell& c : Run(4000).cell) EXPECT_EQ(c.z, 3);
}

TEST_F(TileSimulation, ADropFloorSinksWithTheBallOnItAndFinallyFallsOutOfTheWorld) {
    Start(With(kWorld, {"-DropFloor", "up=z", "sx=1", "sy=1", "sz=2", "dx=1", "-Ball", "x=1", "y=1", "z=2", "player=1",
                        "up=z"}));
    const int32_t own = 1;
    ASSERT_EQ(Floor(1, 1, 2), own);
    auto& floor = dynamic_cast<scrDropFloor&>(*sim->level()->MapObject(1));
    int64_t droppedAt = -1;
    const Track t = Run(9000, [&](int64_t time) {
        if (droppedAt < 0 && Floor(1, 1, 2) == 0) {
            droppedAt = time;
            EXPECT_EQ(Floor(1, 1, 1), own) << "the face moves one plane down";
            EXPECT_EQ(floor.state, 1);
        }
    });
    // The ball lands at once; the floor drops 700 ms after the touch.
    ASSERT_GT(droppedAt, 0);
    EXPECT_GE(droppedAt, 700);
    EXPECT_LE(droppedAt, 720);
    // The ball follows it one cell down, lands on it, and the floor drops
    // again, now out of the bottom of the world, and the ball is lost.
    const int64_t down = t.FirstIn({1, 1, 1});
    EXPECT_GT(down, droppedAt);
    EXPECT_EQ(Floor(1, 1, 1), 0);
    EXPECT_EQ(Floor(1, 1, 0), 0);
    EXPECT_LT(t.FirstIn({1, 1, 0}), t.FirstIn({1, 1, -1}));
    EXPECT_TRUE(t.Has("endlevel 2"));
}

TEST_F(TileSimulation, AnAngledPadPushesTheBallOppositeItsArrow) {
    // Rotation 5 points +x; a floor pad pushes a ball that lands on it the
    // other way, onto the wall floor at x = 1, where it comes to rest.
    Start(With(kWorld, {"-Wall", "up=z", "sx=0", "sy=1", "sz=1", "dx=1", "-AngledPad", "rotation=5", "up=z", "sx=2",
                        "sy=1", "sz=1", "dx=2", "-Ball", "x=2", "y=1", "z=1", "player=1", "up=z"}));
    const Track t = Run(4000);
    const int64_t pushed = t.FirstIn({1, 1, 1});
    ASSERT_GT(pushed, 0);
    EXPECT_EQ(t.FirstIn({3, 1, 1}), -1);
    EXPECT_EQ(t.FirstIn({0, 1, 1}), -1) << "one push, then the wall floor holds it";
    EXPECT_EQ(t.cell.back(), (Cell{1, 1, 1}));

    // Rotation 3 points +y: pushed towards -y.
    Start(With(kWorld, {"-Wall", "up=z", "sx=2", "sy=0", "sz=1", "dx=2", "-AngledPad", "rotation=3", "up=z", "sx=2",
                        "sy=1", "sz=1", "dx=2", "-Ball", "x=2", "y=1", "z=1", "player=1", "up=z"}));
    EXPECT_EQ(Run(4000).cell.back(), (Cell{2, 0, 1}));
}

TEST_F(TileSimulation, ASliderPadCarriesTheBallStandingOnIt) {
    // A two-cell track with one pad at (1, 1): the only move it has is to
    // (1, 2), and the ball goes with it; the face it left is empty, so it
    // has no move back and stays there. Speed 1000 is 500 ms a half period;
    // the floor plans its first moves at its first paint command, before
    // its track is painted, so that beat moves nothing: the move is planned
    // at 1000 ms and made at 1500 ms.
    // The pad follows a ball, so the floor comes after it.
    Start(With(kWorld, {"-Ball", "x=1", "y=1", "z=1", "player=1", "up=z", "-SliderFloor", "speed=1000", "aimode=arnd",
                        "slider=(1, 1, 1)", "up=z", "sx=1", "sy=1", "sz=1", "dy=2"}));
    auto& slider = dynamic_cast<scrSliderFloor&>(*sim->level()->MapObject(2));
    ASSERT_EQ(slider.pads.size(), 1u);
    const Track t = Run(3000);
    const int64_t carried = t.FirstIn({1, 2, 1});
    ASSERT_GT(carried, 0);
    EXPECT_GE(carried, 1500);
    EXPECT_LE(carried, 1510);
    EXPECT_EQ(Floor(1, 2, 1), 2);
    EXPECT_EQ(Floor(1, 1, 1), 0) << "the pad's face left its old cell";
    // It keeps standing on the pad: never lost, never below the track.
    for (const Cell& c : t.cell) EXPECT_EQ(c.z, 1);
    EXPECT_FALSE(t.Has("endlevel 2"));
    EXPECT_EQ(t.cell.back(), (Cell{1, 2, 1}));
}

TEST_F(TileSimulation, ASpecialBreakableWallCountsTwoContactsARoll) {
    // The ball rolls north into the wall again and again; every roll ends
    // in a bounce back (phase 7). A roll is two contacts, the look ahead
    // (PreHitWall) and the hit (HitWall), and only the hit breaks the wall:
    // count=2N breaks at the Nth roll, and an odd count lands its breaking
    // answer on a look ahead and never breaks.
    for (int count : {1, 2, 3, 4, 6}) {
        SCOPED_TRACE(count);
        Start(With(kWorld, {"-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3", "-BreakWallSpecial",
                            "count=" + std::to_string(count), "up=y", "sx=1", "sy=2", "sz=1", "dx=1", "-Ball", "x=1",
                            "y=1", "z=1", "player=1", "up=z"}));
        sim->DriveBall(1, "f.");
        auto wall = [&] { return sim->level()->GetMapObject(1, 1, 1, 0, 1, 0); };
        ASSERT_NE(wall(), 0);
        int rolls = 0, rollsToBreak = 0;
        int32_t last = -1;
        Run(8000, [&](int64_t) {
            objBall& b = Ball();
            if (b.phase == 7 && last != 7) {
                ++rolls;
                if (wall() == 0 && rollsToBreak == 0) rollsToBreak = rolls;
            }
            last = b.phase;
        });
        if (count % 2 == 0) {
            EXPECT_EQ(rollsToBreak, count / 2);
            EXPECT_EQ(wall(), 0);
        } else {
            EXPECT_GT(rolls, count) << "the ball kept knocking";
            EXPECT_EQ(rollsToBreak, 0);
            EXPECT_NE(wall(), 0);
        }
    }
}

// Departs from the original: a jump that cannot rise counts as the segment's decision.
TEST_F(TileSimulation, ACutsceneJumpOntoACeilingPadGoesOnWithTheNextSegment) {
    // A gravity pad in the ceiling over the start, more ceiling ahead: the
    // "+" segment takes the ball onto the ceiling, then "f" rolls it along.
    Start(With(kWorld, {"-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3", "-MarkedMetalSpecial", "pullimpact=true",
                        "up=z", "sx=1", "sy=1", "sz=2", "dx=1", "-Wall", "up=z", "sx=1", "sy=2", "sz=2", "dy=3",
                        "-Ball", "x=1", "y=1", "z=1", "player=1", "up=z"}));
    sim->DriveBall(1, "+.f.");
    const Track t = Run(6000);
    EXPECT_TRUE(t.Has("up 0 0 -1")) << "the jump turned the ball onto the ceiling";
    EXPECT_GT(t.FirstIn({1, 2, 1}), 0) << "the ball rolled on along the ceiling";
    EXPECT_FALSE(t.Has("endlevel 2"));

    // Under a plain low ceiling the jump bumps once, and "f" rolls on.
    Start(With(kWorld, {"-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3", "-Wall", "up=z", "sx=1", "sy=1", "sz=2",
                        "dx=1", "-Ball", "x=1", "y=1", "z=1", "player=1", "up=z"}));
    sim->DriveBall(1, "+.f.");
    const Track bumped = Run(4000);
    int bumps = 0;
    for (size_t i = 1; i < bumped.phase.size(); ++i)
        if (bumped.phase[i] == 11 && bumped.phase[i - 1] != 11) ++bumps;
    EXPECT_GE(bumps, 1);
    EXPECT_GT(bumped.FirstIn({1, 2, 1}), 0);
}

// The generated model of the angled pad, as the game folder holds it.
TEST(AnglePadModel, LoadsWithItsSixGroups) {
    auto rec = MakeRecordingEngine(RDV_GAME_DIR);
    const int32_t index = rec->gfx().GetModel("anglepad");
    gfxModel* model = rec->gfx().Model(index);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->renderMode, 3);
    const ModelData& data = model->data();
    EXPECT_EQ(data.lowestGroup, 0);
    EXPECT_EQ(data.highestGroup, 5);
    ASSERT_GE(data.indexCache.size(), 6u);
    for (int group = 0; group <= 5; ++group) EXPECT_GE(data.indexCache[size_t(group)].first, 0) << group;
    for (const auto& line : rec->log) EXPECT_NE(line.colour, 5) << line.message;
    // Each group draws something.
    for (int group = 0; group <= 5; ++group) {
        rec->device()->ClearCalls();
        model->DisplayMesh(rec->engine, group, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1);
        EXPECT_GT(rec->device()->Count("DrawPrimitive"), 0u) << group;
    }
}

} // namespace
} // namespace rdv::test
