// Models through the model table on the recording device: load errors and
// their sources, what each render mode sends to the device, world matrix
// orders, the -x flag, the blend-operation fallback and the light map.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <unistd.h>

#include "core/Error.h"
#include "headless/RecordingEngine.h"
#include "platform/d3d/StateCache.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "packages/Package.h"

using namespace rdv;
namespace fs = std::filesystem;

namespace {

const fs::path kGame = RDV_GAME_DIR;

// A program folder of its own with the generated textures.
class Folder {
public:
    Folder() {
        root = fs::temp_directory_path() /
               ("rdv_models_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "models");
        fs::create_directories(root / "shaders");
        fs::copy(kGame / "textures", root / "textures", fs::copy_options::recursive);
    }
    ~Folder() { fs::remove_all(root); }
    void Write(const std::string& relative, const std::string& text) const {
        std::ofstream(root / relative, std::ios::binary) << text;
    }
    fs::path root;
};

EngineError LoadError(RecordingEngine& t, const std::string& name) {
    try {
        t.gfx().GetModel(name);
    } catch (const EngineError& e) {
        return e;
    }
    ADD_FAILURE() << "no error loading " << name;
    return EngineError(0, "", "");
}

gfxModel& Get(RecordingEngine& t, const std::string& name) {
    gfxModel* m = t.gfx().Model(t.gfx().GetModel(name));
    EXPECT_NE(m, nullptr);
    return *m;
}

void Draw(RecordingEngine& t, gfxModel& m, int32_t state = 0, float phase = 0, float x = 0, float y = 0, float z = 0,
          float yaw = 0, float pitch = 0, float roll = 0, float sx = 1, float sy = 1, float sz = 1) {
    m.DisplayMesh(t.engine, state, phase, x, y, z, yaw, pitch, roll, sx, sy, sz);
}

// Drops the recorded calls and makes the state cache forget what it passed
// on, so the next draw sets its whole state where the test can see it.
void Fresh(RecordingEngine& t) {
    t.device()->ClearCalls();
    if (auto* cache = dynamic_cast<StateCacheDevice*>(t.gfx().Device())) cache->Invalidate();
}

// Each draw with the ALPHABLENDENABLE and BLENDOP values set before it.
struct DrawState {
    DWORD type, start, count, alpha, blendOp;
};
std::vector<DrawState> Draws(const RecordingDevice& dev) {
    std::vector<DrawState> out;
    DWORD alpha = 99, op = 99;
    for (const auto& c : dev.calls) {
        if (c.op == "SetRenderState" && c.args[0] == D3DRS_ALPHABLENDENABLE) alpha = c.args[1];
        if (c.op == "SetRenderState" && c.args[0] == D3DRS_BLENDOP) op = c.args[1];
        if (c.op == "DrawPrimitive") out.push_back({c.args[0], c.args[1], c.args[2], alpha, op});
    }
    return out;
}

bool MatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (std::fabs(a.m[i][j] - b.m[i][j]) > 1e-5f) return false;
    return true;
}

D3DXMATRIX Compose(bool scaleFirst, float x, float y, float z, float yaw, float pitch, float roll, float sx, float sy,
                   float sz) {
    D3DXMATRIX r, s, t, a, w;
    D3DXMatrixRotationYawPitchRoll(&r, yaw, pitch, roll);
    D3DXMatrixScaling(&s, sx, sy, sz);
    D3DXMatrixTranslation(&t, x, y, z);
    if (scaleFirst) D3DXMatrixMultiply(&a, &s, &r);
    else D3DXMatrixMultiply(&a, &r, &s);
    D3DXMatrixMultiply(&w, &a, &t);
    return w;
}

const char* kTwoRuns =
    "4\r\n-\r\n1\r\n2\r\n6\r\n"
    "0\r\n1\r\nT\r\n3\r\n1\r\nTAR\r\n"
    "0\r\n0\r\n0\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n"
    "0\r\n1\r\n0\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n"
    "0\r\n1\r\n1\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n"
    "0\r\n0\r\n0\r\n0 255 0 RGB\r\n0\r\n0\r\n-\r\n"
    "0\r\n1\r\n0\r\n0 255 0 RGB\r\n0\r\n0\r\n-\r\n"
    "0\r\n1\r\n1\r\n0 255 0 RGB\r\n0\r\n0\r\n-\r\n";

} // namespace

