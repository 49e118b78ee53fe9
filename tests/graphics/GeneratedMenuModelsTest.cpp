// The generated menu models ("font", "menu", "rarrow", "gmouse", "loader",
// "icons") as the game loads them: their frames and geometry through the
// model table, and what they put on the screen in front of the menu camera
// (offscreen GL). The tiles' shader hookups are checked here too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "headless/ModelSnapshot.h"
#include "graphics/SnapshotSuite.h"
#include "graphics/Shader.h"
#include "platform/d3d/GLDevice.h"

using namespace rdv;

namespace {

// Sequences of one group (frame) of a render-mode-3 model.
std::vector<const MeshSequence*> Frame(const ModelData& m, int group) {
    std::vector<const MeshSequence*> out;
    for (const auto& s : m.sequences)
        if (s.group == group) out.push_back(&s);
    return out;
}

// Twice the area of every triangle of the sequence, summed.
double Area(const ModelData& m, const MeshSequence& s) {
    double sum = 0;
    for (int i = 0; i < s.count; ++i) {
        int a = s.start + 3 * i, b = a + 1, c = a + 2;
        if (s.primitiveType == kTriangleFan) a = s.start, b = s.start + i + 1, c = s.start + i + 2;
        const MeshVertex &p = m.vertices[size_t(a)], &q = m.vertices[size_t(b)], &r = m.vertices[size_t(c)];
        // In the plane x = 0: (y, z) cross product.
        sum += std::fabs((q.y - p.y) * (r.z - p.z) - (q.z - p.z) * (r.y - p.y));
    }
    return sum;
}

struct Box {
    float y0 = 1e9f, z0 = 1e9f, y1 = -1e9f, z1 = -1e9f;
};
Box Extent(const ModelData& m, const std::vector<const MeshSequence*>& seqs) {
    Box b;
    for (const MeshSequence* s : seqs)
        for (int i = 0; i < SequenceVertexCount(s->primitiveType, s->count); ++i) {
            const MeshVertex& v = m.vertices[size_t(s->start + i)];
            b.y0 = std::min(b.y0, v.y), b.y1 = std::max(b.y1, v.y);
            b.z0 = std::min(b.z0, v.z), b.z1 = std::max(b.z1, v.z);
        }
    return b;
}

class GeneratedModels : public ::testing::Test {
protected:
    void SetUp() override { t_ = MakeRecordingEngine(RDV_GAME_DIR); }
    const gfxModel& Load(const std::string& name) {
        gfxModel* m = t_->gfx().Model(t_->gfx().GetModel(name));
        EXPECT_NE(m, nullptr) << name;
        return *m;
    }
    std::unique_ptr<RecordingEngine> t_;
};

// Codes of the Windows-1252 set that show nothing.
const std::set<int> kBlankCodes = [] {
    std::set<int> s{0x20, 0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0xA0};
    for (int c = 0; c < 0x20; ++c) s.insert(c);
    return s;
}();

} // namespace

TEST_F(GeneratedModels, FontHasAFrameForEveryCodeAndBlanksDrawNothing) {
    const ModelData& m = Load("font").data();
    ASSERT_EQ(m.renderMode, kModeGrouped);
    EXPECT_FALSE(m.lightMapped);
    EXPECT_TRUE(m.indexCacheValid);
    EXPECT_EQ(m.lowestGroup, 0);
    EXPECT_EQ(m.highestGroup, 255);
    for (int code = 0; code < 256; ++code) {
        const auto frame = Frame(m, code);
        ASSERT_FALSE(frame.empty()) << "code " << code;
        double area = 0;
        for (const MeshSequence* s : frame) {
            area += Area(m, *s);
            EXPECT_TRUE(s->alpha) << "code " << code;   // blended over the scene
        }
        if (kBlankCodes.count(code)) {
            EXPECT_EQ(area, 0.0) << "code " << code;
            continue;
        }
        EXPECT_GT(area, 0.0) << "code " << code;
        // The glyph box: 0.65 wide from its origin, 1 high, in the plane x = 0.
        const Box b = Extent(m, frame);
        EXPECT_NEAR(b.y0, 0, 1e-6) << code;
        EXPECT_NEAR(b.y1, 0.65f, 1e-6) << code;
        EXPECT_NEAR(b.z0, 0, 1e-6) << code;
        EXPECT_NEAR(b.z1, 1, 1e-6) << code;
    }
    for (const auto& v : m.vertices) ASSERT_EQ(v.x, 0.0f);
}

