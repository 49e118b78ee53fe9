// The frame, device-loss recovery and the resource tables, on the
// recording device with stand-in model and shader objects.
#include <gtest/gtest.h>

#include <fstream>

#include <unistd.h>

#include "core/Error.h"
#include "core/Subsystems.h"
#include "headless/RecordingEngine.h"
#include "graphics/Model.h"
#include "graphics/Shader.h"

using namespace rdv;

namespace {

// Counts what the table asks of its objects.
struct Counters {
    int loads = 0, releases = 0;
    std::vector<std::string> names;
};

class CountingModel : public gfxModel {
public:
    explicit CountingModel(Counters& c) : c_(c) {}
    void Load(Engine&, const std::string& n) override {
        ++c_.loads;
        c_.names.push_back(n);
        if (n == "broken") RaiseError(ErrFormat, "LoadModel", "bad model");
    }
    void Release() override { ++c_.releases; }

private:
    Counters& c_;
};

class CountingShader : public gfxShaderObj {
public:
    explicit CountingShader(Counters& c) : c_(c) {}
    void Load(Engine&, const std::string& n) override {
        ++c_.loads;
        c_.names.push_back(n);
    }
    void Release() override { ++c_.releases; }

private:
    Counters& c_;
};

// A 2 x 1 uncompressed TGA of two colours.
void WriteTga(const std::filesystem::path& path, uint32_t left, uint32_t right) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 32, 0x28};
    for (uint32_t c : {left, right})
        b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

class CoreTables : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("rdv_core_" + std::to_string(getpid()) + "_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "Textures");
        t = MakeRecordingEngine(folder);
        g = &t->gfx();
        g->makeModel = [this] { return std::make_shared<CountingModel>(models); };
        g->makeShader = [this] { return std::make_shared<CountingShader>(shaders); };
    }
    void TearDown() override {
        t.reset();
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
    std::unique_ptr<RecordingEngine> t;
    gfxCore* g = nullptr;
    Counters models, shaders;
};

} // namespace

TEST_F(CoreTables, NamesIgnoreCaseCountRequestsAndNeverUseEntryZero) {
    EXPECT_EQ(g->models.names.at(0), " ");
    EXPECT_EQ(g->GetModel("Ball"), 1);
    EXPECT_EQ(g->GetModel("BALL"), 1);
    EXPECT_EQ(g->GetModel("font"), 2);
    EXPECT_EQ(g->models.counts[1], 2);
    EXPECT_EQ(g->models.names[1], "ball");
    // The object loads once, under the name first asked for.
    EXPECT_EQ(models.loads, 2);
    EXPECT_EQ(models.names[0], "Ball");
    EXPECT_NE(g->Model(1), nullptr);
    EXPECT_EQ(g->Model(0), nullptr);
    EXPECT_EQ(g->Model(99), nullptr);
    EXPECT_EQ(g->Model(-1), nullptr);
    g->ReleaseModel(1);
    EXPECT_EQ(g->models.counts[1], 2);

    // A blank name never matches entry 0.
    EXPECT_EQ(g->GetModel(" "), 3);

    // Shaders use their own table.
    EXPECT_EQ(g->GetShader("Def_UV"), 1);
    EXPECT_EQ(g->GetShader("def_uv"), 1);
    EXPECT_EQ(g->shaders.counts[1], 2);
    EXPECT_EQ(shaders.loads, 1);

    g->ResetResourceTables();
    EXPECT_EQ(g->models.Highest(), 0);
    EXPECT_EQ(g->GetModel("font"), 1);
    EXPECT_EQ(g->shaders.Highest(), 0);
}

TEST_F(CoreTables, AModelThatFailsToLoadKeepsItsEntry) {
    EXPECT_THROW(g->GetModel("broken"), EngineError);
    EXPECT_EQ(g->models.names[1], "broken");
    EXPECT_EQ(g->GetModel("broken"), 1);   // found, not loaded again
    EXPECT_EQ(g->models.counts[1], 2);
    EXPECT_EQ(g->GetModel("next"), 2);
}

TEST_F(CoreTables, TexturesComeFromTheTexturesFolderFirstInByteOrder) {
    WriteTga(folder / "Textures" / "Brick.tga", 0xFFFF0000u, 0xFF00FF00u);
    WriteTga(folder / "Textures" / "brick.tgb", 0xFF0000FFu, 0xFF0000FFu);   // "brick" sorts after "Brick"
    int32_t i = g->LoadTexture("BRICK");
    EXPECT_EQ(i, 1);
    EXPECT_EQ(g->textures.names[1], "brick");
    auto* tex = static_cast<RecordingTexture*>(g->Texture(i).get());
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->Texel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(g->TextureSize(i), (std::pair<int, int>{2, 1}));
    EXPECT_EQ(g->LoadTexture("brick"), 1);
    EXPECT_EQ(g->textures.counts[1], 2);
    EXPECT_TRUE(t->Logged("Loading: BRICK"));
    EXPECT_EQ(g->TextureSize(0), (std::pair<int, int>{1, 1}));
}

