// Image tests of the OpenGL device: triangles drawn with Direct3D states,
// read back and compared with Direct3D's fixed-function formulas.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>

#include "GLTestSupport.h"
#include "platform/shaderasm/ShaderAssembler.h"

namespace rdv::test {
namespace {

constexpr int kTol = 3;
constexpr UINT kMid = GLDeviceTest::kSize / 2;

D3DCOLORVALUE Cv(float r, float g, float b, float a = 1) { return {r, g, b, a}; }

// Camera at (5, 0, 0) looking at the origin with up +y (a left-handed
// look-at built by hand), and a perspective with near 1, far 10.
D3DMATRIX SideView() {
    D3DMATRIX v;
    v.m[0][2] = -1;
    v.m[1][1] = 1;
    v.m[2][0] = 1;
    v.m[3][2] = 5;
    v.m[3][3] = 1;
    return v;
}
D3DMATRIX Perspective() {
    D3DMATRIX p;
    p.m[0][0] = 1;
    p.m[1][1] = 1;
    p.m[2][2] = 10.0f / 9.0f;
    p.m[2][3] = 1;
    p.m[3][2] = -10.0f / 9.0f;
    return p;
}

// A triangle in the world plane x = 0, facing the side camera (normal +x),
// clockwise on screen and covering its centre at eye depth 5.
std::vector<Vertex338> SideTriangle(D3DCOLOR c) {
    return {{0, -10, -10, 1, 0, 0, c, 0, 0}, {0, 10, 0, 1, 0, 0, c, 0, 0}, {0, -10, 10, 1, 0, 0, c, 0, 0}};
}

TEST_F(GLDeviceTest, ClearCoversTheViewportOnly) {
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(10, 120, 230), 1.0f, 0), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(0, 0), 10, 120, 230, 0);
    EXPECT_RGB_NEAR(Pixel(kSize - 1, kSize - 1), 10, 120, 230, 0);
    // The top half, counted from the top as Direct3D counts rows.
    D3DVIEWPORT8 top{0, 0, kSize, kSize / 2, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&top), D3D_OK);
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(3, 2), 255, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(3, kSize - 2), 10, 120, 230, 0);
    // A rectangle is clipped to the viewport.
    D3DRECT r{20, 10, 40, 40};
    ASSERT_EQ(dev_->Clear(1, &r, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(25, 12), 0, 255, 0, 0);
    EXPECT_RGB_NEAR(Pixel(25, 20), 10, 120, 230, 0);
    EXPECT_RGB_NEAR(Pixel(5, 12), 255, 0, 0, 0);
    D3DVIEWPORT8 bad{0, 0, kSize + 1, kSize, 0, 1};
    EXPECT_EQ(dev_->SetViewport(&bad), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, CullCounterClockwiseKeepsClockwiseFaces) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    const D3DCOLOR bg = D3DCOLOR_XRGB(0, 0, 0);
    struct Case {
        DWORD cull;
        bool clockwise;
        bool drawn;
    } cases[] = {{D3DCULL_CCW, true, true}, {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},
                 {D3DCULL_CW, false, true}, {D3DCULL_NONE, false, true}};
    for (const Case& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, bg, 1.0f, 0);
        dev_->SetRenderState(D3DRS_CULLMODE, c.cull);
        ASSERT_EQ(DrawUP(CentreTriangle(D3DCOLOR_XRGB(200, 100, 50), c.clockwise)), D3D_OK);
        SCOPED_TRACE(testing::Message() << "cull " << c.cull << (c.clockwise ? " clockwise" : " counter-clockwise"));
        if (c.drawn) EXPECT_RGB_NEAR(Pixel(kMid, kMid), 200, 100, 50, 1);
        else EXPECT_RGB_NEAR(Pixel(kMid, kMid), 0, 0, 0, 0);
    }
    // The picture is upright: the apex of the triangle is at the top.
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, bg, 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_XRGB(255, 255, 255)));
    EXPECT_RGB_NEAR(Pixel(kMid, 4), 255, 255, 255, 0);
    EXPECT_RGB_NEAR(Pixel(3, 4), 0, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(3, kSize - 4), 255, 255, 255, 0);
}