TEST(ModelLoad, ErrorsReachGetModelWithTheModelInTheSource) {
    Folder f;
    f.Write("models/bad.tcm", "ab\r\n");
    f.Write("models/notes.txt", "hello\r\n");
    f.Write("models/outer.tco", "1\r\nbad2\r\n0\r\n0\r\n");
    f.Write("models/bad2.tcm", "9\r\n");
    auto t = MakeRecordingEngine(f.root);

    auto bad = LoadError(*t, "Bad");
    EXPECT_EQ(bad.number, ErrFormat);
    EXPECT_EQ(bad.source, "Engine->GetModel->LoadModel(Bad)->engine->GetModel->LoadModel");
    EXPECT_EQ(bad.description, "Error in TCM parser (check: binary):Bad");

    auto missing = LoadError(*t, "nothing");
    EXPECT_EQ(missing.number, ErrFileAccess);
    EXPECT_EQ(missing.source, "Engine->GetModel->LoadModel(nothing)->engine->GetModel->LoadModel->Readpackage");
    EXPECT_EQ(missing.description, "Could not read from package:nothing");

    auto notModel = LoadError(*t, "notes");
    EXPECT_EQ(notModel.number, ErrFileType);
    EXPECT_EQ(notModel.source, "Engine->GetModel->LoadModel(notes)->engine->GetModel->LoadModel");
    EXPECT_EQ(notModel.description, "Selected File is not a model file:notes");

    // A part's error passes through its composite, each adding its step.
    auto nested = LoadError(*t, "outer");
    EXPECT_EQ(nested.source,
              "Engine->GetModel->LoadModel(outer)->Engine->GetModel->LoadModel(bad2)->engine->GetModel->LoadModel");
    EXPECT_EQ(nested.description, "Error in TCM parser (check: textmode version):bad2");
    EXPECT_EQ(Packages(t->engine).OpenCount(), 0u);

    // The failed entry stays, draws nothing and is not loaded again.
    auto& names = t->gfx().models.names;
    auto at = std::find(names.begin(), names.end(), "bad");
    ASSERT_NE(at, names.end());
    int32_t index = static_cast<int32_t>(at - names.begin());
    size_t logLines = t->log.size();
    EXPECT_EQ(t->gfx().GetModel("BAD"), index);
    EXPECT_EQ(t->log.size(), logLines);
    EXPECT_EQ(t->gfx().models.counts[index], 2);
    gfxModel* m = t->gfx().Model(index);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->renderMode, 0);
    t->device()->ClearCalls();
    Draw(*t, *m);
    EXPECT_TRUE(t->device()->calls.empty());
}

TEST(ModelDraw, ModeOneSetsOptionsAndBlendsPerRun) {
    Folder f;
    f.Write("models/runs.tcm", kTwoRuns);
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "runs");
    ASSERT_EQ(m.renderMode, 1);
    RecordingDevice& dev = *t->device();
    EXPECT_EQ(dev.Calls("CreateVertexBuffer").back()->args, (std::vector<DWORD>{6 * 36, 0, 338, D3DPOOL_MANAGED}));
    Fresh(*t);

    Draw(*t, m, 0, 0, 1, 2, 3, 0.5f, 0.25f, 0.125f, 2, 3, 4);
    EXPECT_TRUE(MatrixNear(dev.Transform(D3DTS_WORLD), Compose(true, 1, 2, 3, 0.5f, 0.25f, 0.125f, 2, 3, 4)));
    EXPECT_EQ(dev.RenderState(D3DRS_AMBIENTMATERIALSOURCE), 1u);
    EXPECT_EQ(dev.RenderState(D3DRS_DIFFUSEMATERIALSOURCE), 1u);
    EXPECT_EQ(dev.RenderState(D3DRS_EMISSIVEMATERIALSOURCE), 0u);
    EXPECT_EQ(dev.RenderState(D3DRS_SPECULARMATERIALSOURCE), 0u);
    EXPECT_FLOAT_EQ(dev.material.Diffuse.r, 1.0f);
    // The model texture is "none".
    EXPECT_EQ(dev.TextureAt(0), t->gfx().Texture(t->gfx().LoadTexture("none")));
    ASSERT_EQ(dev.Count("SetStreamSource"), 1u);
    EXPECT_EQ(dev.Calls("SetStreamSource")[0]->args[2], 36u);

    auto draws = Draws(dev);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[0].start, 0u);
    EXPECT_EQ(draws[0].count, 1u);
    EXPECT_EQ(draws[0].alpha, 0u);
    EXPECT_EQ(draws[0].blendOp, D3DBLENDOP_ADD);
    EXPECT_EQ(draws[1].start, 3u);
    EXPECT_EQ(draws[1].alpha, 1u);
    EXPECT_EQ(draws[1].blendOp, D3DBLENDOP_REVSUBTRACT);
}

