// The scriptable adapter of the recording device.
#include "platform/d3d/Recording.h"

#include <algorithm>

#include "platform/d3d/RecordingInternal.h"

namespace rdv {

// ---------------------------------------------------------------- script
RecordingScript RecordingScript::Default() {
    RecordingScript s;
    std::strncpy(s.identifier.Driver, "recording", sizeof s.identifier.Driver - 1);
    std::strncpy(s.identifier.Description, "Recording Adapter", sizeof s.identifier.Description - 1);
    s.identifier.WHQLLevel = 1;
    const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
    for (auto& wh : sizes)
        for (UINT rate : {60u, 85u})
            for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) s.modes.push_back({wh[0], wh[1], rate, f});
    s.formatPairs = {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
                     {D3DFMT_R5G6B5, D3DFMT_R5G6B5}, {D3DFMT_X1R5G5B5, D3DFMT_X1R5G5B5},
                     {D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}};
    s.depthFormats = {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16};
    s.multisamples = {2, 4};

    D3DCAPS8& c = s.caps;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_FULLSCREENGAMMA | D3DCAPS2_DYNAMICTEXTURES;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE | D3DDEVCAPS_HWRASTERIZATION |
                D3DDEVCAPS_DRAWPRIMITIVES2EX;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP | D3DPMISCCAPS_TSSARGTEMP |
                          D3DPMISCCAPS_MASKZ;
    c.RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX |
                   D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_FOGRANGE | D3DPRASTERCAPS_ANISOTROPY |
                   D3DPRASTERCAPS_ZFOG | D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_MIPMAPLODBIAS;
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;
    c.SrcBlendCaps = c.DestBlendCaps = 0x1FFF;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                  D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                    D3DPTEXTURECAPS_PROJECTED | D3DPTEXTURECAPS_CUBEMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                          D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    c.LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP | D3DLINECAPS_FOG;
    c.MaxTextureWidth = c.MaxTextureHeight = 4096;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 4096;
    c.MaxAnisotropy = 16;
    c.MaxVertexW = 1e10f;
    c.StencilCaps = 0xFF;
    c.FVFCaps = 8;
    c.TextureOpCaps = 0x03FFFFFF;
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 4;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                             D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 6;
    c.MaxPointSize = 64;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(1, 1);
    c.MaxVertexShaderConst = 96;
    c.PixelShaderVersion = D3DPS_VERSION(1, 4);
    c.MaxPixelShaderValue = 8;
    return s;
}

// ---------------------------------------------------------------- adapter
std::vector<const RecordedCall*> RecordingDirect3D8::Calls(const std::string& op) const { return Filter(calls, op); }

RecordingDevice* RecordingDirect3D8::LastDevice() const {
    auto d = last_.lock();
    return static_cast<RecordingDevice*>(d.get());
}

HRESULT RecordingDirect3D8::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) {
    calls.push_back({"GetAdapterIdentifier", {adapter, flags}, {}, {}, nullptr});
    if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
    *identifier = script.identifier;
    return D3D_OK;
}

UINT RecordingDirect3D8::GetAdapterModeCount(UINT adapter) {
    return adapter == 0 ? static_cast<UINT>(script.modes.size()) : 0;
}

HRESULT RecordingDirect3D8::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode || mode >= script.modes.size()) return D3DERR_INVALIDCALL;
    *displayMode = script.modes[mode];
    return D3D_OK;
}

HRESULT RecordingDirect3D8::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
    *displayMode = script.desktop;
    return D3D_OK;
}

HRESULT RecordingDirect3D8::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                            D3DFORMAT backBufferFormat, BOOL windowed) {
    calls.push_back({"CheckDeviceType", {adapter, type, displayFormat, backBufferFormat, DWORD(windowed)}, {}, {}, nullptr});
    if (adapter != 0) return D3DERR_INVALIDCALL;
    for (const auto& p : script.formatPairs)
        if (p.display == displayFormat && p.backBuffer == backBufferFormat) return D3D_OK;
    return D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE,
                                              D3DFORMAT checkFormat) {
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return std::find(script.depthFormats.begin(), script.depthFormats.end(), checkFormat) !=
                       script.depthFormats.end()
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    return BytesPerPixel(checkFormat) > 0 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D8::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    calls.push_back({"CheckDepthStencilMatch", {adapter, type, adapterFormat, renderTargetFormat, depthStencilFormat},
                     {}, {}, nullptr});
    if (adapter != 0) return D3DERR_INVALIDCALL;
    return std::find(script.depthFormats.begin(), script.depthFormats.end(), depthStencilFormat) !=
                   script.depthFormats.end()
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D8::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType) {
    calls.push_back({"CheckDeviceMultiSampleType", {adapter, type, surfaceFormat, DWORD(windowed), multiSampleType},
                     {}, {}, nullptr});
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (multiSampleType == D3DMULTISAMPLE_NONE) return D3D_OK;
    return std::find(script.multisamples.begin(), script.multisamples.end(), UINT(multiSampleType)) !=
                   script.multisamples.end()
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

HRESULT RecordingDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) {
    if (adapter != 0 || !caps) return D3DERR_INVALIDCALL;
    *caps = script.caps;
    caps->DeviceType = type;
    return D3D_OK;
}

HRESULT RecordingDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window*, DWORD behaviorFlags,
                                         D3DPRESENT_PARAMETERS* params, std::shared_ptr<IDirect3DDevice8>& device) {
    HRESULT hr = D3D_OK;
    if (adapter != 0 || !params) hr = D3DERR_INVALIDCALL;
    if (hr == D3D_OK && !script.createResults.empty()) {
        hr = script.createResults.front();
        script.createResults.pop_front();
    }
    createAttempts.push_back({type, behaviorFlags, params ? *params : D3DPRESENT_PARAMETERS{}, hr});
    calls.push_back({"CreateDevice", {adapter, type, behaviorFlags, DWORD(hr)}, {}, {}, nullptr});
    if (FAILED(hr)) return hr;
    auto d = std::make_shared<RecordingDevice>(this, type, behaviorFlags, *params);
    last_ = d;
    device = d;
    return D3D_OK;
}

} // namespace rdv
