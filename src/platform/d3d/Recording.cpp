// The recording Direct3D 8 device and its scriptable adapter.
#include "platform/d3d/Recording.h"

#include <algorithm>
#include <cstring>

namespace rdv {

namespace {

UINT BytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_D24S8: case D3DFMT_D24X8: case D3DFMT_D24X4S4:
    case D3DFMT_D32: case D3DFMT_X8L8V8U8: case D3DFMT_Q8W8V8U8: case D3DFMT_V16U16: case D3DFMT_W11V11U10:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
    case D3DFMT_A8R3G3B2: case D3DFMT_A8L8: case D3DFMT_V8U8: case D3DFMT_L6V5U5: case D3DFMT_A8P8:
    case D3DFMT_D16: case D3DFMT_D16_LOCKABLE: case D3DFMT_D15S1:
        return 2;
    case D3DFMT_A8: case D3DFMT_L8: case D3DFMT_P8: case D3DFMT_A4L4: case D3DFMT_R3G3B2:
        return 1;
    default:
        return 0;
    }
}

void MatrixFloats(const D3DMATRIX& m, std::vector<float>& out) {
    out.assign(&m.m[0][0], &m.m[0][0] + 16);
}

D3DMATRIX Identity() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

// A lockable block of memory: vertex and index buffers.
class RecordingBufferImpl {
public:
    explicit RecordingBufferImpl(UINT length) : bytes(length) {}
    HRESULT Lock(UINT offset, UINT size, BYTE** data) {
        if (!data || offset > bytes.size() || (size != 0 && offset + size > bytes.size())) return D3DERR_INVALIDCALL;
        if (locked) return D3DERR_INVALIDCALL;
        locked = true;
        *data = bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT Unlock() {
        if (!locked) return D3DERR_INVALIDCALL;
        locked = false;
        return D3D_OK;
    }
    std::vector<uint8_t> bytes;
    bool locked = false;
};

class RecordingVertexBuffer final : public IDirect3DVertexBuffer8 {
public:
    RecordingVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) : mem(length) {
        desc.Size = length;
        desc.Usage = usage;
        desc.FVF = fvf;
        desc.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override { return mem.Lock(offset, size, data); }
    HRESULT Unlock() override { return mem.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* d) override {
        if (!d) return D3DERR_INVALIDCALL;
        *d = desc;
        return D3D_OK;
    }
    RecordingBufferImpl mem;
    D3DVERTEXBUFFER_DESC desc;
};

class RecordingIndexBuffer final : public IDirect3DIndexBuffer8 {
public:
    RecordingIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) : mem(length) {
        desc.Size = length;
        desc.Usage = usage;
        desc.Format = format;
        desc.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override { return mem.Lock(offset, size, data); }
    HRESULT Unlock() override { return mem.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* d) override {
        if (!d) return D3DERR_INVALIDCALL;
        *d = desc;
        return D3D_OK;
    }
    RecordingBufferImpl mem;
    D3DINDEXBUFFER_DESC desc;
};

// Direct3D's defaults for the render states the engine touches.
std::vector<DWORD> DefaultRenderStates() {
    std::vector<DWORD> rs(D3DRS_COUNT, 0);
    rs[D3DRS_ZENABLE] = D3DZB_TRUE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_LASTPIXEL] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGDENSITY] = FtoDW(1.0f);
    rs[D3DRS_FOGEND] = FtoDW(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = 1;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_COLORVERTEX] = 1;
    rs[D3DRS_LOCALVIEWER] = 1;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_POINTSIZE] = FtoDW(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    return rs;
}

std::vector<DWORD> DefaultStageStates(DWORD stage) {
    std::vector<DWORD> ts(D3DTSS_COUNT, 0);
    ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = stage;
    ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
    ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
    ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    ts[D3DTSS_MAXANISOTROPY] = 1;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    return ts;
}

template <class Calls>
std::vector<const RecordedCall*> Filter(const Calls& calls, const std::string& op) {
    std::vector<const RecordedCall*> out;
    for (const auto& c : calls)
        if (c.op == op) out.push_back(&c);
    return out;
}

