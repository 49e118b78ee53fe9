// The resource calls of the OpenGL device: textures, vertex and index
// buffers and the stages and streams they are set on, and the vertex and
// pixel shader objects.
#include <cstring>

#include "platform/d3d/GLInternal.h"
#include "platform/shaderasm/PsToGlsl.h"

namespace rdv {

std::string WrapPixelShader(const std::string& source);

// ---------------------------------------------------------------- resources

void GLDevice::WantMips() {
    if (share_->mipsWanted) return;
    share_->mipsWanted = true;
    for (GLTexture* texture : share_->textures) texture->Deepen();
}

HRESULT GLDevice::SetTexture(DWORD stage, const std::shared_ptr<IDirect3DTexture8>& texture) {
    if (stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
    // Which stages have a texture, and which of those are one colour,
    // decides what the stages read; another texture of the same kind does
    // not change the programs.
    auto kind = [](const GLTexture* t) { return t ? 2 + t->ConstantTexel() : 0; };
    const int before = kind(textures_[stage].get());
    if (!texture) {
        textures_[stage].reset();
    } else {
        auto gl = std::dynamic_pointer_cast<GLTexture>(texture);
        if (!gl || gl->Share() != share_) return D3DERR_INVALIDCALL;   // a texture of another device
        textures_[stage] = std::move(gl);
    }
    if (kind(textures_[stage].get()) != before) Changed();
    return D3D_OK;
}

HRESULT GLDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                std::shared_ptr<IDirect3DTexture8>& texture) {
    texture.reset();
    if (width == 0 || height == 0 || !GLTextureFormat(format).ok) return D3DERR_INVALIDCALL;
    if (width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight) return D3DERR_INVALIDCALL;
    auto t = std::make_shared<GLTexture>(share_, width, height, levels, usage, format, pool);
    if (!t->Valid()) return D3DERR_OUTOFVIDEOMEMORY;
    texture = std::move(t);
    return D3D_OK;
}

HRESULT GLDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     std::shared_ptr<IDirect3DVertexBuffer8>& buffer) {
    buffer.reset();
    if (length == 0) return D3DERR_INVALIDCALL;
    auto b = std::make_shared<GLVertexBuffer>(share_, length, usage, fvf, pool);
    if (!b->Data().Name()) return D3DERR_OUTOFVIDEOMEMORY;
    buffer = std::move(b);
    return D3D_OK;
}

HRESULT GLDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    std::shared_ptr<IDirect3DIndexBuffer8>& buffer) {
    buffer.reset();
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    auto b = std::make_shared<GLIndexBuffer>(share_, length, usage, format, pool);
    if (!b->Data().Name()) return D3DERR_OUTOFVIDEOMEMORY;
    buffer = std::move(b);
    return D3D_OK;
}

HRESULT GLDevice::SetStreamSource(UINT stream, const std::shared_ptr<IDirect3DVertexBuffer8>& buffer, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;   // one stream (MaxStreams 1)
    if (!buffer) {
        stream0_.reset();
        stream0Stride_ = 0;
        return D3D_OK;
    }
    auto gl = std::dynamic_pointer_cast<GLVertexBuffer>(buffer);
    if (!gl || gl->Data().Share() != share_ || stride == 0) return D3DERR_INVALIDCALL;
    stream0_ = std::move(gl);
    stream0Stride_ = stride;
    return D3D_OK;
}

HRESULT GLDevice::SetIndices(const std::shared_ptr<IDirect3DIndexBuffer8>& buffer, UINT baseVertexIndex) {
    if (!buffer) {
        indices_.reset();
        baseVertex_ = 0;
        return D3D_OK;
    }
    auto gl = std::dynamic_pointer_cast<GLIndexBuffer>(buffer);
    if (!gl || gl->Data().Share() != share_) return D3DERR_INVALIDCALL;
    indices_ = std::move(gl);
    baseVertex_ = baseVertexIndex;
    return D3D_OK;
}

HRESULT GLDevice::SetVertexShader(DWORD handle) {
    if (handle & 1) {
        if (vertexShaders_.find(handle) == vertexShaders_.end()) return D3DERR_INVALIDCALL;
    } else if ((handle & D3DFVF_POSITION_MASK) == 0) {
        return D3DERR_INVALIDCALL;   // a vertex format needs a position
    }
    if (vertexShader_ != handle) Changed();
    vertexShader_ = handle;
    return D3D_OK;
}

HRESULT GLDevice::GetVertexShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = vertexShader_;
    return D3D_OK;
}

// ---------------------------------------------------------------- shaders

