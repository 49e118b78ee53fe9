#include "platform/d3d/StateCache.h"

#include <cstring>

namespace rdv {

namespace {
template <class T>
bool Same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}
} // namespace

StateCacheDevice::StateCacheDevice(std::shared_ptr<IDirect3DDevice8> inner) : inner_(std::move(inner)) {}

void StateCacheDevice::Invalidate() {
    renderStateKnown_.reset();
    for (auto& k : stageStateKnown_) k.reset();
    transformKnown_.reset();
    materialKnown_ = viewportKnown_ = streamKnown_ = vertexShaderKnown_ = pixelShaderKnown_ = false;
    lightKnown_.reset();
    lightEnabledKnown_.reset();
    textureKnown_.reset();
    for (auto& t : textures_) t.reset();
    stream0_.reset();
}

HRESULT StateCacheDevice::Reset(D3DPRESENT_PARAMETERS* params) {
    // Whether or not it went through, the device's state is no longer what
    // was set through here.
    Invalidate();
    return inner_->Reset(params);
}

HRESULT StateCacheDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state < D3DRS_COUNT && renderStateKnown_[state] && renderStates_[state] == value) return D3D_OK;
    const HRESULT hr = inner_->SetRenderState(state, value);
    if (state < D3DRS_COUNT) {
        renderStateKnown_[state] = SUCCEEDED(hr);
        renderStates_[state] = value;
    }
    return hr;
}

HRESULT StateCacheDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    const bool cached = stage < D3DMAXTEXTURESTAGES && type < D3DTSS_COUNT;
    if (cached && stageStateKnown_[stage][type] && stageStates_[stage][type] == value) return D3D_OK;
    const HRESULT hr = inner_->SetTextureStageState(stage, type, value);
    if (cached) {
        stageStateKnown_[stage][type] = SUCCEEDED(hr);
        stageStates_[stage][type] = value;
    }
    return hr;
}

int StateCacheDevice::TransformSlot(D3DTRANSFORMSTATETYPE state) {
    const uint32_t s = state;
    if (s == D3DTS_VIEW) return 0;
    if (s == D3DTS_PROJECTION) return 1;
    if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) return 2 + static_cast<int>(s - D3DTS_TEXTURE0);
    if (s == D3DTS_WORLD) return 10;
    return -1;
}

HRESULT StateCacheDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const int slot = matrix ? TransformSlot(state) : -1;
    if (slot >= 0 && transformKnown_[slot] && Same(transforms_[slot], *matrix)) return D3D_OK;
    const HRESULT hr = inner_->SetTransform(state, matrix);
    if (slot >= 0) {
        transformKnown_[slot] = SUCCEEDED(hr);
        transforms_[slot] = *matrix;
    }
    return hr;
}

HRESULT StateCacheDevice::SetViewport(const D3DVIEWPORT8* viewport) {
    if (viewport && viewportKnown_ && Same(viewport_, *viewport)) return D3D_OK;
    const HRESULT hr = inner_->SetViewport(viewport);
    viewportKnown_ = viewport && SUCCEEDED(hr);
    if (viewportKnown_) viewport_ = *viewport;
    return hr;
}

HRESULT StateCacheDevice::SetMaterial(const D3DMATERIAL8* material) {
    if (material && materialKnown_ && Same(material_, *material)) return D3D_OK;
    const HRESULT hr = inner_->SetMaterial(material);
    materialKnown_ = material && SUCCEEDED(hr);
    if (materialKnown_) material_ = *material;
    return hr;
}

HRESULT StateCacheDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    const bool cached = light && index < kLights;
    if (cached && lightKnown_[index] && Same(lights_[index], *light)) return D3D_OK;
    const HRESULT hr = inner_->SetLight(index, light);
    if (index < kLights) {
        lightKnown_[index] = cached && SUCCEEDED(hr);
        if (cached) lights_[index] = *light;
    }
    return hr;
}

