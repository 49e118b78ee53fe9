// The graphics core: adapter checks, the display modes and the device search
// at start-up, and shut-down. Device creation and the capability report are
// in CoreDevice.cpp, the frame and recovery in CoreFrame.cpp, the resource
// tables in CoreTables.cpp.
#include "graphics/Core.h"

#include <cmath>
#include <cstdio>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/CoreInternal.h"
#include "graphics/Model.h"
#include "graphics/Shader.h"
#include "platform/Host.h"
#include "platform/d3d/Factory.h"

namespace rdv {

namespace {

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

std::string PairText(int i, int j) {
    return std::to_string(i) + " (" + kFormats[i].name + "), " + std::to_string(j) + " (" + kFormats[j].name + ")";
}

} // namespace

std::string Size(int32_t w, int32_t h, const char* between) {
    return std::to_string(w) + between + std::to_string(h);
}

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