TEST(ModelDraw, AnUnknownModeDrawsOnePointFromTheStart) {
    Folder f;
    // Mode 9, and the file ends one vertex short: that vertex reads as zeros.
    f.Write("models/odd.tcm",
            "4\r\n-\r\n9\r\n1\r\n3\r\n0\r\n1\r\nT\r\n"
            "1\r\n1\r\n1\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n"
            "0\r\n1\r\n0\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n");
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "odd");
    ASSERT_EQ(m.renderMode, 9);
    RecordingDevice& dev = *t->device();
    EXPECT_EQ(dev.Calls("CreateVertexBuffer").back()->args[0], 3u * 36u);
    Fresh(*t);
    Draw(*t, m);
    const auto draws = Draws(dev);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].type, D3DPT_POINTLIST);
    EXPECT_EQ(draws[0].start, 0u);
    EXPECT_EQ(draws[0].count, 1u);
}

TEST(ModelDraw, NeighbouringListRunsOfOneStateAreOneDraw) {
    // Runs (start, primitives, kind): two joining triangle lists, one after
    // a gap, two blended ones joining, two strips that never join.
    const char* runs[][3] = {{"0", "1", "T"},   {"3", "1", "T"},   {"9", "1", "T"}, {"12", "1", "TA"},
                             {"15", "1", "TA"}, {"18", "1", "S"}, {"21", "1", "S"}};
    std::string text = "4\r\n-\r\n1\r\n7\r\n24\r\n";
    for (const auto& r : runs) text += std::string(r[0]) + "\r\n" + r[1] + "\r\n" + r[2] + "\r\n";
    for (int v = 0; v < 24; ++v) text += "0\r\n" + std::to_string(v % 3) + "\r\n0\r\n255 0 0 RGB\r\n0\r\n0\r\n-\r\n";
    Folder f;
    f.Write("models/joined.tcm", text);
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "joined");
    ASSERT_EQ(m.data().sequences.size(), 7u);
    Fresh(*t);
    Draw(*t, m);
    const auto draws = Draws(*t->device());
    ASSERT_EQ(draws.size(), 5u);
    const DWORD want[5][4] = {{D3DPT_TRIANGLELIST, 0, 2, 0},
                              {D3DPT_TRIANGLELIST, 9, 1, 0},
                              {D3DPT_TRIANGLELIST, 12, 2, 1},
                              {D3DPT_TRIANGLESTRIP, 18, 1, 0},
                              {D3DPT_TRIANGLESTRIP, 21, 1, 0}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(draws[i].type, want[i][0]) << i;
        EXPECT_EQ(draws[i].start, want[i][1]) << i;
        EXPECT_EQ(draws[i].count, want[i][2]) << i;
        EXPECT_EQ(draws[i].alpha, want[i][3]) << i;
    }
}

TEST(ModelDraw, WithoutBlendOpTheReverseRunIsBlackAndPlain) {
    auto script = RecordingScript::Default();
    script.caps.PrimitiveMiscCaps &= ~D3DPMISCCAPS_BLENDOP;
    Folder f;
    f.Write("models/runs.tcm", kTwoRuns);
    auto t = MakeRecordingEngine(f.root, script);
    gfxModel& m = Get(*t, "runs");
    for (int i = 3; i < 6; ++i) EXPECT_EQ(m.data().vertices[i].color, 0u);
    EXPECT_EQ(m.data().vertices[0].color, 0xFF0000u);
    Fresh(*t);
    Draw(*t, m);
    for (const auto& d : Draws(*t->device())) {
        EXPECT_EQ(d.alpha, 0u);
        EXPECT_EQ(d.blendOp, D3DBLENDOP_ADD);
    }
}

