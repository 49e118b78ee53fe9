// The OpenGL device's cheaper ways to the same picture: one-colour textures
// read as constants, and drawing straight into the window when its buffers
// match the back buffer. Each must draw exactly what the plain way draws.
#include <cstdlib>
#include <cstring>
#include <string>

#include "GLTestSupport.h"
#include "platform/SDLHost.h"

namespace rdv::test {
namespace {

constexpr UINT kQ = GLDeviceTest::kSize / 4;

class GLFastPathTest : public GLDeviceTest {
protected:
    // A w x h texture of one colour (Direct3D's ARGB words).
    std::shared_ptr<IDirect3DTexture8> Filled(UINT w, UINT h, D3DFORMAT format, uint32_t argb) {
        std::shared_ptr<IDirect3DTexture8> t;
        EXPECT_EQ(dev_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, t), D3D_OK);
        if (t) SetTexel(*t, w, h, UINT(-1), 0, argb);
        return t;
    }
    // Sets texel (x, y), or every texel when x is UINT(-1).
    static void SetTexel(IDirect3DTexture8& t, UINT w, UINT h, UINT x, UINT y, uint32_t argb) {
        D3DLOCKED_RECT r;
        ASSERT_EQ(t.LockRect(0, &r, nullptr, 0), D3D_OK);
        for (UINT ty = 0; ty < h; ++ty)
            for (UINT tx = 0; tx < w; ++tx)
                if (x == UINT(-1) || (tx == x && ty == y))
                    std::memcpy(static_cast<uint8_t*>(r.pBits) + ty * r.Pitch + tx * 4, &argb, 4);
        ASSERT_EQ(t.UnlockRect(0), D3D_OK);
    }

    // A screen-filling quad, u and v running 0..max from the top-left.
    void Quad(D3DCOLOR c, float max = 1) {
        DrawUP({{-1, 1, 0.5f, 0, 0, -1, c, 0, 0},
                {1, 1, 0.5f, 0, 0, -1, c, max, 0},
                {-1, -1, 0.5f, 0, 0, -1, c, 0, max},
                {1, -1, 0.5f, 0, 0, -1, c, max, max}},
               D3DPT_TRIANGLESTRIP);
    }

    std::vector<uint8_t> Picture() {
        std::vector<uint8_t> rgba;
        UINT w = 0, h = 0;
        EXPECT_TRUE(ReadBackBuffer(*dev_, rgba, w, h));
        return rgba;
    }

    // The picture of `draw`, with the compiled programs and with the one
    // generic program that samples every texture it is given.
    template <typename F>
    void ExpectSameAsGeneric(F draw, const char* what) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
        draw();
        const auto compiled = Picture();
        ASSERT_TRUE(UseGenericFixedFunction(*dev_, true));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
        draw();
        const auto generic = Picture();
        UseGenericFixedFunction(*dev_, false);
        EXPECT_TRUE(compiled == generic) << what;
    }

    void Setup2D() {
        IdentityTransforms();
        dev_->SetRenderState(D3DRS_LIGHTING, 0);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    }
};

TEST_F(GLFastPathTest, OneColourTexturesDrawAsSampledOnes) {
    Setup2D();
    const D3DCOLOR c = D3DCOLOR_ARGB(128, 200, 100, 50);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    struct Case {
        D3DFORMAT format;
        uint32_t argb;
        const char* what;
    };
    // White, a pure colour with no alpha, the alpha-less format (alpha reads
    // 1 whatever its byte holds) and a grey, which is sampled as usual.
    for (const Case& k : {Case{D3DFMT_A8R8G8B8, 0xFFFFFFFFu, "white"}, Case{D3DFMT_A8R8G8B8, 0x00FF00FFu, "magenta"},
                          Case{D3DFMT_X8R8G8B8, 0x00FFFFFFu, "x8 white"}, Case{D3DFMT_A8R8G8B8, 0xFF808080u, "grey"}}) {
        dev_->SetTexture(0, Filled(4, 4, k.format, k.argb));
        ExpectSameAsGeneric([&] { Quad(c); }, k.what);
    }
    // The default stage takes its alpha from the texture: the white one is
    // opaque, the magenta one (alpha 0) lets the black clear through.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev_->SetTexture(0, Filled(4, 4, D3DFMT_A8R8G8B8, 0xFFFFFFFFu));
    Quad(c);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 200, 100, 50, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev_->SetTexture(0, Filled(4, 4, D3DFMT_A8R8G8B8, 0x00FF00FFu));
    Quad(c);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 0, 0, 0, 0);
}