size_t TokenCount(const DWORD* tokens, DWORD end) {
    size_t n = 0;
    while (tokens[n] != end && n < (1u << 20)) ++n;
    return n + 1;
}

} // namespace

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

// ---------------------------------------------------------------- texture
RecordingTexture::RecordingTexture(UINT width, UINT height, UINT levels, DWORD usage_, D3DFORMAT format_,
                                   D3DPOOL pool_)
    : format(format_), usage(usage_), pool(pool_) {
    UINT bpp = std::max<UINT>(BytesPerPixel(format_), 1);
    UINT w = std::max<UINT>(width, 1), h = std::max<UINT>(height, 1);
    for (UINT i = 0; levels == 0 || i < levels; ++i) {
        Level l{w, h, static_cast<INT>(w * bpp), {}};
        l.bits.assign(static_cast<size_t>(l.pitch) * h, 0);
        levels_.push_back(std::move(l));
        if (w == 1 && h == 1) break;
        w = std::max<UINT>(w / 2, 1);
        h = std::max<UINT>(h / 2, 1);
    }
}

HRESULT RecordingTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
    desc->Format = format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage;
    desc->Pool = pool;
    desc->Size = static_cast<UINT>(levels_[level].bits.size());
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = levels_[level].width;
    desc->Height = levels_[level].height;
    return D3D_OK;
}

HRESULT RecordingTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
    if (!locked || level >= levels_.size()) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    if (l.locked) return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > LONG(l.width) || rect->bottom > LONG(l.height) ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        UINT bpp = std::max<UINT>(BytesPerPixel(format), 1);
        offset = static_cast<size_t>(rect->top) * l.pitch + static_cast<size_t>(rect->left) * bpp;
    }
    l.locked = true;
    ++lockCount;
    locked->Pitch = l.pitch;
    locked->pBits = l.bits.data() + offset;
    return D3D_OK;
}

HRESULT RecordingTexture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    ++unlockCount;
    return D3D_OK;
}

uint32_t RecordingTexture::Texel(UINT x, UINT y) const {
    const Level& l = levels_[0];
    if (x >= l.width || y >= l.height || BytesPerPixel(format) != 4) return 0;
    uint32_t v;
    std::memcpy(&v, l.bits.data() + static_cast<size_t>(y) * l.pitch + x * 4, 4);
    return v;
}

// ---------------------------------------------------------------- device
RecordingDevice::RecordingDevice(RecordingDirect3D8* adapter, D3DDEVTYPE type_, DWORD behaviour_,
                                 const D3DPRESENT_PARAMETERS& params_)
    : type(type_), behaviour(behaviour_), params(params_), adapter_(adapter), renderStates_(DefaultRenderStates()) {
    for (DWORD s = 0; s < D3DMAXTEXTURESTAGES; ++s) stageStates_.push_back(DefaultStageStates(s));
    viewport.Width = params.BackBufferWidth;
    viewport.Height = params.BackBufferHeight;
}

RecordingDevice::~RecordingDevice() = default;

// Calls are recorded into entries kept from earlier frames, so a device
// that is cleared every frame stops allocating once it has seen a frame.
// Draws are kept apart from the other calls: only they copy vertices, so
// their entries are reused by draws only and no other call holds that room.
static bool IsDraw(const std::string& op) { return op.compare(0, 4, "Draw") == 0; }

RecordedCall& RecordingDevice::NewCall(const char* op) {
    std::vector<RecordedCall>& spare = std::strncmp(op, "Draw", 4) == 0 ? spareDraws_ : spare_;
    if (spare.empty()) {
        calls.emplace_back();
    } else {
        calls.push_back(std::move(spare.back()));
        spare.pop_back();
    }
    RecordedCall& c = calls.back();
    c.op.assign(op);
    c.args.clear();
    c.floats.clear();
    c.data.clear();
    c.texture.reset();
    return c;
}

// A draw's copy of its vertices. The entry may come from a larger draw of
// an earlier frame whose calls ran in another order; keeping that room
// would let the entries grow to the largest draws they ever held, so it is
// given back when it is well over what this draw needs. A frame that
// repeats the last one finds each entry the right size and allocates
// nothing.
void RecordingDevice::KeepVertices(RecordedCall& c, const uint8_t* bytes, size_t size) {
    c.data.assign(bytes, bytes + size);
    if (c.data.capacity() > size + size / 4 + 64) c.data.shrink_to_fit();
}

