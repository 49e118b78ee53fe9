// The recording Direct3D 8 device: the calls it records, what it reports,
// and the frame. The adapter and script are in RecordingAdapter.cpp, state in
// RecordingState.cpp, resources in RecordingResources.cpp, draws in
// RecordingDraw.cpp.
#include "platform/d3d/Recording.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d/RecordingInternal.h"

namespace rdv {

namespace {

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

} // namespace

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

D3DMATRIX Identity() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
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

RecordedCall& RecordingDevice::NewCall(const char* op) {
    RecordedCall& c = calls.Add();
    c.op.assign(op);
    return c;
}

RecordedCall& RecordedCalls::Add() {
    if (count_ == pool_.size()) pool_.emplace_back();
    RecordedCall& c = pool_[count_++];
    c.args.clear();
    c.floats.clear();
    c.data.Clear();
    c.texture.reset();
    return c;
}

void RecordedCalls::HoldTexture(RecordedCall& c, const std::shared_ptr<IDirect3DTexture8>& texture) {
    if (!c.texture && texture) holding_.push_back(static_cast<size_t>(&c - pool_.data()));
    c.texture = texture;
}

void RecordedCalls::clear() {
    // Only the entries that hold a texture are touched: a frame's calls run
    // to tens of thousands.
    for (size_t i : holding_) pool_[i].texture.reset();
    holding_.clear();
    count_ = 0;
}

// A draw's copy of its vertices. The entry may come from a larger draw of
// an earlier frame whose calls ran in another order; keeping that room
// would let the entries grow to the largest draws they ever held, so it is
// given back when it is well over what this draw needs. A frame that
// repeats the last one finds each entry the right size and allocates
// nothing.
void RecordingDevice::KeepVertices(RecordedCall& c, const uint8_t* bytes, size_t size) { c.data.Copy(bytes, size); }

void RecordingDevice::KeepVertices(RecordedCall& c, RecordingVertexBuffer& buffer, size_t offset, size_t size) {
    c.data.Share(buffer.mem.Snapshot(), offset, size);
}

void RecordedBytes::Clear() {
    shared_.reset();
    offset_ = size_ = 0;
}

void RecordedBytes::Copy(const uint8_t* bytes, size_t size) {
    shared_.reset();
    own_.assign(bytes, bytes + size);
    if (own_.capacity() > size + size / 4 + 64) own_.shrink_to_fit();
    offset_ = 0;
    size_ = size;
}

void RecordedBytes::Share(std::shared_ptr<const std::vector<uint8_t>> whole, size_t offset, size_t size) {
    shared_ = std::move(whole);
    offset_ = offset;
    size_ = size;
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

void RecordingDevice::ClearCalls() { calls.clear(); }

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

} // namespace rdv
