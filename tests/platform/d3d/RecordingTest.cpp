// The recording device: scripted adapter answers, recorded calls and state,
// textures and buffers that hold real memory.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/d3d/Recording.h"
#include "platform/d3d/StateCache.h"

using namespace rdv;

namespace {

std::shared_ptr<IDirect3DDevice8> MakeDevice(RecordingDirect3D8& adapter) {
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = 320;
    p.BackBufferHeight = 200;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    std::shared_ptr<IDirect3DDevice8> dev;
    EXPECT_EQ(adapter.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, dev), D3D_OK);
    return dev;
}

} // namespace

TEST(RecordingAdapter, AnswersFromItsScript) {
    RecordingScript s = RecordingScript::Default();
    s.modes = {{800, 600, 60, D3DFMT_X8R8G8B8}, {800, 600, 85, D3DFMT_X8R8G8B8}};
    s.formatPairs = {{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}};
    s.depthFormats = {D3DFMT_D16};
    s.multisamples = {2, 6};
    RecordingDirect3D8 a(s);

    ASSERT_EQ(a.GetAdapterModeCount(0), 2u);
    D3DDISPLAYMODE m;
    EXPECT_EQ(a.EnumAdapterModes(0, 1, &m), D3D_OK);
    EXPECT_EQ(m.RefreshRate, 85u);
    EXPECT_EQ(a.EnumAdapterModes(0, 2, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(a.CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, 1), D3D_OK);
    EXPECT_TRUE(FAILED(a.CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, 1)));
    EXPECT_EQ(a.CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D16), D3D_OK);
    EXPECT_TRUE(FAILED(a.CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D24S8)));
    EXPECT_EQ(a.CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, D3DMULTISAMPLE_6_SAMPLES), D3D_OK);
    EXPECT_TRUE(FAILED(a.CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, D3DMULTISAMPLE_4_SAMPLES)));
    EXPECT_EQ(a.Calls("CheckDeviceType").size(), 2u);
    EXPECT_EQ(a.Calls("CheckDeviceType")[1]->args[2], DWORD(D3DFMT_A8R8G8B8));
    D3DADAPTER_IDENTIFIER8 id;
    EXPECT_EQ(a.GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "Recording Adapter");
}

TEST(RecordingAdapter, CreationFailuresAndCooperativeLevelFollowTheScript) {
    RecordingDirect3D8 a;
    a.script.createResults = {D3DERR_OUTOFVIDEOMEMORY, D3DERR_NOTAVAILABLE};
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = 640;
    std::shared_ptr<IDirect3DDevice8> dev;
    EXPECT_EQ(a.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, dev), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(a.CreateDevice(0, D3DDEVTYPE_REF, nullptr, 0, &p, dev), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(dev, nullptr);
    EXPECT_EQ(a.LastDevice(), nullptr);
    EXPECT_EQ(a.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_PUREDEVICE, &p, dev), D3D_OK);
    ASSERT_EQ(a.createAttempts.size(), 3u);
    EXPECT_EQ(a.createAttempts[1].type, D3DDEVTYPE_REF);
    EXPECT_EQ(a.createAttempts[2].behaviour, D3DCREATE_PUREDEVICE);
    EXPECT_EQ(a.LastDevice(), dev.get());

    a.script.cooperativeLevel = {D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET};
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
    dev.reset();
    EXPECT_EQ(a.LastDevice(), nullptr);
}