TEST_F(GLDeviceTest, DirectionalLightIsGivenInWorldSpace) {
    const D3DMATRIX id = Identity(), view = SideView(), proj = Perspective();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &view);
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    dev_->SetRenderState(D3DRS_LIGHTING, 1);
    dev_->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(64, 64, 64));
    dev_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    dev_->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    D3DMATERIAL8 m;
    m.Diffuse = Cv(0.5f, 0.25f, 0.125f);
    m.Ambient = Cv(0.4f, 0.4f, 0.4f);
    m.Specular = Cv(0.5f, 0.5f, 0.5f);
    m.Power = 4;
    dev_->SetMaterial(&m);
    D3DLIGHT8 light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = Cv(1, 1, 1);
    light.Specular = Cv(1, 1, 1);
    light.Direction = {-0.8f, -0.6f, 0.0f};
    ASSERT_EQ(dev_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(dev_->LightEnable(0, 1), D3D_OK);

    // Direct3D: colour = Ca * Ga + Cd * Ld * (N.L) [+ Cs * Ls * (N.H)^P],
    // N = +x, L = -direction, H halfway between L and the eye direction.
    const double ga = 64 / 255.0, nl = 0.8;
    const double hx = 0.8 + 1.0, hy = 0.6, nh = hx / std::sqrt(hx * hx + hy * hy);
    const double spec = 0.5 * std::pow(nh, 4.0);
    const double base[3] = {0.4 * ga + 0.5 * nl, 0.4 * ga + 0.25 * nl, 0.4 * ga + 0.125 * nl};

    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(DrawUP(SideTriangle(D3DCOLOR_XRGB(255, 255, 255))), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(base[0]), ToByte(base[1]), ToByte(base[2]), kTol);

    dev_->SetRenderState(D3DRS_SPECULARENABLE, 1);
    dev_->SetRenderState(D3DRS_LOCALVIEWER, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawUP(SideTriangle(D3DCOLOR_XRGB(255, 255, 255)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(base[0] + spec), ToByte(base[1] + spec), ToByte(base[2] + spec), kTol);

    // Diffuse from the vertex colour (material source COLOR1).
    dev_->SetRenderState(D3DRS_SPECULARENABLE, 0);
    dev_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawUP(SideTriangle(D3DCOLOR_XRGB(0, 255, 0)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(0.4 * ga), ToByte(0.4 * ga + nl), ToByte(0.4 * ga), kTol);

    // A light from behind leaves ambient only.
    light.Direction = {0.8f, -0.6f, 0.0f};
    dev_->SetLight(0, &light);
    dev_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawUP(SideTriangle(D3DCOLOR_XRGB(255, 255, 255)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(0.4 * ga), ToByte(0.4 * ga), ToByte(0.4 * ga), kTol);
}

TEST_F(GLDeviceTest, ExpFogAtKnownDepthPerPixelAndPerVertex) {
    const D3DMATRIX id = Identity(), view = SideView(), proj = Perspective();
    dev_->SetTransform(D3DTS_WORLD, &id);
    dev_->SetTransform(D3DTS_VIEW, &view);
    dev_->SetTransform(D3DTS_PROJECTION, &proj);
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->SetRenderState(D3DRS_FOGENABLE, 1);
    dev_->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(0, 0, 255));
    dev_->SetRenderState(D3DRS_FOGDENSITY, FtoDW(0.2f));
    // f = exp(-density * depth); colour = f * C + (1 - f) * fog colour.
    const double f = std::exp(-0.2 * 5.0);
    for (int perPixel = 1; perPixel >= 0; --perPixel) {
        dev_->SetRenderState(D3DRS_FOGTABLEMODE, perPixel ? D3DFOG_EXP : D3DFOG_NONE);
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, perPixel ? D3DFOG_NONE : D3DFOG_EXP);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        SCOPED_TRACE(perPixel ? "pixel fog" : "vertex fog");
        ASSERT_EQ(DrawUP(SideTriangle(D3DCOLOR_XRGB(255, 0, 0))), D3D_OK);
        EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(f), 0, ToByte(1 - f), kTol);
    }
    dev_->SetRenderState(D3DRS_FOGENABLE, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawUP(SideTriangle(D3DCOLOR_XRGB(255, 0, 0)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 255, 0, 0, 0);
}

TEST_F(GLDeviceTest, AlphaBlendingAndReverseSubtract) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 200), 1.0f, 0);
    ASSERT_EQ(DrawUP(CentreTriangle(D3DCOLOR_ARGB(128, 255, 0, 0))), D3D_OK);
    const double a = 128 / 255.0;
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(a), 0, ToByte((1 - a) * 200 / 255.0), kTol);

    // The "both" factor sets the destination factor as well.
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BOTHSRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 200), 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_ARGB(128, 255, 0, 0)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), ToByte(a), 0, ToByte((1 - a) * 200 / 255.0), kTol);

    // Reverse subtract: destination - source.
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    dev_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(200, 150, 100), 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_XRGB(50, 100, 150)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 150, 50, 0, 1);
    // Subtract: source - destination.
    dev_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_SUBTRACT);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(20, 150, 100), 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_XRGB(50, 100, 150)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 30, 0, 50, 1);
}

