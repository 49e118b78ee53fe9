// The adapter of the OpenGL device: display modes from SDL, formats and
// capabilities from what a short-lived probe context reports.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/d3d/GLInternal.h"

namespace rdv {

namespace {

constexpr GLenum kMaxAnisotropy = 0x84FF;   // GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    }
    return false;
}

D3DFORMAT FormatFromSdl(Uint32 pixelFormat) {
    switch (SDL_BITSPERPIXEL(pixelFormat)) {
    case 15: return D3DFMT_X1R5G5B5;
    case 16: return pixelFormat == SDL_PIXELFORMAT_RGB565 ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5;
    case 24:
    case 32: return D3DFMT_X8R8G8B8;
    default: return pixelFormat == SDL_PIXELFORMAT_UNKNOWN ? D3DFMT_X8R8G8B8 : D3DFMT_UNKNOWN;
    }
}

// The display formats a GL window can show, and the back-buffer formats of
// each (the alpha channel of the back buffer is never shown).
bool IsDisplayFormat(D3DFORMAT f) {
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5;
}
bool BackBufferMatches(D3DFORMAT display, D3DFORMAT back) {
    switch (display) {
    case D3DFMT_X8R8G8B8: return back == D3DFMT_X8R8G8B8 || back == D3DFMT_A8R8G8B8;
    case D3DFMT_R5G6B5: return back == D3DFMT_R5G6B5;
    case D3DFMT_X1R5G5B5: return back == D3DFMT_X1R5G5B5 || back == D3DFMT_A1R5G5B5;
    default: return false;
    }
}

GLProbe ProbeGL() {
    GLProbe probe;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        probe.error = SDL_GetError();
        return probe;
    }
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        probe.error = SDL_GetError();
        SDL_DestroyWindow(window);
        return probe;
    }
    auto text = [](GLenum name) {
        const GLubyte* s = glGetString(name);
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string();
    };
    probe.renderer = text(GL_RENDERER);
    probe.vendor = text(GL_VENDOR);
    probe.version = text(GL_VERSION);
    int major = 0, minor = 0;
    std::sscanf(probe.version.c_str(), "%d.%d", &major, &minor);
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &probe.maxTextureSize);
    if (major >= 3 || HasExtension(ext, "GL_ARB_framebuffer_object")) glGetIntegerv(GL_MAX_SAMPLES, &probe.maxSamples);
    if (HasExtension(ext, "GL_EXT_texture_filter_anisotropic") || HasExtension(ext, "GL_ARB_texture_filter_anisotropic"))
        glGetFloatv(kMaxAnisotropy, &probe.maxAnisotropy);
    probe.mirrorClamp = major > 4 || (major == 4 && minor >= 4) || HasExtension(ext, "GL_ARB_texture_mirror_clamp_to_edge") ||
                        HasExtension(ext, "GL_EXT_texture_mirror_clamp");
    Uint16 ramp[3][256];
    probe.gamma = SDL_GetWindowGammaRamp(window, ramp[0], ramp[1], ramp[2]) == 0;
    // Framebuffer objects and GLSL 1.20 are what the device is built on.
    probe.ok = (major >= 3 || (major == 2 && minor >= 1 && HasExtension(ext, "GL_ARB_framebuffer_object")));
    if (!probe.ok) probe.error = "OpenGL 2.1 with framebuffer objects is required, driver offers " + probe.version;
    while (glGetError() != GL_NO_ERROR) {
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    if (previous && previousWindow) SDL_GL_MakeCurrent(previousWindow, previous);
    return probe;
}

} // namespace

GLDirect3D8::GLDirect3D8() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            probe_.error = SDL_GetError();
            return;
        }
        videoStarted_ = true;
    }
    probe_ = ProbeGL();
    BuildModes();
}

