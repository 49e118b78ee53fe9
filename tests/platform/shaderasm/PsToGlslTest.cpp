// Pixel-shader translation, checked by compiling and running the GLSL on an
// offscreen GL context: a quad over the whole viewport, a 2 x 2 texture on
// stage 0, and pixels read back from each quarter.
#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES 0
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL2/SDL.h>

#include <array>
#include <cmath>

#include "platform/shaderasm/PsToGlsl.h"
#include "platform/shaderasm/ShaderAssembler.h"

namespace rdv {
namespace {

struct Gl {
    PFNGLCREATESHADERPROC CreateShader;
    PFNGLSHADERSOURCEPROC ShaderSource;
    PFNGLCOMPILESHADERPROC CompileShader;
    PFNGLGETSHADERIVPROC GetShaderiv;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog;
    PFNGLCREATEPROGRAMPROC CreateProgram;
    PFNGLATTACHSHADERPROC AttachShader;
    PFNGLLINKPROGRAMPROC LinkProgram;
    PFNGLGETPROGRAMIVPROC GetProgramiv;
    PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog;
    PFNGLUSEPROGRAMPROC UseProgram;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation;
    PFNGLUNIFORM1IPROC Uniform1i;
    PFNGLUNIFORM4FVPROC Uniform4fv;
    PFNGLDELETEPROGRAMPROC DeleteProgram;
    PFNGLDELETESHADERPROC DeleteShader;
    PFNGLSECONDARYCOLOR3FPROC SecondaryColor3f;
};

constexpr int kSize = 16;

const char* const kVertex = R"(#version 120
void main() {
    gl_Position = gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = vec4(gl_MultiTexCoord0.xy * 2.0 - 1.0, 0.0, 1.0);
    gl_FrontColor = gl_Color;
    gl_FrontSecondaryColor = gl_SecondaryColor;
}
)";

class GlslTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        window_ = SDL_CreateWindow("glsl", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window_) return;
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) return;
#define LOAD(name) gl_.name = reinterpret_cast<decltype(gl_.name)>(SDL_GL_GetProcAddress("gl" #name))
        LOAD(CreateShader); LOAD(ShaderSource); LOAD(CompileShader); LOAD(GetShaderiv); LOAD(GetShaderInfoLog);
        LOAD(CreateProgram); LOAD(AttachShader); LOAD(LinkProgram); LOAD(GetProgramiv); LOAD(GetProgramInfoLog);
        LOAD(UseProgram); LOAD(GetUniformLocation); LOAD(Uniform1i); LOAD(Uniform4fv); LOAD(DeleteProgram);
        LOAD(DeleteShader); LOAD(SecondaryColor3f);
