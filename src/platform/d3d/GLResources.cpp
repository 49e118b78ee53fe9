// Textures, vertex and index buffers of the OpenGL device, and the vertex
// layouts of the fixed vertex formats and of vertex-shader declarations.
#include <algorithm>
#include <atomic>
#include <cstring>

#include <zlib.h>

#include "platform/d3d/GLInternal.h"

namespace rdv {

GLFormatInfo GLTextureFormat(D3DFORMAT format) {
    GLFormatInfo f;
    f.ok = true;
    switch (format) {
    case D3DFMT_A8R8G8B8: f = {true, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE}; break;
    case D3DFMT_X8R8G8B8: f = {true, 4, GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE}; break;
    case D3DFMT_R8G8B8: f = {true, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE}; break;
    case D3DFMT_R5G6B5: f = {true, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5}; break;
    case D3DFMT_X1R5G5B5: f = {true, 2, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV}; break;
    case D3DFMT_A1R5G5B5: f = {true, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV}; break;
    case D3DFMT_A4R4G4B4: f = {true, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV}; break;
    case D3DFMT_X4R4G4B4: f = {true, 2, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV}; break;
    case D3DFMT_A8: f = {true, 1, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE}; break;
    case D3DFMT_L8: f = {true, 1, GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE}; break;
    case D3DFMT_A8L8: f = {true, 2, GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE}; break;
    default: f = GLFormatInfo{}; break;
    }
    return f;
}

bool IsBackBufferFormat(D3DFORMAT f) {
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_A8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5 ||
           f == D3DFMT_A1R5G5B5;
}

bool IsDepthFormat(D3DFORMAT f) {
    return f == D3DFMT_D16 || f == D3DFMT_D24S8 || f == D3DFMT_D24X8 || f == D3DFMT_D32;
}

// ---------------------------------------------------------------- textures

// The luminance form of a 32-bit format: GL_BGRA data given to it keeps
// red as luminance (and alpha), and reads back as (L, L, L, A).
static GLFormatInfo NarrowFormat(D3DFORMAT format) {
    GLFormatInfo f = GLTextureFormat(format);
    if (format == D3DFMT_A8R8G8B8) f.internalFormat = GL_LUMINANCE8_ALPHA8;
    else if (format == D3DFMT_X8R8G8B8) f.internalFormat = GL_LUMINANCE8;
    return f;
}

GLTexture::GLTexture(std::shared_ptr<GLContextShare> share, UINT width, UINT height, UINT levels, DWORD usage,
                     D3DFORMAT format, D3DPOOL pool)
    : share_(std::move(share)), format_(format), usage_(usage), pool_(pool), info_(GLTextureFormat(format)) {
    if (!info_.ok || width == 0 || height == 0 || !share_->MakeCurrent()) return;
    UINT full = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2)) ++full;
    const UINT count = levels == 0 ? full : std::min(levels, full);
    for (UINT i = 0; i < count; ++i) {
        Level l;
        l.width = std::max(1u, width >> i);
        l.height = std::max(1u, height >> i);
        levels_.push_back(std::move(l));
    }
    // A new texture reads as zeros, as the bytes a lock hands out first. One
    // zeroed buffer of level 0's size serves every level; it goes at the end.
    const std::vector<uint8_t> zeros(levels_[0].Bytes(info_.bytesPerPixel), 0);
    deep_ = usage != 0 || levels_.size() == 1 || share_->mipsWanted;
    narrow_ = usage == 0 && (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8);
    if (narrow_) {
        name_ = MakeStorage(NarrowFormat(format), zeros);
        if (!name_) narrow_ = false;
    }
    if (!name_) name_ = MakeStorage(info_, zeros);
    if (name_) share_->textures.push_back(this);
    FindConstantTexel();
}

