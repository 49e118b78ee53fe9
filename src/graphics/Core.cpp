// The graphics core: adapter checks, device creation and the capability
// report, the frame with device-loss recovery, and the resource tables.
#include "graphics/Core.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/Engine.h"
#include "core/Error.h"
#include "core/ErrorText.h"
#include "graphics/LightMap.h"
#include "graphics/Model.h"
#include "graphics/Shader.h"
#include "packages/Package.h"
#include "platform/FileSearch.h"
#include "platform/Host.h"
#include "platform/d3d/Factory.h"
#include "platform/d3d/StateCache.h"
#include "platform/d3dx/D3DX8Tex.h"

namespace rdv {

namespace {

constexpr const char* kTitle = "Rondovar II";

// The buffer formats the device search walks, in this order. "bits" is the
// colour depth of colour rows and the stencil depth of depth rows.
struct FormatRow {
    D3DFORMAT format;
    const char* name;
    int bits;
};
constexpr FormatRow kFormats[15] = {
    {D3DFMT_A8R8G8B8, "A8R8G8B8", 32}, {D3DFMT_X8R8G8B8, "X8R8G8B8", 32}, {D3DFMT_R5G6B5, "R5G6B5", 16},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", 16}, {D3DFMT_X1R5G5B5, "X1R5G5B5", 16}, {D3DFMT_A4R4G4B4, "A4R4G4B4", 16},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", 16}, {D3DFMT_A8R3G3B2, "A8R3G3B2", 16}, {D3DFMT_D24S8, "D24S8", 8},
    {D3DFMT_D24X4S4, "D24X4S4", 4},    {D3DFMT_D32, "D32", 0},           {D3DFMT_D24X8, "D24X8", 0},
    {D3DFMT_D16, "D16", 0},            {D3DFMT_D16_LOCKABLE, "LOCKABLE", 0}, {D3DFMT_D15S1, "D15S1", 1},
};
bool IsColourRow(int row) { return kFormats[row].bits > 8; }

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(hr));
    return buf;
}

std::string Size(int32_t w, int32_t h, const char* between) {
    return std::to_string(w) + between + std::to_string(h);
}

std::string PairText(int i, int j) {
    return std::to_string(i) + " (" + kFormats[i].name + "), " + std::to_string(j) + " (" + kFormats[j].name + ")";
}

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

gfxCore& Graphics(Engine& engine) {
    if (!engine.gfx) engine.gfx = std::make_shared<gfxCore>(engine);
    return *engine.gfx;
}

gfxCore::gfxCore(Engine& engine) : engine_(engine) {
    makeModel = [] { return std::make_shared<gfxModel>(); };
    makeShader = [] { return std::make_shared<gfxShaderObj>(); };
}

gfxCore::~gfxCore() = default;

bool gfxCore::AskFullscreen() {
    const std::string text = "Can not run in windowed mode - Change to fullscreen?";
    MsgResult r = engine_.platform.host
                      ? engine_.platform.host->MessageBox(text, kTitle, MsgButtons::YesNo, MsgIcon::Information, 1)
                      : MsgResult::Yes;
    if (r != MsgResult::Yes) return false;
    engine_.settings.windowed = false;
    settingsRepaired = true;
    engine_.log.Write("User decided to switch to fullscreen", 0);
    return true;
}

// ------------------------------------------------------------------ start-up
void gfxCore::InitGraphics() {
    Log& log = engine_.log;
    log.Write("Starting Graphics Module...", 2);
    settingsRepaired = false;

    if (!engine_.platform.d3d) engine_.platform.d3d = CreateGLDirect3D8();
    d3d = engine_.platform.d3d;
    if (!d3d) RaiseError(ErrDevice, "InitGraphics", "Could not create the Direct3D object");

    identifier = D3DADAPTER_IDENTIFIER8{};
    d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
    log.Write("Using: " + std::string(identifier.Description, strnlen(identifier.Description, sizeof identifier.Description)), 0);
    log.Write(std::string("Signed: ") + (identifier.WHQLLevel != 0 ? "Yes" : "No"), 0);

    caps = D3DCAPS8{};
    d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);

    log.Write("Checking Settings", 0);
    EnumerateResolutions();
    GetDesktopMode();
    CheckDeviceCompatibility();
    if (settingsRepaired) log.Write("WARNING: Could not use given settings - reverting to default", 6);

    CreateDevice();
    ResetResourceTables();
    CheckDevice();

    engine_.selectedDisplayMode = [this](int& width, int& height) {
        if (selectedResolution < 1 || selectedResolution > resolutionCount) return false;
        width = resolutions[selectedResolution].width;
        height = resolutions[selectedResolution].height;
        return true;
    };
}