HRESULT StateCacheDevice::LightEnable(DWORD index, BOOL enable) {
    if (index < kLights && lightEnabledKnown_[index] && lightEnabled_[index] == enable) return D3D_OK;
    const HRESULT hr = inner_->LightEnable(index, enable);
    if (index < kLights) {
        lightEnabledKnown_[index] = SUCCEEDED(hr);
        lightEnabled_[index] = enable;
    }
    return hr;
}

HRESULT StateCacheDevice::SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) {
    if (stage < D3DMAXTEXTURESTAGES && textureKnown_[stage] && textures_[stage] == texture) return D3D_OK;
    const HRESULT hr = inner_->SetTexture(stage, texture);
    if (stage < D3DMAXTEXTURESTAGES) {
        textureKnown_[stage] = SUCCEEDED(hr);
        textures_[stage] = SUCCEEDED(hr) ? texture : nullptr;
    }
    return hr;
}

HRESULT StateCacheDevice::SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer,
                                          UINT stride) {
    if (stream == 0 && streamKnown_ && stream0_ == buffer && stride0_ == stride) return D3D_OK;
    const HRESULT hr = inner_->SetStreamSource(stream, buffer, stride);
    if (stream == 0) {
        streamKnown_ = SUCCEEDED(hr);
        stream0_ = streamKnown_ ? buffer : nullptr;
        stride0_ = stride;
    }
    return hr;
}

HRESULT StateCacheDevice::SetVertexShader(DWORD handle) {
    if (vertexShaderKnown_ && vertexShader_ == handle) return D3D_OK;
    const HRESULT hr = inner_->SetVertexShader(handle);
    vertexShaderKnown_ = SUCCEEDED(hr);
    vertexShader_ = handle;
    return hr;
}

HRESULT StateCacheDevice::DeleteVertexShader(DWORD handle) {
    if (vertexShader_ == handle) vertexShaderKnown_ = false;
    return inner_->DeleteVertexShader(handle);
}

HRESULT StateCacheDevice::SetPixelShader(DWORD handle) {
    if (pixelShaderKnown_ && pixelShader_ == handle) return D3D_OK;
    const HRESULT hr = inner_->SetPixelShader(handle);
    pixelShaderKnown_ = SUCCEEDED(hr);
    pixelShader_ = handle;
    return hr;
}

HRESULT StateCacheDevice::DeletePixelShader(DWORD handle) {
    if (pixelShader_ == handle) pixelShaderKnown_ = false;
    return inner_->DeletePixelShader(handle);
}

HRESULT StateCacheDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                          UINT stride) {
    // A draw from user memory unbinds stream 0.
    streamKnown_ = false;
    stream0_.reset();
    return inner_->DrawPrimitiveUP(type, primitiveCount, vertexData, stride);
}

HRESULT StateCacheDevice::DrawPrimitiveInstanced(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                                 const D3DMATRIX* worlds, UINT count) {
    const HRESULT hr = inner_->DrawPrimitiveInstanced(type, startVertex, primitiveCount, worlds, count);
    // The draw leaves the last world on the device; after a failure the
    // world there is not known.
    const int slot = TransformSlot(D3DTS_WORLD);
    transformKnown_[slot] = SUCCEEDED(hr) && worlds && count > 0;
    if (transformKnown_[slot]) transforms_[slot] = worlds[count - 1];
    return hr;
}

HRESULT StateCacheDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                                 UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                                 const void* vertexData, UINT stride) {
    streamKnown_ = false;
    stream0_.reset();
    return inner_->DrawIndexedPrimitiveUP(type, minIndex, numVertices, primitiveCount, indexData, indexFormat,
                                          vertexData, stride);
}

std::shared_ptr<IDirect3DDevice8> WithStateCache(std::shared_ptr<IDirect3DDevice8> device) {
    if (!device) return device;
    return std::make_shared<StateCacheDevice>(std::move(device));
}

IDirect3DDevice8* WithoutStateCache(IDirect3DDevice8* device) {
    auto* cache = dynamic_cast<StateCacheDevice*>(device);
    return cache ? cache->Inner() : device;
}

} // namespace rdv
