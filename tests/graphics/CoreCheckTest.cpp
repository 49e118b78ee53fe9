// The capability report and the default state CheckDevice leaves behind.
#include <gtest/gtest.h>

#include <cmath>

#include "headless/RecordingEngine.h"

using namespace rdv;

TEST(CoreCheck, DefaultStatesTransformsAndFilters) {
    auto t = MakeRecordingEngine();
    RecordingDevice* d = t->device();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(t->Logged("Checking Device for use"));
    EXPECT_EQ(t->ColourOf("Starting Graphics Module..."), 2);
    EXPECT_TRUE(t->Logged("Using: Recording Adapter"));
    EXPECT_TRUE(t->Logged("Signed: Yes"));
    EXPECT_TRUE(t->Logged("Using a DirectX8 or later driver"));
    EXPECT_EQ(d->RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(d->RenderState(D3DRS_STENCILENABLE), 1u);
    EXPECT_EQ(d->RenderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCCOLOR));
    EXPECT_EQ(d->RenderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCCOLOR));
    EXPECT_EQ(d->RenderState(D3DRS_BLENDOP), DWORD(D3DBLENDOP_ADD));
    EXPECT_EQ(d->RenderState(D3DRS_LIGHTING), 1u);
    EXPECT_EQ(d->RenderState(D3DRS_NORMALIZENORMALS), 1u);
    EXPECT_EQ(d->RenderState(D3DRS_SPECULARENABLE), 1u);
    EXPECT_EQ(d->RenderState(D3DRS_FOGTABLEMODE), DWORD(D3DFOG_EXP));
    EXPECT_FALSE(d->cursorShown);
    EXPECT_EQ(d->StageState(0, D3DTSS_TEXTURETRANSFORMFLAGS), DWORD(D3DTTFF_COUNT2));
    EXPECT_EQ(d->StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(d->StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(d->StageState(0, D3DTSS_MAXANISOTROPY), 1u);

    // Near plane 0.1 x aspect wide and 0.1 high at 0.1, far plane 100.
    D3DMATRIX p = d->Transform(D3DTS_PROJECTION);
    EXPECT_NEAR(p.m[0][0], 1.5f, 1e-5f);
    EXPECT_NEAR(p.m[1][1], 2.0f, 1e-5f);
    EXPECT_NEAR(p.m[2][2], 100.0f / 99.9f, 1e-5f);
    // The view looks from (-4, 0, 0) at the origin: the origin is 4 ahead.
    D3DMATRIX v = d->Transform(D3DTS_VIEW);
    EXPECT_NEAR(v.m[3][2], 4.0f, 1e-6f);
    EXPECT_NEAR(v.m[0][2], 1.0f, 1e-6f);
    EXPECT_NEAR(t->engine.aspectRatio, 4.0f / 3.0f, 1e-6f);
    EXPECT_EQ(d->Count("SetTransform"), 4u);

    const gfxCapabilityFlags& a = t->gfx().available;
    EXPECT_TRUE(a.lighting && a.specular && a.localViewer && a.fog && a.gammaRamps && a.multipass &&
                a.pixelShaders && a.vertexShaders && a.textureTransforms);
    EXPECT_EQ(a.maxAnisotropy, 16u);
}

TEST(CoreCheck, ReportLinesOfAFullDevice) {
    auto t = MakeRecordingEngine();
    for (const char* line :
         {"Lighting: present", "Local viewer hint: present", "Fog: Pixel", "Fog modes: W-based Z-based Range-based ",
          "W-buffer: N/A", "Anisotropic filtering:", "- magnify", "- minimize", "- max filtering: 16",
          "Minification Filters: Aliasing Anisotrophic Linear ",
          "Magnification Filters: Aliasing Anisotrophic Linear ", "Pixelshaders: Present (using assembler v1.4)",
          "Vertexshaders: Present (using assembler v1.1)", "Multipass Texturing: Present",
          "- Basic ops: MOD MOD2X MOD4X ADD ADDS ADDS2X SUB SMOOTH MULADD ",
          "- Alpha ops: B_DIF B_TEX B_FAC B_PMTEX B_CUR ",
          "- Other ops: PREMOD MOD_AC MOD_CA MODI_AC MODI_CA BUMP BUMPL DOTP LERP ", "- Stagecount:8",
          "- Texturecount:4", "Texture State temp value: Present",
          "Texture Wrap: Wrap Mirror Clamp Border Mirror1 MultiDirectional ", "Enhanced Alphamaps: Present",
          "Volumetrics: N/A", "High order primitives: N/A", "Gamma Ramps: Present"})
        EXPECT_TRUE(t->Logged(line)) << line;
}

TEST(CoreCheck, MissingFeaturesTurnTheirSettingsOff) {
    RecordingScript s = RecordingScript::Default();
    s.caps.VertexProcessingCaps = 0;
    s.caps.RasterCaps = D3DPRASTERCAPS_FOGVERTEX;
    s.caps.PixelShaderVersion = 0;
    s.caps.VertexShaderVersion = 0;
    s.caps.MaxTextureBlendStages = 1;
    s.caps.Caps2 = D3DCAPS2_CANRENDERWINDOWED;
    s.caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
    s.caps.MaxStreams = 0;
    auto t = MakeRecordingEngine({}, s, false);
    t->engine.settings.anisotropy = 8;
    t->engine.settings.localViewer = false;
    InitGraphics(t->engine);
    const Settings& st = t->engine.settings;
    EXPECT_TRUE(t->Logged("Using an old driver"));
    EXPECT_TRUE(t->Logged("Selected Device: SW TnL"));
    EXPECT_TRUE(t->Logged("Lighting: N/A (disabled)"));
    EXPECT_TRUE(t->Logged("Local viewer hint: N/A"));   // was off already
    EXPECT_TRUE(t->Logged("Fog: Vertex"));
    EXPECT_TRUE(t->Logged("Fog modes: "));
    EXPECT_TRUE(t->Logged("Anisotropic filtering: N/A (disabled)"));
    EXPECT_TRUE(t->Logged("Pixelshaders: N/A (disabled)"));
    EXPECT_TRUE(t->Logged("Vertexshaders: N/A (disabled)"));
    EXPECT_TRUE(t->Logged("Multipass Texturing: N/A (disabled)"));
    EXPECT_EQ(t->ColourOf("Gamma Ramps: N/A (disabled)"), 4);
    EXPECT_FALSE(st.lighting || st.pixelShaders || st.vertexShaders || st.multipass || st.gammaRamps);
    EXPECT_TRUE(st.fog);
    EXPECT_EQ(st.anisotropy, 1);
    RecordingDevice* d = t->device();
    EXPECT_EQ(d->RenderState(D3DRS_LIGHTING), 0u);
    EXPECT_EQ(d->RenderState(D3DRS_FOGVERTEXMODE), DWORD(D3DFOG_EXP));
    EXPECT_EQ(d->Calls("SetRenderState").size(), 9u);   // no SPECULARENABLE, LOCALVIEWER, FOGTABLEMODE
    const gfxCapabilityFlags& a = t->gfx().available;
    EXPECT_FALSE(a.lighting || a.specular || a.localViewer || a.pixelShaders || a.gammaRamps || a.multipass);
    EXPECT_TRUE(a.fog);

    // A second run with everything switched on reports "N/A" without "(disabled)" where off.
    RecordingScript none = s;
    none.caps.RasterCaps = 0;
    auto u = MakeRecordingEngine({}, none, false);
    u->engine.settings.fog = false;
    InitGraphics(u->engine);
    EXPECT_TRUE(u->Logged("Fog: N/A"));
}

TEST(CoreCheck, AnisotropySettingSelectsFiltersAndIsCapped) {
    auto t = MakeRecordingEngine({}, RecordingScript::Default(), false);
    t->engine.settings.anisotropy = 32;
    InitGraphics(t->engine);
    EXPECT_EQ(t->ColourOf("- Adjusted"), 4);
    EXPECT_EQ(t->engine.settings.anisotropy, 16);
    RecordingDevice* d = t->device();
    EXPECT_EQ(d->StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(d->StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(d->StageState(0, D3DTSS_MAXANISOTROPY), 16u);

    // Magnification only: minification falls back to point.
    RecordingScript s = RecordingScript::Default();
    s.caps.TextureFilterCaps &= ~D3DPTFILTERCAPS_MINFANISOTROPIC;
    auto u = MakeRecordingEngine({}, s, false);
    u->engine.settings.anisotropy = 4;
    InitGraphics(u->engine);
    EXPECT_FALSE(u->Logged("- minimize"));
    EXPECT_EQ(u->device()->StageState(0, D3DTSS_MINFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(u->device()->StageState(0, D3DTSS_MAXANISOTROPY), 4u);

    // 0 is not a level: it is treated as off.
    auto z = MakeRecordingEngine({}, RecordingScript::Default(), false);
    z->engine.settings.anisotropy = 0;
    InitGraphics(z->engine);
    EXPECT_EQ(z->engine.settings.anisotropy, 1);
    EXPECT_EQ(z->device()->StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
}
