// Drawing on the OpenGL device: samplers and textures bound for a draw,
// the vertex layout, and the draw calls.
#include <algorithm>
#include <cstring>

#include "platform/d3d/GLInternal.h"

namespace rdv {

namespace {

constexpr GLenum kTextureMaxAnisotropy = 0x84FE;   // GL_TEXTURE_MAX_ANISOTROPY_EXT
constexpr GLenum kMirrorClampToEdge = 0x8743;      // GL_MIRROR_CLAMP_TO_EDGE

GLenum AddressMode(DWORD a, bool mirrorClamp) {
    switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return mirrorClamp ? kMirrorClampToEdge : GL_MIRRORED_REPEAT;
    default: return GL_REPEAT;
    }
}

bool PrimitiveVertices(D3DPRIMITIVETYPE type, UINT count, GLenum& mode, GLsizei& vertices) {
    switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; vertices = count; break;
    case D3DPT_LINELIST: mode = GL_LINES; vertices = count * 2; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; vertices = count + 1; break;
    case D3DPT_TRIANGLELIST: mode = GL_TRIANGLES; vertices = count * 3; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; vertices = count + 2; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; vertices = count + 2; break;
    default: return false;
    }
    return count > 0;
}

const void* Offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

} // namespace

// ---------------------------------------------------------------- drawing

const GLVertexLayout* GLDevice::CurrentLayout() {
    static thread_local GLVertexLayout fvfLayout;
    if (vertexShader_ & 1) {
        auto it = vertexShaders_.find(vertexShader_);
        return it == vertexShaders_.end() ? nullptr : &it->second.layout;
    }
    fvfLayout = LayoutFromFvf(vertexShader_);
    return &fvfLayout;
}