RecordedCall& RecordingDevice::Record(const char* op, std::initializer_list<DWORD> args,
                                      std::initializer_list<float> floats) {
    RecordedCall& c = NewCall(op);
    c.args.assign(args.begin(), args.end());
    c.floats.assign(floats.begin(), floats.end());
    return c;
}

RecordedCall& RecordingDevice::Record(const char* op, std::initializer_list<DWORD> args, const float* floats,
                                      size_t count) {
    RecordedCall& c = NewCall(op);
    c.args.assign(args.begin(), args.end());
    c.floats.assign(floats, floats + count);
    return c;
}

void RecordingDevice::ClearCalls() {
    // Last call first, so that the next frame's n-th call reuses this
    // frame's n-th entry, already the right size when frames repeat.
    for (auto c = calls.rbegin(); c != calls.rend(); ++c) {
        c->texture.reset();
        (IsDraw(c->op) ? spareDraws_ : spare_).push_back(std::move(*c));
    }
    calls.clear();
}

std::vector<const RecordedCall*> RecordingDevice::Calls(const std::string& op) const { return Filter(calls, op); }

size_t RecordingDevice::Count(const std::string& op) const {
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const RecordedCall& c) { return c.op == op; }));
}

DWORD RecordingDevice::RenderState(D3DRENDERSTATETYPE state) const {
    return state < renderStates_.size() ? renderStates_[state] : 0;
}

DWORD RecordingDevice::StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t) const {
    return stage < stageStates_.size() && t < D3DTSS_COUNT ? stageStates_[stage][t] : 0;
}

D3DMATRIX RecordingDevice::Transform(D3DTRANSFORMSTATETYPE state) const {
    auto it = transforms_.find(state);
    return it == transforms_.end() ? Identity() : it->second;
}

std::shared_ptr<IDirect3DTexture8> RecordingDevice::TextureAt(DWORD stage) const {
    return stage < D3DMAXTEXTURESTAGES ? stageTextures_[stage] : nullptr;
}

size_t RecordingDevice::LiveTextures() const {
    return static_cast<size_t>(std::count_if(madeTextures_.begin(), madeTextures_.end(),
                                             [](const auto& w) { return !w.expired(); }));
}

HRESULT RecordingDevice::TestCooperativeLevel() {
    HRESULT hr = D3D_OK;
    if (adapter_ && !adapter_->script.cooperativeLevel.empty()) {
        hr = adapter_->script.cooperativeLevel.front();
        adapter_->script.cooperativeLevel.pop_front();
    }
    Record("TestCooperativeLevel", {static_cast<DWORD>(hr)});
    return hr;
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* p) {
    HRESULT hr = D3D_OK;
    if (!p) hr = D3DERR_INVALIDCALL;
    if (hr == D3D_OK && adapter_ && !adapter_->script.resetResults.empty()) {
        hr = adapter_->script.resetResults.front();
        adapter_->script.resetResults.pop_front();
    }
    Record("Reset", {p ? p->BackBufferWidth : 0, p ? p->BackBufferHeight : 0, static_cast<DWORD>(hr)});
    if (SUCCEEDED(hr)) {
        params = *p;
        // A reset returns the device to its defaults, as on Direct3D.
        renderStates_ = DefaultRenderStates();
        for (DWORD s = 0; s < D3DMAXTEXTURESTAGES; ++s) stageStates_[s] = DefaultStageStates(s);
        transforms_.clear();
        for (auto& t : stageTextures_) t.reset();
        stream0_.reset();
        indices_.reset();
        viewport = D3DVIEWPORT8{0, 0, params.BackBufferWidth, params.BackBufferHeight, 0, 1};
        inScene = false;
    }
    return hr;
}

HRESULT RecordingDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = adapter_ ? adapter_->script.caps : D3DCAPS8{};
    caps->DeviceType = type;
    return D3D_OK;
}

