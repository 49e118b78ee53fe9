// Solid layers hide what lies beyond them: slabs are found only where the
// cells' solids leave no gap, a box is hidden only when every ray to it
// passes through a slab in front of the near plane, and painting the grid
// lets the faces behind a new hole be drawn again.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "GridView.h"
#include "core/Engine.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"
#include "level/GridOcclusion.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "platform/d3d/Recording.h"

namespace rdv {
namespace {

// Looking down on a layer across z: y is up on the screen.
D3DXMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at) { return test::LookAt(eye, at, {0, 1, 0}); }
D3DXMATRIX Projection(float nearPlane = 0.1f) { return test::GameProjection(nearPlane); }

// A layer of `n` x `n` cells across z, each solid from z = -0.1 to 0 and
// drawn up to 0.1, with the cells in `holes` left out.
GridOcclusion Layer(int n, std::initializer_list<std::pair<int, int>> holes = {}) {
    GridOcclusion g;
    g.BeginLayer(2);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (std::find(holes.begin(), holes.end(), std::make_pair(x, y)) != holes.end()) continue;
            const float lo[3] = {1.5f * x - 0.75f, 1.5f * y - 0.75f, -0.1f};
            const float hi[3] = {1.5f * x + 0.75f, 1.5f * y + 0.75f, 0.0f};
            g.AddCell(x, lo, hi, -0.1f, 0.1f);
        }
        g.EndRow();
    }
    g.EndLayer();
    return g;
}

bool Hidden(GridOcclusion& g, D3DXVECTOR3 eye, const float lo[3], const float hi[3], float nearPlane = 0.1f) {
    const float e[3] = {eye.x, eye.y, eye.z};
    const D3DXVECTOR3 at((lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2);
    if (!g.SetView(e, LookAt(eye, at), Projection(nearPlane))) return false;
    return g.Hides(lo, hi);
}

TEST(GridOcclusion, CellsThatLeaveNoGapMakeOneSlab) {
    GridOcclusion whole = Layer(8);
    ASSERT_EQ(whole.slabs().size(), 1u);
    const SolidSlab& s = whole.slabs()[0];
    EXPECT_EQ(s.axis, 2);
    EXPECT_FLOAT_EQ(s.lo[0], -0.75f);
    EXPECT_FLOAT_EQ(s.hi[0], 11.25f);
    EXPECT_FLOAT_EQ(s.hi[1], 11.25f);
    EXPECT_FLOAT_EQ(s.lo[2], -0.1f);
    EXPECT_FLOAT_EQ(s.drawHi, 0.1f);

    // No slab may cover a hole.
    GridOcclusion holed = Layer(8, {{3, 4}});
    ASSERT_GE(holed.slabs().size(), 2u);
    for (const SolidSlab& slab : holed.slabs())
        EXPECT_FALSE(slab.lo[0] < 4.5f && slab.hi[0] > 4.5f && slab.lo[1] < 6.0f && slab.hi[1] > 6.0f);

    // Cells narrower than their pitch leave gaps: no slab.
    GridOcclusion gaps;
    gaps.BeginLayer(2);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const float lo[3] = {1.5f * x - 0.7f, 1.5f * y - 0.7f, -0.1f}, hi[3] = {1.5f * x + 0.7f, 1.5f * y + 0.7f, 0};
            gaps.AddCell(x, lo, hi, -0.1f, 0.1f);
        }
        gaps.EndRow();
    }
    gaps.EndLayer();
    EXPECT_TRUE(gaps.slabs().empty());

    // Too thin to be sure of the depth test.
    GridOcclusion thin;
    thin.BeginLayer(2);
    for (int x = 0; x < 8; ++x) {
        const float lo[3] = {1.5f * x - 0.75f, -0.75f, 0}, hi[3] = {1.5f * x + 0.75f, 0.75f, 0.01f};
        thin.AddCell(x, lo, hi, 0, 0.01f);
    }
    thin.EndLayer();
    EXPECT_TRUE(thin.slabs().empty());
}

TEST(GridOcclusion, OnlyWhatEveryRayReachesThroughTheSlabIsHidden) {
    GridOcclusion g = Layer(8);   // from -0.75 to 11.25 in x and y
    const float below[3] = {4, 4, -2}, belowHi[3] = {5, 5, -1.5f};
    EXPECT_TRUE(Hidden(g, {5, 5, 10}, below, belowHi));
    // From below the same box is in front of the slab.
    EXPECT_FALSE(Hidden(g, {5, 5, -10}, below, belowHi));
    // Seen from far off to the side, the rays pass beside the slab.
    EXPECT_FALSE(Hidden(g, {40, 5, 1}, below, belowHi));
    // Beyond the slab's edge, or reaching past it.
    const float outside[3] = {12, 4, -2}, outsideHi[3] = {13, 5, -1.5f};
    EXPECT_FALSE(Hidden(g, {5, 5, 10}, outside, outsideHi));
    const float across[3] = {10, 4, -2}, acrossHi[3] = {14, 5, -1.5f};
    EXPECT_FALSE(Hidden(g, {5, 5, 10}, across, acrossHi));
    // Past the edge, yet every ray to it from high above crosses the slab.
    const float steep[3] = {10, 4, -2}, steepHi[3] = {12, 5, -1.5f};
    EXPECT_TRUE(Hidden(g, {5, 5, 10}, steep, steepHi));
    // Touching the slab: not wholly beyond it.
    const float touching[3] = {4, 4, -1}, touchingHi[3] = {5, 5, -0.05f};
    EXPECT_FALSE(Hidden(g, {5, 5, 10}, touching, touchingHi));
    // From below, what lies above.
    const float above[3] = {4, 4, 1.5f}, aboveHi[3] = {5, 5, 2};
    EXPECT_TRUE(Hidden(g, {5, 5, -10}, above, aboveHi));
    // The eye within the layer's drawing: nothing.
    EXPECT_FALSE(Hidden(g, {5, 5, 0.05f}, below, belowHi));
}

