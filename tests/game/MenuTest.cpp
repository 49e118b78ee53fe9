// The menu on the recording device, driven frame by frame with scripted
// buttons and cursor: where widgets are drawn against where they are hit,
// one action per press, help texts, the options pages and their limits,
// key capture, the restart prompt, campaigns and the editor page; scrolled
// lists with the knob and the wheel, and a pad working the menu. Every test
// runs with each shipped language file, so a caption or help text taken from
// the wrong string number shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "editor/Editor.h"
#include "game/Game.h"
#include "game/Campaign.h"
#include "game/Library.h"
#include "headless/RecordingEngine.h"
#include "graphics/Model.h"
#include "input/Input.h"
#include "level/Level.h"
#include "level/Object.h"
#include "platform/dinput/ScriptedInput.h"
#include "platform/dsound/ScriptedDSound.h"
#include "sound/Sound.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

// ------------------------------------------------------------ test models

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A render-mode-3 model: one quad per frame, in the plane facing the menu
// camera (model y right, z up), each frame in its own colour.
struct Quad {
    int frame;
    float y0, y1, z0, z1;
    Rgb colour;
};

std::string Tcm(const std::vector<Quad>& quads) {
    std::ostringstream out;
    auto line = [&](const auto& v) { out << v << "\r\n"; };
    line(3);
    line(quads.size());
    line(quads.size() * 6);
    for (size_t i = 0; i < quads.size(); ++i) {
        line(i * 6);
        line(2);
        line("T");
        line("white");
        line(quads[i].frame);
    }
    for (const Quad& q : quads) {
        // Clockwise as the camera sees it: top-left, top-right, bottom-right, bottom-left.
        const float c[4][2] = {{q.y0, q.z1}, {q.y1, q.z1}, {q.y1, q.z0}, {q.y0, q.z0}};
        for (int k : {0, 1, 2, 0, 2, 3}) {
            line(0);
            line(c[k][0]);
            line(c[k][1]);
            char colour[32];
            std::snprintf(colour, sizeof colour, "%03d %03d %03d RGB", q.colour.r, q.colour.g, q.colour.b);
            line(colour);
            line(0);
            line(0);
            line("-");
        }
    }
    return out.str();
}

const Rgb kHovered{0, 255, 0}, kButton{0, 0, 255}, kPanel{40, 40, 40}, kBoxOff{200, 0, 0}, kBoxOn{255, 255, 0},
    kInfo{0, 200, 200}, kArrow{255, 0, 255}, kArrowHover{255, 128, 255}, kKnob{128, 128, 0}, kGlyph{255, 255, 255},
    kPointer{1, 2, 3}, kProbe{9, 99, 199};

// A 1 x 1 white BMP: every model sequence names a texture.
std::string WhiteBmp() {
    const uint8_t bytes[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                             1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             255, 255, 255, 0};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// ------------------------------------------------------------ what was drawn

// A draw's extent on the screen in cursor units, and its colour.
struct ScreenBox {
    float x0, x1, y0, y1;
    Rgb colour;
    float cx() const { return (x0 + x1) / 2; }
    float cy() const { return (y0 + y1) / 2; }
};

D3DXMATRIX FromFloats(const std::vector<float>& f) {
    D3DXMATRIX m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = f[size_t(i)];
    return m;
}

std::vector<ScreenBox> Drawn(const RecordingDevice& dev, float aspect) {
    std::vector<ScreenBox> out;
    // The projection is the device set-up's; the menu sets its view each
    // frame, and a view that is already on the device is not sent again.
    D3DXMATRIX view, projection;
    const D3DMATRIX p = dev.Transform(D3DTS_PROJECTION), v = dev.Transform(D3DTS_VIEW);
    std::memcpy(&projection, &p, sizeof p);
    std::memcpy(&view, &v, sizeof v);
    for (const RecordedCall& c : dev.calls) {
        if (c.op == "SetTransform" && c.args[0] == D3DTS_VIEW) view = FromFloats(c.floats);
        if (c.op == "SetTransform" && c.args[0] == D3DTS_PROJECTION) projection = FromFloats(c.floats);
        if (c.op != "DrawPrimitive" || c.data.size() < 36) continue;
        D3DXMATRIX world = FromFloats(c.floats), wv, all;
        D3DXMatrixMultiply(&wv, &world, &view);
        D3DXMatrixMultiply(&all, &wv, &projection);
        ScreenBox box{1e9f, -1e9f, 1e9f, -1e9f, {}};
        for (size_t v = 0; v + 36 <= c.data.size(); v += 36) {
            float p[3];
            uint32_t argb;
            std::memcpy(p, &c.data[v], 12);
            std::memcpy(&argb, &c.data[v + 24], 4);
            D3DXVECTOR4 clip;
            const D3DXVECTOR3 at{p[0], p[1], p[2]};
            D3DXVec3Transform(&clip, &at, &all);
            const float x = clip.x / clip.w * aspect, y = clip.y / clip.w;
            box.x0 = std::min(box.x0, x);
            box.x1 = std::max(box.x1, x);
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y);
            box.colour = Rgb{int((argb >> 16) & 255), int((argb >> 8) & 255), int(argb & 255)};
        }
        out.push_back(box);
    }
    return out;
}

std::vector<ScreenBox> OfColour(const std::vector<ScreenBox>& boxes, Rgb colour) {
    std::vector<ScreenBox> out;
    for (const ScreenBox& b : boxes)
        if (b.colour == colour) out.push_back(b);
    return out;
}

