#pragma once
// Classes of the OpenGL Direct3D 8 device, shared by its source files.
#include <SDL.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d/D3D8.h"
#include "platform/d3d/GLFuncs.h"

namespace rdv {

// What a probe context told about the GL driver.
struct GLProbe {
    bool ok = false;
    std::string renderer, vendor, version, error;
    int maxTextureSize = 2048;
    int maxSamples = 0;
    float maxAnisotropy = 1;
    bool mirrorClamp = false;
    bool gamma = false;
};

// The context and entry points a device's resources need; resources keep it
// alive so they can free their GL names only while the context exists.
class GLTexture;

struct GLContextShare {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    GLFuncs gl;
    bool alive = false;
    // What the context has bound, as the device's draw-time cache knows it;
    // textures and buffers that bind or go away keep it true.
    std::array<GLuint, 8> boundTextures{};
    // Counts texture uploads: what a texture holds decides the programs
    // drawing with it (see GLTexture::ConstantTexel).
    uint64_t textureUploads = 0;
    GLuint activeUnit = 0;
    bool attribsValid = false;   // the vertex attribute pointers of the last draw still hold
    GLuint attribBuffer = 0;     // the buffer they read
    // Set once a stage asks for mip levels (a mip filter, or a most detailed
    // level below the first); until then textures keep their lower levels
    // out of GL (see GLTexture::Deepen). `textures` lists the live ones.
    bool mipsWanted = false;
    std::vector<GLTexture*> textures;
    bool MakeCurrent() const {
        if (!alive) return false;
        if (SDL_GL_GetCurrentContext() != context) return SDL_GL_MakeCurrent(window, context) == 0;
        return true;
    }
};

class GLDirect3D8 final : public IDirect3D8 {
public:
    GLDirect3D8();
    ~GLDirect3D8() override;

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

    const GLProbe& Probe() const { return probe_; }
    void FillCaps(D3DDEVTYPE type, D3DCAPS8& caps) const;

private:
    void BuildModes();
    bool videoStarted_ = false;   // this object initialised SDL video and quits it
    GLProbe probe_;
    std::vector<D3DDISPLAYMODE> modes_;
};

// Texture formats the device stores and how GL takes them.
struct GLFormatInfo {
    bool ok = false;
    UINT bytesPerPixel = 0;
    GLint internalFormat = 0;
    GLenum format = 0, type = 0;
};
GLFormatInfo GLTextureFormat(D3DFORMAT format);
bool IsBackBufferFormat(D3DFORMAT format);
bool IsDepthFormat(D3DFORMAT format);

class GLTexture final : public IDirect3DTexture8 {
public:
    GLTexture(std::shared_ptr<GLContextShare> share, UINT width, UINT height, UINT levels, DWORD usage,
              D3DFORMAT format, D3DPOOL pool);
    ~GLTexture() override;
    bool Valid() const { return name_ != 0; }

    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint Name() const { return name_; }
    bool HasMips() const { return levels_.size() > 1; }
    // When every texel of every level is one colour whose channels are each
    // 0 or 1, any filtering samples exactly that colour, so a program can
    // use it as a constant instead of reading the texture: bits 0..3 are
    // red, green, blue and alpha. -1 for any other texture.
    int ConstantTexel() const { return constantTexel_; }

    // A 32-bit texture whose every texel so far is grey (red, green and blue
    // equal) is stored as luminance (with alpha for A8R8G8B8): half or a
    // quarter of the memory, sampled as the same (L, L, L, A). The first
    // coloured texel, or a border colour (which GL reads as luminance too),
    // widens it to the full format.
    bool Narrow() const { return narrow_; }
    void Widen();

    // Draws sample only the first level unless a stage sets a mip filter
    // (or a most detailed level below the first), which this engine's own
    // drawing never does. Until the device is asked for that, GL holds only
    // the first level of a texture and the levels below it are kept
    // deflated on the CPU (a quarter of a mip-mapped texture's memory, most
    // of it for free: the font's lower levels are mostly blank); Deepen
    // moves them into GL, for good.
    bool Deep() const { return deep_; }
    void Deepen();