class GLTextureTest : public GLDeviceTest {
protected:
    // 2 x 2 texels: red, green / blue, white (A8R8G8B8 as Direct3D lays it out).
    std::shared_ptr<IDirect3DTexture8> Checker() {
        std::shared_ptr<IDirect3DTexture8> t;
        EXPECT_EQ(dev_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), D3D_OK);
        D3DLOCKED_RECT r;
        EXPECT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
        const uint32_t texels[2][2] = {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}};
        for (int y = 0; y < 2; ++y)
            std::memcpy(static_cast<uint8_t*>(r.pBits) + y * r.Pitch, texels[y], 8);
        EXPECT_EQ(t->UnlockRect(0), D3D_OK);
        return t;
    }

    // A screen-filling quad from a vertex and an index buffer, u and v
    // running 0..1 from the top-left corner.
    void DrawQuad() {
        const D3DCOLOR w = D3DCOLOR_XRGB(255, 255, 255);
        const Vertex338 quad[4] = {{-1, 1, 0.5f, 0, 0, -1, w, 0, 0},
                                   {1, 1, 0.5f, 0, 0, -1, w, 1, 0},
                                   {-1, -1, 0.5f, 0, 0, -1, w, 0, 1},
                                   {1, -1, 0.5f, 0, 0, -1, w, 1, 1}};
        const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
        std::shared_ptr<IDirect3DVertexBuffer8> vb;
        std::shared_ptr<IDirect3DIndexBuffer8> ib;
        ASSERT_EQ(dev_->CreateVertexBuffer(sizeof quad, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
        ASSERT_EQ(dev_->CreateIndexBuffer(sizeof idx, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib), D3D_OK);
        BYTE* p = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, quad, sizeof quad);
        vb->Unlock();
        ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
        std::memcpy(p, idx, sizeof idx);
        ib->Unlock();
        dev_->SetVertexShader(D3DFVF_ENGINE);
        dev_->SetStreamSource(0, vb, sizeof(Vertex338));
        dev_->SetIndices(ib, 0);
        ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    }
};

TEST_F(GLTextureTest, TexturedQuadWithTextureTransform) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->SetTexture(0, Checker());
    dev_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    const UINT q = kSize / 4, q3 = 3 * kSize / 4;
    EXPECT_RGB_NEAR(Pixel(q, q), 255, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(q3, q), 0, 255, 0, 0);
    EXPECT_RGB_NEAR(Pixel(q, q3), 0, 0, 255, 0);
    EXPECT_RGB_NEAR(Pixel(q3, q3), 255, 255, 255, 0);

    // COUNT2 takes the offsets of two-component coordinates from the third
    // row: u' = u + 0.5 shifts the picture by one texel, wrapping.
    D3DMATRIX t = Identity();
    t.m[2][0] = 0.5f;
    dev_->SetTransform(D3DTS_TEXTURE0, &t);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    EXPECT_RGB_NEAR(Pixel(q, q), 0, 255, 0, 0);
    EXPECT_RGB_NEAR(Pixel(q3, q), 255, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(q3, q3), 0, 0, 255, 0);

    // Disabled, the matrix is ignored.
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    EXPECT_RGB_NEAR(Pixel(q, q), 255, 0, 0, 0);
}

