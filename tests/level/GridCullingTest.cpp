// Grid faces outside the view are skipped, and opaque faces of one model,
// state and pose are drawn together before the rest: what is skipped can
// never reach the screen, every face in view draws, the blended ones in
// their back-to-front order, and the device is left for other drawing as if
// every face had drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "GridView.h"
#include "core/Engine.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "level/ViewVolume.h"
#include "platform/d3d/Recording.h"

namespace rdv {
namespace {

using test::GameProjection;
using test::LookAt;

TEST(ViewVolume, OnlyWhatLiesWhollyBeyondOnePlaneIsOutside) {
    const ViewVolume v(LookAt({0, 0, 0}, {10, 0, 0}), GameProjection());
    ASSERT_TRUE(v.valid());
    EXPECT_FALSE(v.Outside(10, 0, 0, 0));
    EXPECT_TRUE(v.Outside(-10, 0, 0, 1));       // behind the eye
    EXPECT_FALSE(v.Outside(-0.5, 0, 0, 1));     // around the eye
    EXPECT_TRUE(v.Outside(10, 30, 0, 1));       // far to the side
    EXPECT_TRUE(v.Outside(10, 0, -30, 1));      // far below
    EXPECT_FALSE(v.Outside(10, 30, 0, 25));     // a large one reaches in
    EXPECT_TRUE(v.Outside(150, 0, 0, 1));       // beyond the far plane
    EXPECT_FALSE(v.Outside(99, 0, 0, 2));
    // Just past the screen's edge (within the margin) still counts as seen:
    // the device shifts pixels by half a pixel.
    // (At 10 ahead the screen's edge is 6.67 to the side; the margin 5 %.)
    EXPECT_FALSE(v.Outside(10, 6.8, 0, 0));
    EXPECT_TRUE(v.Outside(10, 7.1, 0, 0));

    D3DXMATRIX broken = GameProjection();
    broken.m[0][0] = NAN;
    const ViewVolume b(LookAt({0, 0, 0}, {10, 0, 0}), broken);
    EXPECT_FALSE(b.valid());
    EXPECT_FALSE(b.Outside(-10, 0, 0, 0));
    EXPECT_FALSE(ViewVolume().Outside(-10, 0, 0, 0));
}

// Stands for a moving or scripted tile: notes the world matrix on the device
// when it is asked to draw.
class WitnessTile : public LevelObject {
public:
    explicit WitnessTile(IDirect3DDevice8& device) : device_(device) {}
    void Render(int32_t, int32_t, int32_t, int16_t) override {
        D3DMATRIX m;
        device_.GetTransform(D3DTS_WORLD, &m);
        worlds.push_back(m);
    }
    std::string GetFullClassName() const override { return "System.Tiles.Witness"; }
    std::vector<D3DMATRIX> worlds;

private:
    IDirect3DDevice8& device_;
};

using Matrix = std::array<float, 16>;

class GridCulling : public ::testing::Test {
protected:
    void SetUp() override {
        rec = MakeRecordingEngine(RDV_GAME_DIR);
        LoadSystemClasses(rec->engine);
        level = std::make_unique<engLevel>(rec->engine);
        level->SetWorldSize(24, 24, 2);
        // A floor of metal and a ceiling of grass: two models' groups in turn.
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                level->SetMapObject(x, y, 0, 0, 0, -1, -2);
                level->SetMapObject(x, y, 1, 0, 0, 1, -16);
            }
        device = rec->gfx().Device();
        const D3DXMATRIX projection = GameProjection();
        device->SetTransform(D3DTS_PROJECTION, &projection);
        Look({-3, -3, 1.5f}, {6, 6, 0.5f});
    }
    void TearDown() override {
        level.reset();
        UnloadSystemClasses(rec->engine);
    }
    void Look(D3DXVECTOR3 eye, D3DXVECTOR3 at) {
        const D3DXMATRIX view = LookAt(eye, at);
        device->SetTransform(D3DTS_VIEW, &view);
        direction = at - eye;
    }
    struct Draw {
        Matrix world;
        bool instanced;
    };
    // The world matrix of every face drawn by one grid, in order; the faces
    // of an instanced draw in the order of its matrices.
    std::vector<Draw> Draws(bool everyFace) {
        // Away from any face's matrix, so that the first is not dropped.
        D3DXMATRIX away;
        D3DXMatrixTranslation(&away, 1e6f, 0, 0);
        device->SetTransform(D3DTS_WORLD, &away);
        rec->device()->ClearCalls();
        if (everyFace) {
            level->RenderGrid(direction, [&](int32_t ref, int32_t x, int32_t y, int32_t z, int16_t o) {
                if (LevelObject* object = level->ResolveObject(ref)) object->Render(x, y, z, o);
            });
        } else {
            level->RenderGrid(direction);
        }
        std::vector<Draw> draws;
        Matrix current{};
        for (const auto& c : rec->device()->calls) {
            if (c.op == "SetTransform" && c.args[0] == D3DTS_WORLD)
                std::copy(c.floats.begin(), c.floats.end(), current.begin());
            if (c.op == "DrawPrimitive") draws.push_back({current, false});
            if (c.op == "DrawPrimitiveInstanced") {
                for (size_t i = 0; i + 16 <= c.floats.size(); i += 16) {
                    std::copy(c.floats.begin() + static_cast<std::ptrdiff_t>(i),
                              c.floats.begin() + static_cast<std::ptrdiff_t>(i + 16), current.begin());
                    draws.push_back({current, true});
                }
            }
        }
        return draws;
    }
    // The faces drawn, each once, in no order.
    std::vector<Matrix> Faces(bool everyFace) {
        std::vector<Matrix> faces;
        for (const Draw& d : Draws(everyFace)) faces.push_back(d.world);
        std::sort(faces.begin(), faces.end());
        faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
        return faces;
    }
    // Whether `part` is `whole` with some entries left out.
    static bool IsSubsequence(const std::vector<Matrix>& part, const std::vector<Matrix>& whole) {
        size_t i = 0;
        for (const Matrix& m : whole)
            if (i < part.size() && part[i] == m) ++i;
        return i == part.size();
    }
    float TileRadius() {
        return rec->gfx().Model(rec->gfx().GetModel("floorpad"))->DrawBound(4);
    }