    // The sampler parameters last given to GL for this texture.
    struct Sampler {
        GLint minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0, baseLevel = 0;
        float border[4] = {0, 0, 0, 0};
        float lodBias = 0, anisotropy = 0;
        bool operator==(const Sampler&) const = default;
    };
    Sampler applied;
    bool samplerApplied = false;
    const std::shared_ptr<GLContextShare>& Share() const { return share_; }

private:
    // The texels live in GL only: a lock reads the level into `staging`
    // (Direct3D's memory layout) and the unlock sends it back and frees it,
    // so a loaded texture costs no second copy on the heap.
    struct Level {
        UINT width = 0, height = 0;
        std::vector<uint8_t> staging;
        bool locked = false;
        bool readOnly = false;
        bool written = false;   // an unlock has sent texels to GL (or to `packed`)
        std::vector<uint8_t> packed;   // deflated texels of a level GL does not hold
        bool packedRaw = false;        // `packed` holds them as they are (deflating failed)
        // Every texel of the level is `texel` (read as 32 bits; for the
        // 32-bit formats only).
        bool uniform = true;
        uint32_t texel = 0;
        size_t Bytes(UINT bytesPerPixel) const { return static_cast<size_t>(width) * height * bytesPerPixel; }
    };
    void Upload(UINT level);
    void ScanLevel(Level& level);
    void FindConstantTexel();
    std::shared_ptr<GLContextShare> share_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    GLFormatInfo info_;
    std::vector<Level> levels_;
    GLuint name_ = 0;
    int constantTexel_ = -1;
    bool narrow_ = false;
    bool grey_ = true;   // the staging bytes of the last level scanned
    bool deep_ = true;   // GL holds every level
    GLsizei StoredLevels() const { return deep_ ? static_cast<GLsizei>(levels_.size()) : 1; }
    bool InGL(UINT level) const { return deep_ || level == 0; }
    GLuint MakeStorage(const GLFormatInfo& info, const std::vector<uint8_t>& zeros);
    // Takes `replacement` as the texture's GL name, the old one deleted.
    void Adopt(GLuint replacement);
    void Pack(Level& level);
    void Unpack(const Level& level, std::vector<uint8_t>& out) const;
    void Bind();
    void ReadBound(UINT level, std::vector<uint8_t>& out) const;
};

// The bytes of a buffer as the draws check them: its size, and for index
// buffers the indices (a vertex buffer's may be held in GL only: no data).
class GLBufferBytes {
public:
    GLBufferBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t size() const { return size_; }
    const uint8_t& operator[](size_t i) const { return data_[i]; }

private:
    const uint8_t* data_;
    size_t size_;
};

// Vertex and index data in a GL buffer object, filled on unlock. Index
// buffers keep a CPU copy (draws check their indices); a vertex buffer
// keeps one only once it is locked a second time (rewritten: a lock then
// costs no read back), so a model's vertices, written once at load, live in
// GL alone and a later lock reads them back.
class GLBufferData {
public:
    GLBufferData(std::shared_ptr<GLContextShare> share, GLenum target, UINT length);
    ~GLBufferData();
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT Unlock();
    GLuint Name() const { return name_; }
    GLBufferBytes Bytes() const { return {bytes_.empty() ? nullptr : bytes_.data(), length_}; }
    // The CPU copy is held (for tests).
    bool HasCopy() const { return !bytes_.empty(); }
    // Changes whenever the contents may have: unique across buffers, so
    // that what is worked out from a buffer's bytes can be kept by it.
    uint64_t Serial() const { return serial_; }
    // Copies bytes [offset, offset + size) from the CPU copy or from GL.
    bool Read(size_t offset, size_t size, uint8_t* out) const;
    const std::shared_ptr<GLContextShare>& Share() const { return share_; }

private:
    std::shared_ptr<GLContextShare> share_;
    GLenum target_;
    size_t length_;
    std::vector<uint8_t> bytes_;   // empty while the data lives in GL only
    unsigned locks_ = 0;
    uint64_t serial_ = 0;
    GLuint name_ = 0;
    bool locked_ = false, readOnly_ = false;
    UINT lockOffset_ = 0, lockSize_ = 0;
};

class GLVertexBuffer final : public IDirect3DVertexBuffer8 {
public:
    GLVertexBuffer(std::shared_ptr<GLContextShare> share, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : data_(std::move(share), GL_ARRAY_BUFFER, length) {
        desc_.Size = length; desc_.Usage = usage; desc_.FVF = fvf; desc_.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override { return data_.Lock(offset, size, data, flags); }
    HRESULT Unlock() override { return data_.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    GLBufferData& Data() { return data_; }

private:
    GLBufferData data_;
    D3DVERTEXBUFFER_DESC desc_;
};

class GLIndexBuffer final : public IDirect3DIndexBuffer8 {
public:
    GLIndexBuffer(std::shared_ptr<GLContextShare> share, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : data_(std::move(share), GL_ELEMENT_ARRAY_BUFFER, length) {
        desc_.Size = length; desc_.Usage = usage; desc_.Format = format; desc_.Pool = pool;
    }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override { return data_.Lock(offset, size, data, flags); }
    HRESULT Unlock() override { return data_.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    GLBufferData& Data() { return data_; }
    D3DFORMAT Format() const { return desc_.Format; }

private:
    GLBufferData data_;
    D3DINDEXBUFFER_DESC desc_;
};

// Where each vertex element sits in a vertex, for the fixed vertex formats
// and for vertex-shader declarations alike. Offsets of -1 are absent.
struct GLVertexLayout {
    int position = -1, positionSize = 3;
    bool rhw = false;
    int normal = -1, diffuse = -1, specular = -1;
    std::array<int, 8> tex{{-1, -1, -1, -1, -1, -1, -1, -1}};
    std::array<int, 8> texSize{{2, 2, 2, 2, 2, 2, 2, 2}};
    UINT stride = 0;
};
GLVertexLayout LayoutFromFvf(DWORD fvf);
// False for declarations this device cannot feed (several streams, packed types).
bool LayoutFromDeclaration(const DWORD* declaration, GLVertexLayout& layout);

// A linked program of the fixed-function vertex stage with a fragment stage
// (the fixed-function one, or a translated pixel shader), with its uniforms.
struct GLProgram {
    GLuint program = 0;
    // Keyed by the address of the name (the device asks with literals), so
    // a lookup costs no allocation.
    std::map<const char*, GLint> uniforms;
    GLint Uniform(const GLFuncs& gl, const char* name);
    // The device state (and transform) serials its uniforms were last set for.
    uint64_t stateSerial = 0, transformSerial = 0;
};

// The fixed-function program that reads every setting from uniforms. It is
// the fallback where no program can be compiled for the settings in use, and
// large in the driver (Mesa keeps about 7 MB for it), so it is linked when
// first asked for rather than kept from the device's start.
class GLGenericProgram {
public:
    void SetBuilder(std::function<GLProgram*()> build) { build_ = std::move(build); }
    // Builds it when it is not there yet.
    GLProgram* get() {
        if (!program_ && build_) program_.reset(build_());
        return program_.get();
    }
    GLProgram* operator->() { return get(); }
    // What is built, without building.
    GLProgram* Built() const { return program_.get(); }
    std::unique_ptr<GLProgram> Take() { return std::move(program_); }

private:
    std::function<GLProgram*()> build_;
    std::unique_ptr<GLProgram> program_;
};

// The settings a fixed-function program is compiled for: stage operations
// and arguments, result registers, constant texels, specular add, fog, the
// alpha test, whether the matrices come per instance, and the vertex stage's
// settings: vertex layout, lighting and its lights' kinds, vertex fog and
// texture coordinates (positions in GLState.cpp).
using FixedProgramKey = std::array<int, 82>;

// Where each setting sits in a fixed-function program key.
inline constexpr int kKeyColorOp = 0, kKeyColorArg = 4, kKeyAlphaOp = 16, kKeyAlphaArg = 20, kKeyResultTemp = 32,
              kKeySpecularAdd = 36, kKeyFog = 37, kKeyFogTable = 38, kKeyAlphaTest = 39, kKeyAlphaFunc = 40,
              kKeyConstantTexel = 41, kKeyInstanced = 45, kKeyVertexFlags = 46, kKeyMatSource = 55, kKeyLightCount = 59,
              kKeyLightType = 60, kKeyFogVertex = 68, kKeyRangeFog = 69, kKeyTexIndex = 70, kKeyTexFlags = 74,
              kKeyTexSetSize = 78;
static_assert(kKeyTexSetSize + 4 == std::tuple_size_v<FixedProgramKey>);
// kKeyVertexFlags + 0..8: rhw, normal, diffuse, specular, lighting, colour
// vertex, local viewer, normalize, specular enable.


// A Direct3D colour as RGBA floats in 0..1.
void ColorToFloats(D3DCOLOR c, float out[4]);
// a x b, and the matrix normals go through for row-vector transform m
// ((m^-1)^T of its 3x3 part): what the vertex stage gets for a draw.
D3DMATRIX GLMatrixMul(const D3DMATRIX& a, const D3DMATRIX& b);
D3DMATRIX GLNormalMatrix(const D3DMATRIX& m);
// The first of the attributes an instanced draw reads per instance (four
// rows of the world-view matrix, three of the normal matrix), and the
// floats an instance takes.
inline constexpr GLuint kGLInstanceAttrib = 8;
inline constexpr size_t kGLInstanceFloats = 25;

class GLDevice final : public IDirect3DDevice8 {
public:
    GLDevice(GLDirect3D8& parent, D3DDEVTYPE type, DWORD behaviorFlags);
    ~GLDevice() override;
    HRESULT Init(SDL_Window* focusWindow, D3DPRESENT_PARAMETERS* params);

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

    // The back buffer as RGBA rows, top first.
    bool ReadBack(std::vector<uint8_t>& rgba, UINT& width, UINT& height);
    // The framebuffer that holds the finished picture: the back buffer, or
    // its single-sampled copy when it is multisampled.
    GLuint ResolvedBackBuffer(GLint bw, GLint bh);
    // The GL renderer string of the context (for reports and tests).
    std::string Renderer() const;
    // The window's buffers are the back buffer (no copy on Present).
    bool DrawsIntoWindow() const { return windowBackBuffer_; }

    // The shader compiler's memory. The driver keeps its compiler (Mesa:
    // the GLSL built-in function library, several megabytes) from the first
    // compile on; once no program has been built for kQuietPresents
    // presents, Present releases it and gives the freed heap back to the
    // system. A later build brings the compiler back.
    static constexpr unsigned kQuietPresents = 60;
    void ReleaseShaderCompiler();
    // A stage asked for mip levels: every texture moves its lower levels
    // into GL (GLTexture::Deepen), and later ones keep them there.
    void WantMips();
    unsigned CompilerReleases() const { return compilerReleases_; }
    size_t LinkedPixelShaders() const {
        size_t n = 0;
        for (const auto& [h, ps] : pixelShaders_) n += ps->program.program != 0;
        return n;
    }

private:
    // A pixel shader is linked once when created (so that one the driver
    // refuses fails there) and dropped again; it is linked for good when
    // first set. Shaders loaded with a level or a menu that are never drawn
    // with then hold no program in the driver (over a megabyte each in Mesa).
    struct PixelShader {
        GLProgram program;    // 0 until first set
        std::string source;   // the fragment stage to link it from
    };
    struct VertexShaderDecl {
        GLVertexLayout layout;
    };

    HRESULT CreateTargets();
    void DestroyTargets();
    bool WindowCanBeBackBuffer();
    bool SwapKeepsBackBuffer();
    void SetDefaultStates();
    void ApplyFixedState();
    bool PrepareDraw(const GLVertexLayout& layout, const uint8_t* base, bool fromBuffer);
    void FinishDraw(const GLVertexLayout& layout);
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, bool vertexBufferBound,
                 UINT stride, const void* indices, GLenum indexType, bool indexBufferBound, UINT first = 0,
                 GLsizei instances = 0);
    GLProgram* FixedProgram();
    FixedProgramKey FixedKey() const;
    // The transform set for `state`, or the identity.
    D3DMATRIX TransformOf(uint32_t state) const;
    void SetTransformUniforms(GLProgram& p);
    void BindTextures();
    void Changed() { ++stateSerial_; }
    // instanced: the vertex stage reads the world-view and normal matrices
    // from per-instance attributes 8 to 14 instead of uniforms.
    // vertexStage: the vertex stage's source (empty: the generic one).
    GLProgram* BuildProgram(const std::string& fragmentSource, std::string& error, bool instanced = false,
                            const std::string& vertexStage = {});
    // Fills instanceData_ with the matrices of each world for the
    // instanced vertex stage.
    void PrepareInstances(const D3DMATRIX* worlds, UINT count);
    void SetProgramUniforms(GLProgram& p);
public:
    // Draw with the one fixed-function program that reads every stage
    // setting from uniforms, instead of one compiled for the current
    // settings (for tests that compare the two).
    bool genericFixedFunction = false;
private:
    void ApplySampler(DWORD stage, GLTexture& texture);
    const GLVertexLayout* CurrentLayout();
    void ViewportToGL();
    int BackBufferHeight() const { return static_cast<int>(pp_.BackBufferHeight); }

    GLDirect3D8& parent_;
    D3DDEVTYPE type_;
    DWORD behavior_;
    std::shared_ptr<GLContextShare> share_;
    const GLFuncs* gl_ = nullptr;
    D3DPRESENT_PARAMETERS pp_;
    D3DCAPS8 caps_;
    bool lost_ = false;
    bool inScene_ = false;
    bool cursorShown_ = true;

    // Render targets: the back buffer (multisampled when asked) and a
    // single-sampled copy it resolves into for Present and read-back.
    GLuint fbo_ = 0, colorRb_ = 0, depthRb_ = 0;
    GLuint resolveFbo_ = 0, resolveRb_ = 0;
    UINT samples_ = 0;
    bool hasDepth_ = false, hasStencil_ = false;
    bool windowBackBuffer_ = false;        // fbo_ is 0: drawing goes to the window
    bool swapKeepsChecked_ = false, swapKeeps_ = false;

    std::array<DWORD, D3DRS_COUNT> rs_{};
    std::array<std::array<DWORD, D3DTSS_COUNT>, D3DMAXTEXTURESTAGES> tss_{};
    std::map<uint32_t, D3DMATRIX> transforms_;
    D3DVIEWPORT8 viewport_;
    D3DMATERIAL8 material_;
    std::map<DWORD, D3DLIGHT8> lights_;
    std::map<DWORD, bool> lightEnabled_;
    std::array<std::shared_ptr<GLTexture>, D3DMAXTEXTURESTAGES> textures_;
    std::shared_ptr<GLVertexBuffer> stream0_;
    UINT stream0Stride_ = 0;
    std::shared_ptr<GLIndexBuffer> indices_;
    UINT baseVertex_ = 0;
    DWORD vertexShader_ = D3DFVF_XYZ;
    DWORD pixelShader_ = 0;

    GLGenericProgram fixedProgram_;
    // Fixed-function programs with the stage, fog and alpha-test settings
    // compiled in, by those settings; null where one failed to build.
    std::map<FixedProgramKey, std::unique_ptr<GLProgram>> fixedVariants_;
    uint64_t stateSerial_ = 1, transformSerial_ = 1;
    uint64_t textureUploadsSeen_ = 0;     // share_->textureUploads the state serial has seen
    uint64_t variantSerial_ = 0;          // stateSerial_ the current variant was chosen for
    GLProgram* variant_ = nullptr;
    bool variantInstanced_ = false;
    // Instanced drawing: set while DrawPrimitiveInstanced draws; the
    // per-instance matrices (25 floats an instance) and their GL buffer.
    bool instancing_ = false;
    std::vector<float> instanceData_;
    // Indices that send equal vertices of an instanced list of triangles
    // to the first of them, so the driver shades each once an instance;
    // null when there are none to share (see InstanceIndices).
    const std::vector<GLuint>* InstanceIndices(GLenum mode, UINT first, GLsizei count, UINT stride);
    struct SharedCorners {
        uint64_t serial = 0;   // the buffer's, when worked out
        UINT first = 0, stride = 0;
        GLsizei count = 0;
        bool shared = false;
        std::vector<GLuint> indices;
    };
    std::vector<SharedCorners> sharedCorners_;
    size_t nextSharedCorners_ = 0;
    std::vector<uint8_t> cornerBytes_;
    GLuint instanceBuffer_ = 0;
    GLuint currentProgram_ = 0;
    GLVertexLayout attribLayout_;
    const uint8_t* attribBase_ = nullptr;
    UINT attribStride_ = 0;
    std::map<DWORD, VertexShaderDecl> vertexShaders_;
    std::map<DWORD, std::unique_ptr<PixelShader>> pixelShaders_;
    DWORD nextShaderHandle_ = 1;
    size_t pixelShaderBuilds_ = 0;
    std::array<float, 4 * 8> psConstants_{};
    std::array<float, 4 * 96> vsConstants_{};

    // Compiler release (see ReleaseShaderCompiler): what had been built at
    // the last present, and for how many presents nothing more was.
    size_t ProgramsBuilt() const;
    void ReleaseIdleCompiler();
    size_t programsSeen_ = 0;
    unsigned quietPresents_ = 0;
    bool compilerHeld_ = true;   // the compiler has run since its last release
    unsigned compilerReleases_ = 0;
};

} // namespace rdv