TEST(RecordingDevice, RecordsCallsAndKeepsState) {
    RecordingDirect3D8 a;
    auto dev = MakeDevice(a);
    auto* rec = a.LastDevice();
    EXPECT_EQ(rec->RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));   // Direct3D's default
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_FOGDENSITY, FtoDW(0.25f));
    dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    D3DMATRIX m;
    m.m[3][0] = 5;
    dev->SetTransform(D3DTS_VIEW, &m);
    EXPECT_EQ(rec->RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
    EXPECT_FLOAT_EQ(DWtoF(rec->RenderState(D3DRS_FOGDENSITY)), 0.25f);
    EXPECT_EQ(rec->StageState(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(rec->Transform(D3DTS_VIEW).m[3][0], 5.0f);
    EXPECT_EQ(rec->Transform(D3DTS_WORLD).m[0][0], 1.0f);   // never set: identity
    ASSERT_EQ(rec->Count("SetRenderState"), 2u);
    EXPECT_EQ(rec->Calls("SetRenderState")[0]->args, (std::vector<DWORD>{D3DRS_CULLMODE, D3DCULL_NONE}));
    ASSERT_EQ(rec->Count("SetTransform"), 1u);
    EXPECT_EQ(rec->Calls("SetTransform")[0]->floats[12], 5.0f);

    EXPECT_EQ(dev->EndScene(), D3DERR_INVALIDCALL);   // not in a scene
    EXPECT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->EndScene(), D3D_OK);

    // A reset returns every state to its default and records the new size.
    D3DPRESENT_PARAMETERS p = rec->params;
    p.BackBufferWidth = 800;
    EXPECT_EQ(dev->Reset(&p), D3D_OK);
    EXPECT_EQ(rec->RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(rec->params.BackBufferWidth, 800u);
    a.script.resetResults = {D3DERR_DEVICELOST};
    EXPECT_EQ(dev->Reset(&p), D3DERR_DEVICELOST);
}

TEST(RecordingDevice, DrawsCaptureTheirVerticesTextureAndWorld) {
    RecordingDirect3D8 a;
    auto dev = MakeDevice(a);
    auto* rec = a.LastDevice();
    std::shared_ptr<IDirect3DVertexBuffer8> vb;
    ASSERT_EQ(dev->CreateVertexBuffer(36 * 4, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    for (int i = 0; i < 36 * 4; ++i) p[i] = static_cast<BYTE>(i);
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3DERR_INVALIDCALL);   // already locked
    ASSERT_EQ(vb->Unlock(), D3D_OK);

    std::shared_ptr<IDirect3DTexture8> tex;
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
    dev->SetTexture(0, tex);
    D3DMATRIX world;
    world.m[0][0] = 2;
    dev->SetTransform(D3DTS_WORLD, &world);
    dev->SetStreamSource(0, vb, 36);
    ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 1, 1), D3D_OK);
    const RecordedCall* draw = rec->Calls("DrawPrimitive").at(0);
    ASSERT_EQ(draw->data.size(), 3u * 36);
    EXPECT_EQ(draw->data[0], 36);   // starts at vertex 1
    EXPECT_EQ(draw->texture, tex);
    EXPECT_EQ(draw->floats[0], 2.0f);
    // Past the end of the buffer: refused, not read.
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1), D3DERR_INVALIDCALL);

    const float tri[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 12), D3D_OK);
    EXPECT_EQ(rec->Calls("DrawPrimitiveUP").at(0)->data.size(), 36u);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);   // UP draw cleared stream 0
}

TEST(RecordingDevice, InstancedDrawsKeepEveryWorldAndLeaveTheLast) {
    RecordingDirect3D8 a;
    auto dev = WithStateCache(MakeDevice(a));
    auto* rec = a.LastDevice();
    std::shared_ptr<IDirect3DVertexBuffer8> vb;
    ASSERT_EQ(dev->CreateVertexBuffer(36 * 3, 0, D3DFVF_ENGINE, D3DPOOL_MANAGED, vb), D3D_OK);
    dev->SetStreamSource(0, vb, 36);
    D3DMATRIX worlds[3];
    for (int i = 0; i < 3; ++i) worlds[i].m[3][0] = static_cast<float>(i + 1);
    ASSERT_EQ(dev->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 1, worlds, 3), D3D_OK);
    const RecordedCall* draw = rec->Calls("DrawPrimitiveInstanced").at(0);
    EXPECT_EQ(draw->args, (std::vector<DWORD>{D3DPT_TRIANGLELIST, 0, 1, 3}));
    ASSERT_EQ(draw->floats.size(), 48u);
    EXPECT_EQ(draw->floats[12], 1.0f);
    EXPECT_EQ(draw->floats[44], 3.0f);
    EXPECT_EQ(draw->data.size(), 3u * 36);
    EXPECT_EQ(rec->Transform(D3DTS_WORLD).m[3][0], 3.0f);
    // The cache in front knows the world the draw left: setting it again
    // is dropped, another world goes through.
    rec->ClearCalls();
    dev->SetTransform(D3DTS_WORLD, &worlds[2]);
    EXPECT_EQ(rec->Count("SetTransform"), 0u);
    dev->SetTransform(D3DTS_WORLD, &worlds[0]);
    EXPECT_EQ(rec->Count("SetTransform"), 1u);

    EXPECT_EQ(dev->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 0, 1, nullptr, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitiveInstanced(D3DPT_TRIANGLELIST, 1, 1, worlds, 3), D3DERR_INVALIDCALL);
}

