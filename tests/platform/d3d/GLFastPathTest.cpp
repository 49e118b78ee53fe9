// The OpenGL device's cheaper ways to the same picture: one-colour textures
// read as constants, and drawing straight into the window when its buffers
// match the back buffer. Each must draw exactly what the plain way draws.
#include <cstring>

#include "GLTestSupport.h"

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

} // namespace
} // namespace rdv::test
