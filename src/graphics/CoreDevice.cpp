// The graphics core's device: creating it with the chosen settings and the
// report of what it can do.
#include "graphics/Core.h"

#include <cmath>
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/Engine.h"
#include "core/Error.h"
#include "core/ErrorText.h"
#include "graphics/CoreInternal.h"
#include "platform/Host.h"
#include "platform/d3d/Factory.h"
#include "platform/d3d/StateCache.h"
#include "platform/d3dx/D3DX8Tex.h"

namespace rdv {

namespace {

// "name " for every flag present, in the order given.
struct Named {
    DWORD bit;
    const char* name;
};
template <size_t N>
std::string Listed(DWORD bits, const Named (&names)[N]) {
    std::string out;
    for (const auto& n : names)
        if (bits & n.bit) out += std::string(n.name) + " ";
    return out;
}

std::string ShaderVersion(DWORD v) {
    return std::to_string(D3DSHADER_VERSION_MAJOR(v)) + "." + std::to_string(D3DSHADER_VERSION_MINOR(v));
}

} // namespace

void gfxCore::CreateDevice() {
    Log& log = engine_.log;
    Settings& s = engine_.settings;
    device.reset();
#if defined(__GLIBC__)
    // Decoded images and texture storage are large blocks that live only
    // while a load runs or a texture does. The allocator would raise its
    // mmap threshold past them once the first is freed and carve the rest
    // from the heap, leaving holes there that later small blocks keep
    // touched; mapped apart, each goes back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif

    D3DPRESENT_PARAMETERS& p = presentParams;
    p.BackBufferWidth = static_cast<UINT>(s.width);
    p.BackBufferHeight = static_cast<UINT>(s.height);
    p.EnableAutoDepthStencil = 1;
    p.Flags = 0;
    p.Windowed = s.windowed ? 1 : 0;
    p.MultiSampleType = D3DMULTISAMPLE_NONE;
    p.hDeviceWindow = engine_.hostWindowHandle;
    p.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
    p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    interlaceAllowed = true;

    if (s.pageFlipping) {
        log.Write("Using page flipping", 0);
        p.SwapEffect = D3DSWAPEFFECT_FLIP;
        copySwap = false;
        if (s.interlacing) {
            s.interlacing = false;
            log.Write("Interlacing overridden by page flipping", 4);
        }
    } else {
        copySwap = true;
        log.Write("Using double buffering", 0);
        p.SwapEffect = D3DSWAPEFFECT_COPY;
    }

    multisampleMax = FindMaxMultiSample(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, p.BackBufferFormat, p.Windowed);
    if (multisampleMax > 0) {
        char root[32];
        std::snprintf(root, sizeof root, "%.1f", std::sqrt(static_cast<double>(multisampleMax)));
        log.Write("Multisampling: found", 0);
        log.Write("-Samples: " + std::to_string(multisampleMax) + " (" + root + ")", 0);
        if (s.multisample > 1) {
            log.Write("-Used", 0);
            if (s.multisample > multisampleMax) {
                s.multisample = static_cast<uint8_t>(multisampleMax);
                log.Write("-Adjusted", 0);
            }
            p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(s.multisample);
            p.SwapEffect = D3DSWAPEFFECT_DISCARD;
            copySwap = false;
            interlaceAllowed = false;
            if (s.interlacing) {
                s.interlacing = false;
                log.Write("-Interlacing overridden by antialiasing", 4);
            }
            multisampling = true;
        } else {
            log.Write("-Unused", 0);
            multisampling = false;
        }
    } else {
        if (s.multisample > 1) {
            settingsRepaired = true;
            log.Write("Multisampling: not found/set to off", 4);
            s.multisample = 1;
        } else {
            log.Write("Multisampling: not found", 0);
        }
        multisampling = false;
        multisampleMax = 0;
    }

    // Size the host window so that its client area is exactly the resolution.
    IHost* host = engine_.platform.host.get();
    if (host && engine_.hostWindow) {
        host->MoveWindow(*engine_.hostWindow, 0, 0, s.width, s.height);
        int cw = s.width, ch = s.height;
        host->GetClientSize(*engine_.hostWindow, cw, ch);
        host->MoveWindow(*engine_.hostWindow, 0, 0, 2 * s.width - cw, 2 * s.height - ch);
    }

    if (s.deviceKind == 0) {
        MsgResult r = host ? host->MessageBox(
                                 "Current Device is the Windows Reference Rasterizer - Change to hardware accellerated mode?",
                                 kTitle, MsgButtons::YesNo, MsgIcon::Exclamation, 2)
                           : MsgResult::No;
        if (r == MsgResult::Yes) s.deviceKind = 1;
    }
    if (s.deviceKind > 2) {
        // Not a kind this engine knows (a damaged settings file): hardware.
        s.deviceKind = 1;
        settingsRepaired = true;
    }

    const bool lights = (caps.VertexProcessingCaps & D3DVTXPCAPS_DIRECTIONALLIGHTS) &&
                        (caps.VertexProcessingCaps & D3DVTXPCAPS_POSITIONALLIGHTS);
    const bool tnl = caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    const bool pure = caps.DevCaps & D3DDEVCAPS_PUREDEVICE;
    if (s.deviceKind == 0) {
        log.Write("Selected Device: Reference Rasterizer", 0);
        deviceType = D3DDEVTYPE_REF;
        behaviourFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    } else if (s.deviceKind == 2) {
        log.Write("Selected Device: Software Plugin", 0);
        deviceType = D3DDEVTYPE_HAL;
        behaviourFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    } else if (lights && tnl && pure) {
        log.Write("Selected Device: HW TnL / PureDevice", 0);
        deviceType = D3DDEVTYPE_HAL;
        behaviourFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
    } else if (lights && tnl) {
        log.Write("Selected Device: HW TnL", 0);
        deviceType = D3DDEVTYPE_HAL;
        behaviourFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    } else if (lights) {
        log.Write("Selected Device: Mixed Mode", 0);
        deviceType = D3DDEVTYPE_HAL;
        behaviourFlags = D3DCREATE_MIXED_VERTEXPROCESSING;
    } else {
        log.Write("Selected Device: SW TnL", 0);
        deviceType = D3DDEVTYPE_HAL;
        behaviourFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    }

    int failures = 0;
    for (int attempt = 0; attempt < 3 && !device; ++attempt) {
        std::shared_ptr<IDirect3DDevice8> made;
        HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, deviceType, engine_.hostWindowHandle, behaviourFlags, &p, made);
        if (SUCCEEDED(hr) && made) {
            // Every draw sets its whole state; the cache passes on only changes.
            device = WithStateCache(std::move(made));
            break;
        }
        if (SUCCEEDED(hr)) hr = E_FAIL;
        ++failures;
        log.Write("WARNING: Couldn't open device: " + ErrorText(hr), 4);
        if (hr == D3DERR_OUTOFVIDEOMEMORY) {
            log.Write("Adjusting resolution to cope", 0);
            selectedResolution = std::max(1, selectedResolution / 2 - 1);
            s.width = resolutions[selectedResolution].width;
            s.height = resolutions[selectedResolution].height;
            p.BackBufferWidth = static_cast<UINT>(s.width);
            p.BackBufferHeight = static_cast<UINT>(s.height);
            log.Write("New resolution: " + Size(s.width, s.height, "x"), 0);
        } else {
            p.MultiSampleType = D3DMULTISAMPLE_NONE;
            s.multisample = 0;
            if (failures == 2) {
                log.Write("Attempting default values", 0);
                behaviourFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
                p.AutoDepthStencilFormat = D3DFMT_D16;
                p.BackBufferFormat = D3DFMT_R5G6B5;
                p.Windowed = 0;
                p.SwapEffect = D3DSWAPEFFECT_DISCARD;
                p.BackBufferWidth = 640;
                p.BackBufferHeight = 480;
            }
        }
    }
    if (!device)
        RaiseError(ErrDevice, "CreateDevice", "Could not initialize 3d device or 3d device was not installed");