TEST(ModelDraw, TexturedModesRotateBeforeScaling) {
    auto t = MakeRecordingEngine(kGame);
    gfxModel& m = Get(*t, "test_textured");
    ASSERT_EQ(m.renderMode, 2);
    RecordingDevice& dev = *t->device();
    dev.ClearCalls();
    Draw(*t, m, 0, 0, 1, 2, 3, 0.5f, 0.25f, 0.125f, 2, 3, 4);
    EXPECT_TRUE(MatrixNear(dev.Transform(D3DTS_WORLD), Compose(false, 1, 2, 3, 0.5f, 0.25f, 0.125f, 2, 3, 4)));
    EXPECT_FALSE(MatrixNear(dev.Transform(D3DTS_WORLD), Compose(true, 1, 2, 3, 0.5f, 0.25f, 0.125f, 2, 3, 4)));
    EXPECT_EQ(dev.Calls("SetVertexShader").back()->args[0], 338u);
    EXPECT_EQ(dev.TextureAt(0), t->gfx().Texture(t->gfx().LoadTexture("test_checker")));
    // U and L: emissive white, not light-mapped.
    EXPECT_FLOAT_EQ(dev.material.Emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(dev.material.Diffuse.r, 0.0f);

    // The texture is bound once while it stays current.
    dev.ClearCalls();
    Draw(*t, m);
    EXPECT_EQ(dev.Count("SetTexture"), 0u);
}

TEST(ModelDraw, GroupedModelDrawsTheGroupOfTheState) {
    auto t = MakeRecordingEngine(kGame);
    gfxModel& m = Get(*t, "test_groups");
    ASSERT_EQ(m.renderMode, 3);
    ASSERT_TRUE(m.data().indexCacheValid);
    ASSERT_FALSE(m.data().indexCacheContiguous);
    RecordingDevice& dev = *t->device();
    auto starts = [&](int32_t state) {
        dev.ClearCalls();
        Draw(*t, m, state);
        std::vector<DWORD> s;
        for (const auto& d : Draws(dev)) s.push_back(d.start);
        return s;
    };
    EXPECT_EQ(starts(0), (std::vector<DWORD>{0, 12}));
    EXPECT_EQ(starts(1), (std::vector<DWORD>{6}));
    EXPECT_TRUE(starts(2).empty());
    EXPECT_TRUE(starts(-1).empty());
}

TEST(ModelDraw, CompositeDrawsThePartsOfItsState) {
    auto t = MakeRecordingEngine(kGame);
    gfxModel& m = Get(*t, "test_composite");
    ASSERT_EQ(m.renderMode, 241);
    RecordingDevice& dev = *t->device();
    dev.ClearCalls();
    const float phase = 1.570795f;
    Draw(*t, m, 0, phase, 1, 2, 3, 0, 0, 0, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 2u);
    auto worlds = dev.Calls("SetTransform");
    std::vector<D3DXMATRIX> world;
    for (const auto* c : worlds)
        if (c->args[0] == D3DTS_WORLD) {
            D3DXMATRIX w;
            for (int i = 0; i < 16; ++i) w.m[i / 4][i % 4] = c->floats[static_cast<size_t>(i)];
            world.push_back(w);
        }
    ASSERT_EQ(world.size(), 2u);
    // Red: kind 0, the composite's own pose. Blue: kind 23 bobs by 0.4 sin(p) sz.
    EXPECT_TRUE(MatrixNear(world[0], Compose(true, 1, 2, 3, 0, 0, 0, 0.5f, 0.5f, 0.5f)));
    EXPECT_TRUE(MatrixNear(world[1], Compose(true, 1, 2, 3 + 0.4f * std::sin(phase) * 0.5f, 0, 0, 0, 0.5f, 0.5f, 0.5f)));

    dev.ClearCalls();
    Draw(*t, m, 1);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 1u);
    dev.ClearCalls();
    Draw(*t, m, 7);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 0u);
}