TEST_F(GLTextureTest, StageOperationsModulateAndSelect) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    auto tex = Checker();
    const D3DCOLOR half = D3DCOLOR_ARGB(255, 128, 128, 128);
    const UINT q = kSize / 4;
    // Default stage 0: texture x diffuse.
    dev_->SetTexture(0, tex);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawUP({{-1, 1, 0.5f, 0, 0, -1, half, 0, 0}, {1, 1, 0.5f, 0, 0, -1, half, 1, 0}, {-1, -1, 0.5f, 0, 0, -1, half, 0, 1}});
    EXPECT_RGB_NEAR(Pixel(q, q), 128, 0, 0, 1);
    // Select the diffuse colour only.
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawUP({{-1, 1, 0.5f, 0, 0, -1, half, 0, 0}, {1, 1, 0.5f, 0, 0, -1, half, 1, 0}, {-1, -1, 0.5f, 0, 0, -1, half, 0, 1}});
    EXPECT_RGB_NEAR(Pixel(q, q), 128, 128, 128, 1);
    // Without a texture the default stage passes the vertex colour and alpha.
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev_->SetTexture(0, nullptr);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const D3DCOLOR translucent = D3DCOLOR_ARGB(64, 0, 255, 0);
    DrawUP({{-1, 1, 0.5f, 0, 0, -1, translucent, 0, 0},
            {1, 1, 0.5f, 0, 0, -1, translucent, 1, 0},
            {-1, -1, 0.5f, 0, 0, -1, translucent, 0, 1}});
    EXPECT_RGB_NEAR(Pixel(q, q), 0, ToByte(64 / 255.0), 0, 1);
}

TEST_F(GLTextureTest, PixelShaderReadsTexturesAndConstantsAndIsFogged) {
    std::vector<uint32_t> tokens;
    std::string errors;
    ASSERT_TRUE(AssembleShader("ps.1.1\ntex t0\nmul r0, t0, c0\n", tokens, errors)) << errors;
    DWORD ps = 0;
    ASSERT_EQ(dev_->CreatePixelShader(tokens.data(), &ps), D3D_OK);
    ASSERT_NE(ps, 0u);
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->SetTexture(0, Checker());
    const float c0[4] = {0.5f, 1.0f, 0.25f, 1.0f};
    ASSERT_EQ(dev_->SetPixelShaderConstant(0, c0, 1), D3D_OK);
    ASSERT_EQ(dev_->SetPixelShader(ps), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    const UINT q = kSize / 4, q3 = 3 * kSize / 4;
    EXPECT_RGB_NEAR(Pixel(q, q), 128, 0, 0, 1);        // red x c0
    EXPECT_RGB_NEAR(Pixel(q3, q3), 128, 255, 64, 1);   // white x c0
    // Fog applies after the pixel shader, as on Direct3D: depth 0.5 here.
    dev_->SetRenderState(D3DRS_FOGENABLE, 1);
    dev_->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
    dev_->SetRenderState(D3DRS_FOGDENSITY, FtoDW(2.0f));
    dev_->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(0, 0, 255));
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    const double f = std::exp(-2.0 * 0.5);
    EXPECT_RGB_NEAR(Pixel(q, q), ToByte(f * 128 / 255.0), 0, ToByte(1 - f), kTol);
    // Back to the fixed pipeline.
    dev_->SetRenderState(D3DRS_FOGENABLE, 0);
    ASSERT_EQ(dev_->SetPixelShader(0), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawQuad();
    EXPECT_RGB_NEAR(Pixel(q, q), 255, 0, 0, 0);
    EXPECT_EQ(dev_->DeletePixelShader(ps), D3D_OK);
    EXPECT_EQ(dev_->SetPixelShader(ps), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, DepthTestKeepsTheNearerTriangle) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    auto nearT = CentreTriangle(D3DCOLOR_XRGB(255, 0, 0));
    auto farT = CentreTriangle(D3DCOLOR_XRGB(0, 255, 0));
    for (auto& v : nearT) v.z = 0.2f;
    for (auto& v : farT) v.z = 0.8f;
    DrawUP(nearT);
    DrawUP(farT);
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 255, 0, 0, 0);
    // Depth 0 and 1 are inside Direct3D's [0, 1] range; 1.2 is not.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    for (auto& v : farT) v.z = 0.0f;
    DrawUP(farT);
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 0, 255, 0, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    for (auto& v : farT) v.z = 1.2f;
    DrawUP(farT);
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 0, 0, 0, 0);
}