// A tile of the palette that draws a quad on the face it is asked for.
class ProbeTile : public LevelObject {
public:
    ProbeTile(Engine& engine, int32_t model) : engine_(engine), model_(model) {}
    void AssignVar(const std::string&, const std::string&) override {}
    std::string GetFullClassName() const override { return "System.Tiles.Probe"; }
    std::string ToolTipText() override { return "Probe tip"; }
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override {
        ++renders;
        EXPECT_EQ(orientation, kFaceZ);
        // The probe model lies in the y-z plane; laid flat it is the floor
        // face of the cell, 1.5 wide.
        engine_.gfx->Model(model_)->DisplayMesh(engine_, 0, 0, 1.5f * x, 1.5f * y, 1.5f * z - 0.75f, 1.570795f,
                                                0, 0, 1, 1, 1);
    }
    int renders = 0;

private:
    Engine& engine_;
    int32_t model_;
};

// ------------------------------------------------------------ fixture

// Glyphs the test font draws for a text: one per printable ASCII character.
size_t Glyphs(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) > 32 && static_cast<unsigned char>(c) < 127;
    }));
}

// The parameter is the language number of the shipped catalogue.
class MenuTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("Menu.") + info->name();
        std::replace(name.begin(), name.end(), '/', '.');
        folder = fs::path(RDV_BINARY_DIR) / "test-game" / name;
        fs::remove_all(folder);
        for (const char* sub : {"data", "maps", "models", "textures"}) fs::create_directories(folder / sub);
        Write("textures/white.bmp", WhiteBmp());
        Write("models/menu.tcm", Tcm({{0, -2, 2, -0.5f, 0.5f, kHovered},
                                      {1, -2, 2, -0.5f, 0.5f, kButton},
                                      {2, -0.5f, 0.5f, -0.5f, 0.5f, kPanel},
                                      {3, -0.5f, 0.5f, -0.5f, 0.5f, kBoxOff},
                                      {4, -0.5f, 0.5f, -0.5f, 0.5f, kBoxOn},
                                      {5, -0.5f, 0.5f, -0.5f, 0.5f, kInfo}}));
        Write("models/rarrow.tcm", Tcm({{0, -0.5f, 0.5f, -0.5f, 0.5f, kArrow},
                                        {1, -0.5f, 0.5f, -0.5f, 0.5f, kArrowHover},
                                        {12, -0.5f, 0.5f, -0.5f, 0.5f, kKnob},
                                        {13, -0.5f, 0.5f, -0.5f, 0.5f, kKnob}}));
        std::vector<Quad> glyphs;
        for (int code = 33; code < 127; ++code) glyphs.push_back({code, 0, 0.65f, 0, 1, kGlyph});
        Write("models/font.tcm", Tcm(glyphs));
        Write("models/gmouse.tcm", Tcm({{0, 0, 0.2f, -0.3f, 0, kPointer}, {1, 0, 0.1f, 0, 0.1f, kPointer}}));
        Write("models/drawcursor.tcm", Tcm({{0, 0, 0.1f, 0, 0.1f, kProbe}, {1, 0, 0.1f, 0, 0.1f, kProbe}}));
        Write("models/probe.tcm", Tcm({{0, -0.75f, 0.75f, -0.75f, 0.75f, kProbe}, {1, 0, 0.1f, 0, 0.1f, kProbe}}));
        Write("maps/entry.tcs", "BTv1\n-World\nx=2\ny=2\nz=2\n");
        Write("maps/solo.tcs", "BTv1\n-World\nx=3\ny=3\nz=3\n");
        Write("data/first.dat", "N=1\n1=solo\n");

        t = MakeRecordingEngine(folder);
        engine = &t->engine;
        engine->running = true;
        engine->aspectRatio = 640.0f / 480.0f;
        for (const char* file : {"langfiles.dat", "english.dat", "deutsch.dat"})
            fs::copy_file(fs::path(RDV_SOURCE_DIR) / "data" / "data" / file, folder / "data" / file);
        engine->settings.language = GetParam();
        LoadLanguageCatalog(*engine);
        LoadLanguage(*engine);
        engLibrary& lib = Library(*engine);
        lib.campaignCount = 1;
        lib.campaignFiles = {"", "first"};
        lib.campaignCaptions = {"", "First"};
        lib.campaignModels = {0, 0};
        lib.campaignFrames = {0, 0};
    }
    void Start() {
        GameStart(*engine);
        game = &Game(*engine);
        game->readInput = [this] { return input; };
    }
    void Write(const std::string& relative, const std::string& text) {
        std::ofstream(folder / relative, std::ios::binary) << text;
    }
    void Open(int page) {
        game->menuOpen = true;
        game->menuPage = int16_t(page);
    }
    // The cursor over menu position (x, y).
    void At(float x, float y) {
        input.cursorX = x / kMenuUnit;
        input.cursorY = y / kMenuUnit;
    }
    std::string S(int index) const { return engine->languageStrings.at(size_t(index)); }
    void Frame(uint32_t ms = 10) {
        t->clock->Advance(ms);
        game->Frame();
    }
    // One press and release of the left button at menu position (x, y),
    // after a frame with every button up.
    void Click(float x, float y) {
        At(x, y);
        input.left = input.right = input.esc = false;
        Frame();
        input.left = true;
        Frame();
        input.left = false;
        Frame();
    }
    // The next frame's draws.
    std::vector<ScreenBox> DrawnFrame() {
        t->device()->ClearCalls();
        Frame();
        return Drawn(*t->device(), engine->aspectRatio);
    }

    fs::path folder;
    std::unique_ptr<RecordingEngine> t;
    Engine* engine = nullptr;
    engGame* game = nullptr;
    MenuInput input;
};