// A texture name with storage for every level in `info`'s format, filled with
// `zeros`, bound on unit 0; 0 when GL refuses it.
GLuint GLTexture::MakeStorage(const GLFormatInfo& info, const std::vector<uint8_t>& zeros) {
    GLuint name = 0;
    glGenTextures(1, &name);
    share_->gl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, name);
    share_->activeUnit = 0;
    share_->boundTextures[0] = name;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLsizei count = StoredLevels();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, count - 1);
    bool stored = false;
    if (share_->gl.TexStorage2D) {
        // Storage for the whole chain at once: the driver allocates it once
        // instead of growing it level by level.
        share_->gl.TexStorage2D(GL_TEXTURE_2D, count, static_cast<GLenum>(info.internalFormat),
                                static_cast<GLsizei>(levels_[0].width), static_cast<GLsizei>(levels_[0].height));
        stored = glGetError() == GL_NO_ERROR;
    }
    for (GLsizei i = 0; i < count; ++i) {
        const auto w = static_cast<GLsizei>(levels_[i].width), h = static_cast<GLsizei>(levels_[i].height);
        if (stored)
            glTexSubImage2D(GL_TEXTURE_2D, i, 0, 0, w, h, info.format, info.type, zeros.data());
        else
            glTexImage2D(GL_TEXTURE_2D, i, info.internalFormat, w, h, 0, info.format, info.type, zeros.data());
    }
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        share_->boundTextures[0] = 0;
        return 0;
    }
    return name;
}

void GLTexture::Bind() {
    share_->gl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, name_);
    share_->activeUnit = 0;
    share_->boundTextures[0] = name_;
}

// Level `level` of the bound texture into `out` in Direct3D's layout. GL
// reads a luminance texture back as (L, 0, 0), so a narrow one is read as
// luminance and spread over red, green and blue here.
void GLTexture::ReadBound(UINT level, std::vector<uint8_t>& out) const {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!narrow_) {
        glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), info_.format, info_.type, out.data());
        return;
    }
    const bool alpha = format_ == D3DFMT_A8R8G8B8;
    const size_t texels = static_cast<size_t>(levels_[level].width) * levels_[level].height;
    std::vector<uint8_t> narrow(texels * (alpha ? 2 : 1));
    glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), alpha ? GL_LUMINANCE_ALPHA : GL_LUMINANCE,
                  GL_UNSIGNED_BYTE, narrow.data());
    for (size_t i = 0; i < texels; ++i) {
        const uint8_t l = narrow[alpha ? 2 * i : i];
        out[4 * i] = out[4 * i + 1] = out[4 * i + 2] = l;
        out[4 * i + 3] = alpha ? narrow[2 * i + 1] : 0xFF;
    }
}

void GLTexture::Widen() {
    if (!narrow_ || !name_ || !share_->MakeCurrent()) return;
    const GLuint old = name_;
    // Every level moves over as GL reads it back, so nothing is lost.
    std::vector<uint8_t> bytes(levels_[0].Bytes(info_.bytesPerPixel), 0);
    const GLuint wide = MakeStorage(info_, bytes);
    if (!wide) {
        Bind();
        return;   // kept as it was: a colour draws grey
    }
    for (UINT i = 0; i < levels_.size(); ++i) {
        // Zeros in both, or deflated in the texture's own layout either way.
        if (!levels_[i].written || !InGL(i)) continue;
        glBindTexture(GL_TEXTURE_2D, old);
        ReadBound(i, bytes);
        glBindTexture(GL_TEXTURE_2D, wide);
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), 0, 0, static_cast<GLsizei>(levels_[i].width),
                        static_cast<GLsizei>(levels_[i].height), info_.format, info_.type, bytes.data());
    }
    narrow_ = false;
    Adopt(wide);
}

GLTexture::~GLTexture() {
    std::erase(share_->textures, this);
    if (!name_ || !share_->MakeCurrent()) return;
    glDeleteTextures(1, &name_);
    // GL unbinds a deleted texture from every unit it was bound to.
    for (GLuint& bound : share_->boundTextures)
        if (bound == name_) bound = 0;
}

HRESULT GLTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= levels_.size()) return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = static_cast<UINT>(levels_[level].Bytes(info_.bytesPerPixel));
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = levels_[level].width;
    desc->Height = levels_[level].height;
    return D3D_OK;
}