void gfxCore::EnumerateResolutions() {
    resolutions.assign(1, gfxResolution{});
    const UINT modes = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    for (UINT i = 0; i < modes; ++i) {
        D3DDISPLAYMODE m;
        if (FAILED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &m))) continue;
        gfxResolution r{static_cast<int32_t>(m.Width), static_cast<int32_t>(m.Height)};
        bool known = false;
        for (const auto& e : resolutions)
            if (e.width == r.width && e.height == r.height) known = true;
        if (!known) resolutions.push_back(r);
    }
    resolutionCount = static_cast<int32_t>(resolutions.size()) - 1;
    engine_.log.Write("Resolutions: " + std::to_string(resolutionCount), 0);
    if (resolutionCount == 0)
        RaiseError(ErrDevice, "EnumerateResolutions", "The display adapter offers no display modes");

    // Gnome sort by width, then height; the (0, 0) sentinel ends every walk back.
    auto inOrder = [](const gfxResolution& a, const gfxResolution& b) {
        return a.width < b.width || (a.width == b.width && a.height <= b.height);
    };
    int32_t i = 1;
    while (i <= resolutionCount) {
        if (inOrder(resolutions[i - 1], resolutions[i])) {
            ++i;
        } else {
            std::swap(resolutions[i - 1], resolutions[i]);
            --i;
        }
    }

    Settings& s = engine_.settings;
    for (int32_t k = 1; k <= resolutionCount; ++k) {
        if (resolutions[k].width == s.width && resolutions[k].height == s.height) {
            selectedResolution = k;
            engine_.log.Write("Using resolution: " + Size(s.width, s.height, " X "), 0);
            return;
        }
    }
    selectedResolution = 1;
    s.width = resolutions[1].width;
    s.height = resolutions[1].height;
    settingsRepaired = true;
    engine_.log.Write("Invalid Resolution, now selecting " + Size(s.width, s.height, " X "), 0);
}

void gfxCore::GetDesktopMode() {
    Log& log = engine_.log;
    Settings& s = engine_.settings;
    if (!s.windowed) {
        log.Write("Running fullscreen", 0);
        return;
    }
    if (!(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED)) {
        log.Write("WARNING: Device does not support windowed rendering", 4);
        if (AskFullscreen()) return;
        RaiseError(ErrDevice, "GetDesktopMode", "Device doesnt support windowed rendering");
    }
    log.Write("Running windowed", 0);
    D3DDISPLAYMODE desktop;
    if (FAILED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) desktop = D3DDISPLAYMODE{};

    switch (desktop.Format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        log.Write("Current color depth: 32 (True Colors)", 0);
        if (!s.colour32) {
            s.colour32 = true;
            settingsRepaired = true;
            log.Write("Color depth mismatch, adjusting", 4);
        }
        break;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        log.Write("Current color depth: 16 (High Colors)", 0);
        if (s.colour32) {
            s.colour32 = false;
            settingsRepaired = true;
            log.Write("Color depth mismatch, adjusting", 4);
        }
        break;
    default:
        log.Write("WARNING: Current color depth: incompatible", 4);
        if (AskFullscreen()) return;
        RaiseError(ErrColourDepth, "Init->Initgraphics->GetDesktopMode", "Desktop color depth not set to 16 or 32 bits");
    }

    const int32_t dw = static_cast<int32_t>(desktop.Width), dh = static_cast<int32_t>(desktop.Height);
    if (s.width < dw && s.height < dh) return;
    log.Write("Selected Resolution does not fit on desktop", 6);
    int32_t best = 0;
    int64_t bestDistance = 0;
    for (int32_t k = 1; k <= resolutionCount; ++k) {
        const gfxResolution& r = resolutions[k];
        if (!(r.width < dw && r.height < dh)) continue;
        int64_t d = std::llabs(int64_t(r.height) - s.height) + std::llabs(int64_t(r.width) - s.width);
        if (best == 0 || d < bestDistance) {
            best = k;
            bestDistance = d;
        }
    }
    if (best == 0) best = 1;
    selectedResolution = best;
    s.width = resolutions[best].width;
    s.height = resolutions[best].height;
    settingsRepaired = true;
    log.Write("Selected " + Size(s.width, s.height, "x") + " as a fitting size", 0);
}

