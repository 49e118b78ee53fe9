#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

class GridTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        WriteLevel("grid", {"", "-World", "x=4", "y=4", "z=4", "*"});
        level->LoadLevel("grid");
    }
    // Paints with tile code `code` through the level's paint commands.
    void Paint(int32_t code, const std::vector<std::pair<std::string, std::string>>& commands) {
        std::vector<std::string> lines = {"", "-World", "x=4", "y=4", "z=4",
                                          std::string("-") + kTileSectionNames[static_cast<size_t>(code)]};
        for (const auto& [k, v] : commands) lines.push_back(k + "=" + v);
        lines.push_back("*");
        WriteLevel("paint", lines);
        level->LoadLevel("paint");
    }
};

TEST_F(GridTest, GetMapObjectReadsTheFaceCrossedAndNothingOutside) {
    const auto& floors = level->Faces(kFaceZ);
    const auto& xWalls = level->Faces(kFaceX);
    level->SetMapObject(0, 0, 0, 0, 0, -1, -1);  // bottom of the world: plane 0
    level->SetMapObject(0, 0, 3, 0, 0, 1, -2);   // top: plane 4
    level->SetMapObject(0, 0, 0, -1, 0, 0, -3);  // x-wall plane 0
    level->SetMapObject(1, 2, 3, 0, 1, 0, 7);    // y-wall plane 3 at x 1, z 3
    EXPECT_EQ(floors[0], -1);
    EXPECT_EQ(floors[4 * 16], -2);
    EXPECT_EQ(xWalls[0], -3);
    EXPECT_EQ(level->Faces(kFaceY)[3 * 16 + 3 * 4 + 1], 7);
    // The same face from both cells beside it.
    EXPECT_EQ(level->GetMapObject(1, 3, 3, 0, -1, 0), 7);
    EXPECT_EQ(level->GetMapObject(1, 2, 3, 0, 1, 0), 7);
    EXPECT_EQ(level->GetMapObject(0, 0, 3, 0, 0, 1), -2);

    // Outside the world or without a direction there is nothing, and writes
    // there change nothing.
    EXPECT_EQ(level->GetMapObject(4, 0, 0, 0, 0, 1), 0);
    EXPECT_EQ(level->GetMapObject(0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(level->GetMapObject(0, 0, 4, 0, 0, 1), 0);   // plane 5
    EXPECT_EQ(level->GetMapObject(0, 0, -1, 0, 0, -1), 0); // plane -1
    EXPECT_EQ(level->GetMapObject(-1, 0, 0, 1, 0, 1), 0);  // off-axis, cell outside
    const auto before = std::vector<int32_t>(floors.begin(), floors.end());
    level->SetMapObject(4, 0, 0, 0, 0, 1, 9);
    level->SetMapObject(0, 0, 4, 0, 0, 1, 9);
    level->SetMapObject(-1, 0, 0, 1, 0, 1, 9);
    EXPECT_EQ(std::vector<int32_t>(floors.begin(), floors.end()), before);
    // The spare element is never a face.
    EXPECT_EQ(floors.back(), 0);
}

TEST_F(GridTest, PaintRunsFollowTheCursor) {
    Paint(1, {{"up", "z"}, {"sx", "0"}, {"sy", "0"}, {"sz", "0"}, {"dx", "3"}, {"dy", "2"}});
    for (int x = 0; x <= 3; ++x) EXPECT_EQ(level->GetMapObject(x, 0, 0, 0, 0, -1), -1);
    for (int y = 0; y <= 2; ++y) EXPECT_EQ(level->GetMapObject(3, y, 0, 0, 0, -1), -1);
    EXPECT_EQ(level->GetMapObject(2, 1, 0, 0, 0, -1), 0);
    EXPECT_EQ(level->Cursor().sx, 3);
    EXPECT_EQ(level->Cursor().sy, 2);
    EXPECT_EQ(level->Cursor().sz, 0);

    // Runs go downwards too, the sign of "up" is dropped, and the plane
    // index is the cursor's coordinate along the orientation's axis.
    Paint(2, {{"up", "-x"}, {"sx", "4"}, {"sy", "3"}, {"sz", "2"}, {"dz", "0"}});
    for (int z = 0; z <= 2; ++z) EXPECT_EQ(level->GetMapObject(3, 3, z, 1, 0, 0), -2) << z;
    EXPECT_EQ(level->GetMapObject(3, 3, 3, 1, 0, 0), 0);

    Paint(3, {{"up", "y"}, {"sy", "2.5"}, {"sx", "1"}, {"sz", "1"}, {"dx", "2"}});
    EXPECT_EQ(level->GetMapObject(1, 2, 1, 0, -1, 0), -3);  // sy 2.5 rounds to 2
    EXPECT_EQ(level->GetMapObject(2, 1, 1, 0, 1, 0), -3);
}

// Departs from the original: a paint run leaving its array raises 9.
TEST_F(GridTest, ARunLeavingItsArrayStopsAtTheFirstOutsideFace) {
    WriteLevel("over", {"", "-World", "x=4", "y=4", "z=4", "-Wall", "up=z", "dx=-1"});
    try {
        level->LoadLevel("over");
        FAIL() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 9);
        EXPECT_EQ(e.description, "Subscript out of range");
        EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->AssignProperty");
    }
    EXPECT_EQ(level->GetMapObject(0, 0, 0, 0, 0, -1), -1);  // written before the error

    // Past the top plane of the floors: inside the spare element, then out.
    WriteLevel("top", {"", "-World", "x=4", "y=4", "z=4", "-Wall", "up=z", "sz=4", "sy=3", "sx=3", "dx=5"});
    EXPECT_THROW(level->LoadLevel("top"), EngineError);
    EXPECT_EQ(level->Faces(kFaceZ)[4 * 16 + 15], -1);
}

TEST(GridDrawOrder, LoopsFollowTheViewDirection) {
    auto loops = GridDrawOrder({0.2f, -0.9f, 0.3f}, 5, 6, 7);
    EXPECT_EQ(loops[0].axis, 1);
    EXPECT_EQ(loops[0].from, 0);
    EXPECT_EQ(loops[0].to, 6);
    EXPECT_EQ(loops[0].step, 1);
    EXPECT_EQ(loops[1].axis, 2);
    EXPECT_EQ(loops[1].from, 7);
    EXPECT_EQ(loops[1].to, 0);
    EXPECT_EQ(loops[2].axis, 0);
    EXPECT_EQ(loops[2].from, 5);
    EXPECT_EQ(loops[2].step, -1);

    struct Tie {
        D3DXVECTOR3 d;
        int outer, middle, inner;
    };
    const Tie ties[] = {
        {{1, 1, 1}, 0, 2, 1},     // x wins a three-way tie; y only beats z when larger
        {{1, 1, 0.5f}, 0, 1, 2},
        {{0.5f, 1, 1}, 1, 2, 0},  // y ties z: y outer, x not above z
        {{0.7f, 1, 0.5f}, 1, 0, 2},
        {{0.5f, 0.5f, 1}, 2, 1, 0},  // x not above y
        {{0.6f, 0.5f, 1}, 2, 0, 1},
        {{0, 0, 0}, 0, 2, 1},
    };
    for (const Tie& t : ties) {
        loops = GridDrawOrder(t.d, 2, 2, 2);
        EXPECT_EQ(loops[0].axis, t.outer) << t.d.x << " " << t.d.y << " " << t.d.z;
        EXPECT_EQ(loops[1].axis, t.middle) << t.d.x << " " << t.d.y << " " << t.d.z;
        EXPECT_EQ(loops[2].axis, t.inner) << t.d.x << " " << t.d.y << " " << t.d.z;
        // A zero component counts as looking along the negative axis.
        if (t.d.x == 0) {
            EXPECT_EQ(loops[0].from, 0);
        }
    }
}

TEST_F(GridTest, GridIsDrawnFarFacesFirstWithEveryPlane) {
    level->SetMapObject(0, 0, 0, 0, 0, -1, -1);  // floor near the eye
    level->SetMapObject(3, 3, 3, 0, 0, 1, -2);   // the top plane, far corner
    level->SetMapObject(3, 0, 0, 1, 0, 0, -3);   // x-wall plane 4
    level->SetMapObject(0, 3, 1, 0, 1, 0, -4);   // y-wall plane 4
    std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t, int16_t>> drawn;
    level->RenderGrid({1, 1, 1}, [&](int32_t ref, int32_t x, int32_t y, int32_t z, int16_t o) {
        drawn.emplace_back(ref, x, y, z, o);
    });
    ASSERT_EQ(drawn.size(), 4u);
    // Looking along +x: x = 4 first, then 3 ... 0.
    EXPECT_EQ(drawn[0], std::make_tuple(-3, 4, 0, 0, int16_t(1)));
    EXPECT_EQ(drawn[1], std::make_tuple(-2, 3, 3, 4, int16_t(0)));
    EXPECT_EQ(drawn[2], std::make_tuple(-4, 0, 4, 1, int16_t(2)));
    EXPECT_EQ(drawn[3], std::make_tuple(-1, 0, 0, 0, int16_t(0)));

    drawn.clear();
    level->RenderGrid({-1, -1, -1}, [&](int32_t ref, int32_t, int32_t, int32_t, int16_t) {
        drawn.emplace_back(ref, 0, 0, 0, 0);
    });
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(std::get<0>(drawn[0]), -1);
    EXPECT_EQ(std::get<0>(drawn[3]), -3);
}

} // namespace
} // namespace rdv::test