TEST_F(GLDeviceTest, TransformedVerticesArePixelCoordinates) {
    struct TlVertex {
        float x, y, z, rhw;
        D3DCOLOR c;
    };
    const D3DCOLOR c = D3DCOLOR_XRGB(10, 200, 30);
    // A rectangle over pixels 4..11 x 2..5 (centres on integers).
    const TlVertex v[4] = {{3.5f, 1.5f, 0.5f, 1, c}, {11.5f, 1.5f, 0.5f, 1, c}, {3.5f, 5.5f, 0.5f, 1, c},
                           {11.5f, 5.5f, 0.5f, 1, c}};
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(4, 2), 10, 200, 30, 0);
    EXPECT_RGB_NEAR(Pixel(11, 5), 10, 200, 30, 0);
    EXPECT_RGB_NEAR(Pixel(3, 2), 0, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(12, 5), 0, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(4, 1), 0, 0, 0, 0);
    EXPECT_RGB_NEAR(Pixel(4, 6), 0, 0, 0, 0);
}

TEST_F(GLDeviceTest, VertexDeclarationFeedsTheFixedPipeline) {
    const DWORD decl[] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_REG(5, D3DVSDT_D3DCOLOR),
                          D3DVSD_END()};
    DWORD handle = 0;
    ASSERT_EQ(dev_->CreateVertexShader(decl, nullptr, &handle, 0), D3D_OK);
    EXPECT_EQ(handle & 1, 1u);
    const DWORD code[] = {D3DVS_VERSION(1, 1), 0x0000FFFF};
    DWORD other = 0;
    EXPECT_EQ(dev_->CreateVertexShader(decl, code, &other, 0), D3DERR_INVALIDCALL);
    const DWORD twoStreams[] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_STREAM(1),
                                D3DVSD_REG(5, D3DVSDT_D3DCOLOR), D3DVSD_END()};
    EXPECT_EQ(dev_->CreateVertexShader(twoStreams, nullptr, &other, 0), D3DERR_INVALIDCALL);

    struct V {
        float x, y, z;
        D3DCOLOR c;
    };
    const V tri[3] = {{-0.9f, -0.9f, 0.5f, 0xFF3366FF}, {0, 0.9f, 0.5f, 0xFF3366FF}, {0.9f, -0.9f, 0.5f, 0xFF3366FF}};
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(dev_->SetVertexShader(handle), D3D_OK);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(V)), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 0x33, 0x66, 0xFF, 0);
    EXPECT_EQ(dev_->DeleteVertexShader(handle), D3D_OK);
    EXPECT_EQ(dev_->SetVertexShader(handle), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, BadCallsAreRefusedNotCrashes) {
    std::shared_ptr<IDirect3DVertexBuffer8> vb;
    ASSERT_EQ(dev_->CreateVertexBuffer(3 * sizeof(Vertex338), 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
    dev_->SetVertexShader(D3DFVF_ENGINE);
    dev_->SetStreamSource(0, vb, sizeof(Vertex338));
    // Past the end of the buffer.
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    // Indices beyond the vertices.
    std::shared_ptr<IDirect3DIndexBuffer8> ib;
    ASSERT_EQ(dev_->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    const uint16_t idx[3] = {0, 1, 7};
    std::memcpy(p, idx, 6);
    ib->Unlock();
    dev_->SetIndices(ib, 0);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(0, 1000, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    std::shared_ptr<IDirect3DTexture8> t;
    EXPECT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, t), D3DERR_INVALIDCALL);
    EXPECT_EQ(t, nullptr);
    // Pixel-shader tokens with a foreign version are refused.
    const DWORD vsTokens[] = {D3DVS_VERSION(1, 1), 0x0000FFFF};
    DWORD h = 0;
    EXPECT_EQ(dev_->CreatePixelShader(vsTokens, &h), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->SetPixelShader(12345), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, ResourcesOfAnotherDeviceAreRefused) {
    SDL_Window* second = SDL_CreateWindow("second", 0, 0, 8, 8, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(second, nullptr);
    {
        D3DPRESENT_PARAMETERS pp = Params(8, 8);
        std::shared_ptr<IDirect3DDevice8> other;
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, second, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, other), D3D_OK);
        std::shared_ptr<IDirect3DTexture8> t;
        std::shared_ptr<IDirect3DVertexBuffer8> vb;
        ASSERT_EQ(other->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), D3D_OK);
        ASSERT_EQ(other->CreateVertexBuffer(36, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
        EXPECT_EQ(dev_->SetTexture(0, t), D3DERR_INVALIDCALL);
        EXPECT_EQ(dev_->SetStreamSource(0, vb, 36), D3DERR_INVALIDCALL);
        EXPECT_EQ(other->SetTexture(0, t), D3D_OK);
        // A texture outliving its device is released without touching GL.
        other.reset();
    }
    SDL_DestroyWindow(second);
    // A window without OpenGL cannot carry a device.
    SDL_Window* plain = SDL_CreateWindow("plain", 0, 0, 8, 8, SDL_WINDOW_HIDDEN);
    ASSERT_NE(plain, nullptr);
    D3DPRESENT_PARAMETERS pp = Params(8, 8);
    std::shared_ptr<IDirect3DDevice8> none;
    EXPECT_TRUE(FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, plain, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, none)));
    EXPECT_EQ(none, nullptr);
    SDL_DestroyWindow(plain);
    EXPECT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(9, 9, 9), 1.0f, 0), D3D_OK);
    EXPECT_RGB_NEAR(Pixel(1, 1), 9, 9, 9, 0);
}