void gfxCore::CheckDeviceCompatibility() {
    Log& log = engine_.log;
    Settings& s = engine_.settings;
    const int wanted = s.colour32 ? 32 : 16;
    int bestDistance = 99999, bi = -1, bj = -1;
    for (int i = 14; i >= 0; --i) {
        if (!IsColourRow(i)) continue;
        for (int j = 14; j >= 0; --j) {
            if (!IsColourRow(j)) continue;
            if (FAILED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, kFormats[i].format, kFormats[j].format,
                                            s.windowed ? 1 : 0)))
                continue;
            int d = std::abs(kFormats[i].bits + kFormats[j].bits - 2 * wanted);
            if (d < bestDistance || (d == bestDistance && i + j < bi + bj)) {
                bestDistance = d;
                bi = i;
                bj = j;
            }
        }
    }
    if (bi < 0)
        RaiseError(ErrDevice, "CheckDeviceCompatibility->FindBufferFormat",
                   "Could not determine a working format for this device");
    if (bestDistance == 0) {
        log.Write("Selected Matching Dev/BB pair: " + PairText(bi, bj), 0);
    } else {
        log.Write("WARNING: Device doesn't seem to be able to run in the given mode: " + std::to_string(wanted) + "bpp", 0);
        settingsRepaired = true;
        s.colour32 = !s.colour32;
        log.Write("Selected Dev/BB pair: " + PairText(bi, bj), 0);
    }
    adapterFormat = kFormats[bi].format;
    presentParams.BackBufferFormat = kFormats[bj].format;

    std::string list;
    int depth = -1;
    for (int k = 14; k >= 0; --k) {
        if (IsColourRow(k)) continue;
        if (FAILED(d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat,
                                               presentParams.BackBufferFormat, kFormats[k].format)))
            continue;
        list += std::string(kFormats[k].name) + " ";
        depth = k;
    }
    log.Write("Supported Depth Buffers: " + list, 0);
    if (depth < 0) RaiseError(ErrDevice, "CheckDeviceCompatibility", "No Depth Buffer found");
    log.Write(std::string("Using Depth Buffer: ") + kFormats[depth].name, 0);
    presentParams.AutoDepthStencilFormat = kFormats[depth].format;
    if (kFormats[depth].bits > 0)
        log.Write("Stencil Buffer: Present (" + std::to_string(kFormats[depth].bits) + " bpp)", 0);
    else
        log.Write("Stencil Buffer: N/A", 0);
    presentParams.BackBufferCount = 1;
}

int32_t gfxCore::FindMaxMultiSample(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed) {
    auto passes = [&](int32_t n) {
        return n >= 2 && n <= 16 &&
               SUCCEEDED(d3d->CheckDeviceMultiSampleType(adapter, type, format, windowed,
                                                          static_cast<D3DMULTISAMPLE_TYPE>(n)));
    };
    if (!passes(2)) return 0;
    int32_t n = 2;
    while (passes(n)) n *= 2;
    do {
        --n;
    } while (n > 2 && !passes(n));
    return n;
}

void gfxCore::CreateDevice() {
    Log& log = engine_.log;
    Settings& s = engine_.settings;
    device.reset();

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

// ------------------------------------------------------------------ frame
void gfxCore::BeginFrame() {
    IDirect3DDevice8* dev = device.get();
    if (!dev) return;
    if (loadedSinceFrame_) {
        // Decoding images and models leaves large freed blocks inside the
        // heap, which the allocator keeps for the process unless asked:
        // give them back once loading is over, not at every load.
        loadedSinceFrame_ = false;
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    }
    dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER | (clearTarget == 1 ? D3DCLEAR_TARGET : 0), clearColour, 1.0f, 0);
    dev->BeginScene();
    if (levelFog && engine_.settings.fog) dev->SetRenderState(D3DRS_FOGENABLE, 1);
}

void gfxCore::Display() {
    IDirect3DDevice8* dev = device.get();
    if (!dev) return;
    dev->EndScene();
    HRESULT hr = dev->TestCooperativeLevel();
    if (hr == D3D_OK) {
        dev->Present(nullptr, nullptr, nullptr, nullptr);
        return;
    }
    if (hr == D3DERR_DEVICELOST) return;   // asked again next frame
    if (hr == D3DERR_DEVICENOTRESET) {
        Recover();
        return;
    }
    RaiseError(ErrDevice, "Engine->MainLoop->Display", "Unknown device error: " + Hex(hr));
}

void gfxCore::Recover() {
    for (auto& t : textures.objects) t.reset();
    for (auto& m : models.objects) {
        if (m) m->Release();
        m.reset();
    }
    loadedSinceFrame_ = true;
    HRESULT hr = device->Reset(&presentParams);
    if (FAILED(hr)) {
        // Lost again before the reset went through: the next frame asks the
        // device again and recovers then.
        engine_.log.Write("WARNING: Device reset failed: " + ErrorText(hr), 4);
        return;
    }
    CheckDevice();
    // The reset took the level's lights off the device.
    if (engine_.lightMap) engine_.lightMap->Invalidate();
    for (int32_t i = 0; i <= textures.Highest(); ++i) {
        if (textures.counts[i] <= 0) continue;
        std::vector<std::filesystem::path> found =
            FindStemMatches(ResolveNoCase(engine_.programFolder, "textures"), textures.names[i]);
        if (found.empty()) continue;
        std::shared_ptr<IDirect3DTexture8> tex;
        std::string why;
        if (SUCCEEDED(D3DXCreateTextureFromFile(device.get(), found.front(), tex, &why)))
            textures.objects[i] = std::move(tex);
        else
            engine_.log.Write("WARNING: Couldn't reload texture: " + why, 4);
    }
    for (int32_t i = 0; i <= models.Highest(); ++i) {
        if (models.counts[i] <= 0) continue;
        models.objects[i] = makeModel();
        try {
            models.objects[i]->LoadModel(engine_, models.names[i]);
        } catch (const EngineError& e) {
            // It keeps its entry and draws nothing, as after a failed first load.
            engine_.log.Write("WARNING: Couldn't reload model " + models.names[i] + ": " + e.description, 5);
        }
    }
}

