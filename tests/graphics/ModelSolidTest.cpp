// Where a model counts as solid: only a closed, convex surface facing
// outwards, drawn opaque, hides what lies behind it; the box found must lie
// inside it and be as wide as the model across the asked axis.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "graphics/Model.h"
#include "graphics/ModelSolid.h"
#include "headless/RecordingEngine.h"

namespace rdv {
namespace {

using P = std::array<float, 3>;

// Adds a flat convex polygon as a fan of triangles, wound so that each
// faces away from `inside`.
void AddFace(ModelData& m, const std::vector<P>& corners, P inside, int32_t group = 0, bool alpha = false) {
    auto sub = [](P a, P b) { return P{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
    const P a = sub(corners[1], corners[0]), b = sub(corners[2], corners[0]), in = sub(inside, corners[0]);
    const P n{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const bool flip = n[0] * in[0] + n[1] * in[1] + n[2] * in[2] > 0;
    MeshSequence s;
    s.start = static_cast<int32_t>(m.vertices.size());
    s.count = static_cast<int32_t>(corners.size()) - 2;
    s.group = group;
    s.alpha = alpha;
    for (size_t i = 1; i + 1 < corners.size(); ++i) {
        P t[3] = {corners[0], corners[i], corners[i + 1]};
        if (flip) std::swap(t[1], t[2]);
        for (const P& p : t) m.vertices.push_back(MeshVertex{p[0], p[1], p[2], 0, 0, 1, 0xFFFFFFFF, 0, 0});
    }
    m.sequences.push_back(s);
}

// A slab a cell wide (1.5) whose upper edges are cut at 45 degrees: solid
// across its whole width from z = -0.1 to 0.
ModelData BevelledSlab(int32_t group = 0, bool leaveOutTop = false) {
    ModelData m;
    const float w = 0.75f, t = 0.65f;
    const P in{0, 0, 0};
    const std::vector<P> bottom = {{-w, -w, -0.1f}, {w, -w, -0.1f}, {w, w, -0.1f}, {-w, w, -0.1f}};
    const std::vector<P> middle = {{-w, -w, 0}, {w, -w, 0}, {w, w, 0}, {-w, w, 0}};
    const std::vector<P> top = {{-t, -t, 0.1f}, {t, -t, 0.1f}, {t, t, 0.1f}, {-t, t, 0.1f}};
    AddFace(m, bottom, in, group);
    if (!leaveOutTop) AddFace(m, top, in, group);
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        AddFace(m, {bottom[i], bottom[j], middle[j], middle[i]}, in, group);
        AddFace(m, {middle[i], middle[j], top[j], top[i]}, in, group);
    }
    return m;
}

TEST(ModelSolid, AClosedConvexSlabIsSolidAcrossItsWholeWidth) {
    const ModelData slab = BevelledSlab();
    float min[3], max[3];
    ASSERT_TRUE(SolidBoxOf(slab, false, 0, 2, min, max));
    EXPECT_FLOAT_EQ(min[0], -0.75f);
    EXPECT_FLOAT_EQ(max[1], 0.75f);
    EXPECT_NEAR(min[2], -0.1f, 1e-4);
    EXPECT_NEAR(max[2], 0.0f, 1e-4);
    EXPECT_LE(max[2], 0.0f);   // never beyond where the bevels begin
    // Across x no box is as wide as the slab in y and z: the bevels along
    // its y sides cut off the upper corners.
    EXPECT_FALSE(SolidBoxOf(slab, false, 0, 0, min, max));
    EXPECT_FALSE(SolidBoxOf(slab, false, 0, 3, min, max));
}

TEST(ModelSolid, OpenDentedInsideOutOrBlendedSurfacesAreNotSolid) {
    float min[3], max[3];
    // A face missing: rays pass in through the hole.
    EXPECT_FALSE(SolidBoxOf(BevelledSlab(0, true), false, 0, 2, min, max));

    // Wound inwards: the device culls the side facing the eye.
    ModelData inward = BevelledSlab();
    for (size_t i = 0; i + 2 < inward.vertices.size(); i += 3) std::swap(inward.vertices[i + 1], inward.vertices[i + 2]);
    EXPECT_FALSE(SolidBoxOf(inward, false, 0, 2, min, max));

    // The top pushed in at its middle: closed, but not convex.
    ModelData dented;
    const float w = 0.75f;
    const P in{0, 0, -0.05f}, dent{0, 0, -0.08f};
    const std::vector<P> bottom = {{-w, -w, -0.1f}, {w, -w, -0.1f}, {w, w, -0.1f}, {-w, w, -0.1f}};
    const std::vector<P> top = {{-w, -w, 0}, {w, -w, 0}, {w, w, 0}, {-w, w, 0}};
    AddFace(dented, bottom, in);
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        AddFace(dented, {bottom[i], bottom[j], top[j], top[i]}, in);
        // Wound as the rest of the top would be: facing up, away from the dent's underside.
        AddFace(dented, {top[i], top[j], dent}, P{0, 0, -1});
    }
    EXPECT_FALSE(SolidBoxOf(dented, false, 0, 2, min, max));

    // Blended: the faces behind show through.
    ModelData blended = BevelledSlab();
    blended.sequences[0].alpha = true;
    EXPECT_FALSE(SolidBoxOf(blended, false, 0, 2, min, max));

    // Vertices past the end of the data.
    ModelData cut = BevelledSlab();
    cut.vertices.resize(cut.vertices.size() - 1);
    EXPECT_FALSE(SolidBoxOf(cut, false, 0, 2, min, max));
}

TEST(ModelSolid, AGroupedModelIsSolidOnlyInTheGroupsThatAre) {
    ModelData m = BevelledSlab(1);
    const ModelData open = BevelledSlab(2, true);
    const auto base = static_cast<int32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), open.vertices.begin(), open.vertices.end());
    for (MeshSequence s : open.sequences) {
        s.start += base;
        m.sequences.push_back(s);
    }
    float min[3], max[3];
    EXPECT_TRUE(SolidBoxOf(m, true, 1, 2, min, max));
    EXPECT_FALSE(SolidBoxOf(m, true, 2, 2, min, max));
    EXPECT_FALSE(SolidBoxOf(m, true, 3, 2, min, max));   // draws nothing
    EXPECT_FALSE(SolidBoxOf(m, false, 1, 2, min, max));  // all of it: two surfaces
}

// The shipped floor and disc pads are what large levels are built of; if
// they stop being solid, nothing hides behind them any more.
TEST(ModelSolid, TheShippedTilePadsAreSolidAndBlendedGroupsAreNot) {
    auto rec = MakeRecordingEngine(RDV_GAME_DIR);
    for (const char* name : {"floorpad", "discpad"}) {
        gfxModel* model = rec->gfx().Model(rec->gfx().GetModel(name));
        ASSERT_NE(model, nullptr) << name;
        float min[3], max[3];
        ASSERT_TRUE(model->SolidBox(1, 2, min, max)) << name;
        // As wide as a cell (1.5), so that a layer of them leaves no gap.
        EXPECT_LE(min[0], -0.75f + 1e-4f) << name;
        EXPECT_GE(max[1], 0.75f - 1e-4f) << name;
        EXPECT_GT(max[2] - min[2], 0.02f) << name;
    }
    // Ice (group 7 of the disc pad) is blended.
    gfxModel* disc = rec->gfx().Model(rec->gfx().GetModel("discpad"));
    float min[3], max[3];
    EXPECT_FALSE(disc->SolidBox(7, 2, min, max));
}

} // namespace
} // namespace rdv
