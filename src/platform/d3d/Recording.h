#pragma once
// The recording Direct3D 8 device: no window and no drawing. Every call is
// recorded with its arguments for tests to inspect, and the adapter answers
// from a script (modes, desktop, which formats, depth formats and
// multisample counts pass, capabilities, failing creations, lost and
// not-reset answers). Textures and buffers hold real memory, so loaders
// that lock and fill them can be tested.
//
//   auto adapter = std::make_shared<RecordingDirect3D8>();
//   adapter->script.createResults = {D3DERR_OUTOFVIDEOMEMORY};
//   engine.platform.d3d = adapter;
//   ... InitGraphics(engine) ...
//   RecordingDevice* dev = adapter->LastDevice();
//   EXPECT_EQ(dev->RenderState(D3DRS_CULLMODE), D3DCULL_CCW);
//
// For a whole engine on a recording device see headless/RecordingEngine.h.
#include <deque>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

// What the recording adapter answers.
struct RecordingScript {
    D3DADAPTER_IDENTIFIER8 identifier;   // Description "Recording Adapter", WHQL level 1
    std::vector<D3DDISPLAYMODE> modes;   // in the adapter's order, repeats allowed
    D3DDISPLAYMODE desktop{1024, 768, 60, D3DFMT_X8R8G8B8};

    struct FormatPair {
        D3DFORMAT display, backBuffer;
    };
    // CheckDeviceType passes for these (display, back buffer) pairs, windowed or not.
    std::vector<FormatPair> formatPairs;
    // CheckDepthStencilMatch passes for these, whatever the colour formats.
    std::vector<D3DFORMAT> depthFormats;
    // CheckDeviceMultiSampleType passes for these sample counts.
    std::vector<UINT> multisamples;
    // GetDeviceCaps of adapter and device.
    D3DCAPS8 caps;

    // Each CreateDevice takes the next result (empty: D3D_OK).
    std::deque<HRESULT> createResults;
    // Each TestCooperativeLevel takes the next answer (empty: D3D_OK).
    std::deque<HRESULT> cooperativeLevel;
    // Each Reset takes the next result (empty: D3D_OK).
    std::deque<HRESULT> resetResults;
    // CreateTexture fails with this when set (out of memory and the like).
    HRESULT createTextureResult = D3D_OK;
    // CreatePixelShader / CreateVertexShader fail when false.
    bool pixelShadersWork = true;
    bool vertexShadersWork = true;

    // A well-equipped hardware device: 640x480 to 1600x1200 at 60 and 85 Hz,
    // 32- and 16-bit pairs, D24S8/D24X8/D16, 2 and 4 samples, full caps.
    static RecordingScript Default();
};

// Bytes a recorded draw used: a copy of its own (vertices from the
// caller's memory), or a stretch of a vertex buffer's contents as they were
// at the draw, shared by every draw from the buffer until it is locked
// again, so that a frame of thousands of draws copies each buffer once.
class RecordedBytes {
public:
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* data() const { return shared_ ? shared_->data() + offset_ : own_.data(); }
    const uint8_t& operator[](size_t i) const { return data()[i]; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + size_; }
    void Clear();
    void Copy(const uint8_t* bytes, size_t size);
    void Share(std::shared_ptr<const std::vector<uint8_t>> whole, size_t offset, size_t size);

private:
    std::vector<uint8_t> own_;
    std::shared_ptr<const std::vector<uint8_t>> shared_;
    size_t offset_ = 0, size_ = 0;
};

// One recorded call: its name, its integer arguments (render-state and
// stage numbers, values, counts), float arguments (matrices, colours,
// depths) and, for draws, what was drawn.
struct RecordedCall {
    std::string op;
    std::vector<DWORD> args;
    std::vector<float> floats;
    RecordedBytes data;   // draws: the vertex bytes used
    std::shared_ptr<IDirect3DTexture8> texture;   // SetTexture, and stage 0 at a draw
};

// The calls of a recording device, read like a vector. Clearing keeps the
// entries for the next calls, so a frame that repeats the last one fills
// the same entries again and moves and allocates nothing.
class RecordedCalls {
public:
    const RecordedCall* begin() const { return pool_.data(); }
    const RecordedCall* end() const { return pool_.data() + count_; }
    std::reverse_iterator<const RecordedCall*> rbegin() const { return std::reverse_iterator<const RecordedCall*>(end()); }
    std::reverse_iterator<const RecordedCall*> rend() const { return std::reverse_iterator<const RecordedCall*>(begin()); }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const RecordedCall& operator[](size_t i) const { return pool_[i]; }
    const RecordedCall& back() const { return pool_[count_ - 1]; }
    // The next entry, emptied.
    RecordedCall& Add();
    // Sets the texture of entry `c` (one of these calls).
    void HoldTexture(RecordedCall& c, const std::shared_ptr<IDirect3DTexture8>& texture);
    // Forgets the calls and lets go of the textures they hold; the vertices
    // they kept go when their entries are used again.
    void clear();
    // Forgets the calls and gives back the room of the entries too.
    void Release() {
        pool_ = {};
        holding_ = {};
        count_ = 0;
    }

private:
    std::vector<RecordedCall> pool_;
    size_t count_ = 0;
    std::vector<size_t> holding_;   // entries holding a texture
};

class RecordingTexture final : public IDirect3DTexture8 {
public:
    RecordingTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    // Level memory, rows top first, Pitch bytes a row.
    std::vector<uint8_t>& Bits(UINT level) { return levels_[level].bits; }
    INT Pitch(UINT level) const { return levels_[level].pitch; }
    // The 32-bit texel (x, y) of level 0 of a 32-bit texture.
    uint32_t Texel(UINT x, UINT y) const;
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
    int lockCount = 0, unlockCount = 0;

private:
    struct Level {
        UINT width, height;
        INT pitch;
        std::vector<uint8_t> bits;
        bool locked = false;
    };
    std::vector<Level> levels_;
};

