// The test models drawn on the real OpenGL device (offscreen) and checked by
// their pixels: colours, positions, vertex colours, textures, blending and
// the light. Every test model lies in x = 0 facing the eye at (4, 0, 0); in
// a 320 x 240 picture world (y, z) lands at pixel (160 - 60 y, 120 - 60 z).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <unistd.h>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "headless/ModelSnapshot.h"
#include "graphics/SnapshotSuite.h"
#include "platform/d3d/GLDevice.h"

using namespace rdv;

namespace {

using test::Rgb;

class SnapshotImage : public test::SnapshotSuite {
protected:
    // Draws one model and reads the picture back.
    void Snap(const std::string& model, int32_t state = 0, float phase = 0) {
        shot_->Begin({4, 0, 0}, {0, 0, 0}, {0, 0, 1});
        shot_->DrawModel(model, state, phase);
        ASSERT_TRUE(shot_->Finish(pixels_));
        if (const char* dir = std::getenv("RDV_SNAPSHOT_DIR"))   // to look at them
            WritePng(std::string(dir) + "/" + model + "_" + std::to_string(state) + ".png", pixels_, 320, 240);
    }
    // The pixel where world point (0, y, z) shows.
    Rgb At(float y, float z) const {
        return Px(static_cast<int>(std::lround(160 - 60 * y)), static_cast<int>(std::lround(120 - 60 * z)));
    }
};

// Within `tol` of each channel.
::testing::AssertionResult Near(Rgb got, Rgb want, int tol) {
    if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r
                                         << ", " << want.g << ", " << want.b << ") +-" << tol;
}

// What the default light gives a face turned to the eye: 0.8 times the
// cosine between the face normal (+x) and the light's reverse direction.
int LitFront(int channel) {
    const double cosine = 1.0 / std::sqrt(1.0 + 0.25 + (1.0 / 2.25) * (1.0 / 2.25));
    return static_cast<int>(std::lround(channel * 0.8 * cosine));
}

const Rgb kBlack{0, 0, 0};

} // namespace

TEST_F(SnapshotImage, ModeOneShowsVertexColoursUnderTheLight) {
    Snap("test_simple");
    const int lit = LitFront(255);
    EXPECT_TRUE(Near(At(0.95f, 0.95f), {lit, 0, 0}, 16));      // red corner
    EXPECT_TRUE(Near(At(-0.95f, 0.95f), {0, lit, 0}, 16));     // green corner
    EXPECT_TRUE(Near(At(-0.95f, -0.95f), {0, 0, lit}, 16));    // blue corner
    EXPECT_TRUE(Near(At(0.95f, -0.95f), {lit, lit, lit}, 16)); // white corner
    EXPECT_TRUE(Near(At(1.3f, 0), kBlack, 0));                 // beside the square
    EXPECT_TRUE(Near(At(0, 1.3f), kBlack, 0));
}

TEST_F(SnapshotImage, TheLightMapsLightReachesTheScreen) {
    Snap("test_lit");
    const int lit = LitFront(255);
    EXPECT_TRUE(Near(At(0, 0), {lit, lit, lit}, 12));
    // A red light turns the white square red.
    engine_->lightMap->WriteLight(1);
    engine_->lightMap->workingLight.Diffuse = {1.0f, 0.0f, 0.0f, 0.0f};
    engine_->lightMap->LoadLight(1);
    Snap("test_lit");
    EXPECT_TRUE(Near(At(0, 0), {LitFront(255) * 10 / 8, 0, 0}, 12));
}

TEST_F(SnapshotImage, ModeTwoShowsItsTextureTheRightWayRound) {
    Snap("test_textured");
    EXPECT_TRUE(Near(At(0.5f, 0.5f), {255, 0, 0}, 4));
    EXPECT_TRUE(Near(At(-0.5f, 0.5f), {0, 255, 0}, 4));
    EXPECT_TRUE(Near(At(0.5f, -0.5f), {0, 0, 255}, 4));
    EXPECT_TRUE(Near(At(-0.5f, -0.5f), {255, 255, 0}, 4));
}