#undef LOAD
        // Texels: red, green (top row, v = 0), blue, white (bottom row).
        const uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    static void TearDownTestSuite() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        context_ = nullptr;
        window_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void SetUp() override {
        if (!context_ || !gl_.CreateShader) GTEST_SKIP() << "no GL context: " << SDL_GetError();
    }

    static GlslPixelShader Translate(const std::string& source) {
        std::vector<uint32_t> tokens;
        std::string errors;
        EXPECT_TRUE(AssembleShader(source, tokens, errors)) << errors;
        GlslPixelShader out;
        std::string error;
        EXPECT_TRUE(TranslatePixelShader(tokens, out, error)) << error;
        return out;
    }

    GLuint Compile(GLenum kind, const std::string& text) {
        GLuint s = gl_.CreateShader(kind);
        const char* p = text.c_str();
        gl_.ShaderSource(s, 1, &p, nullptr);
        gl_.CompileShader(s);
        GLint ok = 0;
        gl_.GetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            gl_.GetShaderInfoLog(s, sizeof log - 1, nullptr, log);
            ADD_FAILURE() << log << "\n" << text;
        }
        return s;
    }

    // Draws the shader over the viewport; colours: v0, v1; constants c0..c7.
    // Returns the RGBA of the centre of each quarter: (u<.5,v<.5), (u>.5,v<.5),
    // (u<.5,v>.5), (u>.5,v>.5).
    std::array<std::array<int, 4>, 4> Draw(const GlslPixelShader& ps, const float* constants = nullptr,
                                           std::array<float, 3> v0 = {1, 1, 1}, std::array<float, 3> v1 = {0, 0, 0}) {
        std::array<std::array<int, 4>, 4> result{};
        GLuint vs = Compile(GL_VERTEX_SHADER, kVertex), fs = Compile(GL_FRAGMENT_SHADER, ps.fragmentSource);
        GLuint prog = gl_.CreateProgram();
        gl_.AttachShader(prog, vs);
        gl_.AttachShader(prog, fs);
        gl_.LinkProgram(prog);
        GLint ok = 0;
        gl_.GetProgramiv(prog, GL_LINK_STATUS, &ok);
        EXPECT_TRUE(ok);
        gl_.UseProgram(prog);
        GLint s0 = gl_.GetUniformLocation(prog, "uTex0");
        if (s0 >= 0) gl_.Uniform1i(s0, 0);
        float zero[32] = {};
        GLint c = gl_.GetUniformLocation(prog, "uPsConst");
        if (c >= 0) gl_.Uniform4fv(c, 8, constants ? constants : zero);
        glViewport(0, 0, kSize, kSize);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        glColor3f(v0[0], v0[1], v0[2]);
        gl_.SecondaryColor3f(v1[0], v1[1], v1[2]);
        // v = 0 at the top of the picture (y = +1), as Direct3D addresses textures;
        // GL reads rows bottom first, so texture row 0 lands at the top.
        glTexCoord2f(0, 1); glVertex2f(-1, -1);
        glTexCoord2f(1, 1); glVertex2f(1, -1);
        glTexCoord2f(1, 0); glVertex2f(1, 1);
        glTexCoord2f(0, 0); glVertex2f(-1, 1);
        glEnd();
        const int xs[4] = {kSize / 4, 3 * kSize / 4, kSize / 4, 3 * kSize / 4};
        const int ys[4] = {3 * kSize / 4, 3 * kSize / 4, kSize / 4, kSize / 4};
        for (int i = 0; i < 4; ++i) {
            uint8_t px[4] = {};
            glReadPixels(xs[i], ys[i], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
            for (int k = 0; k < 4; ++k) result[i][k] = px[k];
        }
        gl_.UseProgram(0);
        gl_.DeleteProgram(prog);
        gl_.DeleteShader(vs);
        gl_.DeleteShader(fs);
        return result;
    }

    static void ExpectRgb(const std::array<int, 4>& px, int r, int g, int b) {
        EXPECT_NEAR(px[0], r, 2);
        EXPECT_NEAR(px[1], g, 2);
        EXPECT_NEAR(px[2], b, 2);
    }

    static inline SDL_Window* window_ = nullptr;
    static inline SDL_GLContext context_ = nullptr;
    static inline GLuint texture_ = 0;
    static inline Gl gl_{};
};

TEST_F(GlslTest, TextureModulatedByDefinedConstant) {
    GlslPixelShader ps = Translate("ps.1.1\ndef c0, 0.5, 1.0, 0.25, 1.0\ntex t0\nmul r0, t0, c0\n");
    EXPECT_EQ(ps.samplerMask, 1u);
    EXPECT_EQ(ps.texCoordMask, 1u);
    auto px = Draw(ps);
    ExpectRgb(px[0], 128, 0, 0);
    ExpectRgb(px[1], 0, 255, 0);
    ExpectRgb(px[2], 0, 0, 64);
    ExpectRgb(px[3], 128, 255, 64);
}

TEST_F(GlslTest, ConstantsFromTheDeviceAndColourRegisters) {
    // ps.1.4: sample, scale by a device constant, add the specular colour.
    GlslPixelShader ps = Translate("ps.1.4\ntexld r0, t0\nmul r0, r0, c2\nadd r0, r0, v1\n");
    float c[32] = {};
    c[8] = 0.5f; c[9] = 0.5f; c[10] = 0.5f; c[11] = 1.0f;
    auto px = Draw(ps, c, {1, 1, 1}, {0.25f, 0, 0});
    ExpectRgb(px[0], 191, 0, 0);
    ExpectRgb(px[3], 191, 128, 128);
}