    std::unique_ptr<RecordingEngine> rec;
    std::unique_ptr<engLevel> level;
    IDirect3DDevice8* device = nullptr;
    D3DXVECTOR3 direction{1, 1, 0};
};

TEST_F(GridCulling, SkipsOnlyFacesThatCannotBeSeen) {
    const auto all = Faces(true);
    const auto seen = Faces(false);
    ASSERT_EQ(all.size(), 2u * 24 * 24);
    EXPECT_LT(seen.size(), all.size());
    EXPECT_GT(seen.size(), 0u);
    ASSERT_TRUE(std::includes(all.begin(), all.end(), seen.begin(), seen.end()));

    // Every face left out lies outside the view, whole.
    D3DMATRIX view, projection;
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    const ViewVolume volume(view, projection, 0);
    const float radius = TileRadius();
    ASSERT_GT(radius, 0.5f);
    std::vector<Matrix> left;
    std::set_difference(all.begin(), all.end(), seen.begin(), seen.end(), std::back_inserter(left));
    EXPECT_EQ(left.size(), all.size() - seen.size());
    for (const Matrix& m : left)
        EXPECT_TRUE(volume.Outside(m[12], m[13], m[14], radius)) << m[12] << " " << m[13] << " " << m[14];

    // Looking down on the whole floor from high above skips nothing.
    Look({18, 10, 60}, {18, 18, 0});
    EXPECT_EQ(Faces(false), Faces(true));
}

TEST_F(GridCulling, ALargeGridSkipsExactlyTheFacesOutsideTheView) {
    // Large enough that rows of cells well inside the view are passed
    // without a test face by face: the faces skipped must still be exactly
    // those the face-by-face test leaves out.
    level->SetWorldSize(48, 48, 3);
    // Only the view's test here: faces the floors hide are left out too
    // otherwise (GridOcclusionTest).
    level->hideBehindSolids = false;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            level->SetMapObject(x, y, 0, 0, 0, -1, -2);
            level->SetMapObject(x, y, 2, 0, 0, 1, -16);
            if (x % 7 == 0) level->SetMapObject(x, y, 1, -1, 0, 0, -1);
        }
    Look({-3, 20, 2.5f}, {30, 24, 1.5f});
    D3DMATRIX view, projection;
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    const ViewVolume volume(view, projection);
    const float radius = TileRadius();
    const auto all = Faces(true), seen = Faces(false);
    std::vector<Matrix> expected;
    for (const Matrix& m : all)
        if (!volume.Outside(m[12], m[13], m[14], radius)) expected.push_back(m);
    EXPECT_LT(expected.size(), all.size());
    EXPECT_GT(expected.size(), all.size() / 4);
    // The last face may be drawn again at the end, for the device state,
    // even when it is outside.
    std::vector<Matrix> inView;
    for (const Matrix& m : seen)
        if (!volume.Outside(m[12], m[13], m[14], radius)) inView.push_back(m);
    EXPECT_EQ(inView, expected);
    EXPECT_LE(seen.size(), expected.size() + 1);
}