HRESULT GLDevice::CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle, DWORD) {
    if (!declaration || !handle) return D3DERR_INVALIDCALL;
    // Vertex-shader programs do not run on this device (its capabilities
    // say so); a declaration alone feeds the fixed-function pipeline.
    if (function) return D3DERR_INVALIDCALL;
    VertexShaderDecl decl;
    if (!LayoutFromDeclaration(declaration, decl.layout)) return D3DERR_INVALIDCALL;
    const DWORD h = (nextShaderHandle_++ << 1) | 1;
    vertexShaders_[h] = decl;
    *handle = h;
    return D3D_OK;
}

HRESULT GLDevice::DeleteVertexShader(DWORD handle) {
    if (vertexShaders_.erase(handle) == 0) return D3DERR_INVALIDCALL;
    if (vertexShader_ == handle) vertexShader_ = D3DFVF_XYZ;
    return D3D_OK;
}

HRESULT GLDevice::SetVertexShaderConstant(DWORD reg, const void* data, DWORD count) {
    if (!data || reg + count > vsConstants_.size() / 4) return D3DERR_INVALIDCALL;
    std::memcpy(&vsConstants_[4 * reg], data, 16 * static_cast<size_t>(count));
    return D3D_OK;
}

HRESULT GLDevice::CreatePixelShader(const DWORD* function, DWORD* handle) {
    if (!function || !handle) return D3DERR_INVALIDCALL;
    const DWORD version = function[0];
    if ((version & 0xFFFF0000u) != 0xFFFF0000u || D3DSHADER_VERSION_MAJOR(version) != 1 ||
        D3DSHADER_VERSION_MINOR(version) > 4)
        return D3DERR_INVALIDCALL;
    // The token stream ends in the end token; a stream without one is refused
    // rather than read past its end.
    std::vector<uint32_t> tokens;
    constexpr size_t kMaxTokens = 1 << 16;
    for (size_t i = 0; i < kMaxTokens; ++i) {
        tokens.push_back(function[i]);
        if (function[i] == 0x0000FFFFu) break;
    }
    if (tokens.back() != 0x0000FFFFu) return D3DERR_INVALIDCALL;
    GlslPixelShader glsl;
    std::string error;
    if (!TranslatePixelShader(tokens, glsl, error)) return D3DERR_INVALIDCALL;
    const std::string source = WrapPixelShader(glsl.fragmentSource);
    if (source.empty() || !share_->MakeCurrent()) return D3DERR_INVALIDCALL;
    std::unique_ptr<GLProgram> program(BuildProgram(source, error));
    ++pixelShaderBuilds_;
    if (!program) return D3DERR_INVALIDCALL;
    gl_->DeleteProgram(program->program);
    auto ps = std::make_unique<PixelShader>();
    ps->source = source;
    const DWORD h = nextShaderHandle_++ << 1;
    pixelShaders_[h] = std::move(ps);
    *handle = h;
    return D3D_OK;
}

HRESULT GLDevice::SetPixelShader(DWORD handle) {
    if (handle != 0) {
        auto it = pixelShaders_.find(handle);
        if (it == pixelShaders_.end()) return D3DERR_INVALIDCALL;
        PixelShader& ps = *it->second;
        if (!ps.program.program) {
            if (!share_->MakeCurrent()) return D3DERR_INVALIDCALL;
            std::string error;
            std::unique_ptr<GLProgram> program(BuildProgram(ps.source, error));
            ++pixelShaderBuilds_;
            if (!program) return D3DERR_INVALIDCALL;
            ps.program = std::move(*program);
            std::string().swap(ps.source);
        }
    }
    if (pixelShader_ != handle) Changed();
    pixelShader_ = handle;
    return D3D_OK;
}

HRESULT GLDevice::GetPixelShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = pixelShader_;
    return D3D_OK;
}

HRESULT GLDevice::DeletePixelShader(DWORD handle) {
    auto it = pixelShaders_.find(handle);
    if (it == pixelShaders_.end()) return D3DERR_INVALIDCALL;
    const GLuint program = it->second->program.program;
    if (program && currentProgram_ == program) currentProgram_ = 0;
    if (program && share_->MakeCurrent()) gl_->DeleteProgram(program);
    pixelShaders_.erase(it);
    if (pixelShader_ == handle) pixelShader_ = 0;
    return D3D_OK;
}

HRESULT GLDevice::SetPixelShaderConstant(DWORD reg, const void* data, DWORD count) {
    if (!data || reg + count > psConstants_.size() / 4) return D3DERR_INVALIDCALL;
    std::memcpy(&psConstants_[4 * reg], data, 16 * static_cast<size_t>(count));
    Changed();
    return D3D_OK;
}

} // namespace rdv