HRESULT RecordingDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return D3DERR_INVALIDCALL;
    if (params.Windowed && adapter_) {
        *mode = adapter_->script.desktop;
    } else {
        *mode = D3DDISPLAYMODE{params.BackBufferWidth, params.BackBufferHeight, 60, params.BackBufferFormat};
    }
    return D3D_OK;
}

BOOL RecordingDevice::ShowCursor(BOOL show) {
    BOOL was = cursorShown;
    cursorShown = show != 0;
    Record("ShowCursor", {static_cast<DWORD>(show)});
    return was;
}

void RecordingDevice::SetGammaRamp(DWORD flags, const D3DGAMMARAMP*) { Record("SetGammaRamp", {flags}); }

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                               DWORD stencil) {
    if (count > 0 && !rects) return D3DERR_INVALIDCALL;
    Record("Clear", {count, flags, color, stencil}, {z});
    return D3D_OK;
}

HRESULT RecordingDevice::BeginScene() {
    Record("BeginScene");
    if (inScene) return D3DERR_INVALIDCALL;
    inScene = true;
    return D3D_OK;
}

HRESULT RecordingDevice::EndScene() {
    Record("EndScene");
    if (!inScene) return D3DERR_INVALIDCALL;
    inScene = false;
    return D3D_OK;
}

HRESULT RecordingDevice::Present(const RECT* source, const RECT* dest, SDL_Window*, const void*) {
    Record("Present", {source ? 1u : 0u, dest ? 1u : 0u});
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Record("SetRenderState", {state, value});
    if (state >= renderStates_.size()) return D3DERR_INVALIDCALL;
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= renderStates_.size()) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t, DWORD value) {
    Record("SetTextureStageState", {stage, t, value});
    if (stage >= D3DMAXTEXTURESTAGES || t >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    stageStates_[stage][t] = value;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t, DWORD* value) {
    if (!value || stage >= D3DMAXTEXTURESTAGES || t >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    *value = stageStates_[stage][t];
    return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    Record("SetTransform", {state}, &matrix->m[0][0], 16);
    transforms_[state] = *matrix;
    return D3D_OK;
}

HRESULT RecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    *matrix = Transform(state);
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT8* v) {
    if (!v) return D3DERR_INVALIDCALL;
    Record("SetViewport", {v->X, v->Y, v->Width, v->Height}, {v->MinZ, v->MaxZ});
    viewport = *v;
    return D3D_OK;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT8* v) {
    if (!v) return D3DERR_INVALIDCALL;
    *v = viewport;
    return D3D_OK;
}

HRESULT RecordingDevice::SetMaterial(const D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    Record("SetMaterial", {},
           {m->Diffuse.r, m->Diffuse.g, m->Diffuse.b, m->Diffuse.a, m->Ambient.r, m->Ambient.g, m->Ambient.b,
            m->Ambient.a, m->Specular.r, m->Specular.g, m->Specular.b, m->Specular.a, m->Emissive.r, m->Emissive.g,
            m->Emissive.b, m->Emissive.a, m->Power});
    material = *m;
    return D3D_OK;
}

HRESULT RecordingDevice::GetMaterial(D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    *m = material;
    return D3D_OK;
}

HRESULT RecordingDevice::SetLight(DWORD index, const D3DLIGHT8* l) {
    if (!l) return D3DERR_INVALIDCALL;
    Record("SetLight", {index, l->Type},
           {l->Diffuse.r, l->Diffuse.g, l->Diffuse.b, l->Position.x, l->Position.y, l->Position.z, l->Direction.x,
            l->Direction.y, l->Direction.z, l->Range});
    lights[index] = *l;
    return D3D_OK;
}

HRESULT RecordingDevice::GetLight(DWORD index, D3DLIGHT8* l) {
    auto it = lights.find(index);
    if (!l || it == lights.end()) return D3DERR_INVALIDCALL;
    *l = it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
    Record("LightEnable", {index, static_cast<DWORD>(enable)});
    if (!lights.count(index)) lights[index] = D3DLIGHT8{};
    lightEnabled[index] = enable;
    return D3D_OK;
}

HRESULT RecordingDevice::GetLightEnable(DWORD index, BOOL* enable) {
    auto it = lightEnabled.find(index);
    if (!enable || it == lightEnabled.end()) return D3DERR_INVALIDCALL;
    *enable = it->second;
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) {
    RecordedCall& c = Record("SetTexture", {stage, texture ? 1u : 0u});
    c.texture = texture;
    if (stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
    stageTextures_[stage] = texture;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, std::shared_ptr<IDirect3DTexture8>& texture) {
    HRESULT hr = adapter_ ? adapter_->script.createTextureResult : D3D_OK;
    if (SUCCEEDED(hr) && (width == 0 || height == 0 || width > 16384 || height > 16384 || BytesPerPixel(format) == 0))
        hr = D3DERR_INVALIDCALL;
    Record("CreateTexture", {width, height, levels, usage, format, pool, static_cast<DWORD>(hr)});
    if (FAILED(hr)) return hr;
    auto t = std::make_shared<RecordingTexture>(width, height, levels, usage, format, pool);
    madeTextures_.push_back(t);
    texture = t;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            std::shared_ptr<IDirect3DVertexBuffer8>& buffer) {
    Record("CreateVertexBuffer", {length, usage, fvf, pool});
    if (length == 0) return D3DERR_INVALIDCALL;
    buffer = std::make_shared<RecordingVertexBuffer>(length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           std::shared_ptr<IDirect3DIndexBuffer8>& buffer) {
    Record("CreateIndexBuffer", {length, usage, format, pool});
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    buffer = std::make_shared<RecordingIndexBuffer>(length, usage, format, pool);
    return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer,
                                         UINT stride) {
    Record("SetStreamSource", {stream, buffer ? 1u : 0u, stride});
    if (stream != 0) return stream < 16 ? D3D_OK : D3DERR_INVALIDCALL;
    stream0_ = buffer;
    stride0_ = stride;
    return D3D_OK;
}

HRESULT RecordingDevice::SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) {
    Record("SetIndices", {buffer ? 1u : 0u, baseVertexIndex});
    indices_ = buffer;
    baseVertex_ = baseVertexIndex;
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle) {
    Record("SetVertexShader", {handle});
    vertexShader = handle;
    return D3D_OK;
}

HRESULT RecordingDevice::GetVertexShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = vertexShader;
    return D3D_OK;
}

UINT RecordingDevice::VertexCount(D3DPRIMITIVETYPE t, UINT n) {
    switch (t) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return 2 * n;
    case D3DPT_LINESTRIP: return n + 1;
    case D3DPT_TRIANGLELIST: return 3 * n;
    case D3DPT_TRIANGLESTRIP: case D3DPT_TRIANGLEFAN: return n + 2;
    }
    return 0;
}