TEST_F(GLDeviceTest, AdapterReportsWhatTheDeviceCanDo) {
    EXPECT_EQ(d3d_->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER8 id;
    ASSERT_EQ(d3d_->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_NE(std::string(id.Description), "");
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    const UINT modes = d3d_->GetAdapterModeCount(0);
    ASSERT_GT(modes, 0u);
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d_->EnumAdapterModes(0, i, &m), D3D_OK);
        EXPECT_LE(m.Width, desktop.Width);
        EXPECT_LE(m.Height, desktop.Height);
    }
    D3DDISPLAYMODE m;
    EXPECT_EQ(d3d_->EnumAdapterModes(0, modes, &m), D3DERR_INVALIDCALL);
    // Windowed: the desktop format with a matching back buffer.
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, desktop.Format, desktop.Format, 1), D3D_OK);
    EXPECT_NE(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R3G3B2, D3DFMT_A8R3G3B2, 0), D3D_OK);
    EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D24S8), D3D_OK);
    EXPECT_NE(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D24X4S4), D3D_OK);
    // One sample is no multisample type.
    EXPECT_NE(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, static_cast<D3DMULTISAMPLE_TYPE>(1)),
              D3D_OK);
    D3DCAPS8 caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(1, 4));
    EXPECT_TRUE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP);
    EXPECT_TRUE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED);
    const DWORD lights = D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS;
    EXPECT_EQ(caps.VertexProcessingCaps & lights, lights);
    EXPECT_GE(caps.MaxAnisotropy, 1u);
    D3DCAPS8 fromDevice;
    ASSERT_EQ(dev_->GetDeviceCaps(&fromDevice), D3D_OK);
    EXPECT_EQ(fromDevice.RasterCaps, caps.RasterCaps);
}