HRESULT GLTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || level >= levels_.size() || levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    LONG x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(l.width) ||
            rect->bottom > static_cast<LONG>(l.height) || rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        x = rect->left;
        y = rect->top;
    }
    // A lock sees what the texture holds: read back from GL, or zeros for
    // a level never written (loading a file fills each level once) or a
    // texture GL could not make.
    l.staging.assign(l.Bytes(info_.bytesPerPixel), 0);
    if (l.written && !InGL(level)) {
        Unpack(l, l.staging);
    } else if (l.written && name_ && share_->MakeCurrent()) {
        Bind();
        ReadBound(level, l.staging);
    }
    locked->Pitch = static_cast<INT>(l.width * info_.bytesPerPixel);
    locked->pBits = l.staging.data() + static_cast<size_t>(y) * locked->Pitch + static_cast<size_t>(x) * info_.bytesPerPixel;
    l.locked = true;
    l.readOnly = (flags & D3DLOCK_READONLY) != 0;
    return D3D_OK;
}

HRESULT GLTexture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    l.locked = false;
    if (!l.readOnly) Upload(level);
    std::vector<uint8_t>().swap(l.staging);
    return D3D_OK;
}

void GLTexture::Upload(UINT level) {
    Level& l = levels_[level];
    ScanLevel(l);
    FindConstantTexel();
    if (narrow_ && !grey_) Widen();
    l.written = true;
    if (!InGL(level)) {
        Pack(l);
        return;
    }
    if (!name_ || !share_->MakeCurrent()) return;
    Bind();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(l.width),
                    static_cast<GLsizei>(l.height), info_.format, info_.type, l.staging.data());
    ++share_->textureUploads;
}

void GLTexture::Pack(Level& l) {
    uLongf size = compressBound(static_cast<uLong>(l.staging.size()));
    l.packed.resize(size);
    // The fastest level: most of what it packs is blank or repeated.
    l.packedRaw =
        compress2(l.packed.data(), &size, l.staging.data(), static_cast<uLong>(l.staging.size()), 1) != Z_OK;
    if (l.packedRaw) l.packed = l.staging;   // still correct, only larger
    else l.packed.resize(size);
    l.packed.shrink_to_fit();
}

void GLTexture::Unpack(const Level& l, std::vector<uint8_t>& out) const {
    if (l.packedRaw) {
        std::copy_n(l.packed.begin(), std::min(l.packed.size(), out.size()), out.begin());
        return;
    }
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, l.packed.data(), static_cast<uLong>(l.packed.size())) != Z_OK ||
        size != out.size())
        std::fill(out.begin(), out.end(), 0);
}

void GLTexture::Deepen() {
    if (deep_) return;
    if (!name_ || !share_->MakeCurrent()) {
        deep_ = true;   // nothing in GL to move: later uploads go straight to GL
        return;
    }
    const GLuint old = name_;
    std::vector<uint8_t> bytes(levels_[0].Bytes(info_.bytesPerPixel), 0);
    deep_ = true;
    const GLuint deep = MakeStorage(narrow_ ? NarrowFormat(format_) : info_, bytes);
    if (!deep) {
        deep_ = false;   // kept as it was: drawn from the first level only
        Bind();
        return;
    }
    for (UINT i = 0; i < levels_.size(); ++i) {
        Level& l = levels_[i];
        if (!l.written) continue;
        bytes.resize(l.Bytes(info_.bytesPerPixel));
        if (i == 0) {
            glBindTexture(GL_TEXTURE_2D, old);
            ReadBound(0, bytes);
        } else {
            Unpack(l, bytes);
            std::vector<uint8_t>().swap(l.packed);
        }
        glBindTexture(GL_TEXTURE_2D, deep);
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), 0, 0, static_cast<GLsizei>(l.width),
                        static_cast<GLsizei>(l.height), info_.format, info_.type, bytes.data());
    }
    Adopt(deep);
}

void GLTexture::Adopt(GLuint replacement) {
    const GLuint old = name_;
    glDeleteTextures(1, &old);
    for (GLuint& bound : share_->boundTextures)
        if (bound == old) bound = 0;
    name_ = replacement;
    Bind();
    samplerApplied = false;   // parameters belong to the old name
    ++share_->textureUploads;
}