void ExpectBox(const ScreenBox& b, float cx, float cy, float halfW, float halfH, const std::string& what) {
    EXPECT_NEAR(b.x0, cx - halfW, 1e-4) << what;
    EXPECT_NEAR(b.x1, cx + halfW, 1e-4) << what;
    EXPECT_NEAR(b.y0, cy - halfH, 1e-4) << what;
    EXPECT_NEAR(b.y1, cy + halfH, 1e-4) << what;
}

// ------------------------------------------------------------ tests

TEST_P(MenuTest, MainPageButtonsAreDrawnOnTheirHitBoxesWithTheirCaptionsInside) {
    Start();
    Open(0);
    At(0, 1);  // over the second button
    const auto drawn = DrawnFrame();
    const auto buttons = OfColour(drawn, kButton);
    const auto hovered = OfColour(drawn, kHovered);
    ASSERT_EQ(buttons.size(), 3u);
    ASSERT_EQ(hovered.size(), 1u);
    ExpectBox(hovered[0], 0, 0.25f, 0.5f, 0.125f, "hovered button");
    const float ys[] = {0.75f, -0.25f, -0.75f};
    for (int i = 0; i < 3; ++i) ExpectBox(buttons[size_t(i)], 0, ys[i], 0.5f, 0.125f, "button " + std::to_string(i));

    // Captions 3, 5, 7 and 9, inside their buttons.
    const auto glyphs = OfColour(drawn, kGlyph);
    const float captionY[] = {0.75f, 0.25f, -0.25f, -0.75f};
    std::vector<float> expectedY;
    for (int b = 0; b < 4; ++b) expectedY.insert(expectedY.end(), Glyphs(S(3 + 2 * b)), captionY[b]);
    ASSERT_EQ(glyphs.size(), expectedY.size());
    for (size_t g = 0; g < glyphs.size(); ++g) {
        EXPECT_NEAR(glyphs[g].cy(), expectedY[g], 1e-4);
        EXPECT_NEAR(glyphs[g].y1 - glyphs[g].y0, 0.125f, 1e-4) << "caption size 0.5 menu units";
        EXPECT_GT(glyphs[g].x0, -0.5f);
        EXPECT_LT(glyphs[g].x1, 0.5f);
    }
    // The pointer is drawn last, its tip at the cursor.
    const auto pointer = OfColour(drawn, kPointer);
    ASSERT_EQ(pointer.size(), 1u);
    EXPECT_NEAR(pointer[0].x0, 0, 1e-4);
    EXPECT_NEAR(pointer[0].y1, 0.25f, 1e-4);
    EXPECT_EQ(drawn.back().colour, kPointer);
}

TEST_P(MenuTest, APressActsOnceEvenOverAButtonOfTheNextPage) {
    Start();
    Open(0);
    At(0, 3);  // New game; the first campaign's button sits at the same place on page 1
    input.left = true;
    Frame();
    EXPECT_EQ(game->menuPage, 1);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_EQ(game->menuPage, 1);
    EXPECT_TRUE(game->menuOpen);
    EXPECT_EQ(game->campaign->mode, 4) << "the held press does not start the campaign";

    input.left = false;
    Frame();
    input.left = true;
    Frame();
    EXPECT_FALSE(game->menuOpen);
    EXPECT_EQ(game->menuPage, 0);
    EXPECT_EQ(game->campaign->mode, 5);
    input.left = false;
    for (int i = 0; i < 60; ++i) Frame();
    EXPECT_EQ(game->Level()->Reference(), "solo") << "the campaign's first level follows the 500 ms switch";
    EXPECT_EQ(game->campaign->mode, 1);
}

TEST_P(MenuTest, ContinueScrollsToALaterCampaignAndBootsItsSavedLevel) {
    Write("data/seventh.dat", "N=2\n1=entry\n2=solo\n");
    engLibrary& lib = Library(*engine);
    lib.campaignCount = 7;
    lib.campaignFiles = {"", "first", "first", "first", "first", "first", "first", "seventh"};
    lib.campaignCaptions = {"", "A", "B", "C", "D", "E", "F", "G"};
    lib.campaignModels.assign(8, 0);
    lib.campaignFrames.assign(8, 0);
    Start();
    {
        engCampaign saved(*engine);
        saved.LoadCampaign("seventh");
        saved.SaveProgress(2);
    }
    game->scroll = 0.7f;  // left over from another page
    Open(0);
    Click(0, 1);  // Continue
    ASSERT_EQ(game->menuPage, 2);
    EXPECT_FLOAT_EQ(game->scroll, 0.0f);
    // Five rows fit; the knob at the bottom shows the last five.
    At(0, 0);
    EXPECT_EQ(OfColour(DrawnFrame(), kButton).size(), 5u + 1u);
    At(3.0f, -2.0f);
    input.left = true;
    Frame();
    input.left = false;
    Frame();
    Click(0, -2.0f);  // now the seventh campaign
    EXPECT_FALSE(game->menuOpen);
    EXPECT_EQ(game->campaign->key, engCampaign::KeyOf("seventh"));
    EXPECT_EQ(game->campaign->current, 2);
    for (int i = 0; i < 60; ++i) Frame();
    EXPECT_EQ(game->Level()->Reference(), "solo");
}

