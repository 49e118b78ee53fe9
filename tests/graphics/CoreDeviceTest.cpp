// Device selection and set-up on the recording adapter: the mode list, the
// desktop checks, the buffer-format and depth search, multisampling, device
// kinds, the creation fall-backs and the default state.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Error.h"
#include "core/ErrorText.h"
#include "core/Subsystems.h"
#include "headless/RecordingEngine.h"

using namespace rdv;

namespace {

struct Config {
    RecordingScript script = RecordingScript::Default();
    Settings settings = RecordingSettings();
};

// Builds the engine, applies the settings and runs InitGraphics.
std::unique_ptr<RecordingEngine> Init(const Config& s) {
    auto t = MakeRecordingEngine({}, s.script, false);
    t->engine.settings = s.settings;
    InitGraphics(t->engine);
    return t;
}

// InitGraphics must fail with this error.
void ExpectInitError(const Config& s, int32_t number, const std::string& source, const std::string& description,
                     std::unique_ptr<RecordingEngine>* keep = nullptr) {
    auto t = MakeRecordingEngine({}, s.script, false);
    t->engine.settings = s.settings;
    try {
        InitGraphics(t->engine);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, number);
        EXPECT_EQ(e.source, source);
        EXPECT_EQ(e.description, description);
    }
    if (keep) *keep = std::move(t);
}

D3DDISPLAYMODE Mode(UINT w, UINT h, UINT rate = 60) { return {w, h, rate, D3DFMT_X8R8G8B8}; }

} // namespace

TEST(CoreResolutions, RepeatsAtSeveralRatesAppearOnceSortedByWidthThenHeight) {
    Config s;
    s.script.modes = {Mode(1024, 768), Mode(800, 600), Mode(1024, 768, 85), Mode(640, 480),
                      Mode(800, 600, 75), Mode(1024, 600), Mode(640, 480, 72), Mode(1280, 1024)};
    s.settings.width = 1024;
    s.settings.height = 600;
    s.settings.windowed = false;
    auto t = Init(s);
    gfxCore& g = t->gfx();
    ASSERT_EQ(g.resolutionCount, 5);
    const int want[][2] = {{0, 0}, {640, 480}, {800, 600}, {1024, 600}, {1024, 768}, {1280, 1024}};
    for (int i = 0; i <= 5; ++i) {
        EXPECT_EQ(g.resolutions[i].width, want[i][0]) << i;
        EXPECT_EQ(g.resolutions[i].height, want[i][1]) << i;
    }
    EXPECT_TRUE(t->Logged("Resolutions: 5"));
    EXPECT_TRUE(t->Logged("Using resolution: 1024 X 600"));
    EXPECT_EQ(g.selectedResolution, 3);
    EXPECT_FALSE(g.settingsRepaired);
    EXPECT_FALSE(t->Logged("WARNING: Could not use given settings - reverting to default"));
    int w = 0, h = 0;
    ASSERT_TRUE(t->engine.selectedDisplayMode(w, h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 600);
}

TEST(CoreResolutions, UnknownResolutionSelectsTheSmallestMode) {
    Config s;
    s.settings.width = 1000;
    s.settings.height = 700;
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Invalid Resolution, now selecting 640 X 480"));
    EXPECT_EQ(t->engine.settings.width, 640);
    EXPECT_EQ(t->engine.settings.height, 480);
    EXPECT_EQ(t->gfx().selectedResolution, 1);
    EXPECT_TRUE(t->gfx().settingsRepaired);
    EXPECT_EQ(t->ColourOf("WARNING: Could not use given settings - reverting to default"), 6);
}

// Departs from the original: an adapter with no modes raises 1001.
TEST(CoreResolutions, AnAdapterWithoutModesIsADeviceError) {
    Config s;
    s.script.modes.clear();
    ExpectInitError(s, ErrDevice, "EnumerateResolutions", "The display adapter offers no display modes");
}

TEST(CoreDesktop, WindowedResolutionAsLargeAsTheDesktopDoesNotFit) {
    Config s;
    s.settings.width = 1024;   // the desktop is 1024 x 768
    s.settings.height = 768;
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Running windowed"));
    EXPECT_TRUE(t->Logged("Current color depth: 32 (True Colors)"));
    EXPECT_EQ(t->ColourOf("Selected Resolution does not fit on desktop"), 6);
    // Of 640x480 and 800x600 (both strictly smaller), 800x600 is nearer.
    EXPECT_TRUE(t->Logged("Selected 800x600 as a fitting size"));
    EXPECT_EQ(t->engine.settings.width, 800);
    EXPECT_EQ(t->gfx().selectedResolution, 2);
    EXPECT_EQ(t->device()->params.BackBufferWidth, 800u);

    // Full screen skips the desktop checks.
    s.settings.windowed = false;
    auto f = Init(s);
    EXPECT_TRUE(f->Logged("Running fullscreen"));
    EXPECT_EQ(f->engine.settings.width, 1024);
}

TEST(CoreDesktop, ColourDepthFollowsTheDesktop) {
    Config s;
    s.script.desktop.Format = D3DFMT_R5G6B5;
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Current color depth: 16 (High Colors)"));
    EXPECT_EQ(t->ColourOf("Color depth mismatch, adjusting"), 4);
    EXPECT_FALSE(t->engine.settings.colour32);
    EXPECT_TRUE(t->Logged("Selected Matching Dev/BB pair: 2 (R5G6B5), 2 (R5G6B5)"));

    // A palette desktop: No ends in error 1003, Yes switches to full screen.
    s.script.desktop.Format = D3DFMT_P8;
    std::unique_ptr<RecordingEngine> kept;
    auto no = MakeRecordingEngine({}, s.script, false);
    no->host->answers = {MsgResult::No};
    try {
        InitGraphics(no->engine);
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrColourDepth);
        EXPECT_EQ(e.source, "Init->Initgraphics->GetDesktopMode");
        EXPECT_EQ(e.description, "Desktop color depth not set to 16 or 32 bits");
    }
    EXPECT_EQ(no->ColourOf("WARNING: Current color depth: incompatible"), 4);
    auto yes = MakeRecordingEngine({}, s.script, false);
    yes->host->answers = {MsgResult::Yes};
    InitGraphics(yes->engine);
    EXPECT_TRUE(yes->Logged("User decided to switch to fullscreen"));
    EXPECT_FALSE(yes->engine.settings.windowed);
    EXPECT_EQ(yes->device()->params.Windowed, 0);
    ASSERT_EQ(yes->host->boxes.size(), 1u);
    EXPECT_EQ(yes->host->boxes[0].text, "Can not run in windowed mode - Change to fullscreen?");
    EXPECT_EQ(yes->host->boxes[0].title, "Rondovar II");
}