TEST(GridOcclusion, ASlabCutAwayByTheNearPlaneOrAMirroredViewHidesNothing) {
    GridOcclusion g = Layer(8);
    const float below[3] = {4, 4, -2}, belowHi[3] = {5, 5, -1.5f};
    ASSERT_TRUE(Hidden(g, {5, 5, 1}, below, belowHi, 0.1f));
    // The slab nearer than the near plane: clipped away, it hides nothing.
    EXPECT_FALSE(Hidden(g, {5, 5, 1}, below, belowHi, 1.5f));

    D3DXMATRIX mirrored = LookAt({5, 5, 10}, {4.5f, 4.5f, -1.75f});
    for (int i = 0; i < 4; ++i) mirrored.m[i][0] = -mirrored.m[i][0];
    const float eye[3] = {5, 5, 10};
    EXPECT_FALSE(g.SetView(eye, mirrored, Projection()));
    EXPECT_FALSE(g.Hides(below, belowHi));
    D3DXMATRIX flat;
    D3DXMatrixOrthoLH(&flat, 10, 10, 0.1f, 100);
    EXPECT_FALSE(g.SetView(eye, LookAt({5, 5, 10}, {4.5f, 4.5f, -1.75f}), flat));
}

// Layers of the shipped metal floor pad on the recording device.
class GridOcclusionLevel : public ::testing::Test {
protected:
    void SetUp() override {
        rec = MakeRecordingEngine(RDV_GAME_DIR);
        LoadSystemClasses(rec->engine);
        level = std::make_unique<engLevel>(rec->engine);
        level->SetWorldSize(20, 20, 12);   // large enough to look for layers
        for (int z = 0; z < 12; z += 3)
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 20; ++x) level->SetMapObject(x, y, z, 0, 0, -1, -18);
        device = rec->gfx().Device();
        const D3DXMATRIX projection = Projection();
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }
    void TearDown() override {
        level.reset();
        UnloadSystemClasses(rec->engine);
    }
    // Draws the grid from `eye`; the cells whose floor was drawn at (x, y, z).
    bool Drawn(D3DXVECTOR3 eye, D3DXVECTOR3 at, int x, int y, int z) {
        const D3DXMATRIX view = test::LookAt(eye, at);
        device->SetTransform(D3DTS_VIEW, &view);
        rec->device()->ClearCalls();
        level->RenderGrid(at - eye);
        const float want[3] = {1.5f * x, 1.5f * y, 1.5f * z - 0.75f};
        for (const auto& c : rec->device()->calls) {
            if (c.op != "DrawPrimitiveInstanced" && !(c.op == "SetTransform" && c.args[0] == D3DTS_WORLD)) continue;
            for (size_t i = 0; i + 16 <= c.floats.size(); i += 16)
                if (std::fabs(c.floats[i + 12] - want[0]) < 1e-3f && std::fabs(c.floats[i + 13] - want[1]) < 1e-3f &&
                    std::fabs(c.floats[i + 14] - want[2]) < 1e-3f)
                    return true;
        }
        return false;
    }

    std::unique_ptr<RecordingEngine> rec;
    std::unique_ptr<engLevel> level;
    IDirect3DDevice8* device = nullptr;
};

TEST_F(GridOcclusionLevel, AHolePaintedInALayerShowsTheFloorBeneathAgain) {
    const D3DXVECTOR3 eye(15, 15, 22), at(15, 16, 0);
    // The floor at layer 3, below the one at layer 6, right under the eye.
    EXPECT_FALSE(Drawn(eye, at, 10, 10, 3));
    EXPECT_GT(level->GridFacesHidden(), 0);
    EXPECT_TRUE(Drawn(eye, at, 10, 10, 9));   // the top layer itself

    // A hole in the layers above: the floor beneath is drawn again.
    level->SetMapObject(10, 10, 9, 0, 0, -1, 0);
    level->SetMapObject(10, 10, 6, 0, 0, -1, 0);
    EXPECT_TRUE(Drawn(eye, at, 10, 10, 3));
    // Painted back, it is hidden again.
    level->SetMapObject(10, 10, 6, 0, 0, -1, -18);
    EXPECT_FALSE(Drawn(eye, at, 10, 10, 3));

    // After a device reset the same faces are hidden.
    const int64_t hidden = (Drawn(eye, at, 10, 10, 3), level->GridFacesHidden());
    rec->adapter->script.cooperativeLevel = {D3DERR_DEVICENOTRESET};
    BeginFrame(rec->engine);
    Display(rec->engine);
    ASSERT_EQ(rec->device()->Count("Reset"), 1u);
    device = rec->gfx().Device();
    const D3DXMATRIX projection = Projection();
    device->SetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_FALSE(Drawn(eye, at, 10, 10, 3));
    EXPECT_EQ(level->GridFacesHidden(), hidden);

    // Turned off, everything in view draws.
    level->hideBehindSolids = false;
    EXPECT_TRUE(Drawn(eye, at, 10, 10, 0));
    EXPECT_EQ(level->GridFacesHidden(), 0);
}

} // namespace
} // namespace rdv