TEST_P(MenuTest, TextBoxWrapsAtBlanksIntoAtMostTenLines) {
    Start();
    std::string text;
    for (int i = 0; i < 30; ++i) text += "ab ";
    t->device()->ClearCalls();
    game->MenuCamera();
    TextBox(*engine, 0, 2, 0.4f, text, 5, kTextTop);
    const auto glyphs = OfColour(Drawn(*t->device(), engine->aspectRatio), kGlyph);
    ASSERT_EQ(glyphs.size(), 40u) << "ten lines of \"ab ab\"";
    for (size_t g = 0; g < glyphs.size(); ++g)
        EXPECT_NEAR(glyphs[g].cy(), (2 - 0.48f * float(g / 4)) / 4, 1e-4) << "line " << g / 4;
    t->device()->ClearCalls();
    game->MenuCamera();
    TextBox(*engine, 0, 2, 0.4f, "one", 5, kTextBottom);
    const auto one = OfColour(Drawn(*t->device(), engine->aspectRatio), kGlyph);
    ASSERT_EQ(one.size(), 3u);
    EXPECT_NEAR(one[0].cy(), 0.5f, 1e-4);
}

TEST_P(MenuTest, HelpTextShowsOnlyWhileRightIsHeldOverTheWidget) {
    Start();
    Open(0);
    At(0.5f, 3);
    const size_t plain = OfColour(DrawnFrame(), kGlyph).size();
    input.right = true;
    At(5, 0);  // right held away from every widget
    EXPECT_EQ(OfColour(DrawnFrame(), kGlyph).size(), plain);
    At(0.5f, 3);
    const auto glyphs = OfColour(DrawnFrame(), kGlyph);
    // New game's help (string 4), 0.1 cursor units above the cursor, size 0.1.
    ASSERT_EQ(glyphs.size(), plain + Glyphs(S(4)));
    for (size_t g = plain; g < glyphs.size(); ++g) {
        EXPECT_NEAR(glyphs[g].cy(), 0.75f + 0.1f, 1e-4);
        EXPECT_NEAR(glyphs[g].y1 - glyphs[g].y0, 0.1f, 1e-4);
    }
    EXPECT_EQ(game->menuPage, 0) << "the right button clicks nothing";
    input.right = false;
    EXPECT_EQ(OfColour(DrawnFrame(), kGlyph).size(), plain);
}

TEST_P(MenuTest, HelpTextNearTheEdgeStaysOnTheScreen) {
    Start();
    engine->languageStrings[12] = "A long help text for the back button";
    Open(3);
    At(-1.9f, -3);  // the left end of the back button
    input.right = true;
    const auto glyphs = OfColour(DrawnFrame(), kGlyph);
    ASSERT_FALSE(glyphs.empty());
    EXPECT_GE(glyphs.front().x0, -engine->aspectRatio - 1e-4);
    // Over the top of the first button the text stays below the screen's top.
    Open(0);
    At(0, 3.45f);
    for (const ScreenBox& g : OfColour(DrawnFrame(), kGlyph)) EXPECT_LE(g.y1, 1.0f + 1e-4);
}

TEST_P(MenuTest, VolumeStepsInWholePercentsWithinZeroToOneAndReachesThePlugIn) {
    Start();
    // A ready sound module with a scripted streaming buffer.
    auto device = std::make_shared<ScriptedDirectSound8>();
    ASSERT_EQ(device->Initialize(), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    const WAVEFORMATEX format = MakePcmFormat(44100, 2, 16);
    DSBUFFERDESC desc;
    desc.dwFlags = DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = sndCore::kRingBytes;
    desc.lpwfxFormat = &format;
    std::shared_ptr<IDirectSoundBuffer8> stream;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &stream), DS_OK);
    engine->sound = std::make_shared<sndCore>();
    engine->sound->ready = true;
    engine->sound->stream = stream;
    auto* ring = static_cast<ScriptedSoundBuffer*>(stream.get());

    engine->settings.musicVolume = 0.83f;
    Open(6);
    const float up = 3.6f, down = 0.8f, row = 2.5f;
    Click(up, row);
    EXPECT_FLOAT_EQ(engine->settings.musicVolume, 0.93f);
    Click(up, row);
    EXPECT_FLOAT_EQ(engine->settings.musicVolume, 1.0f);
    Click(up, row);
    EXPECT_FLOAT_EQ(engine->settings.musicVolume, 1.0f);
    ASSERT_FALSE(ring->volumes.empty());
    EXPECT_EQ(ring->volumes.back(), 0) << "full volume, sent at once";
    engine->settings.musicVolume = 0.126f;
    Click(down, row);
    EXPECT_FLOAT_EQ(engine->settings.musicVolume, 0.03f);
    Click(down, row);
    EXPECT_FLOAT_EQ(engine->settings.musicVolume, 0.0f);
    EXPECT_EQ(ring->volumes.back(), -10000);
    EXPECT_FALSE(game->restartNeeded) << "the volume applies without a restart";
}

// Departs from the original: the frequency always lands on 11025, 22050 or 44100.
TEST_P(MenuTest, FrequencyStepsBetween11025And44100) {
    Start();
    engine->settings.frequency = 44100;
    Open(6);
    const float up = 3.6f, down = 0.8f, row = 1.5f;
    Click(up, row);
    EXPECT_EQ(engine->settings.frequency, 44100);
    EXPECT_FALSE(game->restartNeeded);
    Click(down, row);
    EXPECT_EQ(engine->settings.frequency, 22050);
    EXPECT_TRUE(game->restartNeeded);
    Click(down, row);
    Click(down, row);
    EXPECT_EQ(engine->settings.frequency, 11025);
    Click(up, row);
    EXPECT_EQ(engine->settings.frequency, 22050);
    // A rate off the steps comes back onto them.
    engine->settings.frequency = 48000;
    Click(down, row);
    EXPECT_EQ(engine->settings.frequency, 44100);
    engine->settings.frequency = 8000;
    Click(down, row);
    EXPECT_EQ(engine->settings.frequency, 11025);
}