TEST_F(GLDeviceTest, TexturesLockReadBackAndKeepTheirLevels) {
    std::shared_ptr<IDirect3DTexture8> t;
    ASSERT_EQ(dev_->CreateTexture(8, 4, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, t), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 4u);   // 8x4, 4x2, 2x1, 1x1
    D3DSURFACE_DESC d;
    ASSERT_EQ(t->GetLevelDesc(2, &d), D3D_OK);
    EXPECT_EQ(d.Width, 2u);
    EXPECT_EQ(d.Height, 1u);
    EXPECT_EQ(d.Format, D3DFMT_R5G6B5);
    D3DLOCKED_RECT r;
    RECT rect{2, 1, 4, 3};
    ASSERT_EQ(t->LockRect(0, &r, &rect, 0), D3D_OK);
    EXPECT_EQ(r.Pitch, 16);
    static_cast<uint16_t*>(r.pBits)[0] = 0xF800;
    EXPECT_EQ(t->LockRect(0, &r, nullptr, 0), D3DERR_INVALIDCALL);   // already locked
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    ASSERT_EQ(t->LockRect(0, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint16_t*>(r.pBits)[1 * 8 + 2], 0xF800);
    t->UnlockRect(0);
    RECT outside{6, 0, 9, 1};
    EXPECT_EQ(t->LockRect(0, &r, &outside, 0), D3DERR_INVALIDCALL);
}

// The texels live in GL alone: every level locks back what was written to
// it (a new one reads as zeros), a partial lock sees the rest of the level,
// and a filled texture adds about its own size to the heap (the driver's
// copy), not twice that.
TEST_F(GLDeviceTest, TexturesKeepTheirTexelsInGLOnly) {
    std::shared_ptr<IDirect3DTexture8> t;
    ASSERT_EQ(dev_->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t), D3D_OK);
    ASSERT_EQ(t->GetLevelCount(), 5u);
    D3DLOCKED_RECT r;
    ASSERT_EQ(t->LockRect(2, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(r.pBits)[0], 0u);
    EXPECT_EQ(static_cast<uint32_t*>(r.pBits)[7], 0u);
    ASSERT_EQ(t->UnlockRect(2), D3D_OK);
    auto texel = [](UINT level, UINT i) { return 0x80000000u | (level << 16) | (i * 7u); };
    for (UINT level = 0; level < 5; ++level) {
        D3DSURFACE_DESC d;
        ASSERT_EQ(t->GetLevelDesc(level, &d), D3D_OK);
        EXPECT_EQ(d.Size, d.Width * d.Height * 4);
        ASSERT_EQ(t->LockRect(level, &r, nullptr, 0), D3D_OK);
        for (UINT i = 0; i < d.Width * d.Height; ++i) static_cast<uint32_t*>(r.pBits)[i] = texel(level, i);
        ASSERT_EQ(t->UnlockRect(level), D3D_OK);
    }
    // One texel changed through a rectangle; its neighbours keep theirs.
    RECT one{3, 1, 4, 2};
    ASSERT_EQ(t->LockRect(0, &r, &one, 0), D3D_OK);
    static_cast<uint32_t*>(r.pBits)[0] = 0xFF123456u;
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    for (UINT level = 0; level < 5; ++level) {
        D3DSURFACE_DESC d;
        t->GetLevelDesc(level, &d);
        ASSERT_EQ(t->LockRect(level, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT i = 0; i < d.Width * d.Height; ++i) {
            const uint32_t want = level == 0 && i == 1 * 16 + 3 ? 0xFF123456u : texel(level, i);
            ASSERT_EQ(static_cast<uint32_t*>(r.pBits)[i], want) << "level " << level << " texel " << i;
        }
        ASSERT_EQ(t->UnlockRect(level), D3D_OK);
    }

    // Grey texels (red = green = blue) with any alpha come back exactly.
    std::shared_ptr<IDirect3DTexture8> grey;
    ASSERT_EQ(dev_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, grey), D3D_OK);
    ASSERT_EQ(grey->LockRect(0, &r, nullptr, 0), D3D_OK);
    for (uint32_t i = 0; i < 64; ++i) static_cast<uint32_t*>(r.pBits)[i] = ((255 - 3 * i) << 24) | (i * 4 * 0x010101u);
    ASSERT_EQ(grey->UnlockRect(0), D3D_OK);
    ASSERT_EQ(grey->LockRect(0, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (uint32_t i = 0; i < 64; ++i)
        ASSERT_EQ(static_cast<uint32_t*>(r.pBits)[i], ((255 - 3 * i) << 24) | (i * 4 * 0x010101u)) << i;
    grey->UnlockRect(0);

    // A colour arriving in one level of a grey texture keeps every other
    // level's texels.
    std::shared_ptr<IDirect3DTexture8> chain;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, chain), D3D_OK);
    const uint32_t greys[3] = {0xFF111111u, 0xFF777777u, 0xFFEEEEEEu};
    for (UINT level = 0; level < 3; ++level) {
        ASSERT_EQ(chain->LockRect(level, &r, nullptr, 0), D3D_OK);
        std::fill_n(static_cast<uint32_t*>(r.pBits), 16 >> (2 * level), greys[level]);
        ASSERT_EQ(chain->UnlockRect(level), D3D_OK);
    }
    RECT corner{1, 1, 2, 2};
    ASSERT_EQ(chain->LockRect(1, &r, &corner, 0), D3D_OK);
    static_cast<uint32_t*>(r.pBits)[0] = 0xFF00FF00u;
    ASSERT_EQ(chain->UnlockRect(1), D3D_OK);
    for (UINT level = 0; level < 3; ++level) {
        ASSERT_EQ(chain->LockRect(level, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT i = 0; i < (16u >> (2 * level)); ++i)
            EXPECT_EQ(static_cast<uint32_t*>(r.pBits)[i], level == 1 && i == 3 ? 0xFF00FF00u : greys[level])
                << "level " << level << " texel " << i;
        chain->UnlockRect(level);
    }

    // What filling a 1024 x 1024 texture with `texel` adds to the heap, as
    // a share of its bytes.
    auto heapShare = [&](uint32_t texel) {
        auto heap = [] {
            const struct mallinfo2 m = mallinfo2();
            return static_cast<double>(m.uordblks + m.hblkhd);
        };
        const double before = heap();
        std::shared_ptr<IDirect3DTexture8> big;
        EXPECT_EQ(dev_->CreateTexture(1024, 1024, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, big), D3D_OK);
        if (!big) return 100.0;
        double bytes = 0;
        for (UINT level = 0; level < big->GetLevelCount(); ++level) {
            D3DSURFACE_DESC d;
            big->GetLevelDesc(level, &d);
            bytes += d.Size;
            D3DLOCKED_RECT lr;
            if (big->LockRect(level, &lr, nullptr, 0) != D3D_OK) return 100.0;
            std::fill_n(static_cast<uint32_t*>(lr.pBits), d.Size / 4, texel);
            big->UnlockRect(level);
        }
        return (heap() - before) / bytes;
    };
    EXPECT_LT(heapShare(0x80FF0000u), 1.5);   // GL's copy alone
    EXPECT_LT(heapShare(0x80404040u), 0.75);  // grey: luminance and alpha
}

TEST_F(GLDeviceTest, ResetResizesTheBackBufferAndRestoresDefaults) {
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    EXPECT_EQ(dev_->TestCooperativeLevel(), D3D_OK);
    D3DPRESENT_PARAMETERS pp = Params(24, 12);
    ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
    DWORD lighting = 0;
    dev_->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 1u);
    D3DVIEWPORT8 vp;
    dev_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 24u);
    EXPECT_EQ(vp.Height, 12u);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);
    std::vector<uint8_t> rgba;
    UINT w = 0, h = 0;
    ASSERT_TRUE(ReadBackBuffer(*dev_, rgba, w, h));
    EXPECT_EQ(w, 24u);
    EXPECT_EQ(h, 12u);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    pp.BackBufferFormat = D3DFMT_D16;
    EXPECT_EQ(dev_->Reset(&pp), D3DERR_INVALIDCALL);
}