TEST_F(GeneratedModels, MenuArrowPointerLoaderAndIconFrames) {
    const ModelData& menu = Load("menu").data();
    ASSERT_EQ(menu.renderMode, kModeGrouped);
    EXPECT_FALSE(menu.lightMapped);
    for (int f = 0; f <= 5; ++f) ASSERT_FALSE(Frame(menu, f).empty()) << "menu frame " << f;
    for (int f : {0, 1}) {   // the button bars, 4 x 1 on the origin
        const Box b = Extent(menu, Frame(menu, f));
        EXPECT_NEAR(b.y0, -2, 1e-6);
        EXPECT_NEAR(b.y1, 2, 1e-6);
        EXPECT_NEAR(b.z0, -0.5f, 1e-6);
        EXPECT_NEAR(b.z1, 0.5f, 1e-6);
    }
    for (int f = 2; f <= 5; ++f) {
        const Box b = Extent(menu, Frame(menu, f));
        EXPECT_NEAR(b.y0, -0.5f, 1e-6) << f;
        EXPECT_NEAR(b.z1, 0.5f, 1e-6) << f;
    }

    const ModelData& arrow = Load("rarrow").data();
    ASSERT_EQ(arrow.renderMode, kModeGrouped);
    EXPECT_EQ(arrow.highestGroup, 13);
    for (int f = 0; f <= 13; ++f) ASSERT_FALSE(Frame(arrow, f).empty()) << "rarrow frame " << f;
    // Frames 2..11 are frame 0 again.
    for (int f = 2; f <= 11; ++f) {
        ASSERT_EQ(Frame(arrow, f).size(), Frame(arrow, 0).size());
        EXPECT_EQ(Frame(arrow, f)[1]->texture, Frame(arrow, 0)[1]->texture);
    }

    const ModelData& mouse = Load("gmouse").data();
    EXPECT_FALSE(mouse.lightMapped);
    EXPECT_FALSE(mouse.sequences.empty());

    // The loader covers a 16:9 screen 2 units away: y +-1.78, z +-1.
    const ModelData& loader = Load("loader").data();
    EXPECT_FALSE(loader.lightMapped);
    const Box b = Extent(loader, [&] {
        std::vector<const MeshSequence*> all;
        for (const auto& s : loader.sequences) all.push_back(&s);
        return all;
    }());
    EXPECT_LE(b.y0, -1.8f);
    EXPECT_GE(b.y1, 1.8f);
    EXPECT_LE(b.z0, -1.0f);
    EXPECT_GE(b.z1, 1.0f);

    const ModelData& icons = Load("icons").data();
    ASSERT_EQ(icons.renderMode, kModeGrouped);
    EXPECT_FALSE(Frame(icons, 0).empty());
    EXPECT_FALSE(Frame(icons, 1).empty());
}