TEST_P(MenuTest, LeavingTheDisplayPageSavesAndAsksForARestartOnlyWhenNeeded) {
    Start();
    Open(4);
    Click(-2.1f, -3);
    EXPECT_EQ(game->menuPage, 3) << "nothing changed: straight back to the options";
    EXPECT_TRUE(fs::exists(folder / "data" / "settings.dat"));

    Click(0, 3);  // Display
    ASSERT_EQ(game->menuPage, 4);
    const int32_t before = engine->gfx->selectedResolution;
    Click(3.6f, 2.5f);  // next resolution
    EXPECT_EQ(engine->gfx->selectedResolution, before + 1);
    Click(-2.1f, -3);
    EXPECT_EQ(game->menuPage, 7);
    EXPECT_FALSE(game->restartNeeded) << "the prompt is shown once";
    const std::string saved = [&] {
        std::ifstream in(folder / "data" / "settings.dat", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    ASSERT_GE(saved.size(), 5u);
    const auto& mode = engine->gfx->resolutions[size_t(before + 1)];
    EXPECT_EQ(uint8_t(saved[1]) | uint8_t(saved[2]) << 8, mode.width) << "the stepped mode is what is saved";

    Click(2, -1);  // No
    EXPECT_EQ(game->menuPage, 3);
    EXPECT_TRUE(engine->running);
    Click(0, 3);
    Click(0.8f, 1.5f);  // 32-bit colour off
    EXPECT_FALSE(engine->settings.colour32);
    Click(-2.1f, -3);
    ASSERT_EQ(game->menuPage, 7);
    Click(-2, -1);  // Yes: the full reboot
    EXPECT_TRUE(engine->reboot);
    EXPECT_FALSE(engine->running);
    EXPECT_EQ(game->menuPage, 0);
}

TEST_P(MenuTest, ResolutionStepsStopAtBothEndsOfTheList) {
    Start();
    Open(4);
    gfxCore& gfx = *engine->gfx;
    gfx.selectedResolution = 1;
    Click(0.8f, 2.5f);
    EXPECT_EQ(gfx.selectedResolution, 1);
    EXPECT_FALSE(game->restartNeeded);
    gfx.selectedResolution = gfx.resolutionCount;
    Click(3.6f, 2.5f);
    EXPECT_EQ(gfx.selectedResolution, gfx.resolutionCount);
    EXPECT_FALSE(game->restartNeeded);
}

TEST_P(MenuTest, SoundSwitchNeedsARestartWhenLeavingTheSoundPage) {
    Start();
    engine->settings.soundOn = true;
    Open(6);
    Click(0.8f, 0.5f);
    EXPECT_FALSE(engine->settings.soundOn);
    Click(0, -3);
    EXPECT_EQ(game->menuPage, 7);
    Click(2, -1);
    Open(6);
    Click(0, -3);
    EXPECT_EQ(game->menuPage, 3);
}

TEST_P(MenuTest, AdvancedViewOffersOnlyWhatTheDeviceHas) {
    Start();
    Open(4);
    Click(2.1f, -3);
    ASSERT_TRUE(game->advancedView);
    // Row 3 is lighting, 0.85 apart from 3.3 down.
    const float lighting = 3.3f - 3 * 0.85f;
    engine->gfx->available.lighting = false;
    engine->settings.lighting = true;
    At(0.8f, lighting);
    const auto drawn = DrawnFrame();
    const auto info = OfColour(drawn, kInfo);
    ASSERT_FALSE(info.empty());
    ExpectBox(info[0], 0.2f, lighting / 4, 0.0625f, 0.0625f, "info label in the box's place");
    Click(0.8f, lighting);
    EXPECT_TRUE(engine->settings.lighting) << "an info label changes nothing";

    engine->gfx->available.lighting = true;
    Click(0.8f, lighting);
    EXPECT_FALSE(engine->settings.lighting);
    EXPECT_EQ(t->device()->RenderState(D3DRS_LIGHTING), 0u) << "applied to the device at once";
    EXPECT_EQ(t->device()->RenderState(D3DRS_NORMALIZENORMALS), 0u);
    EXPECT_FALSE(game->restartNeeded);

    // The list scrolls: dragging the knob down brings the last row (interlacing) in.
    At(4.2f, -1.8f);
    input.left = true;
    Frame();
    input.left = false;
    Frame();
    EXPECT_NEAR(game->scroll, 0.825f + 0.45f, 1e-4) << "the knob's whole travel";
    const float interlacing = -1.8f;
    engine->settings.interlacing = true;
    Click(0.8f, interlacing);
    EXPECT_FALSE(engine->settings.interlacing);
    Click(2.1f, -3);
    EXPECT_FALSE(game->advancedView);
    EXPECT_FLOAT_EQ(game->scroll, 0.0f);
}

TEST_P(MenuTest, MultisamplingAndAnisotropyStepWithinTheDevicesLimits) {
    Start();
    Open(4);
    Click(2.1f, -3);
    At(4.2f, -1.8f);  // scroll to the bottom
    input.left = true;
    Frame();
    input.left = false;
    // At the bottom the rows 9..15 are shown; multisampling is row 12, anisotropy 13.
    const float multisample = 3.3f - 3 * 0.85f, anisotropy = 3.3f - 4 * 0.85f;
    gfxCore& gfx = *engine->gfx;
    gfx.multisampleMax = 2;
    engine->settings.multisample = 1;
    Click(3.6f, multisample);
    EXPECT_EQ(engine->settings.multisample, 2);
    EXPECT_TRUE(game->restartNeeded);
    Click(3.6f, multisample);
    EXPECT_EQ(engine->settings.multisample, 2) << "not above the device's maximum";
    Click(0.8f, multisample);
    Click(0.8f, multisample);
    Click(0.8f, multisample);
    EXPECT_EQ(engine->settings.multisample, 0);

    gfx.available.maxAnisotropy = 8;
    engine->settings.anisotropy = 1;
    Click(3.6f, anisotropy);
    EXPECT_EQ(engine->settings.anisotropy, 2);
    EXPECT_EQ(t->device()->StageState(0, D3DTSS_MAXANISOTROPY), 2u);
    Click(3.6f, anisotropy);
    Click(3.6f, anisotropy);
    Click(3.6f, anisotropy);
    EXPECT_EQ(engine->settings.anisotropy, 8);
    Click(0.8f, anisotropy);
    Click(0.8f, anisotropy);
    Click(0.8f, anisotropy);
    Click(0.8f, anisotropy);
    EXPECT_EQ(engine->settings.anisotropy, 1);
    EXPECT_EQ(t->device()->StageState(0, D3DTSS_MAXANISOTROPY), 1u);
    engine->settings.anisotropy = 0;  // a fresh settings file
    Click(3.6f, anisotropy);
    EXPECT_EQ(engine->settings.anisotropy, 2);
}

// Departs from the original: "ATF" at level 1 is linear filtering and MAXMIPLEVEL is left alone.
TEST_P(MenuTest, ApplyRenderSettingPutsEachOptionOnTheDevice) {
    Start();
    RecordingDevice& dev = *t->device();
    gfxCore& gfx = *engine->gfx;
    Settings& s = engine->settings;

    s.anisotropy = 4;
    gfx.caps.TextureFilterCaps |= D3DPTFILTERCAPS_MAGFANISOTROPIC | D3DPTFILTERCAPS_MINFANISOTROPIC;
    ApplyRenderSetting(*engine, "ATF");
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(dev.StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAXANISOTROPY), 4u);
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAXMIPLEVEL), 0u) << "every mip level stays usable";
    gfx.caps.TextureFilterCaps &= ~DWORD(D3DPTFILTERCAPS_MAGFANISOTROPIC);
    ApplyRenderSetting(*engine, "ATF");
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(dev.StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_ANISOTROPIC));
    s.anisotropy = 1;
    ApplyRenderSetting(*engine, "ATF");
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(dev.StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(dev.StageState(0, D3DTSS_MAXANISOTROPY), 1u);

    s.lighting = true;
    ApplyRenderSetting(*engine, "LGT");
    EXPECT_EQ(dev.RenderState(D3DRS_LIGHTING), 1u);
    EXPECT_EQ(dev.RenderState(D3DRS_NORMALIZENORMALS), 1u);
    s.specular = false;
    ApplyRenderSetting(*engine, "SPC");
    EXPECT_EQ(dev.RenderState(D3DRS_SPECULARENABLE), 0u);
    s.specular = true;
    ApplyRenderSetting(*engine, "SPC");
    EXPECT_EQ(dev.RenderState(D3DRS_SPECULARENABLE), 1u);

    game->viewMode = 1;
    s.interlacing = false;
    ApplyRenderSetting(*engine, "ILC");
    EXPECT_EQ(game->viewMode, 5);
    s.interlacing = true;
    game->menuOpen = true;
    ApplyRenderSetting(*engine, "ILC");
    EXPECT_EQ(game->viewMode, 3);
    game->menuOpen = false;
    ApplyRenderSetting(*engine, "ILC");
    EXPECT_EQ(game->viewMode, 1);
    game->viewMode = 0;
    ApplyRenderSetting(*engine, "ILC");
    EXPECT_EQ(game->viewMode, 0) << "one player stays in one view";
}