TEST_F(GLFastPathTest, InstancedVertexStagesCompiledForTheirSettingsLightAsTheGenericOne) {
    // Instanced draws run a vertex stage compiled for their settings. Lit
    // quads, tilted, through a perspective, with lights of each kind,
    // specular, vertex fog and a transformed texture coordinate: drawn in
    // one call they must give the pixels of the generic program drawing
    // them one by one.
    D3DMATRIX world = Identity(), view = Identity(), projection{};
    world.m[1][1] = 0.8f;
    world.m[1][2] = 0.6f;
    world.m[2][1] = -0.6f;
    world.m[2][2] = 0.8f;
    view.m[3][2] = 2.5f;
    projection.m[0][0] = projection.m[1][1] = 1.5f;
    projection.m[2][2] = 1.0f;
    projection.m[2][3] = 1;
    projection.m[3][2] = -0.1f;
    dev_->SetTransform(D3DTS_WORLD, &world);
    dev_->SetTransform(D3DTS_VIEW, &view);
    dev_->SetTransform(D3DTS_PROJECTION, &projection);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATERIAL8 material{};
    material.Diffuse = {0.9f, 0.8f, 0.7f, 1};
    material.Ambient = {0.3f, 0.3f, 0.4f, 1};
    material.Specular = {1, 1, 1, 1};
    material.Power = 12;
    dev_->SetMaterial(&material);
    D3DLIGHT8 lights[3]{};
    lights[0].Type = D3DLIGHT_DIRECTIONAL;
    lights[0].Diffuse = {0.5f, 0.4f, 0.3f, 1};
    lights[0].Direction = {0.2f, -0.3f, 1};
    lights[1].Type = D3DLIGHT_POINT;
    lights[1].Diffuse = {0.2f, 0.6f, 0.2f, 1};
    lights[1].Specular = {0.5f, 0.5f, 0.5f, 1};
    lights[1].Position = {0.4f, 0.3f, -1.5f};
    lights[1].Range = 10;
    lights[1].Attenuation0 = 1;
    lights[1].Attenuation1 = 0.2f;
    lights[2].Type = D3DLIGHT_SPOT;
    lights[2].Diffuse = {0.1f, 0.2f, 0.9f, 1};
    lights[2].Ambient = {0.1f, 0.1f, 0.1f, 1};
    lights[2].Position = {-0.5f, 0, -2};
    lights[2].Direction = {0.3f, 0, 1};
    lights[2].Range = 10;
    lights[2].Attenuation0 = 1;
    lights[2].Theta = 0.3f;
    lights[2].Phi = 0.9f;
    lights[2].Falloff = 1;
    for (DWORD i = 0; i < 3; ++i) dev_->SetLight(i, &lights[i]);
    dev_->SetRenderState(D3DRS_LIGHTING, 1);
    dev_->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(20, 30, 40));
    dev_->SetTexture(0, Filled(4, 4, D3DFMT_A8R8G8B8, 0xFFC08040u));
    SetTexel(*Filled(4, 4, D3DFMT_A8R8G8B8, 0xFFFFFFFFu), 4, 4, 1, 2, 0xFF203040u);
    const Vertex338 strip[4] = {{-0.8f, 0.8f, 0, 0, 0, -1, D3DCOLOR_XRGB(255, 200, 100), 0, 0},
                                {0.8f, 0.8f, 0, 0.3f, 0, -1, D3DCOLOR_XRGB(100, 255, 200), 1, 0},
                                {-0.8f, -0.8f, 0, 0, 0.3f, -1, D3DCOLOR_XRGB(200, 100, 255), 0, 1},
                                {0.8f, -0.8f, 0, 0.3f, 0.3f, -1, D3DCOLOR_XRGB(255, 255, 255), 1, 1}};
    std::shared_ptr<IDirect3DVertexBuffer8> vb;
    ASSERT_EQ(dev_->CreateVertexBuffer(sizeof strip, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
    BYTE* bytes = nullptr;
    ASSERT_EQ(vb->Lock(0, sizeof strip, &bytes, 0), D3D_OK);
    std::memcpy(bytes, strip, sizeof strip);
    vb->Unlock();
    D3DMATRIX worlds[2] = {world, world};
    worlds[1].m[3][0] = 0.3f;
    worlds[1].m[3][2] = 0.4f;
    auto picture = [&](bool instanced) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
        dev_->SetVertexShader(D3DFVF_ENGINE);
        dev_->SetStreamSource(0, vb, sizeof(Vertex338));
        UseGenericFixedFunction(*dev_, !instanced);
        if (instanced) {
            EXPECT_EQ(dev_->DrawPrimitiveInstanced(D3DPT_TRIANGLESTRIP, 0, 2, worlds, 2), D3D_OK);
        } else {
            for (const D3DMATRIX& m : worlds) {
                dev_->SetTransform(D3DTS_WORLD, &m);
                dev_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
            }
        }
        UseGenericFixedFunction(*dev_, false);
        return Picture();
    };
    auto expectSame = [&](const char* what) { EXPECT_TRUE(picture(true) == picture(false)) << what; };
    for (DWORD on = 1; on <= 3; ++on) {
        dev_->LightEnable(on - 1, 1);
        expectSame("lights");
    }
    dev_->SetRenderState(D3DRS_SPECULARENABLE, 1);
    dev_->SetRenderState(D3DRS_LOCALVIEWER, 1);
    dev_->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
    expectSame("specular");
    dev_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    dev_->SetRenderState(D3DRS_FOGENABLE, 1);
    dev_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    const float start = 2.0f, end = 3.5f;
    dev_->SetRenderState(D3DRS_FOGSTART, *reinterpret_cast<const DWORD*>(&start));
    dev_->SetRenderState(D3DRS_FOGEND, *reinterpret_cast<const DWORD*>(&end));
    dev_->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(90, 90, 120));
    expectSame("colour source and vertex fog");
    D3DMATRIX scroll = Identity();
    scroll.m[2][0] = 0.25f;
    scroll.m[0][0] = 2;
    dev_->SetTransform(D3DTS_TEXTURE0, &scroll);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    expectSame("texture transform");
    const auto lit = picture(true);
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    expectSame("unlit");
    // The quads are drawn, and the lights change them.
    EXPECT_NE(lit, picture(true));
    const Rgba centre = Pixel(kSize / 2, kSize / 2);
    EXPECT_FALSE(centre.r == 10 && centre.g == 20 && centre.b == 30);
}