TEST_F(GlslTest, ModifiersAndComparisons) {
    // v0 = (0.75, 0.25, 0.5): bx2 gives (0.5, -0.5, 0), _x2 and _sat clamp,
    // 1- complements, cnd picks by > 0.5, lrp blends.
    GlslPixelShader a = Translate("ps.1.1\nadd_sat r0, v0_bx2, c0\n");
    float c[32] = {0.25f, 0.75f, 0.25f, 1};
    ExpectRgb(Draw(a, c, {0.75f, 0.25f, 0.5f})[0], 191, 64, 64);
    GlslPixelShader b = Translate("ps.1.1\nmul_x2 r0, 1-v0, c0\n");
    ExpectRgb(Draw(b, c, {0.75f, 0.25f, 0.5f})[0], 32, 255, 64);
    GlslPixelShader d = Translate(
        "ps.1.1\ndef c1, 1, 0, 0, 0.75\ndef c2, 0, 0, 1, 0\nmov r0, c1\ncnd r0, r0.a, c1, c2\n"
        "lrp r1, v0.r, c1, c2\nadd r0, r0, r1\n");
    ExpectRgb(Draw(d, nullptr, {0.75f, 0.25f, 0.5f})[0], 255, 0, 64);
}

TEST_F(GlslTest, CoIssuedPairReadsSourcesBeforeWriting) {
    // r0 = (0.2, 0.2, 0.2, 0.8); the pair swaps colour and alpha, so the
    // alpha must get the old 0.2 and the final rgb is 0.8 * 0.2.
    GlslPixelShader ps = Translate(
        "ps.1.1\ndef c0, 0.2, 0.2, 0.2, 0.8\nmov r0, c0\nmov r0.rgb, r0.a\n+mov r0.a, r0.r\nmul r0.rgb, r0, r0.a\n");
    ExpectRgb(Draw(ps)[0], 41, 41, 41);
}

TEST_F(GlslTest, DependentReadInSecondPhase) {
    // Phase 1 builds coordinates that point at the white texel; phase 2 reads there.
    GlslPixelShader ps = Translate("ps.1.4\ndef c0, 0.75, 0.75, 0, 0\nmov r1, c0\nphase\ntexld r0, r1\n");
    for (const auto& px : Draw(ps)) ExpectRgb(px, 255, 255, 255);
}

TEST_F(GlslTest, TexkillDiscardsNegativeCoordinates) {
    // gl_TexCoord[1] runs from -1 to 1: the quarters with a negative u or v stay clear.
    GlslPixelShader ps = Translate("ps.1.1\ndef c0, 1, 1, 0, 1\ntexkill t1\nmov r0, c0\n");
    auto px = Draw(ps);
    ExpectRgb(px[0], 0, 0, 0);
    ExpectRgb(px[1], 0, 0, 0);
    ExpectRgb(px[3], 255, 255, 0);
}

TEST_F(GlslTest, TextureAddressingProgramsCompile) {
    // Draw fails the test on any GLSL compile or link error.
    for (const char* src : {
             "ps.1.1\ntex t0\ntexm3x2pad t1, t0_bx2\ntexm3x2tex t2, t0_bx2\nmov r0, t2\n",
             "ps.1.2\ntex t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3 t3, t0\nmul r0, t3, v0\n",
             "ps.1.3\ntex t0\ntexm3x2pad t1, t0\ntexm3x2depth t2, t0\ntexreg2ar t3, t0\nmov r0, t3\n",
             "ps.1.1\ntex t0\ntexbeml t1, t0\ntexreg2gb t2, t1\nmul r0, t1, t2\n",
             "ps.1.4\ntexcrd r0.rgb, t0_dz\ntexkill r0\nbem r1.rg, r0, c0\nphase\ntexld r2, r1\ntexdepth r5\nmov r0, r2\n",
         }) {
        GlslPixelShader ps = Translate(src);
        Draw(ps);
    }
}

TEST(PsToGlsl, RefusesWhatItCannotTranslate) {
    GlslPixelShader out;
    std::string error;
    EXPECT_FALSE(TranslatePixelShader({}, out, error));
    EXPECT_FALSE(error.empty());
    std::vector<uint32_t> tokens;
    std::string asmErrors;
    ASSERT_TRUE(AssembleShader("vs.1.1\nmov oPos, v0", tokens, asmErrors));
    EXPECT_FALSE(TranslatePixelShader(tokens, out, error));
    ASSERT_TRUE(AssembleShader("ps.1.1\ntex t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3tex t3, t0\nmov r0, t3",
                               tokens, asmErrors));
    EXPECT_FALSE(TranslatePixelShader(tokens, out, error));
    EXPECT_NE(error.find("cube"), std::string::npos);
    // No end token.
    EXPECT_FALSE(TranslatePixelShader({0xFFFF0101, 0x01, 0x800F0000, 0x90E40000}, out, error));
    EXPECT_TRUE(out.fragmentSource.empty());
}

} // namespace
} // namespace rdv