TEST_P(MenuTest, KeyCaptureStoresTheFirstKeyboardKeyAndIgnoresMouseButtons) {
    auto di = std::make_shared<ScriptedDirectInput>();
    engine->platform.dinput = di;
    engine->mouseCapture = true;
    StartInput(*engine);
    Start();
    Open(5);
    engine->settings.bindings[0] = Binding{0, 0xC8};
    const float slot0 = 3.3f;
    Click(1.2f, slot0);
    EXPECT_EQ(game->keyCaptureSlot, 0);

    // Mouse buttons (of the scripted mouse and of the menu's input) do not bind.
    di->SetButton(0, true);
    di->SetButton(1, true);
    PollInput(*engine);
    At(-4, -1);
    input.right = true;
    Frame();
    input.right = false;
    EXPECT_EQ(game->keyCaptureSlot, 0);
    EXPECT_EQ(engine->settings.bindings[0].code, 0xC8);
    di->SetButton(0, false);
    di->SetButton(1, false);

    di->KeyDown(0x1E);  // A
    PollInput(*engine);
    Frame();
    EXPECT_EQ(game->keyCaptureSlot, -1);
    EXPECT_EQ(engine->settings.bindings[0].device, kBindKeyboard);
    EXPECT_EQ(engine->settings.bindings[0].code, 0x1E);
    di->KeyUp(0x1E);
    PollInput(*engine);
    Frame();

    // Clicking the slot being captured gives up the capture.
    Click(1.2f, slot0 - 0.85f);
    EXPECT_EQ(game->keyCaptureSlot, 1);
    Click(1.2f, slot0 - 0.85f);
    EXPECT_EQ(game->keyCaptureSlot, -1);
    di->KeyDown(0x30);
    PollInput(*engine);
    Frame();
    EXPECT_NE(engine->settings.bindings[1].code, 0x30);

    Click(0, -3);
    EXPECT_EQ(game->menuPage, 3);
    StopInput(*engine);
}

