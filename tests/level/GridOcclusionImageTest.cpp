// On the real OpenGL device (offscreen), a large grid of floors, walls, ice
// and a hole looks the same, byte for byte, whether or not the faces hidden
// behind its solid layers are drawn: from outside, between the layers, from
// below, from inside the hole and along a wall.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/Engine.h"
#include "game/BuiltClasses.h"
#include "graphics/Core.h"
#include "headless/LevelSnapshot.h"
#include "headless/ModelSnapshot.h"
#include "level/Level.h"
#include "level/Registry.h"

namespace rdv {
namespace {

constexpr int kW = 400, kH = 300;

class GridOcclusionImage : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.programFolder = RDV_GAME_DIR;
        shot_ = std::make_unique<ModelSnapshot>(engine_, kW, kH);
        if (!shot_->ok()) GTEST_SKIP() << "no OpenGL: " << shot_->error();
        InstallBuiltClasses(engine_);
        LoadSystemClasses(engine_);
    }
    void TearDown() override {
        UnloadSystemClasses(engine_);
        shot_.reset();
    }
    std::vector<uint8_t> Draw(engLevel& level, const LevelSnapshotView& view) {
        shot_->Begin(view.eye, view.at, view.up);
        DrawLevelFrame(engine_, level, 0, view);
        std::vector<uint8_t> rgba;
        EXPECT_TRUE(shot_->Finish(rgba));
        return rgba;
    }

    Engine engine_;
    std::unique_ptr<ModelSnapshot> shot_;
};

TEST_F(GridOcclusionImage, HiddenFacesLeftOutChangeNoPixel) {
    engLevel level(engine_);
    level.SetWorldSize(24, 24, 10);
    auto hole = [](int x, int y) { return x >= 10 && x <= 12 && y >= 10 && y <= 12; };
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            level.SetMapObject(x, y, 0, 0, 0, -1, -18);                    // metal floor
            if (!hole(x, y)) level.SetMapObject(x, y, 3, 0, 0, -1, -16);   // grass, with a hole
            level.SetMapObject(x, y, 5, 0, 0, -1, x < 12 ? -8 : -10);      // ice (blended) and snow
            level.SetMapObject(x, y, 7, 0, 0, -1, -14);                    // brick
            if (x == 6 && y < 20) level.SetMapObject(x, y, 1, -1, 0, 0, -1);   // a wall across
        }
    level.SetMapObject(14, 14, 3, 0, 0, -1, -26);   // water beside the hole
    const LevelSnapshotView views[] = {
        OverviewOf(level),
        {{9, 9, 6}, {30, 25, 5.5f}},            // between grass and ice, looking across
        {{16, 5, 16}, {16, 17, 0}},             // above the top, down to the hole
        {{17, 17, -8}, {18, 19, 10}},           // from below
        {{16.5f, 16.5f, 5}, {16.5f, 17, -1}},   // inside the hole
        {{2, 10, 1.5f}, {30, 12, 1}},           // along the wall
        {{-20, -20, 9}, {10, 10, 5}},           // from outside a corner, level with the layers
        {{2, 16.5f, 5.5f}, {30, 18, 4.6f}},     // across the grass to the hole, the metal beneath
    };
    int64_t hidden = 0;
    int shot = 0;
    for (const LevelSnapshotView& view : views) {
        level.hideBehindSolids = false;
        const auto all = Draw(level, view);
        level.hideBehindSolids = true;
        const auto some = Draw(level, view);
        hidden += level.GridFacesHidden();
        ASSERT_EQ(all.size(), some.size());
        size_t differing = 0;
        for (size_t i = 0; i < all.size(); ++i) differing += all[i] != some[i];
        EXPECT_EQ(differing, 0u) << "view " << shot;
        ++shot;
    }
    // The test means something only if faces were left out.
    EXPECT_GT(hidden, 1000);
}

} // namespace
} // namespace rdv