void GLTexture::ScanLevel(Level& l) {
    l.uniform = false;
    if (info_.bytesPerPixel != 4 || l.staging.size() < 4) return;
    const uint8_t* p = l.staging.data();
    if (narrow_) {
        grey_ = true;
        for (size_t i = 0; i + 4 <= l.staging.size() && grey_; i += 4)
            grey_ = p[i] == p[i + 1] && p[i + 1] == p[i + 2];
    }
    std::memcpy(&l.texel, p, 4);
    for (size_t i = 4; i + 4 <= l.staging.size(); i += 4)
        if (std::memcmp(p + i, p, 4) != 0) return;
    l.uniform = true;
}

void GLTexture::FindConstantTexel() {
    constantTexel_ = -1;
    // Only the 32-bit formats: their channels read exactly 0 or 1 from the
    // bytes 0 and 255 (X8R8G8B8 stores no alpha and reads 1).
    if (format_ != D3DFMT_A8R8G8B8 && format_ != D3DFMT_X8R8G8B8) return;
    if (levels_.empty()) return;
    const bool alpha = format_ == D3DFMT_A8R8G8B8;
    const uint32_t noAlpha = alpha ? 0u : 0xFF000000u;
    const uint32_t first = levels_[0].texel | noAlpha;
    for (const Level& l : levels_)
        if (!l.uniform || (l.texel | noAlpha) != first) return;
    int bits = 0;
    // Memory order B, G, R, A.
    const uint8_t channel[4] = {static_cast<uint8_t>(first >> 16), static_cast<uint8_t>(first >> 8),
                                static_cast<uint8_t>(first), static_cast<uint8_t>(first >> 24)};
    for (int c = 0; c < 4; ++c) {
        if (channel[c] == 255) bits |= 1 << c;
        else if (channel[c] != 0) return;
    }
    constantTexel_ = bits;
}

// ---------------------------------------------------------------- buffers

namespace {
std::atomic<uint64_t> gBufferSerials{0};
}

GLBufferData::GLBufferData(std::shared_ptr<GLContextShare> share, GLenum target, UINT length)
    : share_(std::move(share)), target_(target), length_(length), bytes_(length, 0), serial_(++gBufferSerials) {
    if (length == 0 || !share_->MakeCurrent()) return;
    share_->gl.GenBuffers(1, &name_);
    share_->gl.BindBuffer(target_, name_);
    share_->gl.BufferData(target_, static_cast<GLsizeiptr>(length), bytes_.data(), GL_STATIC_DRAW);
    share_->gl.BindBuffer(target_, 0);
}

GLBufferData::~GLBufferData() {
    if (!name_ || !share_->MakeCurrent()) return;
    // The device's attribute pointers may read this buffer.
    if (share_->attribBuffer == name_) share_->attribsValid = false;
    share_->gl.DeleteBuffers(1, &name_);
}

HRESULT GLBufferData::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    if (!data || locked_ || offset > length_) return D3DERR_INVALIDCALL;
    if (size == 0) size = static_cast<UINT>(length_) - offset;
    if (size > length_ - offset) return D3DERR_INVALIDCALL;
    if (bytes_.empty()) {
        // Held in GL only: read back what the buffer holds.
        if (!share_->MakeCurrent()) return D3DERR_INVALIDCALL;
        bytes_.assign(length_, 0);
        share_->gl.BindBuffer(target_, name_);
        share_->gl.GetBufferSubData(target_, 0, static_cast<GLsizeiptr>(length_), bytes_.data());
        share_->gl.BindBuffer(target_, 0);
    }
    ++locks_;
    *data = bytes_.data() + offset;
    locked_ = true;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockOffset_ = offset;
    lockSize_ = size;
    return D3D_OK;
}

HRESULT GLBufferData::Unlock() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (readOnly_ || lockSize_ == 0 || !name_ || !share_->MakeCurrent()) return D3D_OK;
    share_->gl.BindBuffer(target_, name_);
    share_->gl.BufferSubData(target_, lockOffset_, lockSize_, bytes_.data() + lockOffset_);
    share_->gl.BindBuffer(target_, 0);
    serial_ = ++gBufferSerials;
    // Written once so far: GL's copy is the only one kept.
    if (target_ == GL_ARRAY_BUFFER && locks_ == 1 && share_->gl.GetBufferSubData)
        std::vector<uint8_t>().swap(bytes_);
    return D3D_OK;
}