TEST_P(MenuTest, EditorPagePaletteSetsTheBrushAndSaveWritesTheLevel) {
    engine->flags.editor = true;
    Start();
    engLevel& level = *game->Level();
    const int32_t probeModel = engine->gfx->GetModel("probe");
    auto probe = std::make_unique<ProbeTile>(*engine, probeModel);
    ProbeTile* tile = probe.get();
    const int32_t probeNumber = level.AddObject(std::move(probe));
    level.CalcTileObjects();
    ASSERT_GE(level.TileCount(), 2);
    ASSERT_EQ(level.TileReference(level.TileCount()), probeNumber);
    auto* cursor = dynamic_cast<objDrawCursor*>(level.GetEditorCursor());
    ASSERT_NE(cursor, nullptr);

    input.esc = true;
    Frame();
    input.esc = false;
    ASSERT_EQ(game->menuPage, 8);

    // The second palette row is the second tile.
    Click(-2.6f, 2);
    EXPECT_EQ(cursor->brush, level.TileReference(2));

    // Knob to the bottom: the last seven tiles, the probe last, at the bottom row.
    At(-3.6f, -3.6f);
    input.left = true;
    Frame();
    input.left = false;
    At(0, 0);
    const auto drawn = DrawnFrame();
    EXPECT_GT(tile->renders, 0);
    const auto probes = OfColour(drawn, kProbe);
    ASSERT_EQ(probes.size(), 1u);
    ExpectBox(probes[0], -0.65f, -0.75f, 0.1f, 0.1f, "palette tile on its hit box");
    Click(-2.6f, -3);
    EXPECT_EQ(cursor->brush, probeNumber);

    // Its tool tip while the right button is held over it.
    At(-2.6f, -3);
    input.right = true;
    const size_t withTip = OfColour(DrawnFrame(), kGlyph).size();
    input.right = false;
    const size_t without = OfColour(DrawnFrame(), kGlyph).size();
    EXPECT_EQ(withTip, without + 8);  // "Probe tip"

    Click(2, 1);
    EXPECT_EQ(game->menuPage, 9);
    Click(0, 0);
    EXPECT_EQ(game->menuPage, 8) << "back to the editor page";

    Click(2, -1);
    EXPECT_TRUE(fs::exists(folder / "maps" / "save.tcs"));
    EXPECT_FALSE(game->menuOpen);
}

TEST_P(MenuTest, PagesAboveEightReturnToTheMainMenuWithoutTheEditor) {
    Start();
    Open(9);
    Click(0, 0);
    EXPECT_EQ(game->menuPage, 0);
    Click(0, -3);
    EXPECT_FALSE(engine->running);
}

TEST_P(MenuTest, ControlsPageButtonsShowTheirBindingNamesAndNothingElse) {
    Start();
    const Binding slots[7] = {{kBindKeyboard, 0x1E}, {kBindJoystick, 3},     {kBindKeyboard, 57}, {kBindMouse, 6},
                              {kBindKeyboard, 16},   {kBindKeyboard, 0xC8}, {kBindNone, 0}};
    for (int i = 0; i < 7; ++i) engine->settings.bindings[size_t(i)] = slots[i];
    const char* names[7] = {"A", "Joy", "#57", "", "Q", "#200", ""};
    size_t expected = Glyphs(S(11));  // the back button
    for (int c = 0; c < 7; ++c) expected += Glyphs(S(75) + S(77 + c)) + Glyphs(names[c]);
    Open(5);
    At(-4, -1);  // over no widget
    EXPECT_EQ(OfColour(DrawnFrame(), kGlyph).size(), expected);

    // The joystick binding's button says "Joy" beside its box.
    const float row1 = (3.3f - 0.85f) / kMenuUnit;
    size_t beside = 0;
    for (const ScreenBox& g : OfColour(DrawnFrame(), kGlyph))
        if (std::fabs(g.cy() - row1) < 0.05f && g.x0 > 1.2f / kMenuUnit) ++beside;
    EXPECT_EQ(beside, 3u);

    // A binding's button has no help text of its own.
    At(1.2f, 3.3f);
    input.right = true;
    EXPECT_EQ(OfColour(DrawnFrame(), kGlyph).size(), expected);
    input.right = false;

    // Waiting for a key, the box lights up and still names the binding.
    Click(1.2f, 3.3f);
    ASSERT_EQ(game->keyCaptureSlot, 0);
    At(-4, -1);
    const auto drawn = DrawnFrame();
    EXPECT_EQ(OfColour(drawn, kGlyph).size(), expected);
    const auto lit = OfColour(drawn, kBoxOn);
    ASSERT_EQ(lit.size(), 1u);
    ExpectBox(lit[0], 1.2f / kMenuUnit, 3.3f / kMenuUnit, 0.0625f, 0.0625f, "the slot being captured");
}