TEST_F(GeneratedModels, WaterAndForceFieldTilesSelectTheirShaders) {
    auto shaderOf = [&](const std::string& model) -> std::string {
        const ModelData& m = Load(model).data();
        gfxShaderObj* s = t_->gfx().Shader(m.shaderIndex);
        return m.shaderIndex > 0 && s ? s->name : std::string();
    };
    EXPECT_EQ(shaderOf("waterfield"), "water");
    EXPECT_EQ(shaderOf("techfield"), "forcefield");
    EXPECT_EQ(shaderOf("laser"), "glow");
    for (const char* name : {"water", "forcefield", "glow"}) {
        const int32_t i = t_->gfx().GetShader(name);
        ASSERT_NE(t_->gfx().Shader(i), nullptr);
        EXPECT_TRUE(t_->gfx().Shader(i)->IsWorkingShader()) << name;
    }
    // Drawing the water and force-field tiles moves their textures with the
    // clock.
    t_->engine.settings.textureTransforms = true;
    for (const char* name : {"waterfield", "techfield"}) {
        gfxModel* tile = t_->gfx().Model(t_->gfx().GetModel(name));
        std::vector<std::vector<float>> transforms;
        for (uint32_t ms : {100u, 1300u}) {
            t_->clock->Set(ms);
            t_->device()->ClearCalls();
            tile->DisplayMesh(t_->engine, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1);
            for (const RecordedCall* c : t_->device()->Calls("SetTransform"))
                if (c->args[0] == D3DTS_TEXTURE0) {
                    transforms.push_back(c->floats);   // the first: the shader's
                    break;
                }
        }
        ASSERT_EQ(transforms.size(), 2u) << name;
        EXPECT_NE(transforms[0], transforms[1]) << name;
    }
}

// ------------------------------------------------------------ on screen

namespace {

using test::Rgb;

// The menu camera: eye at the origin looking along +x, models 2 ahead. At
// 320 x 240 one unit of the menu plane is 120 pixels.
class MenuScreen : public test::SnapshotSuite {
protected:
    void Begin(D3DCOLOR background) {
        Graphics(*engine_).clearColour = background;
        shot_->Begin({0, 0, 0}, {1, 0, 0}, {0, 0, 1});
        Graphics(*engine_).device->SetRenderState(D3DRS_ZENABLE, 0);
    }
    void Draw(const std::string& model, int frame, float y, float z, float scale, float roll = 0) {
        gfxCore& gfx = Graphics(*engine_);
        if (gfxModel* m = gfx.Model(gfx.GetModel(model)))
            m->DisplayMesh(*engine_, frame, 0, 2, y, z, 0, 0, roll, scale, scale, scale);
    }
    void Finish(const std::string& name) {
        ASSERT_TRUE(shot_->Finish(pixels_));
        if (const char* dir = std::getenv("RDV_SNAPSHOT_DIR"))
            WritePng(std::string(dir) + "/" + name + ".png", pixels_, 320, 240);
    }
    // The pixel showing menu-plane point (y, z).
    Rgb At(float y, float z) const {
        return Px(static_cast<int>(std::lround(160 + 120 * y)), static_cast<int>(std::lround(120 - 120 * z)));
    }

};

constexpr D3DCOLOR kGrey = 0xFF808080u;
bool IsGrey(Rgb c) { return c.r == 128 && c.g == 128 && c.b == 128; }
int Brightness(Rgb c) { return (c.r + c.g + c.b) / 3; }

} // namespace