void RecordingDevice::RecordDraw(RecordedCall& call) {
    call.texture = stageTextures_[0];
    auto it = transforms_.find(D3DTS_WORLD);
    MatrixFloats(it == transforms_.end() ? Identity() : it->second, call.floats);
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE t, UINT startVertex, UINT primitiveCount) {
    RecordedCall& c = Record("DrawPrimitive", {t, startVertex, primitiveCount});
    RecordDraw(c);
    if (!stream0_ || stride0_ == 0) return D3DERR_INVALIDCALL;
    auto* vb = static_cast<RecordingVertexBuffer*>(stream0_.get());
    size_t begin = static_cast<size_t>(startVertex) * stride0_;
    size_t size = static_cast<size_t>(VertexCount(t, primitiveCount)) * stride0_;
    if (begin + size > vb->mem.bytes.size()) return D3DERR_INVALIDCALL;
    KeepVertices(c, vb->mem.bytes.data() + begin, size);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE t, UINT minIndex, UINT numVertices, UINT startIndex,
                                              UINT primitiveCount) {
    RecordedCall& c = Record("DrawIndexedPrimitive", {t, minIndex, numVertices, startIndex, primitiveCount});
    RecordDraw(c);
    if (!stream0_ || !indices_ || stride0_ == 0) return D3DERR_INVALIDCALL;
    auto* vb = static_cast<RecordingVertexBuffer*>(stream0_.get());
    size_t begin = static_cast<size_t>(baseVertex_ + minIndex) * stride0_;
    size_t size = static_cast<size_t>(numVertices) * stride0_;
    if (begin + size > vb->mem.bytes.size()) return D3DERR_INVALIDCALL;
    KeepVertices(c, vb->mem.bytes.data() + begin, size);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE t, UINT primitiveCount, const void* vertexData,
                                         UINT stride) {
    RecordedCall& c = Record("DrawPrimitiveUP", {t, primitiveCount, stride});
    RecordDraw(c);
    if (!vertexData || stride == 0) return D3DERR_INVALIDCALL;
    const auto* p = static_cast<const uint8_t*>(vertexData);
    KeepVertices(c, p, static_cast<size_t>(VertexCount(t, primitiveCount)) * stride);
    // Direct3D forgets stream 0 after a user-pointer draw.
    stream0_.reset();
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE t, UINT minIndex, UINT numVertices,
                                                UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                                const void* vertexData, UINT stride) {
    RecordedCall& c = Record("DrawIndexedPrimitiveUP", {t, minIndex, numVertices, primitiveCount, indexFormat, stride});
    RecordDraw(c);
    if (!vertexData || !indexData || stride == 0) return D3DERR_INVALIDCALL;
    const auto* p = static_cast<const uint8_t*>(vertexData);
    KeepVertices(c, p + static_cast<size_t>(minIndex) * stride, static_cast<size_t>(numVertices) * stride);
    stream0_.reset();
    indices_.reset();
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                                            DWORD usage) {
    bool works = !adapter_ || adapter_->script.vertexShadersWork;
    Record("CreateVertexShader", {function ? 1u : 0u, usage, works ? 1u : 0u});
    if (!declaration || !handle) return D3DERR_INVALIDCALL;
    if (!works) return D3DERR_INVALIDCALL;
    // Handles have bit 0 set so they never look like a vertex format.
    DWORD h = (nextVertexShader_++ << 1) | 1u;
    std::vector<DWORD> tokens;
    if (function) tokens.assign(function, function + TokenCount(function, 0x0000FFFFu));
    vertexShaders[h] = std::move(tokens);
    *handle = h;
    return D3D_OK;
}