TEST_P(MenuTest, TheKnobNearTheTopOfItsTrackShowsTheFirstRow) {
    Start();
    Open(4);
    Click(2.1f, -3);
    ASSERT_TRUE(game->advancedView);
    // Drag the knob to the bottom and back up, letting go a little short of the top.
    At(4.2f, -1.8f);
    input.left = true;
    Frame();
    At(4.2f, 3.2f);
    Frame();
    input.left = false;
    Frame();
    EXPECT_GT(game->scroll, 0.0f) << "the knob rests just below the top";
    At(0, 0);
    const auto arrows = OfColour(DrawnFrame(), kArrow);
    ASSERT_EQ(arrows.size(), 2u) << "the resolution row's two arrows";
    EXPECT_NEAR(arrows[0].cy(), 3.3f / kMenuUnit, 1e-4);
    gfxCore& gfx = *engine->gfx;
    ASSERT_GT(gfx.resolutionCount, 1);
    gfx.selectedResolution = 1;
    Click(3.6f, 3.3f);
    EXPECT_EQ(gfx.selectedResolution, 2) << "and it answers clicks";
}

TEST_P(MenuTest, TheWheelScrollsTheListUnderTheCursorByWholeRows) {
    Start();
    Open(4);
    Click(2.1f, -3);
    ASSERT_TRUE(game->advancedView);
    const float travel = (3.3f - (3.3f - 6 * 0.85f)) / kMenuUnit;  // nine hidden rows
    auto wheel = [&](int32_t amount) {
        input.wheel = amount;
        Frame();
        input.wheel = 0;
    };
    At(0, 0);
    wheel(-kWheelDelta);  // a notch towards the player: one row down
    EXPECT_NEAR(game->scroll, travel / 9, 1e-5);
    // The top row is now the second one: 32-bit colour.
    const bool colour = engine->settings.colour32;
    Click(0.8f, 3.3f);
    EXPECT_NE(engine->settings.colour32, colour);
    EXPECT_TRUE(game->restartNeeded);
    wheel(-3 * kWheelDelta);
    EXPECT_NEAR(game->scroll, travel * 4 / 9, 1e-5);
    wheel(10 * kWheelDelta);
    EXPECT_FLOAT_EQ(game->scroll, 0.0f) << "not above the first row";
    wheel(-40 * kWheelDelta);
    EXPECT_NEAR(game->scroll, travel, 1e-5) << "nor below the last";
    wheel(kWheelDelta / 4);  // a fine wheel's part notch still moves a row
    EXPECT_NEAR(game->scroll, travel * 8 / 9, 1e-5);
    // Away from the list (over the back button) the wheel moves nothing.
    At(-2.1f, -3);
    wheel(kWheelDelta);
    EXPECT_NEAR(game->scroll, travel * 8 / 9, 1e-5);
}

TEST_P(MenuTest, TheWheelScrollsTheEditorPalette) {
    engine->flags.editor = true;
    Start();
    const int32_t hidden = game->Level()->TileCount() - 7;
    ASSERT_GT(hidden, 1);
    Open(8);
    At(-2.6f, 0);
    input.wheel = -2 * kWheelDelta;
    Frame();
    input.wheel = 0;
    EXPECT_NEAR(game->scroll, 1.8f * 2 / float(hidden), 1e-5);
}

TEST_P(MenuTest, APadsStartOpensTheMenuAndItsStickAndSouthButtonWorkIt) {
    auto di = std::make_shared<ScriptedDirectInput>();
    engine->platform.dinput = di;
    StartInput(*engine);
    GameStart(*engine);
    game = &Game(*engine);  // reading the engine's input, pads included
    di->PlugPad(1);
    auto tick = [&] {
        t->clock->Advance(10);
        PollInput(*engine);
        game->Frame();
    };
    tick();
    inpControl& in = *Input(*engine);
    in.cursorX = in.cursorY = 0;
    di->SetPadButton(1, joy::START, true);
    tick();
    ASSERT_TRUE(game->menuOpen);
    di->SetPadButton(1, joy::START, false);
    tick();
    ASSERT_TRUE(game->menuOpen);

    // Down the d-pad to Options, then a tap of the south button.
    di->SetPadButton(1, joy::DPAD_DOWN, true);
    while (in.cursorY > -1.0f / kMenuUnit) tick();
    di->SetPadButton(1, joy::DPAD_DOWN, false);
    EXPECT_NEAR(in.cursorX, 0.0f, 1e-6);
    EXPECT_EQ(game->menuPage, 0);
    di->SetPadButton(1, joy::SOUTH, true);
    di->SetPadButton(1, joy::SOUTH, false);
    tick();
    EXPECT_EQ(game->menuPage, 3);
    EXPECT_EQ(GetControls(*engine, 1), ControlRecord{}) << "the pad does not steer the ball meanwhile";

    // Start again closes it.
    tick();
    di->SetPadButton(1, joy::START, true);
    tick();
    EXPECT_FALSE(game->menuOpen);
    di->SetPadButton(1, joy::START, false);
    tick();
    tick();
    di->SetPadButton(1, joy::SOUTH, true);
    tick();
    EXPECT_TRUE(GetControls(*engine, 1).ButtonA) << "back in play the south button jumps";
    StopInput(*engine);
}

INSTANTIATE_TEST_SUITE_P(ShippedLanguages, MenuTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("English") : std::string("Deutsch");
                         });

} // namespace
} // namespace rdv::test