TEST(RecordingDevice, TexturesHoldLockableMemoryAndMipChains) {
    RecordingDirect3D8 a;
    auto dev = MakeDevice(a);
    std::shared_ptr<IDirect3DTexture8> tex;
    ASSERT_EQ(dev->CreateTexture(8, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3D_OK);
    ASSERT_EQ(tex->GetLevelCount(), 4u);   // 8x2, 4x1, 2x1, 1x1
    D3DSURFACE_DESC d;
    ASSERT_EQ(tex->GetLevelDesc(1, &d), D3D_OK);
    EXPECT_EQ(d.Width, 4u);
    EXPECT_EQ(d.Height, 1u);
    EXPECT_EQ(tex->GetLevelDesc(4, &d), D3DERR_INVALIDCALL);

    RECT r{2, 1, 4, 2};
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 32);
    uint32_t v = 0xFF112233u;
    std::memcpy(lr.pBits, &v, 4);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
    EXPECT_EQ(tex->UnlockRect(0), D3DERR_INVALIDCALL);
    auto* rt = static_cast<RecordingTexture*>(tex.get());
    EXPECT_EQ(rt->Texel(2, 1), 0xFF112233u);
    EXPECT_EQ(rt->Texel(0, 0), 0u);
    RECT outside{6, 0, 9, 1};
    EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);

    EXPECT_EQ(a.LastDevice()->LiveTextures(), 1u);
    tex.reset();
    EXPECT_EQ(a.LastDevice()->LiveTextures(), 0u);
    a.script.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    EXPECT_EQ(dev->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(tex, nullptr);
}

TEST(RecordingDevice, ShadersGetHandlesAndCanBeScriptedToFail) {
    RecordingDirect3D8 a;
    auto dev = MakeDevice(a);
    const DWORD decl[] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_END()};
    const DWORD vs[] = {D3DVS_VERSION(1, 1), 0x0000FFFFu};
    DWORD h = 0;
    ASSERT_EQ(dev->CreateVertexShader(decl, vs, &h, 0), D3D_OK);
    EXPECT_EQ(h & 1u, 1u);   // never mistaken for a vertex format
    EXPECT_EQ(a.LastDevice()->vertexShaders[h].size(), 2u);
    const DWORD ps[] = {D3DPS_VERSION(1, 1), 0x0000FFFFu};
    DWORD hp = 0;
    ASSERT_EQ(dev->CreatePixelShader(ps, &hp), D3D_OK);
    EXPECT_EQ(dev->SetPixelShader(hp), D3D_OK);
    EXPECT_EQ(dev->SetPixelShader(hp + 100), D3DERR_INVALIDCALL);
    const float c[4] = {1, 2, 3, 4};
    dev->SetPixelShaderConstant(3, c, 1);
    EXPECT_EQ(a.LastDevice()->pixelConstants[3][2], 3.0f);
    a.script.pixelShadersWork = false;
    EXPECT_TRUE(FAILED(dev->CreatePixelShader(ps, &hp)));
}