// Departs from the original: a composite containing itself draws once.
TEST(ModelDraw, CompositeThatContainsItselfDrawsOnce) {
    Folder f;
    f.Write("models/loop.tco", "2\r\nloop\r\n0\r\n0\r\nleaf\r\n0\r\n0\r\n");
    f.Write("models/leaf.tcm", "1\r\n1\r\n3\r\n0\r\n1\r\nT\r\n"
                               "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n-\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n-\r\n"
                               "0\r\n1\r\n1\r\n0\r\n0\r\n0\r\n-\r\n");
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "loop");
    t->device()->ClearCalls();
    Draw(*t, m);
    EXPECT_EQ(t->device()->Count("DrawPrimitive"), 1u);
}

TEST(ModelDraw, CompositeAnimationKinds) {
    PartPose base{1, 2, 3, 0.1f, 0.2f, 0.3f, 1, 1, 2};
    const float p = 0.7f;
    CompositeAngles a = CompositeAnglesFor(p);
    EXPECT_NEAR(a.a[1], std::sin(p) * 3.14159 / 8, 1e-6);
    EXPECT_NEAR(a.a[5], std::sin(p + 3 * 3.14159 / 5) * 3.14159 / 4 - 3.14159 / 5, 1e-6);
    EXPECT_NEAR(a.a[9], std::sin(0.7 * p + 1) * 3.14159 / 8 - 3.14159 / 16, 1e-6);
    EXPECT_FLOAT_EQ(AnimatePart(0, p, base).yaw, 0.1f);
    EXPECT_FLOAT_EQ(AnimatePart(4, p, base).yaw, 0.1f + a.a[4]);
    EXPECT_FLOAT_EQ(AnimatePart(13, p, base).pitch, 0.2f + a.a[3]);
    EXPECT_FLOAT_EQ(AnimatePart(-9, p, base).roll, 0.3f + a.a[9]);
    EXPECT_FLOAT_EQ(AnimatePart(22, p, base).z, 3 + 0.2f * std::cos(p) * 2);
    EXPECT_GE(AnimatePart(24, 4.0f, base).z, 3.0f);
    // Kinds that turn leave the position alone and the other way round.
    EXPECT_FLOAT_EQ(AnimatePart(10, p, base).z, 3.0f);
    EXPECT_FLOAT_EQ(AnimatePart(21, p, base).yaw, 0.1f);
}

TEST(ModelDraw, BrushDrawsFansWithItsMaterialAndRestoresCulling) {
    Folder f;
    f.Write("models/room.t3d",
            "Begin Brush\r\nBegin PolyList\r\n"
            "Begin Polygon Texture=test_checker Flags=256\r\nVertex 0 1 1\r\nVertex 0 -1 1\r\nVertex 0 -1 -1\r\n"
            "Vertex 0 1 -1\r\nEnd Polygon\r\n"
            "Begin Polygon Texture=test_checker Flags=4\r\nVertex 1 1 1\r\nVertex 1 -1 1\r\nVertex 1 -1 -1\r\n"
            "End Polygon\r\nEnd PolyList\r\nEnd Brush\r\n");
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "room");
    ASSERT_EQ(m.renderMode, 242);
    RecordingDevice& dev = *t->device();
    Fresh(*t);
    Draw(*t, m, 0, 0, 1, 2, 3, 0.5f, 0, 0, 2, 2, 2);
    EXPECT_TRUE(MatrixNear(dev.Transform(D3DTS_WORLD), Compose(false, 1, 2, 3, 0.5f, 0, 0, 2, 2, 2)));
    auto draws = Draws(dev);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].type, D3DPT_TRIANGLEFAN);
    EXPECT_EQ(draws[0].count, 2u);
    EXPECT_EQ(draws[1].start, 4u);
    EXPECT_EQ(draws[1].count, 1u);
    EXPECT_EQ(draws[0].alpha, 0u);
    EXPECT_EQ(draws[1].alpha, 1u);
    EXPECT_EQ(draws[0].blendOp, D3DBLENDOP_ADD);
    for (auto s : {D3DRS_AMBIENTMATERIALSOURCE, D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_EMISSIVEMATERIALSOURCE,
                   D3DRS_SPECULARMATERIALSOURCE})
        EXPECT_EQ(dev.RenderState(s), 0u);
    EXPECT_EQ(dev.Count("SetTexture"), 1u);   // both polygons share it
    // The two-sided polygon drew without culling; culling is back afterwards.
    bool sawNone = false;
    for (const auto* c : dev.Calls("SetRenderState"))
        if (c->args[0] == D3DRS_CULLMODE && c->args[1] == D3DCULL_NONE) sawNone = true;
    EXPECT_TRUE(sawNone);
    EXPECT_EQ(dev.RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(t->gfx().cachedShader, -1);
}