HRESULT RecordingDevice::DeleteVertexShader(DWORD handle) {
    Record("DeleteVertexShader", {handle});
    return vertexShaders.erase(handle) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) {
    if (!data) return D3DERR_INVALIDCALL;
    const float* f = static_cast<const float*>(data);
    Record("SetVertexShaderConstant", {reg, count}, f, 4 * static_cast<size_t>(count));
    for (DWORD i = 0; i < count; ++i) vertexConstants[reg + i].assign(f + 4 * i, f + 4 * i + 4);
    return D3D_OK;
}

HRESULT RecordingDevice::CreatePixelShader(const DWORD* function, DWORD* handle) {
    bool works = !adapter_ || adapter_->script.pixelShadersWork;
    Record("CreatePixelShader", {works ? 1u : 0u});
    if (!function || !handle) return D3DERR_INVALIDCALL;
    if (!works) return D3DERR_INVALIDCALL;
    DWORD h = nextPixelShader_++;
    pixelShaders[h].assign(function, function + TokenCount(function, 0x0000FFFFu));
    *handle = h;
    return D3D_OK;
}

HRESULT RecordingDevice::SetPixelShader(DWORD handle) {
    Record("SetPixelShader", {handle});
    if (handle != 0 && !pixelShaders.count(handle)) return D3DERR_INVALIDCALL;
    pixelShader = handle;
    return D3D_OK;
}

HRESULT RecordingDevice::GetPixelShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = pixelShader;
    return D3D_OK;
}

HRESULT RecordingDevice::DeletePixelShader(DWORD handle) {
    Record("DeletePixelShader", {handle});
    if (pixelShader == handle) pixelShader = 0;
    return pixelShaders.erase(handle) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) {
    if (!data) return D3DERR_INVALIDCALL;
    const float* f = static_cast<const float*>(data);
    Record("SetPixelShaderConstant", {reg, count}, f, 4 * static_cast<size_t>(count));
    for (DWORD i = 0; i < count; ++i) pixelConstants[reg + i].assign(f + 4 * i, f + 4 * i + 4);
    return D3D_OK;
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
