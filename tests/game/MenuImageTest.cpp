// The main menu as the game shows it: the shipped entry level running
// behind it, the generated menu models and the captions of each shipped
// language (English, German), drawn on
// the real OpenGL device (offscreen) and checked by pixels where each
// button's hit box is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "graphics/Core.h"
#include "headless/ModelSnapshot.h"
#include "level/Registry.h"
#include "platform/Clock.h"
#include "platform/d3d/GLDevice.h"

namespace rdv {
namespace {

constexpr int kW = 640, kH = 480;

struct Pixel {
    int r, g, b;
    int Light() const { return (r + g + b) / 3; }
};

class MenuImage : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        engine_.programFolder = RDV_GAME_DIR;
        engine_.platform.clock = clock_;
        engine_.log.SetCapture(&log_);
        shot_ = std::make_unique<ModelSnapshot>(engine_, kW, kH);
        if (!shot_->ok()) GTEST_SKIP() << "no OpenGL: " << shot_->error();
        engine_.settings.language = GetParam();
        engine_.running = true;
        LoadLibrary(engine_);
        GameStart(engine_);
        game_ = &Game(engine_);
        game_->readInput = [this] { return input_; };
    }
    void TearDown() override {
        if (game_) GameShutdown(engine_);
        shot_.reset();
    }

    // Runs the level a while with the menu open, then keeps the last frame.
    std::vector<uint8_t> MenuFrame() {
        gfxCore& gfx = Graphics(engine_);
        for (int i = 0; i < 25; ++i) {
            gfx.BeginFrame();
            clock_->Advance(20);
            game_->Frame();
            gfx.device->EndScene();
        }
        shot_->Begin({-2, 0, 0}, {0, 0, 0}, {0, 0, 1});
        clock_->Advance(20);
        game_->Frame();
        std::vector<uint8_t> rgba;
        EXPECT_TRUE(shot_->Finish(rgba));
        return rgba;
    }

    // The pixel at cursor position (x, y).
    Pixel At(const std::vector<uint8_t>& rgba, float x, float y) const {
        const float aspect = float(kW) / float(kH);
        const int px = std::clamp(int((x / aspect + 1) / 2 * kW), 0, kW - 1);
        const int py = std::clamp(int((1 - y) / 2 * kH), 0, kH - 1);
        const size_t i = (size_t(py) * kW + size_t(px)) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }

    Engine engine_;
    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>(1000);
    std::vector<Log::Line> log_;
    std::unique_ptr<ModelSnapshot> shot_;
    engGame* game_ = nullptr;
    MenuInput input_;
};

// The generated buttons are blue at rest: blue well above red.
bool ButtonColour(const Pixel& p) { return p.b > p.r + 40 && p.b > 70; }
// Glyphs are drawn light on the dark button.
bool Ink(const Pixel& p) { return p.Light() > 170; }

TEST_P(MenuImage, MainMenuButtonsAndCaptionsSitOnTheirHitBoxes) {
    ASSERT_GE(engine_.languageStrings.size(), 11u);
    game_->menuOpen = true;
    game_->menuPage = 0;
    input_.cursorX = 1.25f;  // the pointer in the bottom right corner, over no button
    input_.cursorY = -0.95f;
    const auto rgba = MenuFrame();
    if (const char* dir = std::getenv("RDV_SNAPSHOT_DIR"))
        WritePng(std::string(dir) + "/mainmenu" + std::to_string(GetParam()) + ".png", rgba, kW, kH);

    const int captions[] = {3, 5, 7, 9};
    const float rows[] = {3, 1, -1, -3};
    for (int b = 0; b < 4; ++b) {
        const float cy = rows[b] / kMenuUnit;
        const std::string& caption = engine_.languageStrings[size_t(captions[b])];
        ASSERT_FALSE(caption.empty());
        // The caption's extent, as DrawText lays it out at size 0.5.
        const float spacing = 0.65f * 0.5f;
        const float start = -(float(caption.size()) + 0.65f) * spacing / 2.0f;
        const float x0 = start / kMenuUnit, x1 = (start + float(caption.size()) * spacing) / kMenuUnit;

        // Button colour across the hit box beside the caption, both ends.
        int coloured = 0, samples = 0;
        for (float x = -0.47f; x <= 0.47f; x += 0.01f) {
            if (x > x0 - 0.02f && x < x1 + 0.02f) continue;
            for (float y : {cy - 0.06f, cy, cy + 0.06f}) {
                ++samples;
                coloured += ButtonColour(At(rgba, x, y));
            }
        }
        EXPECT_GT(coloured, samples * 9 / 10) << "button " << b << " fills its hit box";

        // Ink inside the caption's area, and none beside it on the button.
        int ink = 0, stray = 0;
        for (float x = -0.47f; x <= 0.47f; x += 0.004f)
            for (float y = cy - 0.06f; y <= cy + 0.06f; y += 0.004f) {
                const bool inCaption = x > x0 && x < x1;
                if (Ink(At(rgba, x, y))) (inCaption ? ink : stray) += 1;
            }
        EXPECT_GT(ink, 40) << "caption " << caption;
        EXPECT_EQ(stray, 0) << "caption " << caption << " stays within its area";
    }
    // Between two buttons the level shows, not the button.
    for (int gap = 0; gap < 3; ++gap) {
        const float y = (rows[gap] - 1.0f) / kMenuUnit;
        int coloured = 0;
        for (float x = -0.45f; x <= 0.45f; x += 0.05f) coloured += ButtonColour(At(rgba, x, y)) ? 1 : 0;
        EXPECT_LT(coloured, 3) << "gap " << gap;
    }
}

INSTANTIATE_TEST_SUITE_P(ShippedLanguages, MenuImage, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("English") : std::string("Deutsch");
                         });

} // namespace
} // namespace rdv