TEST(ViewVolume, ABoxWellInsideHasNothingOutside) {
    const ViewVolume v(LookAt({0, 0, 0}, {10, 0, 0}), GameProjection());
    const double lo[3] = {8, -1, -1}, hi[3] = {12, 1, 1};
    EXPECT_TRUE(v.Inside(lo, hi));
    const double behind[3] = {-1, -1, -1}, wide[3] = {12, 1, 1};
    EXPECT_FALSE(v.Inside(behind, wide));   // reaches behind the eye
    const double side[3] = {8, 5, -1}, sideHi[3] = {12, 9, 1};
    EXPECT_FALSE(v.Inside(side, sideHi));   // past the screen's edge
    EXPECT_FALSE(ViewVolume().Inside(lo, hi));
}

TEST_F(GridCulling, OpaqueFacesDrawTogetherFirstAndBlendedOnesKeepTheirOrder) {
    // The ceiling's middle rows become ice (blended): drawn one by one,
    // after every opaque face, in the order of a face-by-face draw.
    for (int y = 8; y < 16; ++y)
        for (int x = 0; x < 24; ++x) level->SetMapObject(x, y, 1, 0, 0, 1, -8);
    Look({18, 10, 60}, {18, 18, 0});
    const auto every = Draws(true);
    const auto batched = Draws(false);
    // Metal floor and grass field: one instanced draw each.
    EXPECT_EQ(rec->device()->Count("DrawPrimitiveInstanced"), 2u);
    auto isIce = [](const Matrix& m) { return m[14] > 0 && m[13] > 8 * 1.5f - 1 && m[13] < 16 * 1.5f - 1; };
    std::vector<Matrix> iceInOrder, iceBatched;
    size_t firstIce = batched.size();
    for (size_t i = 0; i < batched.size(); ++i)
        if (isIce(batched[i].world)) {
            EXPECT_FALSE(batched[i].instanced);
            firstIce = std::min(firstIce, i);
            iceBatched.push_back(batched[i].world);
        }
    for (size_t i = firstIce; i < batched.size(); ++i) EXPECT_FALSE(batched[i].instanced) << i;
    ASSERT_EQ(iceBatched.size(), 8u * 24);
    for (const Draw& d : every)
        if (isIce(d.world)) iceInOrder.push_back(d.world);
    EXPECT_EQ(iceBatched, iceInOrder);
}

TEST_F(GridCulling, FacesKeepTheirOrderWhereMovingOneCouldChangeAPixel) {
    auto worlds = [](const std::vector<Draw>& draws) {
        std::vector<Matrix> out;
        for (const Draw& d : draws) out.push_back(d.world);
        return out;
    };
    // Metal and grass in turn along the floor: each face touches faces of
    // the other kind, which a tie in depth along the shared edge would
    // show. Nothing moves ahead of a face it touches.
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            level->SetMapObject(x, y, 0, 0, 0, -1, (x + y) % 2 ? -2 : -3);
            level->SetMapObject(x, y, 1, 0, 0, 1, 0);
        }
    Look({18, 10, 60}, {18, 18, 0});
    auto every = Draws(true);
    auto batched = Draws(false);
    // The last face may come again at the end, for the device state.
    if (batched.size() == every.size() + 1) batched.pop_back();
    EXPECT_EQ(worlds(batched), worlds(every));
}