TEST_F(GLFastPathTest, ATextureRefilledWhileBoundDrawsItsNewTexels) {
    Setup2D();
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    auto t = Filled(2, 2, D3DFMT_A8R8G8B8, 0xFFFFFFFFu);
    dev_->SetTexture(0, t);
    const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Quad(white);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 255, 255, 255, 0);
    // One texel changes: the texture is no longer one colour.
    SetTexel(*t, 2, 2, 0, 0, 0xFFFF0000u);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Quad(white);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 255, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(3 * kQ, 3 * kQ), 255, 255, 255, 0);
    // And one colour again, another one.
    SetTexel(*t, 2, 2, UINT(-1), 0, 0xFF0000FFu);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    Quad(white);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 0, 0, 255, 0);
    EXPECT_RGB_NEAR(Pixel(3 * kQ, 3 * kQ), 0, 0, 255, 0);
}

TEST_F(GLFastPathTest, TexturesSwappedBetweenDrawsShowThemselves) {
    Setup2D();
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    auto checker = Filled(2, 2, D3DFMT_A8R8G8B8, 0xFFFF0000u);
    SetTexel(*checker, 2, 2, 1, 1, 0xFF00FF00u);
    auto other = Filled(2, 2, D3DFMT_A8R8G8B8, 0xFF0000FFu);
    SetTexel(*other, 2, 2, 1, 1, 0xFFFFFFFFu);
    const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
    auto yellow = Filled(2, 2, D3DFMT_A8R8G8B8, 0xFFFFFF00u);
    // One colour, another colour, sampled, sampled, one colour again;
    // blending toggled in between changes nothing the programs read.
    const struct {
        std::shared_ptr<IDirect3DTexture8> texture;
        Rgba topLeft;
    } steps[] = {{yellow, {255, 255, 0, 255}},
                 {Filled(2, 2, D3DFMT_A8R8G8B8, 0xFF00FFFFu), {0, 255, 255, 255}},
                 {checker, {255, 0, 0, 255}},
                 {other, {0, 0, 255, 255}},
                 {yellow, {255, 255, 0, 255}}};
    int i = 0;
    for (const auto& step : steps) {
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, (i++ & 1) ? 1 : 0);
        dev_->SetTexture(0, step.texture);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        Quad(white);
        SCOPED_TRACE(i);
        EXPECT_RGB_NEAR(Pixel(kQ, kQ), step.topLeft.r, step.topLeft.g, step.topLeft.b, 0);
    }
}