TEST(CoreDesktop, DeviceThatCannotRenderWindowed) {
    Config s;
    s.script.caps.Caps2 &= ~D3DCAPS2_CANRENDERWINDOWED;
    auto t = MakeRecordingEngine({}, s.script, false);
    t->host->answers = {MsgResult::No};
    EXPECT_THROW(InitGraphics(t->engine), EngineError);
    EXPECT_EQ(t->ColourOf("WARNING: Device does not support windowed rendering"), 4);
    auto y = MakeRecordingEngine({}, s.script, false);
    y->host->answers = {MsgResult::Yes};
    InitGraphics(y->engine);
    EXPECT_TRUE(y->Logged("User decided to switch to fullscreen"));
    EXPECT_TRUE(y->gfx().settingsRepaired);

    auto n = MakeRecordingEngine({}, s.script, false);
    n->host->answers = {MsgResult::No};
    try {
        InitGraphics(n->engine);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrDevice);
        EXPECT_EQ(e.source, "GetDesktopMode");
        EXPECT_EQ(e.description, "Device doesnt support windowed rendering");
    }
}

TEST(CoreFormats, SixteenBitRequestOnAThirtyTwoBitOnlyDevice) {
    Config s;
    s.settings.windowed = false;
    s.settings.colour32 = false;
    s.script.formatPairs = {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}};
    auto t = Init(s);
    // A detail line (colour 0) despite its "WARNING:": the device step repairs the setting itself.
    EXPECT_EQ(t->ColourOf("WARNING: Device doesn't seem to be able to run in the given mode: 16bpp"), 0);
    // Both pairs are 16 bits away; rows 1 + 0 beat rows 1 + 1.
    EXPECT_TRUE(t->Logged("Selected Dev/BB pair: 1 (X8R8G8B8), 0 (A8R8G8B8)"));
    EXPECT_TRUE(t->engine.settings.colour32);
    EXPECT_TRUE(t->gfx().settingsRepaired);
    EXPECT_EQ(t->gfx().adapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(t->device()->params.BackBufferFormat, D3DFMT_A8R8G8B8);
}

TEST(CoreFormats, ExactPairIsPreferredAndNoPairIsAnError) {
    Config s;
    s.settings.windowed = false;
    auto t = Init(s);
    // 32-bit wanted: (X8, X8) and (X8, A8) both match; the smaller row sum wins.
    EXPECT_TRUE(t->Logged("Selected Matching Dev/BB pair: 1 (X8R8G8B8), 0 (A8R8G8B8)"));
    s.script.formatPairs.clear();
    ExpectInitError(s, ErrDevice, "CheckDeviceCompatibility->FindBufferFormat",
                    "Could not determine a working format for this device");
}

