// The shipped tile test level drawn on the real OpenGL device (offscreen):
// every tile type shows where the level puts it, and the invisible ones
// draw nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>

#include "core/Engine.h"
#include "game/BuiltClasses.h"
#include "graphics/Core.h"
#include "headless/ModelSnapshot.h"
#include "level/Level.h"
#include "headless/LevelSnapshot.h"
#include "level/Registry.h"
#include "platform/d3d/GLDevice.h"

namespace rdv {
namespace {

constexpr int kW = 320, kH = 240;

class LevelImage : public ::testing::Test {
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

bool Differs(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t i, int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(a[i * 4 + c]) - int(b[i * 4 + c])) > tolerance) return true;
    return false;
}

TEST_F(LevelImage, EveryTileTypeIsDrawnOnItsFaces) {
    engLevel level(engine_);
    level.LoadLevel("tiletest");
    ASSERT_EQ(level.SizeX(), 13);
    const LevelSnapshotView view = OverviewOf(level);
    std::array<std::vector<int32_t>, 3> all;
    for (int o = 0; o < 3; ++o) all[o] = level.Faces(o);
    auto keepOnly = [&](int32_t code) {
        for (int o = 0; o < 3; ++o) {
            auto& faces = const_cast<std::vector<int32_t>&>(level.Faces(o));
            for (size_t i = 0; i < faces.size(); ++i) faces[i] = (code == 0 || all[o][i] == -code) ? all[o][i] : 0;
            if (code < 0) std::fill(faces.begin(), faces.end(), 0);
        }
    };

    keepOnly(0);
    const auto full = Draw(level, view);
    if (const char* dir = std::getenv("RDV_SNAPSHOT_DIR")) WritePng(std::string(dir) + "/tiletest.png", full, kW, kH);
    keepOnly(-1);
    const auto empty = Draw(level, view);

    double lastCentre[2] = {-1, -1};
    for (int32_t code = 1; code <= kTileTypes; ++code) {
        keepOnly(code);
        const auto alone = Draw(level, view);
        size_t drawn = 0, agree = 0;
        double sumX = 0;
        for (size_t i = 0; i < size_t(kW) * kH; ++i) {
            if (!Differs(alone, empty, i, 12)) continue;
            ++drawn;
            sumX += double(i % kW);
            if (!Differs(alone, full, i, 40)) ++agree;
        }
        if (code == 6 || code == 7) {
            EXPECT_EQ(drawn, 0u) << "invisible tile " << code << " drew something";
            continue;
        }
        ASSERT_GT(drawn, 40u) << "tile " << code << " not drawn";
        // Where it shows alone it shows the same in the whole level
        // (transparent tiles mix with what lies behind them there).
        EXPECT_GT(double(agree) / double(drawn), 0.5) << "tile " << code;
        // Codes 1-13 and 14-26 run along x in the level: the pictures of
        // each row move steadily across the screen.
        const int row = (code - 1) / 13;
        const double centre = sumX / double(drawn);
        if (lastCentre[row] >= 0 && (code - 1) % 13 != 0) {
            EXPECT_GT(std::abs(centre - lastCentre[row]), 4.0) << "tile " << code;
        }
        lastCentre[row] = centre;
    }
}

} // namespace
// The device compiles a fixed-function program for each combination of stage,
// fog and alpha-test settings it meets; every shipped level must look the
// same as with the one program that reads those settings from uniforms.
TEST_F(LevelImage, CompiledSettingsDrawWhatTheGenericProgramDraws) {
    IDirect3DDevice8& device = *engine_.gfx->Device();
    auto differing = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        size_t n = 0;
        for (size_t i = 0; i < size_t(kW) * kH; ++i)
            if (Differs(a, b, i, 1)) ++n;
        return n;
    };
    std::error_code ec;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(RDV_GAME_DIR) / "maps", ec)) {
        if (entry.path().extension() != ".tcs") continue;
        const std::string name = entry.path().stem().string();
        engLevel level(engine_);
        level.LoadLevel(name);
        const LevelSnapshotView view = OverviewOf(level);
        ASSERT_TRUE(UseGenericFixedFunction(device, true));
        // Only a picture that holds still from one frame to the next can be
        // compared (some levels place things in their first frame).
        Draw(level, view);
        auto generic = Draw(level, view);
        if (differing(generic, Draw(level, view)) != 0) continue;
        UseGenericFixedFunction(device, false);
        const auto compiled = Draw(level, view);
        // Again: the second frame runs on the programs the first compiled.
        const auto again = Draw(level, view);
        EXPECT_EQ(differing(generic, compiled), 0u) << name;
        EXPECT_EQ(differing(generic, again), 0u) << name;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

// A large grid of floors, a wall, ice, water and a hole looks the same,
// byte for byte, whether or not the faces hidden behind its solid layers
// are drawn: from outside, between the layers, from below, from inside the
// hole and along the wall.
TEST_F(LevelImage, FacesHiddenBehindSolidLayersLeftOutChangeNoPixel) {
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


} // namespace rdv