TEST(ModelDraw, MeshSubsetsAndTheMeshDrawingOffFlag) {
    auto t = MakeRecordingEngine(kGame);
    gfxModel& m = Get(*t, "test_mesh");
    ASSERT_EQ(m.renderMode, 240);
    RecordingDevice& dev = *t->device();
    Fresh(*t);
    Draw(*t, m, 0, 0, 0, 0, 0, 0.3f, 0, 0, 2, 2, 2);
    EXPECT_TRUE(MatrixNear(dev.Transform(D3DTS_WORLD), Compose(false, 0, 0, 0, 0.3f, 0, 0, 2, 2, 2)));
    auto draws = Draws(dev);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].alpha, 0u);
    EXPECT_EQ(draws[0].blendOp, D3DBLENDOP_ADD);
    EXPECT_EQ(t->gfx().cachedVertexFormat, 0u);
    // Each subset sets its texture and material: red, then the textured one.
    auto materials = dev.Calls("SetMaterial");
    ASSERT_GE(materials.size(), 2u);
    EXPECT_FLOAT_EQ(materials[materials.size() - 2]->floats[0], 1.0f);
    EXPECT_FLOAT_EQ(materials[materials.size() - 2]->floats[1], 0.0f);
    EXPECT_FLOAT_EQ(materials[materials.size() - 2]->floats[4], 1.0f);   // ambient = diffuse
    EXPECT_EQ(dev.TextureAt(0), t->gfx().Texture(t->gfx().LoadTexture("test_checker")));

    t->engine.flags.meshDrawingOff = true;
    dev.ClearCalls();
    Draw(*t, m);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 0u);
    EXPECT_GE(dev.Count("SetMaterial"), 2u);
}

TEST(ModelDraw, LightMapIsAppliedOnlyWhenItsLightsAreNotOnTheDevice) {
    auto t = MakeRecordingEngine(kGame);
    t->engine.lightMap = std::make_shared<gfxLightMap>();
    gfxModel& lit = Get(*t, "test_lit");
    gfxModel& unlit = Get(*t, "test_textured");   // header flag L
    RecordingDevice& dev = *t->device();
    dev.ClearCalls();
    Draw(*t, lit, 0, 0, 0, 0, 0);
    Draw(*t, lit, 0, 0, 0, 0, 0);
    ASSERT_EQ(dev.Count("SetLight"), 1u);
    EXPECT_EQ(dev.Calls("SetLight")[0]->args, (std::vector<DWORD>{1, D3DLIGHT_DIRECTIONAL}));
    EXPECT_EQ(dev.Count("LightEnable"), 1u);
    Draw(*t, unlit, 0, 0, 5, 5, 5);
    Draw(*t, lit, 0, 0, 1.5f, 0, 0);
    EXPECT_EQ(dev.Count("SetLight"), 1u);
    EXPECT_FLOAT_EQ(t->engine.lightMap->lastPosition().x, 1.5f);
    // A new level's map goes on at its first draw.
    auto next = std::make_shared<gfxLightMap>();
    next->WriteLight(1);
    next->workingLight.Diffuse.b = 0.125f;
    next->LoadLight(1);
    t->engine.lightMap = next;
    Draw(*t, lit, 0, 0, 1.5f, 0, 0);
    EXPECT_EQ(dev.Count("SetLight"), 2u);
    EXPECT_FLOAT_EQ(dev.lights[1].Diffuse.b, 0.125f);
}