TEST_F(SnapshotImage, ModeThreeDrawsTheGroupOfTheState) {
    Snap("test_groups", 0);
    EXPECT_TRUE(Near(At(0.6f, 0.4f), {255, 0, 0}, 4));
    EXPECT_TRUE(Near(At(0, -0.75f), {0, 255, 0}, 4));
    EXPECT_TRUE(Near(At(-0.6f, 0.4f), kBlack, 0));
    Snap("test_groups", 1);
    EXPECT_TRUE(Near(At(-0.6f, 0.4f), {0, 0, 255}, 4));
    EXPECT_TRUE(Near(At(0.6f, 0.4f), kBlack, 0));
    EXPECT_TRUE(Near(At(0, -0.75f), kBlack, 0));
}

TEST_F(SnapshotImage, AlphaAndReverseBlending) {
    Snap("test_alpha");
    EXPECT_TRUE(Near(At(0, -0.6f), {0, 0, 255}, 3));
    // Source colour blending: src * src + dst * (1 - src) with src grey 128.
    const int g = 128 * 128 / 255, keep = 255 * 127 / 255;
    EXPECT_TRUE(Near(At(0.5f, 0.5f), {g, g, g + keep}, 6));
    // Reverse subtraction: dst * (1 - src) - src * src.
    EXPECT_TRUE(Near(At(-0.5f, 0.5f), {0, 0, keep - g}, 6));
}

TEST_F(SnapshotImage, CompositeDrawsItsPartsAndAnimatesThem) {
    Snap("test_composite", 0, 0);
    EXPECT_TRUE(Near(At(0.5f, 0), {255, 0, 0}, 4));
    EXPECT_TRUE(Near(At(-0.5f, 0), {0, 0, 255}, 4));
    EXPECT_TRUE(Near(At(0, 0.75f), kBlack, 0));
    EXPECT_TRUE(Near(At(-0.5f, 0.6f), kBlack, 0));
    // A quarter turn of the phase lifts the bobbing part by 0.4.
    Snap("test_composite", 0, 1.570795f);
    EXPECT_TRUE(Near(At(-0.5f, 0.6f), {0, 0, 255}, 4));
    EXPECT_TRUE(Near(At(0.5f, 0), {255, 0, 0}, 4));
    Snap("test_composite", 1, 0);
    EXPECT_TRUE(Near(At(0, 0.75f), {0, 255, 0}, 4));
    EXPECT_TRUE(Near(At(0.5f, 0), kBlack, 0));
}

TEST_F(SnapshotImage, BrushIsTexturedLitAndMovedByItsLocation) {
    Snap("test_brush");
    const int lit = LitFront(255);
    EXPECT_TRUE(Near(At(0.5f, 1.0f), {lit, 0, 0}, 16));
    EXPECT_TRUE(Near(At(-0.5f, 1.0f), {0, lit, 0}, 16));
    EXPECT_TRUE(Near(At(0.5f, 0.0f), {0, 0, lit}, 16));
    EXPECT_TRUE(Near(At(-0.5f, 0.0f), {lit, lit, 0}, 16));
    EXPECT_TRUE(Near(At(0, -0.8f), kBlack, 0));
}

TEST_F(SnapshotImage, TextAndBinaryMeshesShowTheirMaterials) {
    for (const char* name : {"test_mesh", "test_meshbin"}) {
        SCOPED_TRACE(name);
        Snap(name);
        const int lit = LitFront(255);
        EXPECT_TRUE(Near(At(-0.6f, 0.6f), {lit, 0, 0}, 16));    // red material, upper right
        EXPECT_TRUE(Near(At(0.5f, -0.5f), {0, 0, lit}, 16));    // checker's blue quarter
        EXPECT_TRUE(Near(At(-0.7f, -0.85f), {lit, lit, 0}, 16)); // checker's yellow quarter
    }
}