TEST_F(GLFastPathTest, BorderAddressingStillShowsTheBorderColour) {
    Setup2D();
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_BORDER);
    dev_->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_BORDER);
    dev_->SetTextureStageState(0, D3DTSS_BORDERCOLOR, D3DCOLOR_XRGB(0, 255, 0));
    dev_->SetTexture(0, Filled(2, 2, D3DFMT_A8R8G8B8, 0xFFFFFFFFu));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    // u and v run to 2: the right and lower halves lie on the border.
    Quad(D3DCOLOR_XRGB(255, 255, 255), 2);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 255, 255, 255, 0);
    EXPECT_RGB_NEAR(Pixel(3 * kQ, 3 * kQ), 0, 255, 0, 0);
}

// A second window whose buffers match the back buffer (8-bit colour, 24-bit
// depth, 8-bit stencil, as the game's host window asks for), beside the
// fixture's, which has SDL's default 16-bit depth and no stencil and so
// cannot hold a D24S8 back buffer.
class GLWindowBackBufferTest : public GLFastPathTest {
protected:
    void SetUp() override {
        GLFastPathTest::SetUp();
        if (HasFatalFailure()) return;
        RequestGameWindowBuffers();
        matching_ = SDL_CreateWindow("gl test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        SDL_GL_ResetAttributes();
        ASSERT_NE(matching_, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        direct_.reset();
        if (matching_) SDL_DestroyWindow(matching_);
        GLFastPathTest::TearDown();
    }
    // The device on the matching window becomes dev_ (the helpers draw on it).
    void UseMatchingWindow(D3DSWAPEFFECT swap) {
        D3DPRESENT_PARAMETERS pp = Params(kSize, kSize);
        pp.SwapEffect = swap;
        apart_ = dev_;
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, matching_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, direct_),
                  D3D_OK);
        dev_ = direct_;
    }
    // Depth test, culling, blending, a stencil mask and a texture.
    void Scene() {
        Setup2D();
        dev_->SetTexture(0, Filled(2, 2, D3DFMT_A8R8G8B8, 0xFF80C0FFu));
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        dev_->SetRenderState(D3DRS_STENCILENABLE, 1);
        dev_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        dev_->SetRenderState(D3DRS_STENCILREF, 1);
        dev_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
        DrawUP({{-0.9f, -0.9f, 0.3f, 0, 0, -1, D3DCOLOR_XRGB(255, 0, 0), 0, 0},
                {-0.9f, 0.6f, 0.3f, 0, 0, -1, D3DCOLOR_XRGB(255, 0, 0), 0, 1},
                {0.4f, -0.9f, 0.3f, 0, 0, -1, D3DCOLOR_XRGB(255, 0, 0), 1, 0}});
        dev_->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL);
        dev_->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
        dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        DrawUP({{-0.5f, -0.2f, 0.5f, 0, 0, -1, D3DCOLOR_ARGB(100, 0, 255, 0), 0, 0},
                {0.2f, 0.9f, 0.5f, 0, 0, -1, D3DCOLOR_ARGB(100, 0, 255, 0), 1, 1},
                {0.9f, -0.6f, 0.1f, 0, 0, -1, D3DCOLOR_ARGB(100, 0, 255, 0), 1, 0}});
        dev_->SetRenderState(D3DRS_STENCILENABLE, 0);
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    }
    SDL_Window* matching_ = nullptr;
    std::shared_ptr<IDirect3DDevice8> apart_, direct_;
};