GLDirect3D8::~GLDirect3D8() {
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GLDirect3D8::BuildModes() {
    modes_.clear();
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
        D3DDISPLAYMODE d;
        d.Width = static_cast<UINT>(m.w);
        d.Height = static_cast<UINT>(m.h);
        d.RefreshRate = static_cast<UINT>(m.refresh_rate);
        d.Format = FormatFromSdl(m.format);
        if (d.Format != D3DFMT_UNKNOWN) modes_.push_back(d);
    }
    // Full screen is a scaled desktop window, so every usual size that fits
    // the desktop can be offered, and windowed play can choose among them.
    static const UINT usual[][2] = {{640, 480},   {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},
                                    {1280, 800},  {1280, 960},  {1280, 1024}, {1366, 768},  {1440, 900},
                                    {1600, 900},  {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
                                    {2560, 1440}, {2560, 1600}, {3840, 2160}};
    for (const auto& u : usual) {
        if (u[0] > static_cast<UINT>(desktop.w) || u[1] > static_cast<UINT>(desktop.h)) continue;
        D3DDISPLAYMODE d;
        d.Width = u[0];
        d.Height = u[1];
        d.RefreshRate = static_cast<UINT>(desktop.refresh_rate);
        d.Format = FormatFromSdl(desktop.format);
        if (d.Format == D3DFMT_UNKNOWN) d.Format = D3DFMT_X8R8G8B8;
        const bool present = std::any_of(modes_.begin(), modes_.end(), [&](const D3DDISPLAYMODE& m) {
            return m.Width == d.Width && m.Height == d.Height && m.Format == d.Format;
        });
        if (!present) modes_.push_back(d);
    }
}

HRESULT GLDirect3D8::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* id) {
    if (adapter != 0 || !id) return D3DERR_INVALIDCALL;
    *id = D3DADAPTER_IDENTIFIER8{};
    const char* driver = SDL_GetCurrentVideoDriver();
    std::snprintf(id->Driver, sizeof id->Driver, "OpenGL on SDL %s", driver ? driver : "(no video)");
    if (probe_.renderer.empty())
        std::snprintf(id->Description, sizeof id->Description, "OpenGL (unavailable: %s)", probe_.error.c_str());
    else
        std::snprintf(id->Description, sizeof id->Description, "%s (OpenGL %s)", probe_.renderer.c_str(),
                      probe_.version.c_str());
    int major = 0, minor = 0;
    std::sscanf(probe_.version.c_str(), "%d.%d", &major, &minor);
    id->DriverVersion = (static_cast<int64_t>(major) << 48) | (static_cast<int64_t>(minor) << 32);
    // No driver of this platform carries a WHQL signature.
    id->WHQLLevel = 0;
    return D3D_OK;
}

UINT GLDirect3D8::GetAdapterModeCount(UINT adapter) {
    return adapter == 0 ? static_cast<UINT>(modes_.size()) : 0;
}

HRESULT GLDirect3D8::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode || mode >= modes_.size()) return D3DERR_INVALIDCALL;
    *displayMode = modes_[mode];
    return D3D_OK;
}

HRESULT GLDirect3D8::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) {
    if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return D3DERR_NOTAVAILABLE;
    displayMode->Width = static_cast<UINT>(desktop.w);
    displayMode->Height = static_cast<UINT>(desktop.h);
    displayMode->RefreshRate = static_cast<UINT>(desktop.refresh_rate);
    displayMode->Format = FormatFromSdl(desktop.format);
    return D3D_OK;
}

HRESULT GLDirect3D8::CheckDeviceType(UINT adapter, D3DDEVTYPE, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                                     BOOL windowed) {
    if (adapter != 0 || !probe_.ok) return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(displayFormat) || !BackBufferMatches(displayFormat, backBufferFormat))
        return D3DERR_NOTAVAILABLE;
    if (windowed) {
        // A window shows what the desktop shows.
        D3DDISPLAYMODE desktop;
        if (GetAdapterDisplayMode(0, &desktop) != D3D_OK || desktop.Format != displayFormat) return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT GLDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT adapterFormat, DWORD usage,
                                       D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    if (adapter != 0 || !probe_.ok || !IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL) return IsDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_RENDERTARGET) return IsBackBufferFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
        return GLTextureFormat(checkFormat).ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    return D3DERR_NOTAVAILABLE;
}

