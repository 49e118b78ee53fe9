#pragma once
// A device in front of a device that drops state changes which change
// nothing: a render state, stage state, transform, material, light, texture,
// vertex format, stream, viewport or pixel shader set to what it already
// is. The engine sets the whole state of every draw, most of it unchanged
// from the draw before; the device behind sees only real changes.
//
// The cache knows only what went through it: a successful call is
// remembered, a failed one is not, and a Reset (which returns the device to
// its defaults) forgets everything.
#include <array>
#include <bitset>
#include <memory>

#include "platform/d3d/D3D8.h"

namespace rdv {

class StateCacheDevice final : public IDirect3DDevice8 {
public:
    explicit StateCacheDevice(std::shared_ptr<IDirect3DDevice8> inner);

    IDirect3DDevice8* Inner() const { return inner_.get(); }
    // Forget everything, so that the next call of each kind is passed on.
    void Invalidate();

    HRESULT TestCooperativeLevel() override { return inner_->TestCooperativeLevel(); }
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override { return inner_->GetDeviceCaps(caps); }
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override { return inner_->GetDisplayMode(mode); }
    BOOL ShowCursor(BOOL show) override { return inner_->ShowCursor(show); }
    void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) override { inner_->SetGammaRamp(flags, ramp); }

    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
        return inner_->Clear(count, rects, flags, color, z, stencil);
    }
    HRESULT BeginScene() override { return inner_->BeginScene(); }
    HRESULT EndScene() override { return inner_->EndScene(); }
    HRESULT Present(const RECT* source, const RECT* dest, SDL_Window* window, const void* dirty) override {
        return inner_->Present(source, dest, window, dirty);
    }

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override { return inner_->GetRenderState(state, value); }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override {
        return inner_->GetTextureStageState(stage, type, value);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override { return inner_->GetTransform(state, matrix); }
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override { return inner_->GetViewport(viewport); }
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override { return inner_->GetMaterial(material); }
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override { return inner_->GetLight(index, light); }
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override { return inner_->GetLightEnable(index, enable); }

    HRESULT SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          std::shared_ptr<IDirect3DTexture8>& texture) override {
        return inner_->CreateTexture(width, height, levels, usage, format, pool, texture);
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               std::shared_ptr<IDirect3DVertexBuffer8>& buffer) override {
        return inner_->CreateVertexBuffer(length, usage, fvf, pool, buffer);
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              std::shared_ptr<IDirect3DIndexBuffer8>& buffer) override {
        return inner_->CreateIndexBuffer(length, usage, format, pool, buffer);
    }
    HRESULT SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer, UINT stride) override;
    HRESULT SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) override {
        return inner_->SetIndices(buffer, baseVertexIndex);
    }
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override { return inner_->GetVertexShader(handle); }

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override {
        return inner_->DrawPrimitive(type, startVertex, primitiveCount);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override {
        return inner_->DrawIndexedPrimitive(type, minIndex, numVertices, startIndex, primitiveCount);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) override;
    HRESULT DrawPrimitiveInstanced(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                   const D3DMATRIX* worlds, UINT count) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                   UINT stride) override;

    HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle, DWORD usage) override {
        return inner_->CreateVertexShader(declaration, function, handle, usage);
    }
    HRESULT DeleteVertexShader(DWORD handle) override;
    HRESULT SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) override {
        return inner_->SetVertexShaderConstant(reg, data, count);
    }
    HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) override {
        return inner_->CreatePixelShader(function, handle);
    }
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT GetPixelShader(DWORD* handle) override { return inner_->GetPixelShader(handle); }
    HRESULT DeletePixelShader(DWORD handle) override;
    HRESULT SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) override {
        return inner_->SetPixelShaderConstant(reg, data, count);
    }

private:
    static constexpr DWORD kLights = 16;   // light slots remembered; others always pass
    static constexpr DWORD kTransforms = 11;   // view, projection, textures 0-7, world

    static int TransformSlot(D3DTRANSFORMSTATETYPE state);

    std::shared_ptr<IDirect3DDevice8> inner_;
    std::array<DWORD, D3DRS_COUNT> renderStates_{};
    std::bitset<D3DRS_COUNT> renderStateKnown_;
    std::array<std::array<DWORD, D3DTSS_COUNT>, D3DMAXTEXTURESTAGES> stageStates_{};
    std::array<std::bitset<D3DTSS_COUNT>, D3DMAXTEXTURESTAGES> stageStateKnown_;
    std::array<D3DMATRIX, kTransforms> transforms_{};
    std::bitset<kTransforms> transformKnown_;
    D3DMATERIAL8 material_{};
    bool materialKnown_ = false;
    D3DVIEWPORT8 viewport_{};
    bool viewportKnown_ = false;
    std::array<D3DLIGHT8, kLights> lights_{};
    std::bitset<kLights> lightKnown_;
    std::array<BOOL, kLights> lightEnabled_{};
    std::bitset<kLights> lightEnabledKnown_;
    std::array<std::shared_ptr<IDirect3DTexture8>, D3DMAXTEXTURESTAGES> textures_{};
    std::bitset<D3DMAXTEXTURESTAGES> textureKnown_;
    std::shared_ptr<IDirect3DVertexBuffer8> stream0_;
    UINT stride0_ = 0;
    bool streamKnown_ = false;
    DWORD vertexShader_ = 0;
    bool vertexShaderKnown_ = false;
    DWORD pixelShader_ = 0;
    bool pixelShaderKnown_ = false;
};

// The device with a state cache in front of it (null stays null).
std::shared_ptr<IDirect3DDevice8> WithStateCache(std::shared_ptr<IDirect3DDevice8> device);
// The device behind a state cache, or the device itself.
IDirect3DDevice8* WithoutStateCache(IDirect3DDevice8* device);

} // namespace rdv