TEST_F(CoreTables, AParkedTextureKeepsItsEntryAndIsReadAgainWhenAskedFor) {
    WriteTga(folder / "Textures" / "loader.tga", 0xFF123456u, 0xFF654321u);
    WriteTga(folder / "Textures" / "font.tga", 0xFFFFFFFFu, 0);
    ASSERT_EQ(g->LoadTexture("Loader"), 1);
    ASSERT_EQ(g->LoadTexture("font"), 2);
    RecordingDevice* d = t->device();
    ASSERT_EQ(d->LiveTextures(), 2u);

    g->ParkTexture(1);
    EXPECT_TRUE(g->Parked(1));
    EXPECT_EQ(d->LiveTextures(), 1u);   // its storage went
    EXPECT_EQ(g->textures.names[1], "loader");
    EXPECT_EQ(g->textures.counts[1], 1);
    EXPECT_EQ(g->LoadTexture("LOADER"), 1);   // same index, counted, not loaded
    EXPECT_EQ(g->textures.counts[1], 2);
    EXPECT_EQ(d->LiveTextures(), 1u);

    auto* back = static_cast<RecordingTexture*>(g->Texture(1).get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Texel(1, 0), 0xFF654321u);
    EXPECT_FALSE(g->Parked(1));
    EXPECT_EQ(g->Texture(1).get(), back);   // read once, then kept
    EXPECT_EQ(d->LiveTextures(), 2u);

    // A device reset leaves a parked texture parked; drawing reads it.
    g->ParkTexture(1);
    t->adapter->script.cooperativeLevel = {D3DERR_DEVICENOTRESET};
    BeginFrame(t->engine);
    Display(t->engine);
    ASSERT_EQ(d->Count("Reset"), 1u);
    EXPECT_EQ(d->LiveTextures(), 1u);
    EXPECT_NE(g->Texture(2), nullptr);
    ASSERT_NE(g->Texture(1), nullptr);

    // Its file gone: no texture and a warning, never an error.
    g->ParkTexture(1);
    std::filesystem::remove(folder / "Textures" / "loader.tga");
    EXPECT_EQ(g->Texture(1), nullptr);
    EXPECT_TRUE(t->Logged("WARNING: Couldn't reload texture loader: no file"));
    EXPECT_EQ(g->Texture(1), nullptr);
    // Index 0 and unknown indexes park nothing.
    g->ParkTexture(0);
    g->ParkTexture(99);
    EXPECT_FALSE(g->Parked(0));
    EXPECT_FALSE(g->Parked(99));
}

TEST_F(CoreTables, MissingAndCorruptTexturesRaiseAndStayRegistered) {
    try {
        g->LoadTexture("Nowhere");
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFileAccess);
        EXPECT_EQ(e.source, "System->LoadTexture->FindFile");
        EXPECT_EQ(e.description, "Couldn't find texture: Nowhere");
    }
    EXPECT_EQ(g->textures.names[1], "nowhere");
    EXPECT_EQ(g->Texture(1), nullptr);
    EXPECT_EQ(g->LoadTexture("nowhere"), 1);

    std::ofstream(folder / "Textures" / "junk.png") << "not an image";
    try {
        g->LoadTexture("junk");
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFileType);
        EXPECT_EQ(e.source, "System->LoadTexture->CreateTexture");
        EXPECT_NE(e.description.find("junk.png"), std::string::npos);
    }
    EXPECT_EQ(g->Texture(2), nullptr);
    // The loading trace is left after both failures: the next load is at depth 1 again.
    WriteTga(folder / "Textures" / "ok.tga", 0, 0);
    g->LoadTexture("ok");
    EXPECT_TRUE(t->Logged("Loading: ok"));
}

TEST_F(CoreTables, BeginFrameClearsAndDisplayPresents) {
    RecordingDevice* d = t->device();
    d->ClearCalls();
    BeginFrame(t->engine);
    Display(t->engine);
    auto clear = d->Calls("Clear");
    ASSERT_EQ(clear.size(), 1u);
    EXPECT_EQ(clear[0]->args[1], D3DCLEAR_ZBUFFER | D3DCLEAR_TARGET);
    EXPECT_EQ(clear[0]->args[2], 0u);
    EXPECT_EQ(clear[0]->floats[0], 1.0f);
    EXPECT_EQ(d->Count("BeginScene"), 1u);
    EXPECT_EQ(d->Count("EndScene"), 1u);
    EXPECT_EQ(d->Count("Present"), 1u);
    EXPECT_EQ(d->Count("SetRenderState"), 0u);   // no level fog

    g->clearTarget = 0;
    g->clearColour = 0xFF102030u;
    g->levelFog = true;
    d->ClearCalls();
    BeginFrame(t->engine);
    EXPECT_EQ(d->Calls("Clear")[0]->args[1], D3DCLEAR_ZBUFFER);
    EXPECT_EQ(d->Calls("Clear")[0]->args[2], 0xFF102030u);
    EXPECT_EQ(d->RenderState(D3DRS_FOGENABLE), 1u);
    Display(t->engine);
    t->engine.settings.fog = false;
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    BeginFrame(t->engine);
    EXPECT_EQ(d->RenderState(D3DRS_FOGENABLE), 0u);
}