TEST(ModelDraw, RepeatedDrawsSendOnlyTheWorldTransformAndTheDraws) {
    auto t = MakeRecordingEngine(kGame);
    gfxModel& m = Get(*t, "test_textured");
    RecordingDevice& dev = *t->device();
    Draw(*t, m, 0, 0, 0, 0, 0);
    const size_t draws = dev.Count("DrawPrimitive");
    ASSERT_GT(draws, 0u);
    dev.ClearCalls();
    Draw(*t, m, 0, 0, 1.5f, 0, 0);
    Draw(*t, m, 0, 0, 3.0f, 0, 0);
    EXPECT_EQ(dev.Count("DrawPrimitive"), 2 * draws);
    EXPECT_EQ(dev.Count("SetTransform"), 2u);
    EXPECT_EQ(dev.calls.size(), 2 * draws + 2) << "nothing but the transforms and the draws";
    // Every draw still sees its own texture and world position.
    EXPECT_FLOAT_EQ(dev.calls.back().floats[12], 3.0f);
    EXPECT_NE(dev.calls.back().texture, nullptr);
}

TEST(ModelDraw, AfterADeviceResetTheWholeStateAndTheLightsAreSentAgain) {
    auto t = MakeRecordingEngine(kGame);
    t->engine.lightMap = std::make_shared<gfxLightMap>();
    const int32_t index = t->gfx().GetModel("test_lit");
    auto draw = [&] { t->gfx().Model(index)->DisplayMesh(t->engine, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1); };
    draw();
    t->adapter->script.cooperativeLevel = {D3DERR_DEVICENOTRESET};
    t->gfx().BeginFrame();
    t->gfx().Display();   // recovers: reset, defaults, models reloaded
    RecordingDevice& dev = *t->device();
    ASSERT_EQ(dev.Count("Reset"), 1u);
    dev.ClearCalls();
    draw();
    EXPECT_EQ(dev.Count("SetLight"), 1u) << "the reset took the lights off the device";
    EXPECT_EQ(dev.Count("LightEnable"), 1u);
    EXPECT_EQ(dev.Count("SetMaterial"), 1u);
    EXPECT_EQ(dev.Count("SetStreamSource"), 1u);
    EXPECT_EQ(dev.Count("SetTexture"), 1u);
    EXPECT_EQ(dev.lightEnabled[1], 1);
    EXPECT_EQ(dev.RenderState(D3DRS_AMBIENTMATERIALSOURCE), 1u);
}

TEST(ModelDraw, ShaderIsSelectedAroundTheDraw) {
    Folder f;
    f.Write("shaders/spin.tsh", "TS\r\nidentity\r\nmulu 2\r\n");
    f.Write("models/shaded.tcm", "4\r\nSL\r\nspin\r\n1\r\n1\r\n3\r\n0\r\n1\r\nT\r\n"
                                 "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n-\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n-\r\n"
                                 "0\r\n1\r\n1\r\n0\r\n0\r\n0\r\n-\r\n");
    auto t = MakeRecordingEngine(f.root);
    gfxModel& m = Get(*t, "shaded");
    EXPECT_GT(m.data().shaderIndex, 0);
    RecordingDevice& dev = *t->device();
    dev.ClearCalls();
    Draw(*t, m);
    // Selecting the texel shader sets its texture transform; disabling it
    // after the draw puts the identity back.
    std::vector<size_t> textureTransforms;
    size_t drawAt = 0;
    for (size_t i = 0; i < dev.calls.size(); ++i) {
        if (dev.calls[i].op == "SetTransform" && dev.calls[i].args[0] == D3DTS_TEXTURE0) textureTransforms.push_back(i);
        if (dev.calls[i].op == "DrawPrimitive") drawAt = i;
    }
    ASSERT_EQ(textureTransforms.size(), 2u);
    EXPECT_LT(textureTransforms[0], drawAt);
    EXPECT_GT(textureTransforms[1], drawAt);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(MatrixNear(dev.Transform(D3DTS_TEXTURE0), identity));
}