TEST_F(GLWindowBackBufferTest, DrawsTheSamePictureAsABackBufferApart) {
    UseMatchingWindow(D3DSWAPEFFECT_DISCARD);
    EXPECT_FALSE(DrawsIntoWindow(*apart_));
    if (std::string(SDL_GetCurrentVideoDriver()) == "offscreen") EXPECT_TRUE(DrawsIntoWindow(*direct_));
    Scene();
    const auto direct = Picture();
    dev_ = apart_;
    Scene();
    const auto apart = Picture();
    // The window's rows run the other way up, so a rasterizer may break a
    // tie on an edge or round an interpolated colour differently there: a
    // few pixels may differ, by a step of rounding or along an edge.
    size_t off = 0, far = 0;
    for (size_t i = 0; i < direct.size(); ++i) {
        const int d = std::abs(int(direct[i]) - int(apart[i]));
        off += d > 0;
        far += d > 1;
    }
    EXPECT_LE(off, direct.size() / 20);
    EXPECT_LE(far, direct.size() / 100);
    // The first triangle's red times the texture, and the second's green
    // times the texture blended over the background.
    dev_ = direct_;
    EXPECT_RGB_NEAR(Pixel(3, kSize - 4), 128, 0, 0, 1);
    EXPECT_RGB_NEAR(Pixel(19, 15), ToByte(10 * 155 / 255.0 / 255.0), ToByte((20 * 155 + 192 * 100) / 255.0 / 255.0),
                    ToByte(30 * 155 / 255.0 / 255.0), 1);
}

TEST_F(GLWindowBackBufferTest, CopySwapKeepsThePictureAcrossPresent) {
    UseMatchingWindow(D3DSWAPEFFECT_COPY);
    Scene();
    const auto before = Picture();
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(Picture() == before);
    // And the next frame draws where the first did.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 0, 0, 255, 0);
    ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(kQ, kQ), 0, 0, 255, 0);
}

TEST_F(GLWindowBackBufferTest, MultisamplingAndOtherSizesDrawApart) {
    UseMatchingWindow(D3DSWAPEFFECT_DISCARD);
    D3DPRESENT_PARAMETERS pp = Params(kSize / 2, kSize);
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
    EXPECT_FALSE(DrawsIntoWindow(*dev_));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0);
    EXPECT_RGB_NEAR(Pixel(1, 1), 0, 255, 0, 0);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    if (d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_2_SAMPLES) == D3D_OK) {
        pp = Params(kSize, kSize);
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
        ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
        EXPECT_FALSE(DrawsIntoWindow(*dev_));
    }
    // Back to the window's size, the window holds the picture again.
    pp = Params(kSize, kSize);
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
    if (std::string(SDL_GetCurrentVideoDriver()) == "offscreen") EXPECT_TRUE(DrawsIntoWindow(*dev_));
}

} // namespace
} // namespace rdv::test