// ------------------------------------------------------------------ tables
template <class T>
int32_t gfxCore::Lookup(gfxResourceTable<T>& table, const std::string& lowerName) {
    // Entry 0 is reserved even for a name spelled like its blank.
    for (int32_t i = 1; i <= table.Highest(); ++i)
        if (table.names[i] == lowerName && (table.counts[i] > 0 || !lowerName.empty())) return i;
    return -1;
}

template <class T>
int32_t gfxCore::Allocate(gfxResourceTable<T>& table) {
    // Free: no name and never handed out (a resource named "" counts as used).
    for (int32_t i = 0; i <= table.Highest(); ++i)
        if (table.names[i].empty() && table.counts[i] == 0) return i;
    table.objects.emplace_back();
    table.names.emplace_back();
    table.counts.push_back(0);
    return table.Highest();
}

int32_t gfxCore::GetModel(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(models, lower);
    if (i >= 0) {
        ++models.counts[i];
        return i;
    }
    i = Allocate(models);
    models.counts[i] = 1;
    models.names[i] = lower;
    loadedSinceFrame_ = true;
    models.objects[i] = makeModel();
    models.objects[i]->LoadModel(engine_, name);
    return i;
}

int32_t gfxCore::GetShader(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(shaders, lower);
    if (i >= 0) {
        ++shaders.counts[i];
        return i;
    }
    i = Allocate(shaders);
    shaders.counts[i] = 1;
    shaders.names[i] = lower;
    shaders.objects[i] = makeShader();
    shaders.objects[i]->Load(engine_, name);
    return i;
}

int32_t gfxCore::LoadTexture(const std::string& name) {
    const std::string lower = LowerCase(name);
    int32_t i = Lookup(textures, lower);
    if (i >= 0) {
        ++textures.counts[i];
        return i;
    }
    i = Allocate(textures);
    BeginLoadStep(engine_, name);
    textures.counts[i] = 1;
    textures.names[i] = lower;
    loadedSinceFrame_ = true;
    LoadTextureInto(i, name);
    EndLoadStep(engine_);
    return i;
}

void gfxCore::LoadTextureInto(int32_t index, const std::string& name) {
    std::vector<std::filesystem::path> found = FindStemMatches(ResolveNoCase(engine_.programFolder, "textures"), name);
    if (found.empty()) {
        // Keep the loading trace balanced for callers that carry on.
        EndLoadStep(engine_);
        RaiseError(ErrFileAccess, "System->LoadTexture->FindFile", "Couldn't find texture: " + name);
    }
    std::shared_ptr<IDirect3DTexture8> tex;
    std::string why;
    HRESULT hr = D3DXCreateTextureFromFile(device.get(), found.front(), tex, &why);
    if (FAILED(hr)) {
        EndLoadStep(engine_);
        RaiseError(ErrFileType, "System->LoadTexture->CreateTexture", "Couldn't load texture: " + why);
    }
    textures.objects[index] = std::move(tex);
}

std::shared_ptr<IDirect3DTexture8> gfxCore::Texture(int32_t index) const {
    return textures.Valid(index) && index < int32_t(textures.objects.size()) ? textures.objects[index] : nullptr;
}

std::pair<int, int> gfxCore::TextureSize(int32_t index) const {
    std::shared_ptr<IDirect3DTexture8> t = Texture(index);
    D3DSURFACE_DESC d;
    if (!t || FAILED(t->GetLevelDesc(0, &d))) return {1, 1};
    return {static_cast<int>(d.Width), static_cast<int>(d.Height)};
}

void gfxCore::ResetResourceTables() {
    textures = gfxResourceTable<IDirect3DTexture8>{};
    models = gfxResourceTable<gfxModel>{};
    shaders = gfxResourceTable<gfxShaderObj>{};
}

void gfxCore::ShutdownGraphics() {
    for (auto& t : textures.objects) t.reset();
    for (auto& m : models.objects)
        if (m) m->Release();
    for (auto& s : shaders.objects)
        if (s) s->Release();
    // Objects go before the device they were made on.
    ResetResourceTables();
    device.reset();
    d3d.reset();
}

} // namespace rdv