TEST_F(GLDeviceTest, MultisampledBackBufferResolvesForReadBack) {
    D3DCAPS8 caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    if (d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_2_SAMPLES) != D3D_OK)
        GTEST_SKIP() << "driver without multisampling";
    D3DPRESENT_PARAMETERS pp = Params(kSize, kSize);
    pp.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_XRGB(0, 0, 255)));
    EXPECT_RGB_NEAR(Pixel(kMid, kMid), 0, 0, 255, 0);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GLDeviceTest, CaptureWritesAPngAndNeverAHalfFile) {
    IdentityTransforms();
    dev_->SetRenderState(D3DRS_LIGHTING, 0);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(30, 30, 30), 1.0f, 0);
    DrawUP(CentreTriangle(D3DCOLOR_XRGB(255, 200, 0)));
    const auto dir = std::filesystem::path(RDV_BINARY_DIR) / "test-output";
    std::filesystem::create_directories(dir);
    const auto png = dir / "gl_capture.png";
    ASSERT_TRUE(CaptureBackBuffer(*dev_, png.string()));
    std::ifstream in(png, std::ios::binary);
    char magic[8] = {};
    in.read(magic, 8);
    EXPECT_EQ(std::string(magic + 1, 3), "PNG");
    EXPECT_FALSE(std::filesystem::exists(png.string() + ".tmp"));
    EXPECT_FALSE(CaptureBackBuffer(*dev_, (dir / "missing-folder" / "x.png").string()));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

} // namespace
} // namespace rdv::test