TEST_F(CoreTables, LostDeviceSkipsPresentingUntilItIsResetAndReloaded) {
    WriteTga(folder / "Textures" / "a.tga", 0xFF112233u, 0);
    WriteTga(folder / "Textures" / "b.tga", 0xFF445566u, 0);
    EXPECT_EQ(g->LoadTexture("a"), 1);
    EXPECT_EQ(g->LoadTexture("B"), 2);
    EXPECT_EQ(g->GetModel("ball"), 1);
    EXPECT_EQ(g->GetModel("Font"), 2);
    EXPECT_EQ(g->GetShader("def_u"), 1);
    auto oldTexture = g->Texture(2).get();
    RecordingDevice* d = t->device();
    g->cachedTexture = 7;

    t->adapter->script.cooperativeLevel = {D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET};
    d->ClearCalls();
    for (int frame = 0; frame < 3; ++frame) {
        BeginFrame(t->engine);
        Display(t->engine);
    }
    EXPECT_EQ(d->Count("Present"), 0u);   // drawn, never shown
    EXPECT_EQ(d->Count("BeginScene"), 3u);
    ASSERT_EQ(d->Count("Reset"), 1u);
    EXPECT_EQ(d->Calls("Reset")[0]->args[0], 640u);
    // CheckDevice ran again: defaults back, cache cleared.
    EXPECT_EQ(d->RenderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCCOLOR));
    EXPECT_EQ(g->cachedTexture, 0);
    // Every texture and model is back at its index; shaders are kept.
    auto* a = static_cast<RecordingTexture*>(g->Texture(1).get());
    auto* b = static_cast<RecordingTexture*>(g->Texture(2).get());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->Texel(0, 0), 0xFF112233u);
    EXPECT_EQ(b->Texel(0, 0), 0xFF445566u);
    EXPECT_NE(g->Texture(2).get(), oldTexture);
    EXPECT_EQ(d->LiveTextures(), 2u);   // the old ones were let go
    EXPECT_EQ(models.releases, 2);
    EXPECT_EQ(models.loads, 4);
    EXPECT_EQ(models.names[3], "font");   // reloaded under the stored name
    EXPECT_NE(g->Model(2), nullptr);
    EXPECT_EQ(shaders.loads, 1);
    EXPECT_EQ(g->GetModel("FONT"), 2);

    BeginFrame(t->engine);
    Display(t->engine);
    EXPECT_EQ(d->Count("Present"), 1u);
}

// Departs from the original: a failed reset is retried instead of ending the game.
TEST_F(CoreTables, AFailedResetIsTriedAgainNextFrame) {
    WriteTga(folder / "Textures" / "a.tga", 0xFF112233u, 0);
    g->LoadTexture("a");
    t->adapter->script.cooperativeLevel = {D3DERR_DEVICENOTRESET, D3DERR_DEVICENOTRESET};
    t->adapter->script.resetResults = {D3DERR_DEVICELOST};
    BeginFrame(t->engine);
    Display(t->engine);
    EXPECT_EQ(g->Texture(1), nullptr);
    BeginFrame(t->engine);
    Display(t->engine);
    EXPECT_EQ(t->device()->Count("Reset"), 2u);
    EXPECT_NE(g->Texture(1), nullptr);
}

TEST_F(CoreTables, UnknownCooperativeLevelIsADeviceError) {
    t->adapter->script.cooperativeLevel = {D3DERR_DRIVERINTERNALERROR};
    BeginFrame(t->engine);
    try {
        Display(t->engine);
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrDevice);
        EXPECT_EQ(e.source, "Engine->MainLoop->Display");
        EXPECT_EQ(e.description, "Unknown device error: 88760827");
    }
}

TEST_F(CoreTables, ShutdownReleasesEverythingAndInitStartsAfresh) {
    WriteTga(folder / "Textures" / "a.tga", 0, 0);
    g->LoadTexture("a");
    g->GetModel("ball");
    g->GetShader("s");
    ShutdownGraphics(t->engine);
    EXPECT_EQ(models.releases, 1);
    EXPECT_EQ(shaders.releases, 1);
    EXPECT_EQ(g->Device(), nullptr);
    EXPECT_EQ(t->adapter->LastDevice(), nullptr);
    EXPECT_EQ(g->textures.Highest(), 0);
    // Frames without a device do nothing; the next pass starts again.
    BeginFrame(t->engine);
    Display(t->engine);
    ShutdownGraphics(t->engine);
    InitGraphics(t->engine);
    ASSERT_NE(t->device(), nullptr);
    EXPECT_EQ(g->GetModel("ball"), 1);
}