TEST_F(MenuScreen, GlyphInkStaysInsideTheGlyphBox) {
    // "Ag" and the euro sign at size 0.6, glyph i at its own origin every
    // 0.65 x size as the menu's text places them, then three blank codes.
    const float size = 0.6f, y0 = -0.9f, z0 = -0.2f;
    const int codes[] = {'A', 'g', 0x80, ' ', 1, 0x81};
    Begin(kGrey);
    for (int i = 0; i < 6; ++i) Draw("font", codes[i], y0 + 0.65f * size * i, z0, size);
    Finish("font_glyphs");
    struct Ink {
        int white = 0, dark = 0, belowBaseline = 0;
    } ink[6];
    for (int py = 0; py < 240; ++py)
        for (int px = 0; px < 320; ++px) {
            const Rgb c = Px(px, py);
            if (IsGrey(c)) continue;
            const float y = (px + 0.5f - 160) / 120, z = (120 - py - 0.5f) / 120;
            const int i = static_cast<int>(std::floor((y - y0) / (0.65f * size)));
            const bool inBox = i >= 0 && i < 6 && z >= z0 - 0.01f && z <= z0 + size + 0.01f;
            ASSERT_TRUE(inBox) << "ink outside every glyph box at pixel " << px << ", " << py;
            if (Brightness(c) > 220) ++ink[i].white;
            if (Brightness(c) < 40) ++ink[i].dark;
            if (Brightness(c) > 220 && z < z0 + 0.2f * size) ++ink[i].belowBaseline;
        }
    for (int i = 0; i < 3; ++i) {
        EXPECT_GT(ink[i].white, 20) << "glyph " << i;   // white letter
        EXPECT_GT(ink[i].dark, 20) << "glyph " << i;    // and its dark outline
    }
    EXPECT_EQ(ink[0].belowBaseline, 0);   // A sits on the baseline
    EXPECT_GT(ink[1].belowBaseline, 5);   // g descends below it
    for (int i = 3; i < 6; ++i) EXPECT_EQ(ink[i].white + ink[i].dark, 0) << "blank " << i;
}

TEST_F(MenuScreen, ButtonsBoxesAndPanelShowTheirStates) {
    Begin(kGrey);
    // Buttons at the menu's scale: 1 x 0.25 units.
    Draw("menu", 1, -0.6f, 0.6f, 0.25f);
    Draw("menu", 0, 0.6f, 0.6f, 0.25f);
    Draw("menu", 2, 0, -0.4f, 0.5f);
    Draw("menu", 3, -0.6f, -0.4f, 0.2f);
    Draw("menu", 4, 0.6f, -0.4f, 0.2f);
    Finish("menu_frames");
    const Rgb normal = At(-0.6f, 0.6f), hovered = At(0.6f, 0.6f);
    EXPECT_GT(normal.b, normal.r + 40);     // cool at rest
    EXPECT_GT(hovered.r, hovered.b + 80);   // warm under the pointer
    EXPECT_TRUE(IsGrey(At(-0.6f, 0.6f + 0.16f)));
    EXPECT_TRUE(IsGrey(At(-0.6f - 0.52f, 0.6f)));
    // The panel darkens what lies behind it without hiding it.
    const Rgb panel = At(0.1f, -0.3f);
    EXPECT_LT(Brightness(panel), 90);
    EXPECT_GT(Brightness(panel), 10);
    // The checked box differs from the empty one at its centre.
    const Rgb off = At(-0.6f, -0.4f), on = At(0.6f + 0.0f, -0.4f - 0.02f);
    EXPECT_GT(std::abs(on.r - off.r) + std::abs(on.g - off.g), 100);
}

TEST_F(MenuScreen, ArrowPointsRightAndTurnsLeftAndPointerTipIsAtTheOrigin) {
    Begin(kGrey);
    Draw("rarrow", 0, -0.6f, 0.5f, 0.5f);
    Draw("rarrow", 0, 0.6f, 0.5f, 0.5f, 3.14159f);   // turned round: points left
    Draw("gmouse", 0, 0, -0.3f, 0.5f);
    Finish("arrows_pointer");
    // Right-pointing: narrow tip on the right, wide head right of centre.
    EXPECT_GT(Brightness(At(-0.6f + 0.15f, 0.5f)), 150);
    EXPECT_GT(Brightness(At(-0.6f + 0.03f, 0.5f + 0.13f)), 150);
    EXPECT_TRUE(IsGrey(At(-0.6f - 0.12f, 0.5f + 0.13f)));
    // Turned: the same mirrored.
    EXPECT_GT(Brightness(At(0.6f - 0.03f, 0.5f + 0.13f)), 150);
    EXPECT_TRUE(IsGrey(At(0.6f + 0.12f, 0.5f + 0.13f)));
    // The pointer: white just below and right of its tip, nothing up-left.
    EXPECT_GT(Brightness(At(0.02f, -0.3f - 0.1f)), 200);
    EXPECT_TRUE(IsGrey(At(-0.06f, -0.3f + 0.06f)));
    EXPECT_TRUE(IsGrey(At(0.2f, -0.3f + 0.05f)));
}