TEST(CoreFormats, DepthListIsLoggedInReverseAndTheEarliestRowIsChosen) {
    Config s;
    s.script.depthFormats = {D3DFMT_D16, D3DFMT_D24S8};
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Supported Depth Buffers: D16 D24S8 "));
    EXPECT_TRUE(t->Logged("Using Depth Buffer: D24S8"));
    EXPECT_TRUE(t->Logged("Stencil Buffer: Present (8 bpp)"));
    EXPECT_EQ(t->device()->params.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(t->device()->params.EnableAutoDepthStencil, 1);
    EXPECT_EQ(t->device()->params.BackBufferCount, 1u);

    s.script.depthFormats = {D3DFMT_D32, D3DFMT_D16_LOCKABLE};
    auto u = Init(s);
    EXPECT_TRUE(u->Logged("Supported Depth Buffers: LOCKABLE D32 "));
    EXPECT_TRUE(u->Logged("Stencil Buffer: N/A"));

    s.script.depthFormats.clear();
    ExpectInitError(s, ErrDevice, "CheckDeviceCompatibility", "No Depth Buffer found");
}

TEST(CoreMultisample, MaximumIsTheHighestPassingCount) {
    auto t = MakeRecordingEngine({}, RecordingScript::Default(), false);
    gfxCore& g = t->gfx();
    g.d3d = t->adapter;
    auto max = [&](std::vector<UINT> pass) {
        t->adapter->script.multisamples = std::move(pass);
        return g.FindMaxMultiSample(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1);
    };
    EXPECT_EQ(max({2, 4, 6}), 6);
    EXPECT_EQ(max({2, 3, 4}), 4);
    EXPECT_EQ(max({2}), 2);
    EXPECT_EQ(max({4, 8}), 0);   // no 2: none at all
    EXPECT_EQ(max({2, 4, 8, 16}), 16);
}

TEST(CoreMultisample, SettingIsUsedAdjustedOrTurnedOff) {
    Config s;
    s.script.multisamples = {2, 4, 6};
    s.settings.multisample = 8;
    s.settings.interlacing = true;
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Multisampling: found"));
    EXPECT_TRUE(t->Logged("-Samples: 6 (2.4)"));
    EXPECT_TRUE(t->Logged("-Used"));
    EXPECT_TRUE(t->Logged("-Adjusted"));
    EXPECT_EQ(t->ColourOf("-Interlacing overridden by antialiasing"), 4);
    EXPECT_EQ(t->engine.settings.multisample, 6);
    EXPECT_FALSE(t->engine.settings.interlacing);
    EXPECT_TRUE(t->gfx().multisampling);
    EXPECT_FALSE(t->gfx().copySwap);
    EXPECT_EQ(t->device()->params.MultiSampleType, D3DMULTISAMPLE_6_SAMPLES);
    EXPECT_EQ(t->device()->params.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(t->device()->RenderState(D3DRS_MULTISAMPLEANTIALIAS), 1u);

    s.settings.multisample = 1;
    auto u = Init(s);
    EXPECT_TRUE(u->Logged("-Unused"));
    EXPECT_TRUE(u->Logged("Using double buffering"));
    EXPECT_EQ(u->device()->params.SwapEffect, D3DSWAPEFFECT_COPY);
    EXPECT_EQ(u->device()->RenderState(D3DRS_MULTISAMPLEANTIALIAS), 0u);

    s.script.multisamples.clear();
    s.settings.multisample = 4;
    auto v = Init(s);
    EXPECT_EQ(v->ColourOf("Multisampling: not found/set to off"), 4);
    EXPECT_EQ(v->engine.settings.multisample, 1);
    EXPECT_EQ(v->gfx().multisampleMax, 0);
}

TEST(CoreCreate, PageFlippingOverridesInterlacing) {
    Config s;
    s.settings.pageFlipping = true;
    s.settings.interlacing = true;
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Using page flipping"));
    EXPECT_EQ(t->ColourOf("Interlacing overridden by page flipping"), 4);
    EXPECT_EQ(t->device()->params.SwapEffect, D3DSWAPEFFECT_FLIP);
    EXPECT_FALSE(t->engine.settings.interlacing);
}

TEST(CoreCreate, DeviceKindAndCapabilitiesChooseTypeAndVertexProcessing) {
    struct Case {
        uint8_t kind;
        DWORD devCapsOff, vpCapsOff;
        const char* line;
        D3DDEVTYPE type;
        DWORD flags;
    };
    const Case cases[] = {
        {1, 0, 0, "Selected Device: HW TnL / PureDevice", D3DDEVTYPE_HAL,
         D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE},
        {1, D3DDEVCAPS_PUREDEVICE, 0, "Selected Device: HW TnL", D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {1, D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0, "Selected Device: Mixed Mode", D3DDEVTYPE_HAL,
         D3DCREATE_MIXED_VERTEXPROCESSING},
        {1, 0, D3DVTXPCAPS_POSITIONALLIGHTS, "Selected Device: SW TnL", D3DDEVTYPE_HAL,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {2, 0, 0, "Selected Device: Software Plugin", D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {0, 0, 0, "Selected Device: Reference Rasterizer", D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Config s;
        s.settings.deviceKind = c.kind;
        s.script.caps.DevCaps &= ~c.devCapsOff;
        s.script.caps.VertexProcessingCaps &= ~c.vpCapsOff;
        auto t = Init(s);   // the reference question answers its default: No
        EXPECT_TRUE(t->Logged(c.line));
        EXPECT_EQ(t->device()->type, c.type);
        EXPECT_EQ(t->device()->behaviour, c.flags);
    }
    // Yes to the reference rasterizer question switches to hardware.
    auto t = MakeRecordingEngine({}, RecordingScript::Default(), false);
    t->engine.settings.deviceKind = 0;
    t->host->answers = {MsgResult::Yes};
    InitGraphics(t->engine);
    ASSERT_EQ(t->host->boxes.size(), 1u);
    EXPECT_EQ(t->host->boxes[0].text,
              "Current Device is the Windows Reference Rasterizer - Change to hardware accellerated mode?");
    EXPECT_EQ(t->host->boxes[0].defaultButton, 2);
    EXPECT_EQ(t->engine.settings.deviceKind, 1);
    EXPECT_TRUE(t->Logged("Selected Device: HW TnL / PureDevice"));
}

TEST(CoreCreate, ThreeFailuresWithTheDefaultFallBackBeforeTheThird) {
    Config s;
    s.settings.multisample = 4;
    s.script.createResults = {D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE};
    std::unique_ptr<RecordingEngine> t;
    ExpectInitError(s, ErrDevice, "CreateDevice", "Could not initialize 3d device or 3d device was not installed", &t);
    const auto& a = t->adapter->createAttempts;
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].params.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    EXPECT_EQ(a[1].params.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(a[1].params.BackBufferWidth, 640u);
    EXPECT_EQ(a[1].params.Windowed, 1);
    EXPECT_EQ(a[1].params.BackBufferFormat, D3DFMT_A8R8G8B8);
    const D3DPRESENT_PARAMETERS& last = a[2].params;
    EXPECT_EQ(a[2].behaviour, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(last.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(last.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(last.Windowed, 0);
    EXPECT_EQ(last.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(last.BackBufferWidth, 640u);
    EXPECT_EQ(last.BackBufferHeight, 480u);
    EXPECT_EQ(t->engine.settings.multisample, 0);
    int warnings = 0, defaults = 0;
    for (const auto& l : t->log) {
        if (l.message == "WARNING: Couldn't open device: " + ErrorText(D3DERR_NOTAVAILABLE) && l.colour == 4) ++warnings;
        if (l.message == "Attempting default values") ++defaults;
    }
    EXPECT_EQ(warnings, 3);
    EXPECT_EQ(defaults, 1);
}

TEST(CoreCreate, OutOfVideoMemoryStepsDownTheModeList) {
    Config s;
    s.settings.windowed = false;
    s.script.modes = {Mode(640, 480), Mode(800, 600), Mode(1024, 768), Mode(1152, 864),
                      Mode(1280, 960), Mode(1280, 1024), Mode(1600, 1200)};
    s.settings.width = 1600;   // entry 7: 7 div 2 - 1 = entry 2, then entry 1
    s.settings.height = 1200;
    s.script.createResults = {D3DERR_OUTOFVIDEOMEMORY, D3DERR_OUTOFVIDEOMEMORY};
    auto t = Init(s);
    EXPECT_TRUE(t->Logged("Adjusting resolution to cope"));
    EXPECT_TRUE(t->Logged("New resolution: 800x600"));
    EXPECT_TRUE(t->Logged("New resolution: 640x480"));
    ASSERT_EQ(t->adapter->createAttempts.size(), 3u);
    EXPECT_EQ(t->adapter->createAttempts[1].params.BackBufferWidth, 800u);
    EXPECT_EQ(t->adapter->createAttempts[2].params.BackBufferHeight, 480u);
    EXPECT_EQ(t->engine.settings.width, 640);
    EXPECT_EQ(t->gfx().selectedResolution, 1);
    // No default fall-back for memory shortages: the format is kept.
    EXPECT_EQ(t->adapter->createAttempts[2].params.BackBufferFormat, D3DFMT_A8R8G8B8);
}
