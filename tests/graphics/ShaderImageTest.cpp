// Shaders on the real OpenGL device (offscreen): a square textured with four
// vertical stripes (red, green, blue, white from u = 0 to 1) faces the eye
// at (4, 0, 0); world (y, z) shows at pixel (160 - 60 y, 120 - 60 z), and u
// runs from 0 at y = 1 to 1 at y = -1.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "headless/ModelSnapshot.h"
#include "graphics/Shader.h"
#include "platform/Clock.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

void WriteStripes(const fs::path& file) {
    const int w = 64, h = 4;
    std::vector<uint8_t> data = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 32, 0x28};
    const uint8_t bgra[4][4] = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) data.insert(data.end(), bgra[x / 16], bgra[x / 16] + 4);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
}

// An unlit square (flags U and L) with the stripes texture and shader `shader`.
std::string SquareModel(const std::string& shader) {
    std::string s = "4\nULS\n" + shader + "\n2\n1\n6\n0\n2\nT\nstripes\n";
    const float corners[6][4] = {{1, 1, 0, 0}, {-1, 1, 1, 0}, {-1, -1, 1, 1}, {1, 1, 0, 0}, {-1, -1, 1, 1}, {1, -1, 0, 1}};
    for (const auto& c : corners) {
        s += "0\n" + std::to_string(c[0]) + "\n" + std::to_string(c[1]) + "\n255 255 255 RGB\n" +
             std::to_string(c[2]) + "\n" + std::to_string(c[3]) + "\n-\n";
    }
    return s;
}

class ShaderImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // One folder per process: CTest runs this suite's tests side by side.
        folder_ = new fs::path(fs::temp_directory_path() / ("rdv_shader_image_" + std::to_string(getpid())));
        fs::remove_all(*folder_);
        for (const char* d : {"models", "textures", "shaders"}) fs::create_directories(*folder_ / d);
        WriteStripes(*folder_ / "textures" / "stripes.tga");
        auto text = [](const fs::path& p, const std::string& t) { std::ofstream(p, std::ios::binary) << t; };
        text(*folder_ / "shaders" / "tint.psh",
             "ps.1.1\ntex t0\nmul r0, t0, c0\nTS\nldi r0 0.5\nldi r1 1\nldi r2 0.25\nldi r3 1\nldsh 0 r0\n");
        text(*folder_ / "shaders" / "scroll.tsh", "TS\nidentity\nloadtime r2 1000\nldc r9 1000\nmul r2 r9\n");
        text(*folder_ / "models" / "tinted.tcm", SquareModel("tint"));
        text(*folder_ / "models" / "scrolled.tcm", SquareModel("scroll"));
        engine_ = new Engine;
        engine_->programFolder = *folder_;
        clock_ = std::make_shared<ManualClock>(0);
        engine_->platform.clock = clock_;
        shot_ = new ModelSnapshot(*engine_, 320, 240);
    }
    static void TearDownTestSuite() {
        delete shot_;
        delete engine_;
        clock_.reset();
        fs::remove_all(*folder_);
        delete folder_;
    }
    void SetUp() override {
        if (!shot_->ok()) GTEST_SKIP() << "no OpenGL: " << shot_->error();
    }

    void Snap(const std::string& model) {
        shot_->Begin({4, 0, 0}, {0, 0, 0}, {0, 0, 1});
        shot_->DrawModel(model);
        ASSERT_TRUE(shot_->Finish(pixels_));
    }
    // Colour at texture coordinate u (v in the middle) of the square.
    Rgb AtU(float u) const {
        const float y = 1 - 2 * u;
        const int px = static_cast<int>(std::lround(160 - 60 * y)), py = 120;
        const uint8_t* p = &pixels_[(static_cast<size_t>(py) * 320 + px) * 4];
        return {p[0], p[1], p[2]};
    }

    static inline fs::path* folder_ = nullptr;
    static inline Engine* engine_ = nullptr;
    static inline ModelSnapshot* shot_ = nullptr;
    static inline std::shared_ptr<ManualClock> clock_;
    std::vector<uint8_t> pixels_;
};

::testing::AssertionResult Near(Rgb got, Rgb want, int tol = 4) {
    if (std::abs(got.r - want.r) <= tol && std::abs(got.g - want.g) <= tol && std::abs(got.b - want.b) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << ") want (" << want.r
                                         << ", " << want.g << ", " << want.b << ")";
}

TEST_F(ShaderImage, PixelShaderModulatesTheTextureByItsConstant) {
    Snap("tinted");
    gfxShaderObj* tint = Graphics(*engine_).Shader(Graphics(*engine_).GetShader("tint"));
    ASSERT_NE(tint, nullptr);
    ASSERT_TRUE(tint->IsWorkingShader());
    // c0 = (0.5, 1, 0.25), set by the shader's software section.
    EXPECT_TRUE(Near(AtU(0.125f), {128, 0, 0}));
    EXPECT_TRUE(Near(AtU(0.375f), {0, 255, 0}));
    EXPECT_TRUE(Near(AtU(0.625f), {0, 0, 64}));
    EXPECT_TRUE(Near(AtU(0.875f), {128, 255, 64}));
}

TEST_F(ShaderImage, TexelShaderScrollsTheTextureWithTheClock) {
    clock_->Set(0);
    Snap("scrolled");
    EXPECT_TRUE(Near(AtU(0.125f), {255, 0, 0}));
    EXPECT_TRUE(Near(AtU(0.875f), {255, 255, 255}));
    // A quarter of the period later every stripe has moved one place along u,
    // and the red one has wrapped round to the far end.
    clock_->Set(1250);
    Snap("scrolled");
    EXPECT_TRUE(Near(AtU(0.125f), {0, 255, 0}));
    EXPECT_TRUE(Near(AtU(0.375f), {0, 0, 255}));
    EXPECT_TRUE(Near(AtU(0.625f), {255, 255, 255}));
    EXPECT_TRUE(Near(AtU(0.875f), {255, 0, 0}));
}

} // namespace
} // namespace rdv