TEST_F(MenuScreen, LoaderFillsTheScreenWithTheTitleAboveAndTheTextBandFree) {
    Begin(0xFFFF00FFu);   // magenta shows any gap
    Draw("loader", 0, 0, 0, 1);
    Finish("loader");
    for (int py = 0; py < 240; py += 4)
        for (int px = 0; px < 320; px += 4) {
            const Rgb c = Px(px, py);
            ASSERT_FALSE(c.r == 255 && c.g == 0 && c.b == 255) << px << ", " << py;
        }
    int gold = 0;
    for (int py = 0; py < 120; ++py)
        for (int px = 0; px < 320; ++px) {
            const Rgb c = Px(px, py);
            if (c.r > 200 && c.g > 100 && c.b < 120) ++gold;
        }
    EXPECT_GT(gold, 500);   // the title
    // Below z = -0.4 the backdrop is dark and plain for the white text lines.
    for (int py = 120 + 48 + 2; py < 240; ++py)
        for (int px = 0; px < 320; ++px) ASSERT_LT(Brightness(Px(px, py)), 40) << px << ", " << py;
}

TEST_F(MenuScreen, EveryGlyphOverTheLoaderStaysInItsCell) {
    // The character set in rows of 16 at size 0.2 (32..127, then 128..255) over the loading screen:
    // what each glyph changes lies inside its own box, and every code with
    // a glyph changes something.
    for (int half = 0; half < 2; ++half) {
        const float size = 0.2f, y0 = -1.04f, z0 = 0.6f;
        auto place = [&](int code, float& y, float& z) {
            const int i = code - 0x20 - half * 0x60;
            y = y0 + 0.65f * size * (i % 16);
            z = z0 - 0.2f * (i / 16);
        };
        Begin(kGrey);
        Draw("loader", 0, 0, 0, 1);
        Finish("loader_only");
        const std::vector<uint8_t> backdrop = pixels_;
        Begin(kGrey);
        Draw("loader", 0, 0, 0, 1);
        const int first = 0x20 + half * 0x60, last = half ? 0xFF : 0x7F;
        for (int code = first; code <= last; ++code) {
            float y, z;
            place(code, y, z);
            Draw("font", code, y, z, size);
        }
        Finish(half ? "font_sheet_high" : "font_sheet_low");
        std::vector<int> changed(256, 0);
        for (int py = 0; py < 240; ++py)
            for (int px = 0; px < 320; ++px) {
                const size_t o = (static_cast<size_t>(py) * 320 + px) * 4;
                if (std::equal(&pixels_[o], &pixels_[o] + 3, &backdrop[o])) continue;
                const float y = (px + 0.5f - 160) / 120, z = (120 - py - 0.5f) / 120;
                const int col = static_cast<int>(std::floor((y - y0) / (0.65f * size)));
                const int row = static_cast<int>(std::floor((z0 + 0.2f - z) / 0.2f));
                const float inRow = z - (z0 - 0.2f * row);
                ASSERT_TRUE(col >= 0 && col < 16 && row >= 0 && row < 8 && inRow >= -0.01f && inRow <= size + 0.01f)
                    << "pixel " << px << ", " << py << ": " << int(pixels_[o]) << " " << int(pixels_[o + 1]) << " "
                    << int(pixels_[o + 2]) << " was " << int(backdrop[o]) << " " << int(backdrop[o + 1]) << " "
                    << int(backdrop[o + 2]);
                ++changed[size_t(first + row * 16 + col)];
            }
        for (int code = first; code <= last; ++code)
            EXPECT_EQ(changed[size_t(code)] > 0, kBlankCodes.count(code) == 0) << "code " << code;
    }
}