TEST_F(GridCulling, PaintingAndClearingFacesShowsAtTheNextFrame) {
    D3DMATRIX view, projection;
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    const ViewVolume volume(view, projection);
    // Walls across y: one in the middle of the view, one well to its side.
    ASSERT_FALSE(volume.Outside(6 * 1.5, 6 * 1.5 - 0.75, 0, TileRadius()));
    ASSERT_TRUE(volume.Outside(23 * 1.5, 0 * 1.5 - 0.75, 0, TileRadius()));
    const size_t before = Faces(false).size();
    level->SetMapObject(6, 6, 0, 0, -1, 0, -18);
    EXPECT_EQ(Faces(false).size(), before + 1);
    level->SetMapObject(23, 0, 0, 0, -1, 0, -18);
    EXPECT_EQ(Faces(false).size(), before + 1);
    level->SetMapObject(6, 6, 0, 0, -1, 0, 0);
    EXPECT_EQ(Faces(false).size(), before);
    const auto seen = Faces(false), all = Faces(true);
    EXPECT_TRUE(std::includes(all.begin(), all.end(), seen.begin(), seen.end()));
    EXPECT_EQ(all.size(), 2u * 24 * 24 + 1);
}

TEST_F(GridCulling, AnotherObjectOnTheGridFindsTheDeviceAsIfEveryFaceHadDrawn) {
    // A map object far outside the view, among skipped faces, and one in it.
    const int32_t ref = level->AddObject(std::make_unique<WitnessTile>(*device));
    auto* witness = static_cast<WitnessTile*>(level->MapObject(ref));
    level->SetMapObject(22, 21, 0, 0, 0, 1, ref);
    level->SetMapObject(7, 7, 0, 0, 0, 1, ref);
    Draws(true);
    const auto expected = witness->worlds;
    ASSERT_EQ(expected.size(), 2u);
    witness->worlds.clear();
    Draws(false);
    ASSERT_EQ(witness->worlds.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(0, std::memcmp(&witness->worlds[i], &expected[i], sizeof(D3DMATRIX))) << i;
}

TEST_F(GridCulling, AfterADeviceResetTheSameFacesDraw) {
    const auto before = Faces(false);
    rec->adapter->script.cooperativeLevel = {D3DERR_DEVICENOTRESET};
    BeginFrame(rec->engine);
    Display(rec->engine);
    ASSERT_EQ(rec->device()->Count("Reset"), 1u);
    const D3DXMATRIX projection = GameProjection();
    device = rec->gfx().Device();
    device->SetTransform(D3DTS_PROJECTION, &projection);
    Look({-3, -3, 1.5f}, {6, 6, 0.5f});
    EXPECT_EQ(Faces(false), before);
}

TEST(ModelPose, RecentPosesGiveTheSameMatricesAsBuildingThemAnew) {
    auto rec = MakeRecordingEngine(RDV_GAME_DIR);
    gfxModel* model = rec->gfx().Model(rec->gfx().GetModel("discpad"));
    ASSERT_NE(model, nullptr);
    ASSERT_NE(model->renderMode, 0);
    // More poses than are kept, in turn, with -0 beside 0.
    const float poses[6][3] = {{0, 0, 0}, {-0.0f, 0, 0}, {3.14159f, 0, 0}, {-1.570795f, 3.14159f, 0},
                               {0, 1.570795f, 0}, {0.3f, -0.2f, 0.1f}};
    for (int round = 0; round < 3; ++round)
        for (int p = 0; p < 6; ++p) {
            const float x = 1.5f * p - 0.75f, y = 1.5f * round, z = -0.75f;
            model->DisplayMesh(rec->engine, 3, 0, x, y, z, poses[p][0], poses[p][1], poses[p][2], 0.5f, 1, 1);
            const D3DXMATRIX expected =
                ModelWorldMatrix(model->renderMode, x, y, z, poses[p][0], poses[p][1], poses[p][2], 0.5f, 1, 1);
            const D3DMATRIX drawn = rec->device()->Transform(D3DTS_WORLD);
            EXPECT_EQ(0, std::memcmp(&drawn, &expected, sizeof drawn)) << round << " " << p;
        }
}

} // namespace
} // namespace rdv