void GLDevice::ApplySampler(DWORD stage, GLTexture& texture) {
    const auto& t = tss_[stage];
    const bool mips = texture.HasMips() && t[D3DTSS_MIPFILTER] != D3DTEXF_NONE;
    const bool minLinear = t[D3DTSS_MINFILTER] >= D3DTEXF_LINEAR;
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (mips) {
        const bool mipLinear = t[D3DTSS_MIPFILTER] >= D3DTEXF_LINEAR;
        minFilter = minLinear ? (mipLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                              : (mipLinear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
    }
    const bool mirrorClamp = parent_.Probe().mirrorClamp;
    GLTexture::Sampler want;
    want.minFilter = static_cast<GLint>(minFilter);
    want.magFilter = t[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    want.wrapS = static_cast<GLint>(AddressMode(t[D3DTSS_ADDRESSU], mirrorClamp));
    want.wrapT = static_cast<GLint>(AddressMode(t[D3DTSS_ADDRESSV], mirrorClamp));
    ColorToFloats(t[D3DTSS_BORDERCOLOR], want.border);
    want.lodBias = DWtoF(t[D3DTSS_MIPMAPLODBIAS]);
    want.baseLevel = static_cast<GLint>(std::min<DWORD>(t[D3DTSS_MAXMIPLEVEL], texture.GetLevelCount() - 1));
    const float maxAniso = parent_.Probe().maxAnisotropy;
    if (maxAniso > 1) {
        const bool aniso = t[D3DTSS_MINFILTER] == D3DTEXF_ANISOTROPIC || t[D3DTSS_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        want.anisotropy = aniso ? std::clamp(static_cast<float>(t[D3DTSS_MAXANISOTROPY]), 1.0f, maxAniso) : 1.0f;
    }
    // The parameters belong to the texture: set them only when they change.
    if (texture.samplerApplied && texture.applied == want) return;
    if (share_->activeUnit != stage) {
        gl_->ActiveTexture(GL_TEXTURE0 + stage);
        share_->activeUnit = stage;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, want.minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, want.magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, want.wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, want.wrapT);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, want.border);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, want.lodBias);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, want.baseLevel);
    if (maxAniso > 1) glTexParameterf(GL_TEXTURE_2D, kTextureMaxAnisotropy, want.anisotropy);
    texture.applied = want;
    texture.samplerApplied = true;
}

void GLDevice::BindTextures() {
    const GLFuncs& gl = *gl_;
    GLContextShare& share = *share_;
    for (DWORD s = 0; s < D3DMAXTEXTURESTAGES; ++s) {
        GLTexture* texture = textures_[s].get();
        // GL reads a border colour as luminance on a luminance texture.
        if (texture && texture->Narrow() &&
            (tss_[s][D3DTSS_ADDRESSU] == D3DTADDRESS_BORDER || tss_[s][D3DTSS_ADDRESSV] == D3DTADDRESS_BORDER))
            texture->Widen();
        const GLuint name = texture ? texture->Name() : 0;
        if (share.boundTextures[s] == name && !texture) continue;
        auto select = [&] {
            if (share.activeUnit != s) {
                gl.ActiveTexture(GL_TEXTURE0 + s);
                share.activeUnit = s;
            }
        };
        if (share.boundTextures[s] != name) {
            select();
            glBindTexture(GL_TEXTURE_2D, name);
            share.boundTextures[s] = name;
        }
        if (texture) ApplySampler(s, *texture);
    }
}

HRESULT GLDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, bool vertexBufferBound,
                       UINT stride, const void* indices, GLenum indexType, bool indexBufferBound, UINT first,
                       GLsizei instances) {
    GLenum mode;
    GLsizei count;
    if (!PrimitiveVertices(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
    const GLVertexLayout* layout = CurrentLayout();
    if (!layout || layout->position < 0) return D3DERR_INVALIDCALL;
    if (!share_->MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    const GLFuncs& gl = *gl_;
    // A texture filled since the last draw may have become, or stopped
    // being, one colour.
    if (share_->textureUploads != textureUploadsSeen_) {
        textureUploadsSeen_ = share_->textureUploads;
        Changed();
    }

    GLProgram* program = nullptr;
    if (pixelShader_) {
        auto it = pixelShaders_.find(pixelShader_);
        if (it != pixelShaders_.end()) program = &it->second->program;
    }
    if (!program) program = FixedProgram();
    if (!program) return D3DERR_INVALIDCALL;
    if (currentProgram_ != program->program) {
        gl.UseProgram(program->program);
        currentProgram_ = program->program;
    }
    // Uniforms go to GL only when the state they come from changed since
    // this program last had them; between draws that is mostly the world.
    if (program->stateSerial != stateSerial_) {
        SetProgramUniforms(*program);
        int sizes[4];
        for (int i = 0; i < 4; ++i) sizes[i] = layout->tex[i] >= 0 ? layout->texSize[i] : 2;
        gl.Uniform1iv(program->Uniform(gl, "uTexSetSize"), 4, sizes);
        gl.Uniform1i(program->Uniform(gl, "uRhw"), layout->rhw ? 1 : 0);
        gl.Uniform1i(program->Uniform(gl, "uHasNormal"), layout->normal >= 0 ? 1 : 0);
        gl.Uniform1i(program->Uniform(gl, "uHasDiffuse"), layout->diffuse >= 0 ? 1 : 0);
        gl.Uniform1i(program->Uniform(gl, "uHasSpecular"), layout->specular >= 0 ? 1 : 0);
        if (layout->rhw) gl.Uniform1i(program->Uniform(gl, "uLighting"), 0);
        if (pixelShader_ && program != fixedProgram_.Built()) {
            // A translated pixel shader reads uPsConst[8], uTex0..uTex7 and the
            // bump-mapping matrix and luminance of each stage.
            gl.Uniform4fv(program->Uniform(gl, "uPsConst"), 8, psConstants_.data());
            float bump[32], lum[16];
            for (int st = 0; st < 8; ++st) {
                const auto& t = tss_[st];
                bump[4 * st] = DWtoF(t[D3DTSS_BUMPENVMAT00]);
                bump[4 * st + 1] = DWtoF(t[D3DTSS_BUMPENVMAT01]);
                bump[4 * st + 2] = DWtoF(t[D3DTSS_BUMPENVMAT10]);
                bump[4 * st + 3] = DWtoF(t[D3DTSS_BUMPENVMAT11]);
                lum[2 * st] = DWtoF(t[D3DTSS_BUMPENVLSCALE]);
                lum[2 * st + 1] = DWtoF(t[D3DTSS_BUMPENVLOFFSET]);
            }
            gl.Uniform4fv(program->Uniform(gl, "uBumpEnvMat"), 8, bump);
            gl.Uniform2fv(program->Uniform(gl, "uBumpEnvLum"), 8, lum);
            static const char* const samplers[4] = {"uTex4", "uTex5", "uTex6", "uTex7"};
            for (int st = 0; st < 4; ++st) gl.Uniform1i(program->Uniform(gl, samplers[st]), 4 + st);
        }
        program->stateSerial = stateSerial_;
        program->transformSerial = transformSerial_;
    } else if (program->transformSerial != transformSerial_) {
        SetTransformUniforms(*program);
        program->transformSerial = transformSerial_;
    }
    BindTextures();

    // The attribute pointers stay set while the same vertices are drawn with
    // the same layout: the sequences of a model differ only in `first`.
    const GLuint vbo = vertexBufferBound && stream0_ ? stream0_->Data().Name() : 0;
    GLContextShare& share = *share_;
    const bool sameAttribs = share.attribsValid && share.attribBuffer == vbo && attribBase_ == vertices &&
                             attribStride_ == stride && std::memcmp(&attribLayout_, layout, sizeof *layout) == 0;
    if (!sameAttribs) {
        gl.BindBuffer(GL_ARRAY_BUFFER, vbo);
        const GLsizei s = static_cast<GLsizei>(stride);
        auto attrib = [&](GLuint index, int offset, GLint size, GLenum type, GLboolean normalized, float d0, float d1,
                          float d2, float d3) {
            if (offset >= 0) {
                gl.EnableVertexAttribArray(index);
                // With a buffer bound `vertices` is an offset into it, often
                // null: add as integers, pointer arithmetic on null is undefined.
                gl.VertexAttribPointer(index, size, type, normalized, s,
                                       reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(vertices) + offset));
            } else {
                gl.DisableVertexAttribArray(index);
                gl.VertexAttrib4f(index, d0, d1, d2, d3);
            }
        };
        attrib(0, layout->position, layout->positionSize, GL_FLOAT, GL_FALSE, 0, 0, 0, 1);
        attrib(1, layout->normal, 3, GL_FLOAT, GL_FALSE, 0, 0, 0, 1);
        attrib(2, layout->diffuse, 4, GL_UNSIGNED_BYTE, GL_TRUE, 1, 1, 1, 1);
        attrib(3, layout->specular, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, 0, 0, 0);
        for (GLuint t = 0; t < 4; ++t) attrib(4 + t, layout->tex[t], layout->texSize[t], GL_FLOAT, GL_FALSE, 0, 0, 0, 1);
        gl.BindBuffer(GL_ARRAY_BUFFER, 0);
        // Pointers into caller memory are good for this draw only.
        share.attribsValid = vbo != 0;
        share.attribBuffer = vbo;
        attribBase_ = vertices;
        attribStride_ = stride;
        attribLayout_ = *layout;
    }

    if (instances > 0) {
        // The instance matrices go through a buffer of their own, remade
        // each draw; the attributes are switched off again after it, so no
        // other draw reads them.
        if (!instanceBuffer_) gl.GenBuffers(1, &instanceBuffer_);
        gl.BindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
        gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(instanceData_.size() * sizeof(float)),
                      instanceData_.data(), GL_STREAM_DRAW);
        constexpr GLsizei kStride = static_cast<GLsizei>(kGLInstanceFloats * sizeof(float));
        for (GLuint i = 0; i < 7; ++i) {
            const GLuint index = kGLInstanceAttrib + i;
            gl.EnableVertexAttribArray(index);
            gl.VertexAttribPointer(index, i < 4 ? 4 : 3, GL_FLOAT, GL_FALSE, kStride,
                                   Offset((i < 4 ? 4 * i : 16 + 3 * (i - 4)) * sizeof(float)));
            gl.VertexAttribDivisor(index, 1);
        }
        gl.BindBuffer(GL_ARRAY_BUFFER, 0);
        if (const std::vector<GLuint>* corners = InstanceIndices(mode, first, count, stride)) {
            gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            gl.DrawElementsInstanced(mode, count, GL_UNSIGNED_INT, corners->data(), instances);
        } else {
            gl.DrawArraysInstanced(mode, static_cast<GLint>(first), count, instances);
        }
        for (GLuint i = 0; i < 7; ++i) {
            gl.VertexAttribDivisor(kGLInstanceAttrib + i, 0);
            gl.DisableVertexAttribArray(kGLInstanceAttrib + i);
        }
    } else if (indexType != 0) {
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBufferBound && indices_ ? indices_->Data().Name() : 0);
        glDrawElements(mode, count, indexType, indices);
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    } else {
        glDrawArrays(mode, static_cast<GLint>(first), count);
    }
    return D3D_OK;
}