    if (host && engine_.hostWindow) {
        host->Show(*engine_.hostWindow, s.width, s.height);
        host->DispLoad(*engine_.hostWindow);
    }
    device->GetDeviceCaps(&caps);
}

void gfxCore::CheckDevice() {
    Log& log = engine_.log;
    Settings& s = engine_.settings;
    IDirect3DDevice8* dev = device.get();
    if (!dev) return;
    log.Write("Checking Device for use", 0);
    clearColour = 0;
    clearTarget = 1;
    cachedShader = 0;
    cachedTexture = 0;
    lightsOnDevice = nullptr;
    cachedVertexFormat = 0;

    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev->SetRenderState(D3DRS_STENCILENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
    dev->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    dev->ShowCursor(0);

    log.Write(caps.MaxStreams == 0 ? "Using an old driver" : "Using a DirectX8 or later driver", 0);

    // A feature the device lacks turns its setting off.
    auto missing = [&](bool& setting, const std::string& what, int colourIfDisabled = 0) {
        log.Write(what + (setting ? ": N/A (disabled)" : ": N/A"), setting ? colourIfDisabled : 0);
        setting = false;
    };

    available = gfxCapabilityFlags{};
    const DWORD vp = caps.VertexProcessingCaps;
    if ((vp & D3DVTXPCAPS_DIRECTIONALLIGHTS) && (vp & D3DVTXPCAPS_POSITIONALLIGHTS)) {
        log.Write("Lighting: present", 0);
        available.lighting = true;
        available.specular = true;
    } else {
        missing(s.lighting, "Lighting");
    }
    dev->SetRenderState(D3DRS_LIGHTING, s.lighting ? 1 : 0);
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, s.lighting ? 1 : 0);
    if (available.lighting) dev->SetRenderState(D3DRS_SPECULARENABLE, s.specular ? 1 : 0);

    if (vp & D3DVTXPCAPS_LOCALVIEWER) {
        log.Write("Local viewer hint: present", 0);
        dev->SetRenderState(D3DRS_LOCALVIEWER, s.localViewer ? 1 : 0);
        available.localViewer = true;
    } else {
        missing(s.localViewer, "Local viewer hint");
    }

    const DWORD raster = caps.RasterCaps;
    if (raster & D3DPRASTERCAPS_FOGTABLE) {
        log.Write("Fog: Pixel", 0);
        dev->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
        available.fog = true;
    } else if (raster & D3DPRASTERCAPS_FOGVERTEX) {
        log.Write("Fog: Vertex", 0);
        dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_EXP);
        available.fog = true;
    } else {
        missing(s.fog, "Fog");
    }
    static const Named fogModes[] = {
        {D3DPRASTERCAPS_WFOG, "W-based"}, {D3DPRASTERCAPS_ZFOG, "Z-based"}, {D3DPRASTERCAPS_FOGRANGE, "Range-based"}};
    log.Write("Fog modes: " + Listed(raster, fogModes), 0);
    log.Write(std::string("W-buffer: ") + ((raster & D3DPRASTERCAPS_WBUFFER) ? "Present" : "N/A"), 0);

    const DWORD filters = caps.TextureFilterCaps;
    const bool magAniso = filters & D3DPTFILTERCAPS_MAGFANISOTROPIC;
    const bool minAniso = filters & D3DPTFILTERCAPS_MINFANISOTROPIC;
    // 0 is not a filter level; it means off, like 1.
    if (s.anisotropy < 1) s.anisotropy = 1;
    if (magAniso || minAniso) {
        log.Write("Anisotropic filtering:", 0);
        if (magAniso) log.Write("- magnify", 0);
        if (minAniso) log.Write("- minimize", 0);
        log.Write("- max filtering: " + std::to_string(caps.MaxAnisotropy), 0);
        if (s.anisotropy > caps.MaxAnisotropy) {
            s.anisotropy = static_cast<uint8_t>(std::max<DWORD>(caps.MaxAnisotropy, 1));
            log.Write("- Adjusted", 4);
        }
        available.maxAnisotropy = std::max<DWORD>(caps.MaxAnisotropy, 1);
    } else {
        log.Write(s.anisotropy > 1 ? "Anisotropic filtering: N/A (disabled)" : "Anisotropic filtering: N/A", 0);
        s.anisotropy = 1;
        available.maxAnisotropy = 1;
    }
    static const Named minNames[] = {{D3DPTFILTERCAPS_MINFPOINT, "Aliasing"},
                                     {D3DPTFILTERCAPS_MINFANISOTROPIC, "Anisotrophic"},
                                     {D3DPTFILTERCAPS_MINFLINEAR, "Linear"}};
    static const Named magNames[] = {{D3DPTFILTERCAPS_MAGFPOINT, "Aliasing"},
                                     {D3DPTFILTERCAPS_MAGFANISOTROPIC, "Anisotrophic"},
                                     {D3DPTFILTERCAPS_MAGFLINEAR, "Linear"},
                                     {D3DPTFILTERCAPS_MAGFAFLATCUBIC, "Cubic"},
                                     {D3DPTFILTERCAPS_MAGFGAUSSIANCUBIC, "Gaussian"}};
    log.Write("Minification Filters: " + Listed(filters, minNames), 0);
    log.Write("Magnification Filters: " + Listed(filters, magNames), 0);

    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, s.textureTransforms ? D3DTTFF_COUNT2 : D3DTTFF_DISABLE);
    available.textureTransforms = true;

    if (caps.PixelShaderVersion != 0) {
        log.Write("Pixelshaders: Present (using assembler v" + ShaderVersion(caps.PixelShaderVersion) + ")", 0);
        available.pixelShaders = true;
    } else {
        missing(s.pixelShaders, "Pixelshaders");
    }
    if (caps.VertexShaderVersion != 0) {
        log.Write("Vertexshaders: Present (using assembler v" + ShaderVersion(caps.VertexShaderVersion) + ")", 0);
        available.vertexShaders = true;
    } else {
        missing(s.vertexShaders, "Vertexshaders");
    }

    if (caps.MaxTextureBlendStages > 1) {
        const DWORD ops = caps.TextureOpCaps;
        static const Named basic[] = {
            {D3DTEXOPCAPS_MODULATE, "MOD"},      {D3DTEXOPCAPS_MODULATE2X, "MOD2X"},
            {D3DTEXOPCAPS_MODULATE4X, "MOD4X"},  {D3DTEXOPCAPS_ADD, "ADD"},
            {D3DTEXOPCAPS_ADDSIGNED, "ADDS"},    {D3DTEXOPCAPS_ADDSIGNED2X, "ADDS2X"},
            {D3DTEXOPCAPS_SUBTRACT, "SUB"},      {D3DTEXOPCAPS_ADDSMOOTH, "SMOOTH"},
            {D3DTEXOPCAPS_MULTIPLYADD, "MULADD"}};
        static const Named alpha[] = {{D3DTEXOPCAPS_BLENDDIFFUSEALPHA, "B_DIF"},
                                      {D3DTEXOPCAPS_BLENDTEXTUREALPHA, "B_TEX"},
                                      {D3DTEXOPCAPS_BLENDFACTORALPHA, "B_FAC"},
                                      {D3DTEXOPCAPS_BLENDTEXTUREALPHAPM, "B_PMTEX"},
                                      {D3DTEXOPCAPS_BLENDCURRENTALPHA, "B_CUR"}};
        static const Named other[] = {{D3DTEXOPCAPS_PREMODULATE, "PREMOD"},
                                      {D3DTEXOPCAPS_MODULATEALPHA_ADDCOLOR, "MOD_AC"},
                                      {D3DTEXOPCAPS_MODULATECOLOR_ADDALPHA, "MOD_CA"},
                                      {D3DTEXOPCAPS_MODULATEINVALPHA_ADDCOLOR, "MODI_AC"},
                                      {D3DTEXOPCAPS_MODULATEINVCOLOR_ADDALPHA, "MODI_CA"},
                                      {D3DTEXOPCAPS_BUMPENVMAP, "BUMP"},
                                      {D3DTEXOPCAPS_BUMPENVMAPLUMINANCE, "BUMPL"},
                                      {D3DTEXOPCAPS_DOTPRODUCT3, "DOTP"},
                                      {D3DTEXOPCAPS_LERP, "LERP"}};
        log.Write("Multipass Texturing: Present", 0);
        log.Write("- Basic ops: " + Listed(ops, basic), 0);
        log.Write("- Alpha ops: " + Listed(ops, alpha), 0);
        log.Write("- Other ops: " + Listed(ops, other), 0);
        log.Write("- Stagecount:" + std::to_string(caps.MaxTextureBlendStages), 0);
        log.Write("- Texturecount:" + std::to_string(caps.MaxSimultaneousTextures), 0);
        available.multipass = true;
    } else {
        missing(s.multipass, "Multipass Texturing");
    }

    log.Write(std::string("Texture State temp value: ") +
                  ((caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) ? "Present" : "N/A"),
              0);
    static const Named wrap[] = {{D3DPTADDRESSCAPS_WRAP, "Wrap"},
                                 {D3DPTADDRESSCAPS_MIRROR, "Mirror"},
                                 {D3DPTADDRESSCAPS_CLAMP, "Clamp"},
                                 {D3DPTADDRESSCAPS_BORDER, "Border"},
                                 {D3DPTADDRESSCAPS_MIRRORONCE, "Mirror1"},
                                 {D3DPTADDRESSCAPS_INDEPENDENTUV, "MultiDirectional"}};
    log.Write("Texture Wrap: " + Listed(caps.TextureAddressCaps, wrap), 0);
    log.Write(std::string("Enhanced Alphamaps: ") + ((caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) ? "Present" : "N/A"),
              0);
    log.Write((caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP) ? "Volumetrics: Map Present" : "Volumetrics: N/A", 0);
    static const Named patches[] = {{D3DDEVCAPS_QUINTICRTPATCHES, "Quints B-splines"},
                                    {D3DDEVCAPS_RTPATCHES, "RT-Patches"},
                                    {D3DDEVCAPS_NPATCHES, "N-Patches"}};
    std::string hop = Listed(caps.DevCaps, patches);
    log.Write(hop.empty() ? "High order primitives: N/A" : "High order primitives: " + hop, 0);

    if (caps.Caps2 & D3DCAPS2_FULLSCREENGAMMA) {
        log.Write((caps.Caps2 & D3DCAPS2_CANCALIBRATEGAMMA) ? "Gamma Ramps: Present + Calibrator" : "Gamma Ramps: Present",
                  0);
        available.gammaRamps = true;
    } else {
        missing(s.gammaRamps, "Gamma Ramps", 4);
    }

    if (s.anisotropy == 1) {
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        dev->SetTextureStageState(0, D3DTSS_MAXANISOTROPY, 1);
    } else {
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, magAniso ? D3DTEXF_ANISOTROPIC : D3DTEXF_POINT);
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, minAniso ? D3DTEXF_ANISOTROPIC : D3DTEXF_POINT);
        dev->SetTextureStageState(0, D3DTSS_MAXANISOTROPY, s.anisotropy);
    }
    dev->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, multisampling ? 1 : 0);

    aspectRatio = s.height != 0 ? static_cast<float>(s.width) / static_cast<float>(s.height) : 4.0f / 3.0f;
    engine_.aspectRatio = aspectRatio;
    D3DXMATRIX m;
    D3DXMatrixPerspectiveLH(&m, 0.1f * aspectRatio, 0.1f, 0.1f, 100.0f);
    dev->SetTransform(D3DTS_PROJECTION, &m);
    const D3DXVECTOR3 eye(-4, 0, 0), at(0, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    dev->SetTransform(D3DTS_VIEW, &m);
    D3DXMatrixIdentity(&m);
    dev->SetTransform(D3DTS_WORLD, &m);
    dev->SetTransform(D3DTS_TEXTURE0, &m);
}

} // namespace rdv
