// The resources of the recording device: textures, vertex and index
// buffers and the stages and streams they are set on, and shader objects.
#include "platform/d3d/Recording.h"

#include <cstring>

#include "platform/d3d/RecordingInternal.h"

namespace rdv {

namespace {

size_t TokenCount(const DWORD* tokens, DWORD end) {
    size_t n = 0;
    while (tokens[n] != end && n < (1u << 20)) ++n;
    return n + 1;
}

} // namespace

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

HRESULT RecordingDevice::SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) {
    RecordedCall& c = Record("SetTexture", {stage, texture ? 1u : 0u});
    calls.HoldTexture(c, texture);
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

} // namespace rdv
