// The OpenGL device gives its shader compiler's memory back once no program
// has been built for a while; programs built after that must still draw,
// and so must the generic fixed-function program, which is linked only when
// first needed.
#include "GLTestSupport.h"
#include "platform/shaderasm/ShaderAssembler.h"

namespace rdv::test {
namespace {

constexpr unsigned kQuiet = 60;   // presents without a build before a release

class GLCompilerReleaseTest : public GLDeviceTest {
protected:
    void SetUp() override {
        GLDeviceTest::SetUp();
        PlainDrawing();
    }

    // The centre triangle with stage 0 choosing the texture factor, or the
    // vertex colour when `factor` is 0. Each choice is its own program.
    void DrawWith(D3DCOLOR vertex, D3DCOLOR factor) {
        dev_->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, factor ? D3DTA_TFACTOR : D3DTA_DIFFUSE);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
        ASSERT_EQ(DrawUP(CentreTriangle(vertex)), D3D_OK);
    }

    void Presents(unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            dev_->BeginScene();
            dev_->EndScene();
            dev_->Present(nullptr, nullptr, nullptr, nullptr);
        }
    }
};

TEST_F(GLCompilerReleaseTest, ProgramsBuiltAfterAReleaseDrawTheirPicture) {
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 200, 0, 0, 1);
    ASSERT_TRUE(ReleaseShaderCompiler(*dev_));
    // A new program, compiled with the compiler brought back.
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), D3DCOLOR_XRGB(10, 220, 30));
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 10, 220, 30, 1);
    // The one built before the release still draws.
    DrawWith(D3DCOLOR_XRGB(0, 0, 150), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 0, 0, 150, 1);
    EXPECT_RGB_NEAR(Pixel(0, 0), 0, 0, 0, 1);

    // The generic program, first linked now, draws the same.
    ASSERT_TRUE(ReleaseShaderCompiler(*dev_));
    ASSERT_TRUE(UseGenericFixedFunction(*dev_, true));
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), D3DCOLOR_XRGB(10, 220, 30));
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 10, 220, 30, 1);
    DrawWith(D3DCOLOR_XRGB(0, 0, 150), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 0, 0, 150, 1);
    UseGenericFixedFunction(*dev_, false);
}

TEST_F(GLCompilerReleaseTest, PresentReleasesOnlyAfterPresentsWithoutABuild) {
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), 0);
    const int before = ShaderCompilerReleases(*dev_);
    ASSERT_GE(before, 0);
    Presents(kQuiet - 1);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before);
    Presents(2);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 1);
    // Nothing built since: no second release, however long it stays so.
    Presents(3 * kQuiet);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 1);

    // A build restarts the count; redrawing with what is built does not.
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), D3DCOLOR_XRGB(1, 2, 3));
    Presents(kQuiet / 2);
    DrawWith(D3DCOLOR_XRGB(200, 0, 0), 0);
    Presents(kQuiet / 2 + 2);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 2);
    DrawWith(D3DCOLOR_XRGB(9, 9, 9), D3DCOLOR_XRGB(1, 2, 3));
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 1, 2, 3, 1);
}

// A pixel shader holds a program in the driver only once it is set: one
// that is created and never drawn with costs none, and one first set after
// the compiler was released still draws its picture.
TEST_F(GLCompilerReleaseTest, PixelShadersAreLinkedWhenFirstSet) {
    auto create = [&](const char* text) {
        std::vector<uint32_t> tokens;
        std::string errors;
        EXPECT_TRUE(AssembleShader(text, tokens, errors)) << errors;
        DWORD handle = 0;
        EXPECT_EQ(dev_->CreatePixelShader(tokens.data(), &handle), D3D_OK);
        return handle;
    };
    const DWORD constant = create("ps.1.1\nmov r0, c0\n");
    const DWORD scaled = create("ps.1.1\nmul r0, v0, c1\n");
    ASSERT_NE(constant, 0u);
    ASSERT_NE(scaled, 0u);
    EXPECT_EQ(LinkedPixelShaders(*dev_), 0);
    const float c0[4] = {0.2f, 0.4f, 0.6f, 1.0f}, c1[4] = {0.5f, 1.0f, 0.0f, 1.0f};
    ASSERT_EQ(dev_->SetPixelShaderConstant(0, c0, 1), D3D_OK);
    ASSERT_EQ(dev_->SetPixelShaderConstant(1, c1, 1), D3D_OK);

    ASSERT_EQ(dev_->SetPixelShader(constant), D3D_OK);
    EXPECT_EQ(LinkedPixelShaders(*dev_), 1);
    DrawWith(D3DCOLOR_XRGB(200, 100, 0), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 51, 102, 153, 1);

    // Linking at the first set is a build: the compiler is released only
    // once that has been quiet as long as any other build.
    const int before = ShaderCompilerReleases(*dev_);
    Presents(kQuiet + 1);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 1);
    ASSERT_EQ(dev_->SetPixelShader(scaled), D3D_OK);
    EXPECT_EQ(LinkedPixelShaders(*dev_), 2);
    DrawWith(D3DCOLOR_XRGB(200, 100, 40), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 100, 100, 0, 1);
    Presents(kQuiet - 1);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 1);
    Presents(2);
    EXPECT_EQ(ShaderCompilerReleases(*dev_), before + 2);

    // Setting it again links nothing more, and deleting either kind works.
    ASSERT_EQ(dev_->SetPixelShader(constant), D3D_OK);
    EXPECT_EQ(LinkedPixelShaders(*dev_), 2);
    const DWORD unused = create("ps.1.1\nmov r0, v0\n");
    ASSERT_EQ(dev_->SetPixelShader(0), D3D_OK);
    EXPECT_EQ(dev_->DeletePixelShader(unused), D3D_OK);
    EXPECT_EQ(dev_->DeletePixelShader(scaled), D3D_OK);
    EXPECT_EQ(LinkedPixelShaders(*dev_), 1);
    EXPECT_EQ(dev_->SetPixelShader(unused), D3DERR_INVALIDCALL);
    DrawWith(D3DCOLOR_XRGB(0, 0, 150), 0);
    EXPECT_RGB_NEAR(Pixel(kSize / 2, kSize / 2), 0, 0, 150, 1);
}

} // namespace
} // namespace rdv::test