bool GLBufferData::Read(size_t offset, size_t size, uint8_t* out) const {
    if (offset > length_ || size > length_ - offset) return false;
    if (!bytes_.empty()) {
        std::memcpy(out, bytes_.data() + offset, size);
        return true;
    }
    if (!name_ || !share_->gl.GetBufferSubData || !share_->MakeCurrent()) return false;
    share_->gl.BindBuffer(target_, name_);
    share_->gl.GetBufferSubData(target_, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), out);
    share_->gl.BindBuffer(target_, 0);
    return true;
}

// ---------------------------------------------------------------- layouts

GLVertexLayout LayoutFromFvf(DWORD fvf) {
    GLVertexLayout l;
    int offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: l.position = 0; offset = 12; break;
    case D3DFVF_XYZRHW: l.position = 0; l.positionSize = 4; l.rhw = true; offset = 16; break;
    case D3DFVF_XYZB1: case D3DFVF_XYZB2: case D3DFVF_XYZB3: case D3DFVF_XYZB4: case D3DFVF_XYZB5:
        // Blend weights follow the position; this device does not blend.
        l.position = 0;
        offset = 12 + 4 * static_cast<int>(((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZ) / 2);
        break;
    default: break;
    }
    if (fvf & D3DFVF_NORMAL) { l.normal = offset; offset += 12; }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) { l.diffuse = offset; offset += 4; }
    if (fvf & D3DFVF_SPECULAR) { l.specular = offset; offset += 4; }
    const DWORD count = std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    for (DWORD i = 0; i < count; ++i) {
        static const int sizes[4] = {2, 3, 4, 1};
        const int size = sizes[(fvf >> (16 + 2 * i)) & 3];
        l.tex[i] = offset;
        l.texSize[i] = size;
        offset += 4 * size;
    }
    l.stride = static_cast<UINT>(offset);
    return l;
}

bool LayoutFromDeclaration(const DWORD* decl, GLVertexLayout& l) {
    l = GLVertexLayout{};
    if (!decl) return false;
    int offset = 0;
    bool stream0 = false;
    for (int guard = 0; guard < 4096; ++guard) {
        const DWORD t = *decl++;
        if (t == D3DVSD_END()) {
            l.stride = static_cast<UINT>(offset);
            return stream0 && l.position >= 0;
        }
        switch (t >> D3DVSD_TOKENTYPESHIFT) {
        case D3DVSD_TOKEN_NOP: break;
        case D3DVSD_TOKEN_STREAM:
            if ((t & 0xF) != 0 || stream0) return false;   // one stream only
            stream0 = true;
            break;
        case D3DVSD_TOKEN_STREAMDATA: {
            if (!stream0) return false;
            if (t & 0x10000000u) {   // skip count dwords
                offset += 4 * static_cast<int>((t >> 16) & 0xF);
                break;
            }
            const DWORD type = (t >> D3DVSD_DATATYPESHIFT) & 0xF;
            const DWORD reg = t & 0x1F;
            int size = 0;
            switch (type) {
            case D3DVSDT_FLOAT1: size = 1; break;
            case D3DVSDT_FLOAT2: size = 2; break;
            case D3DVSDT_FLOAT3: size = 3; break;
            case D3DVSDT_FLOAT4: size = 4; break;
            case D3DVSDT_D3DCOLOR: size = -1; break;
            default: return false;
            }
            const bool color = size < 0;
            // Registers follow Direct3D's fixed-function mapping.
            if (reg == 0 && !color) { l.position = offset; l.positionSize = size; }
            else if (reg == 3 && size == 3) l.normal = offset;
            else if (reg == 5 && color) l.diffuse = offset;
            else if (reg == 6 && color) l.specular = offset;
            else if (reg >= 7 && reg < 15 && !color) { l.tex[reg - 7] = offset; l.texSize[reg - 7] = size; }
            else if (reg != 1 && reg != 2 && reg != 4) return false;
            offset += color ? 4 : 4 * size;
            break;
        }
        case D3DVSD_TOKEN_CONSTMEM: decl += 4 * ((t >> 25) & 0xF); break;
        default: return false;
        }
    }
    return false;
}

} // namespace rdv