HRESULT GLDirect3D8::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE, D3DFORMAT adapterFormat,
                                            D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) {
    if (adapter != 0 || !probe_.ok) return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(adapterFormat) || !IsBackBufferFormat(renderTargetFormat)) return D3DERR_NOTAVAILABLE;
    return IsDepthFormat(depthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT GLDirect3D8::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE, D3DFORMAT surfaceFormat, BOOL,
                                                D3DMULTISAMPLE_TYPE type) {
    if (adapter != 0 || !probe_.ok) return D3DERR_NOTAVAILABLE;
    if (!IsBackBufferFormat(surfaceFormat) && !IsDepthFormat(surfaceFormat)) return D3DERR_NOTAVAILABLE;
    if (type == D3DMULTISAMPLE_NONE) return D3D_OK;
    // GL grants at least the samples asked for, up to its maximum.
    if (type < 2 || static_cast<int>(type) > probe_.maxSamples) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

void GLDirect3D8::FillCaps(D3DDEVTYPE type, D3DCAPS8& c) const {
    c = D3DCAPS8{};
    c.DeviceType = type;
    c.AdapterOrdinal = 0;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES;
    if (probe_.gamma) c.Caps2 |= D3DCAPS2_FULLSCREENGAMMA;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    c.CursorCaps = D3DCURSORCAPS_COLOR;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION |
                D3DDEVCAPS_PUREDEVICE;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP | D3DPMISCCAPS_TSSARGTEMP;
    c.RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE |
                   D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_ZBIAS | D3DPRASTERCAPS_FOGRANGE |
                   D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_COLORPERSPECTIVE;
    if (probe_.maxAnisotropy > 1) c.RasterCaps |= D3DPRASTERCAPS_ANISOTROPY;
    c.ZCmpCaps = c.AlphaCmpCaps = 0xFF;
    c.SrcBlendCaps = c.DestBlendCaps = 0x1FFF;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                  D3DPSHADECAPS_FOGGOURAUD;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                    D3DPTEXTURECAPS_MIPMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                          D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    if (probe_.maxAnisotropy > 1)
        c.TextureFilterCaps |= D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV;
    if (probe_.mirrorClamp) c.TextureAddressCaps |= D3DPTADDRESSCAPS_MIRRORONCE;
    c.LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP | D3DLINECAPS_FOG;
    c.MaxTextureWidth = c.MaxTextureHeight = static_cast<DWORD>(probe_.maxTextureSize);
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = static_cast<DWORD>(probe_.maxTextureSize);
    c.MaxAnisotropy = static_cast<DWORD>(std::max(1.0f, probe_.maxAnisotropy));
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = c.GuardBandTop = -1e8f;
    c.GuardBandRight = c.GuardBandBottom = 1e8f;
    c.StencilCaps = 0xFF;
    c.FVFCaps = 8 | D3DFVFCAPS_DONOTSTRIPELEMENTS;
    c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                      D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD |
                      D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_ADDSIGNED2X | D3DTEXOPCAPS_SUBTRACT |
                      D3DTEXOPCAPS_ADDSMOOTH | D3DTEXOPCAPS_BLENDDIFFUSEALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHA |
                      D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHAPM |
                      D3DTEXOPCAPS_BLENDCURRENTALPHA | D3DTEXOPCAPS_PREMODULATE |
                      D3DTEXOPCAPS_MODULATEALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATECOLOR_ADDALPHA |
                      D3DTEXOPCAPS_MODULATEINVALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATEINVCOLOR_ADDALPHA |
                      D3DTEXOPCAPS_DOTPRODUCT3 | D3DTEXOPCAPS_MULTIPLYADD | D3DTEXOPCAPS_LERP;
    c.MaxTextureBlendStages = 4;
    c.MaxSimultaneousTextures = 4;
    c.VertexProcessingCaps = D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                             D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 0;
    c.MaxVertexBlendMatrices = 1;
    c.MaxVertexBlendMatrixIndex = 0;
    c.MaxPointSize = 64;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = 255;
    // Vertex-shader tokens do not run on this device; pixel shaders up to
    // ps.1.4 are translated to GLSL.
    c.VertexShaderVersion = 0;
    c.MaxVertexShaderConst = 0;
    c.PixelShaderVersion = D3DPS_VERSION(1, 4);
    c.MaxPixelShaderValue = 8;
}

HRESULT GLDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) {
    if (adapter != 0 || !caps) return D3DERR_INVALIDCALL;
    if (!probe_.ok) return D3DERR_NOTAVAILABLE;
    FillCaps(type, *caps);
    return D3D_OK;
}

HRESULT GLDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window* focusWindow, DWORD behaviorFlags,
                                  D3DPRESENT_PARAMETERS* params, std::shared_ptr<IDirect3DDevice8>& device) {
    device.reset();
    if (adapter != 0 || !params) return D3DERR_INVALIDCALL;
    if (!probe_.ok) return D3DERR_NOTAVAILABLE;
    const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp == 0 || (vp & (vp - 1)) != 0) return D3DERR_INVALIDCALL;   // exactly one kind
    auto created = std::make_shared<GLDevice>(*this, type, behaviorFlags);
    const HRESULT hr = created->Init(focusWindow, params);
    if (FAILED(hr)) return hr;
    device = created;
    return D3D_OK;
}

} // namespace rdv
