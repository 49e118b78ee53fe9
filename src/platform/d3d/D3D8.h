#pragma once
// The Direct3D 8 interface the engine draws through: Direct3D 8's own names
// and numeric values for results, formats, states and capability bits (in
// D3D8Types.h), and abstract adapter, device, texture and buffer classes.
// Two devices implement it: the OpenGL device (GLDevice.h) and the recording
// device used by tests.
//
// Differences from COM Direct3D 8: objects are owned by std::shared_ptr (no
// AddRef/Release; out-parameters are std::shared_ptr<T>&), window handles are
// SDL_Window*, and float render states are passed bit-cast with FtoDW.
#include <memory>

#include "platform/d3d/D3D8Types.h"

namespace rdv {

// ---------------------------------------------------------------- objects
// A 2-D texture with mip levels. Lockable formats: A8R8G8B8, X8R8G8B8,
// R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4 (bytes in memory as Direct3D lays them out).
class IDirect3DTexture8 {
public:
    virtual ~IDirect3DTexture8() = default;
    virtual DWORD GetLevelCount() = 0;
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // rect null: the whole level.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer8 {
public:
    virtual ~IDirect3DVertexBuffer8() = default;
    // size 0 locks from offset to the end.
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer8 {
public:
    virtual ~IDirect3DIndexBuffer8() = default;
    virtual HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

class IDirect3DDevice8 {
public:
    virtual ~IDirect3DDevice8() = default;

    // D3D_OK, D3DERR_DEVICELOST, or D3DERR_DEVICENOTRESET.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    virtual BOOL ShowCursor(BOOL show) = 0;
    virtual void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) = 0;

    // rects null (count 0): the whole viewport.
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // All null: the whole back buffer to the device window.
    virtual HRESULT Present(const RECT* source, const RECT* dest, SDL_Window* destWindow, const void* dirtyRegion) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL8* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL8* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT8* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT8* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;

    // texture null: no texture on that stage.
    virtual HRESULT SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) = 0;
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, std::shared_ptr<IDirect3DTexture8>& texture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       std::shared_ptr<IDirect3DVertexBuffer8>& buffer) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      std::shared_ptr<IDirect3DIndexBuffer8>& buffer) = 0;
    virtual HRESULT SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer, UINT stride) = 0;
    virtual HRESULT SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) = 0;

    // handle: a vertex format (FVF bits, bit 0 clear) or a handle from
    // CreateVertexShader (bit 0 set).
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;

    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                    UINT stride) = 0;
    // Not in Direct3D 8: the primitives of stream 0 drawn once for each of
    // `count` world matrices, in order. The picture is that of
    // SetTransform(D3DTS_WORLD, &worlds[i]) and DrawPrimitive for each i in
    // turn, and the world transform is worlds[count - 1] afterwards. A level
    // draws thousands of faces of one model this way in one call.
    virtual HRESULT DrawPrimitiveInstanced(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                           const D3DMATRIX* worlds, UINT count) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                           const void* vertexData, UINT stride) = 0;

    // declaration: D3DVSD_ tokens ending in D3DVSD_END(); function: vs token
    // words (null: fixed-function processing of the declared inputs).
    virtual HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                                       DWORD usage) = 0;
    virtual HRESULT DeleteVertexShader(DWORD handle) = 0;
    virtual HRESULT SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) = 0;
    // function: ps.1.x token words ending in the end token 0x0000FFFF.
    virtual HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) = 0;
    virtual HRESULT SetPixelShader(DWORD handle) = 0;   // 0: none
    virtual HRESULT GetPixelShader(DWORD* handle) = 0;
    virtual HRESULT DeletePixelShader(DWORD handle) = 0;
    virtual HRESULT SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) = 0;
};

class IDirect3D8 {
public:
    virtual ~IDirect3D8() = default;
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                               BOOL windowed, D3DMULTISAMPLE_TYPE multiSampleType) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window* focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, std::shared_ptr<IDirect3DDevice8>& device) = 0;
};

} // namespace rdv