class RecordingBuffer;
class RecordingDirect3D8;
class RecordingVertexBuffer;

class RecordingDevice final : public IDirect3DDevice8 {
public:
    RecordingDevice(RecordingDirect3D8* adapter, D3DDEVTYPE type, DWORD behaviour, const D3DPRESENT_PARAMETERS& params);
    ~RecordingDevice() override;

    // ---- what tests read
    RecordedCalls calls;
    // Calls named op, in order, and how many there were.
    std::vector<const RecordedCall*> Calls(const std::string& op) const;
    size_t Count(const std::string& op) const;
    void ClearCalls();
    // Current state (as last set; defaults as Direct3D's).
    DWORD RenderState(D3DRENDERSTATETYPE state) const;
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) const;
    std::shared_ptr<IDirect3DTexture8> TextureAt(DWORD stage) const;
    // Textures made by this device that are still alive somewhere.
    size_t LiveTextures() const;
    bool inScene = false;
    bool cursorShown = true;
    D3DDEVTYPE type;
    DWORD behaviour;
    D3DPRESENT_PARAMETERS params;
    D3DVIEWPORT8 viewport;
    D3DMATERIAL8 material;
    std::map<DWORD, D3DLIGHT8> lights;
    std::map<DWORD, BOOL> lightEnabled;
    DWORD vertexShader = 0, pixelShader = 0;

    // ---- IDirect3DDevice8
    HRESULT TestCooperativeLevel() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    BOOL ShowCursor(BOOL show) override;
    void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Present(const RECT* source, const RECT* dest, SDL_Window* destWindow, const void* dirtyRegion) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL8* material) override;
    HRESULT GetMaterial(D3DMATERIAL8* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT8* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          std::shared_ptr<IDirect3DTexture8>& texture) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               std::shared_ptr<IDirect3DVertexBuffer8>& buffer) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              std::shared_ptr<IDirect3DIndexBuffer8>& buffer) override;
    HRESULT SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer, UINT stride) override;
    HRESULT SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                 UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) override;
    // Recorded as one call: args type, start, primitives, count; floats the
    // count world matrices, 16 each; data the vertices once.
    HRESULT DrawPrimitiveInstanced(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                   const D3DMATRIX* worlds, UINT count) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                   UINT stride) override;
    HRESULT CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle, DWORD usage) override;
    HRESULT DeleteVertexShader(DWORD handle) override;
    HRESULT SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) override;
    HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) override;
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT GetPixelShader(DWORD* handle) override;
    HRESULT DeletePixelShader(DWORD handle) override;
    HRESULT SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) override;

    // Shader constants as last set (4 floats a register).
    std::map<DWORD, std::vector<float>> vertexConstants, pixelConstants;
    // Live shader handles and their token words.
    std::map<DWORD, std::vector<DWORD>> vertexShaders, pixelShaders;

private:
    RecordedCall& NewCall(const char* op);
    void KeepVertices(RecordedCall& c, const uint8_t* bytes, size_t size);
    void KeepVertices(RecordedCall& c, RecordingVertexBuffer& buffer, size_t offset, size_t size);
    // The vertices a draw of stream 0 uses; refused past the buffer's end.
    HRESULT KeepStreamVertices(RecordedCall& c, D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount);
    RecordedCall& Record(const char* op, std::initializer_list<DWORD> args = {}, std::initializer_list<float> floats = {});
    RecordedCall& Record(const char* op, std::initializer_list<DWORD> args, const float* floats, size_t count);
    void RecordDraw(RecordedCall& call);
    static UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives);

    RecordingDirect3D8* adapter_;
    std::vector<DWORD> renderStates_;
    std::vector<std::vector<DWORD>> stageStates_;
    std::map<DWORD, D3DMATRIX> transforms_;
    std::shared_ptr<IDirect3DTexture8> stageTextures_[D3DMAXTEXTURESTAGES];
    std::shared_ptr<IDirect3DVertexBuffer8> stream0_;
    UINT stride0_ = 0;
    std::shared_ptr<IDirect3DIndexBuffer8> indices_;
    UINT baseVertex_ = 0;
    std::vector<std::weak_ptr<IDirect3DTexture8>> madeTextures_;
    DWORD nextVertexShader_ = 1, nextPixelShader_ = 1;
};

class RecordingDirect3D8 final : public IDirect3D8 {
public:
    RecordingDirect3D8() : script(RecordingScript::Default()) {}
    explicit RecordingDirect3D8(RecordingScript s) : script(std::move(s)) {}

    RecordingScript script;

    // Every adapter call in order ("CheckDeviceType", "CreateDevice", ...).
    std::vector<RecordedCall> calls;
    std::vector<const RecordedCall*> Calls(const std::string& op) const;
    // Every CreateDevice attempt: type, behaviour flags and parameters.
    struct CreateAttempt {
        D3DDEVTYPE type;
        DWORD behaviour;
        D3DPRESENT_PARAMETERS params;
        HRESULT result;
    };
    std::vector<CreateAttempt> createAttempts;
    // The device made last (null before the first success or once released).
    RecordingDevice* LastDevice() const;

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) override;
    UINT GetAdapterModeCount(UINT adapter) override;
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE multiSampleType) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, SDL_Window* focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, std::shared_ptr<IDirect3DDevice8>& device) override;

private:
    friend class RecordingDevice;
    std::weak_ptr<IDirect3DDevice8> last_;
};

} // namespace rdv