HRESULT GLDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (!stream0_) return D3DERR_INVALIDCALL;
    GLenum mode;
    GLsizei count;
    if (!PrimitiveVertices(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
    const size_t end = (static_cast<size_t>(startVertex) + count) * stream0Stride_;
    if (end > stream0_->Data().Bytes().size()) return D3DERR_INVALIDCALL;
    return Draw(type, primitiveCount, nullptr, true, stream0Stride_, nullptr, 0, false, startVertex);
}

void GLDevice::PrepareInstances(const D3DMATRIX* worlds, UINT count) {
    const D3DMATRIX view = TransformOf(D3DTS_VIEW);
    instanceData_.resize(static_cast<size_t>(count) * kGLInstanceFloats);
    float* out = instanceData_.data();
    // The matrices are the ones a draw of each world alone would load as
    // uniforms, computed the same way, so the picture is the same. Faces of
    // one pose share the normal matrix: it is computed again only when the
    // 3x3 part it comes from changes.
    D3DMATRIX normal{};
    float normalFrom[9] = {};
    bool haveNormal = false;
    for (UINT i = 0; i < count; ++i, out += kGLInstanceFloats) {
        const D3DMATRIX worldView = GLMatrixMul(worlds[i], view);
        std::memcpy(out, &worldView.m[0][0], 16 * sizeof(float));
        const float from[9] = {worldView.m[0][0], worldView.m[0][1], worldView.m[0][2],
                               worldView.m[1][0], worldView.m[1][1], worldView.m[1][2],
                               worldView.m[2][0], worldView.m[2][1], worldView.m[2][2]};
        if (!haveNormal || std::memcmp(from, normalFrom, sizeof from) != 0) {
            normal = GLNormalMatrix(worldView);
            std::memcpy(normalFrom, from, sizeof from);
            haveNormal = true;
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) out[16 + 3 * r + c] = normal.m[r][c];
    }
}

const std::vector<GLuint>* GLDevice::InstanceIndices(GLenum mode, UINT first, GLsizei count, UINT stride) {
    // A list of triangles names each corner anew though neighbours share
    // most (a box: 36 corners, 24 different). Equal bytes give equal
    // results, so drawing through indices is the same picture with fewer
    // vertices to shade, for every instance.
    constexpr GLsizei kMostCorners = 256;
    constexpr size_t kKept = 32;
    if (mode != GL_TRIANGLES || !gl_->DrawElementsInstanced || count > kMostCorners || count <= 0 || !stream0_ ||
        stride == 0)
        return nullptr;
    const GLBufferData& data = stream0_->Data();
    for (SharedCorners& c : sharedCorners_)
        if (c.serial == data.Serial() && c.first == first && c.count == count && c.stride == stride)
            return c.shared ? &c.indices : nullptr;
    // Worked out once for each run of a buffer's contents; a few are kept,
    // the oldest replaced.
    if (sharedCorners_.size() < kKept) sharedCorners_.emplace_back();
    SharedCorners& c = sharedCorners_[nextSharedCorners_ % sharedCorners_.size()];
    ++nextSharedCorners_;
    c = SharedCorners{data.Serial(), first, stride, count, false, {}};
    cornerBytes_.resize(static_cast<size_t>(count) * stride);
    if (!data.Read(static_cast<size_t>(first) * stride, cornerBytes_.size(), cornerBytes_.data())) return nullptr;
    c.indices.resize(static_cast<size_t>(count));
    GLsizei distinct = 0;
    for (GLsizei i = 0; i < count; ++i) {
        const uint8_t* vertex = cornerBytes_.data() + static_cast<size_t>(i) * stride;
        GLsizei same = i;
        for (GLsizei j = 0; j < i; ++j) {
            // Only first sightings are compared.
            if (c.indices[static_cast<size_t>(j)] != first + static_cast<GLuint>(j)) continue;
            if (std::memcmp(cornerBytes_.data() + static_cast<size_t>(j) * stride, vertex, stride) == 0) {
                same = j;
                break;
            }
        }
        c.indices[static_cast<size_t>(i)] = first + static_cast<GLuint>(same);
        distinct += same == i;
    }
    c.shared = distinct < count;
    if (!c.shared) c.indices.clear();
    return c.shared ? &c.indices : nullptr;
}

HRESULT GLDevice::DrawPrimitiveInstanced(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount,
                                         const D3DMATRIX* worlds, UINT count) {
    if (!worlds || count == 0 || !stream0_) return D3DERR_INVALIDCALL;
    GLenum mode;
    GLsizei vertices;
    if (!PrimitiveVertices(type, primitiveCount, mode, vertices)) return D3DERR_INVALIDCALL;
    const size_t end = (static_cast<size_t>(startVertex) + vertices) * stream0Stride_;
    if (end > stream0_->Data().Bytes().size()) return D3DERR_INVALIDCALL;
    const GLFuncs& gl = *gl_;
    // GL instancing carries the fixed-function vertex stage; a vertex
    // shader, a pixel shader, a driver without instancing or a program that
    // does not build draw face by face, which is the same picture.
    auto oneByOne = [&]() -> HRESULT {
        for (UINT i = 0; i < count; ++i) {
            SetTransform(D3DTS_WORLD, &worlds[i]);
            const HRESULT hr = DrawPrimitive(type, startVertex, primitiveCount);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    };
    if (count == 1 || pixelShader_ || (vertexShader_ & 1) || !gl.DrawArraysInstanced || !gl.VertexAttribDivisor ||
        count > static_cast<UINT>(INT32_MAX / kGLInstanceFloats))
        return oneByOne();
    if (!share_->MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    instancing_ = true;
    const bool built = FixedProgram() != nullptr;
    instancing_ = false;
    if (!built) return oneByOne();
    transforms_[D3DTS_WORLD] = worlds[count - 1];
    ++transformSerial_;
    PrepareInstances(worlds, count);
    instancing_ = true;
    const HRESULT hr = Draw(type, primitiveCount, nullptr, true, stream0Stride_, nullptr, 0, false, startVertex,
                            static_cast<GLsizei>(count));
    instancing_ = false;
    return hr;
}

HRESULT GLDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                                       UINT primitiveCount) {
    if (!stream0_ || !indices_) return D3DERR_INVALIDCALL;
    GLenum mode;
    GLsizei count;
    if (!PrimitiveVertices(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
    const UINT indexSize = indices_->Format() == D3DFMT_INDEX32 ? 4 : 2;
    if ((static_cast<size_t>(startIndex) + count) * indexSize > indices_->Data().Bytes().size())
        return D3DERR_INVALIDCALL;
    // Every index must stay inside the vertex buffer.
    const auto& ib = indices_->Data().Bytes();
    const size_t vertexCount = stream0_->Data().Bytes().size() / stream0Stride_;
    for (GLsizei i = 0; i < count; ++i) {
        uint32_t index;
        if (indexSize == 2) {
            uint16_t v;
            std::memcpy(&v, &ib[(startIndex + i) * 2], 2);
            index = v;
        } else {
            std::memcpy(&index, &ib[(startIndex + i) * 4], 4);
        }
        if (static_cast<size_t>(index) + baseVertex_ >= vertexCount) return D3DERR_INVALIDCALL;
    }
    (void)minIndex;
    (void)numVertices;
    const uint8_t* base = static_cast<const uint8_t*>(Offset(static_cast<size_t>(baseVertex_) * stream0Stride_));
    return Draw(type, primitiveCount, base, true, stream0Stride_, Offset(static_cast<size_t>(startIndex) * indexSize),
                indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, true);
}

HRESULT GLDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) {
    if (!vertexData || stride == 0) return D3DERR_INVALIDCALL;
    // As in Direct3D, a draw from user memory unbinds stream 0.
    stream0_.reset();
    stream0Stride_ = 0;
    return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), false, stride, nullptr, 0, false);
}

HRESULT GLDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                         const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                         UINT stride) {
    if (!vertexData || !indexData || stride == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    GLenum mode;
    GLsizei count;
    if (!PrimitiveVertices(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
    // Indices must stay inside the vertices the caller declared.
    for (GLsizei i = 0; i < count; ++i) {
        const uint32_t index = indexFormat == D3DFMT_INDEX16 ? static_cast<const uint16_t*>(indexData)[i]
                                                             : static_cast<const uint32_t*>(indexData)[i];
        if (index < minIndex || index >= minIndex + numVertices) return D3DERR_INVALIDCALL;
    }
    stream0_.reset();
    stream0Stride_ = 0;
    indices_.reset();
    baseVertex_ = 0;
    return Draw(type, primitiveCount, static_cast<const uint8_t*>(vertexData), false, stride, indexData,
                indexFormat == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, false);
}

} // namespace rdv
