// The Direct3D 8 device on OpenGL: render targets and presentation, state,
// drawing, and shader objects.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "platform/d3d/GLDevice.h"
#include "platform/d3d/GLInternal.h"
#include "platform/d3d/StateCache.h"
#include "platform/shaderasm/PsToGlsl.h"

namespace rdv {

extern const char* const kGLFixedFragmentSource;
extern const char* const kGLFogFunctions;
std::string WrapPixelShader(const std::string& source);

namespace {

constexpr GLenum kTextureMaxAnisotropy = 0x84FE;   // GL_TEXTURE_MAX_ANISOTROPY_EXT
constexpr GLenum kMirrorClampToEdge = 0x8743;      // GL_MIRROR_CLAMP_TO_EDGE

D3DMATRIX Identity() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    return m;
}

D3DMATRIX Mul(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

// Normals of a row-vector transform M go through (M^-1)^T of its 3x3 part.
D3DMATRIX NormalMatrix(const D3DMATRIX& m) {
    const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    D3DMATRIX r = Identity();
    if (std::fabs(det) < 1e-30f) return r;
    const float s = 1.0f / det;
    // Cofactor matrix / det is the inverse transposed.
    r.m[0][0] = A * s; r.m[0][1] = B * s; r.m[0][2] = C * s;
    r.m[1][0] = -(b * i - c * h) * s; r.m[1][1] = (a * i - c * g) * s; r.m[1][2] = -(a * h - b * g) * s;
    r.m[2][0] = (b * f - c * e) * s; r.m[2][1] = -(a * f - c * d) * s; r.m[2][2] = (a * e - b * d) * s;
    return r;
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 0xff) / 255.0f;
    out[1] = ((c >> 8) & 0xff) / 255.0f;
    out[2] = (c & 0xff) / 255.0f;
    out[3] = ((c >> 24) & 0xff) / 255.0f;
}

GLenum CompareFunc(DWORD f) {
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum StencilOp(DWORD op) {
    switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum BlendFactor(DWORD b) {
    switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

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

// Where each setting sits in a fixed-function program key.
constexpr int kKeyColorOp = 0, kKeyColorArg = 4, kKeyAlphaOp = 16, kKeyAlphaArg = 20, kKeyResultTemp = 32,
              kKeySpecularAdd = 36, kKeyFog = 37, kKeyFogTable = 38, kKeyAlphaTest = 39, kKeyAlphaFunc = 40,
              kKeyConstantTexel = 41;
static_assert(kKeyConstantTexel + 4 == std::tuple_size_v<FixedProgramKey>);

// Sets an environment variable for the life of a scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

} // namespace

// ---------------------------------------------------------------- life cycle

GLDevice::GLDevice(GLDirect3D8& parent, D3DDEVTYPE type, DWORD behaviorFlags)
    : parent_(parent), type_(type), behavior_(behaviorFlags) {}

GLDevice::~GLDevice() {
    if (share_ && gl_ && share_->MakeCurrent()) {
        for (auto& [h, ps] : pixelShaders_) share_->gl.DeleteProgram(ps->program.program);
        pixelShaders_.clear();
        if (fixedProgram_) share_->gl.DeleteProgram(fixedProgram_->program);
        for (auto& [key, p] : fixedVariants_)
            if (p) share_->gl.DeleteProgram(p->program);
        DestroyTargets();
        SDL_GL_MakeCurrent(share_->window, nullptr);
    }
    if (share_) {
        if (share_->context) SDL_GL_DeleteContext(share_->context);
        share_->alive = false;
    }
}

HRESULT GLDevice::Init(SDL_Window* focusWindow, D3DPRESENT_PARAMETERS* params) {
    SDL_Window* window = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
    if (!window) return D3DERR_INVALIDCALL;
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL) == 0) return D3DERR_NOTAVAILABLE;
    pp_ = *params;
    pp_.hDeviceWindow = window;
    if (pp_.BackBufferWidth == 0 || pp_.BackBufferHeight == 0) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (pp_.BackBufferWidth == 0) pp_.BackBufferWidth = static_cast<UINT>(std::max(1, w));
        if (pp_.BackBufferHeight == 0) pp_.BackBufferHeight = static_cast<UINT>(std::max(1, h));
    }
    if (pp_.BackBufferFormat == D3DFMT_UNKNOWN) pp_.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (!IsBackBufferFormat(pp_.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (pp_.EnableAutoDepthStencil && !IsDepthFormat(pp_.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    if (pp_.MultiSampleType != D3DMULTISAMPLE_NONE &&
        (pp_.MultiSampleType < 2 || static_cast<int>(pp_.MultiSampleType) > parent_.Probe().maxSamples))
        return D3DERR_INVALIDCALL;
    if (pp_.BackBufferCount == 0) pp_.BackBufferCount = 1;

    share_ = std::make_shared<GLContextShare>();
    share_->window = window;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    {
        // The reference rasterizer and the software kinds render on Mesa's
        // software rasterizer where the driver can still be chosen.
        const bool software = type_ != D3DDEVTYPE_HAL || (behavior_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING);
        ScopedEnv env("LIBGL_ALWAYS_SOFTWARE", software ? "1" : nullptr);
        share_->context = SDL_GL_CreateContext(window);
    }
    if (!share_->context) return D3DERR_NOTAVAILABLE;
    share_->alive = true;
    if (!share_->MakeCurrent() || !share_->gl.Load(nullptr)) return D3DERR_NOTAVAILABLE;
    gl_ = &share_->gl;
    {
        // A name the library resolves is not yet a function the context has.
        int major = 0, minor = 0;
        const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (version) std::sscanf(version, "%d.%d", &major, &minor);
        const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        if (!(major > 4 || (major == 4 && minor >= 2)) && !(ext && std::strstr(ext, "GL_ARB_texture_storage")))
            share_->gl.TexStorage2D = nullptr;
    }

    if (!pp_.Windowed) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_GL_SetSwapInterval(pp_.Windowed || pp_.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    const HRESULT hr = CreateTargets();
    if (FAILED(hr)) return hr;
    std::string error;
    fixedProgram_.reset(BuildProgram(std::string("#version 120\n") + kGLFogFunctions + kGLFixedFragmentSource, error));
    if (!fixedProgram_) return D3DERR_NOTAVAILABLE;
    parent_.FillCaps(type_, caps_);
    glFrontFace(GL_CW);   // Direct3D's front faces are clockwise on screen
    if (gl_->ProvokingVertex) gl_->ProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    SetDefaultStates();
    Clear(0, nullptr, D3DCLEAR_TARGET | (pp_.EnableAutoDepthStencil ? D3DCLEAR_ZBUFFER : 0), 0, 1.0f, 0);
    return D3D_OK;
}

// The window's own buffers can be the back buffer when they are what the
// framebuffer object would be: the same size, no multisampling, 8-bit colour
// (with alpha for A8R8G8B8; X8R8G8B8 keeps none), the depth format's depth
// bits and its stencil. Presenting is then a swap, without copying the
// picture into the window, which on a software rasterizer costs as much as
// filling the screen once. For D3DSWAPEFFECT_COPY the picture must outlive
// the swap (a split screen redraws one half a frame), so the window must be
// seen to keep its back buffer.
bool GLDevice::WindowCanBeBackBuffer() {
    if (samples_ > 0) return false;
    const D3DFORMAT format = pp_.BackBufferFormat;
    if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_A8R8G8B8) return false;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(share_->window, &dw, &dh);
    if (dw != static_cast<int>(pp_.BackBufferWidth) || dh != static_cast<int>(pp_.BackBufferHeight)) return false;
    gl_->BindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint r = 0, g = 0, b = 0, a = 0, depth = 0, stencil = 0;
    glGetIntegerv(GL_RED_BITS, &r);
    glGetIntegerv(GL_GREEN_BITS, &g);
    glGetIntegerv(GL_BLUE_BITS, &b);
    glGetIntegerv(GL_ALPHA_BITS, &a);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    if (r != 8 || g != 8 || b != 8) return false;
    if (format == D3DFMT_A8R8G8B8 ? a != 8 : (a != 0 && a != 8)) return false;
    if (pp_.EnableAutoDepthStencil) {
        const D3DFORMAT z = pp_.AutoDepthStencilFormat;
        const GLint wantDepth = z == D3DFMT_D16 ? 16 : (z == D3DFMT_D32 ? 32 : 24);
        if (depth != wantDepth || (z == D3DFMT_D24S8 && stencil != 8)) return false;
    }
    if (pp_.SwapEffect == D3DSWAPEFFECT_COPY) {
        if (!swapKeepsChecked_) {
            swapKeepsChecked_ = true;
            swapKeeps_ = SwapKeepsBackBuffer();
        }
        if (!swapKeeps_) return false;
    }
    return glGetError() == GL_NO_ERROR;
}

// Clears the window's back buffer to two colours in turn, each followed by
// a swap: a window that shows its buffers in turn, or discards them, does
// not give back both (a buffer it did not clear holds neither colour).
bool GLDevice::SwapKeepsBackBuffer() {
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    bool kept = true;
    for (const uint8_t value : {uint8_t{3}, uint8_t{9}}) {
        glClearColor(value / 255.0f, 2 * value / 255.0f, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        SDL_GL_SwapWindow(share_->window);
        uint8_t px[4] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        if (px[0] != value || px[1] != 2 * value || px[2] != 0) kept = false;
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return kept && glGetError() == GL_NO_ERROR;
}

HRESULT GLDevice::CreateTargets() {
    const GLFuncs& gl = *gl_;
    samples_ = pp_.MultiSampleType >= 2 ? static_cast<UINT>(pp_.MultiSampleType) : 0u;
    DestroyTargets();
    windowBackBuffer_ = WindowCanBeBackBuffer();
    if (windowBackBuffer_) {
        hasDepth_ = pp_.EnableAutoDepthStencil != 0;
        hasStencil_ = hasDepth_ && pp_.AutoDepthStencilFormat == D3DFMT_D24S8;
        gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        return D3D_OK;
    }
    const GLsizei w = static_cast<GLsizei>(pp_.BackBufferWidth), h = static_cast<GLsizei>(pp_.BackBufferHeight);
    std::vector<GLenum> colorFormats;
    switch (pp_.BackBufferFormat) {
    case D3DFMT_R5G6B5: colorFormats = {0x8D62 /* GL_RGB565 */, GL_RGB8}; break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: colorFormats = {GL_RGB5_A1, GL_RGBA8}; break;
    default: colorFormats = {GL_RGBA8}; break;
    }
    std::vector<GLenum> depthFormats;
    hasStencil_ = false;
    if (pp_.EnableAutoDepthStencil) {
        switch (pp_.AutoDepthStencilFormat) {
        case D3DFMT_D16: depthFormats = {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT24}; break;
        case D3DFMT_D24X8: depthFormats = {GL_DEPTH_COMPONENT24, GL_DEPTH24_STENCIL8}; break;
        case D3DFMT_D32: depthFormats = {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT24}; break;
        default: depthFormats = {GL_DEPTH24_STENCIL8}; hasStencil_ = true; break;
        }
    }
    auto storage = [&](GLenum format, GLsizei samples) {
        if (samples > 0) gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, w, h);
        else gl.RenderbufferStorage(GL_RENDERBUFFER, format, w, h);
    };
    for (GLenum color : colorFormats) {
        for (size_t d = 0; d < std::max<size_t>(1, depthFormats.size()); ++d) {
            DestroyTargets();
            gl.GenFramebuffers(1, &fbo_);
            gl.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
            gl.GenRenderbuffers(1, &colorRb_);
            gl.BindRenderbuffer(GL_RENDERBUFFER, colorRb_);
            storage(color, static_cast<GLsizei>(samples_));
            gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRb_);
            if (!depthFormats.empty()) {
                const GLenum depth = depthFormats[d];
                gl.GenRenderbuffers(1, &depthRb_);
                gl.BindRenderbuffer(GL_RENDERBUFFER, depthRb_);
                storage(depth, static_cast<GLsizei>(samples_));
                gl.FramebufferRenderbuffer(GL_FRAMEBUFFER,
                                           depth == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                           GL_RENDERBUFFER, depthRb_);
            }
            bool complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
            if (complete && samples_ > 0) {
                gl.GenFramebuffers(1, &resolveFbo_);
                gl.BindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
                gl.GenRenderbuffers(1, &resolveRb_);
                gl.BindRenderbuffer(GL_RENDERBUFFER, resolveRb_);
                storage(color, 0);
                gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveRb_);
                complete = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
                gl.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
            }
            const GLenum err = glGetError();
            if (complete && err == GL_NO_ERROR) {
                hasDepth_ = !depthFormats.empty();
                if (hasDepth_) hasStencil_ = depthFormats[d] == GL_DEPTH24_STENCIL8;
                return D3D_OK;
            }
            if (err == GL_OUT_OF_MEMORY) {
                DestroyTargets();
                return D3DERR_OUTOFVIDEOMEMORY;
            }
        }
    }
    DestroyTargets();
    return D3DERR_NOTAVAILABLE;
}

void GLDevice::DestroyTargets() {
    const GLFuncs& gl = *gl_;
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    if (fbo_) gl.DeleteFramebuffers(1, &fbo_);
    if (resolveFbo_) gl.DeleteFramebuffers(1, &resolveFbo_);
    GLuint rbs[3] = {colorRb_, depthRb_, resolveRb_};
    for (GLuint rb : rbs)
        if (rb) gl.DeleteRenderbuffers(1, &rb);
    fbo_ = colorRb_ = depthRb_ = resolveFbo_ = resolveRb_ = 0;
    hasDepth_ = false;
}

void GLDevice::SetDefaultStates() {
    rs_.fill(0);
    rs_[D3DRS_ZENABLE] = pp_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs_[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs_[D3DRS_ZWRITEENABLE] = 1;
    rs_[D3DRS_LASTPIXEL] = 1;
    rs_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs_[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs_[D3DRS_FOGEND] = FtoDW(1.0f);
    rs_[D3DRS_FOGDENSITY] = FtoDW(1.0f);
    rs_[D3DRS_STENCILFAIL] = rs_[D3DRS_STENCILZFAIL] = rs_[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs_[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs_[D3DRS_STENCILMASK] = rs_[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs_[D3DRS_CLIPPING] = 1;
    rs_[D3DRS_LIGHTING] = 1;
    rs_[D3DRS_COLORVERTEX] = 1;
    rs_[D3DRS_LOCALVIEWER] = 1;
    rs_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs_[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs_[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs_[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs_[D3DRS_POINTSIZE] = FtoDW(1.0f);
    rs_[D3DRS_POINTSIZE_MIN] = FtoDW(0.0f);
    rs_[D3DRS_POINTSCALE_A] = FtoDW(1.0f);
    rs_[D3DRS_POINTSIZE_MAX] = FtoDW(64.0f);
    rs_[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs_[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    rs_[D3DRS_COLORWRITEENABLE] = 0xF;
    rs_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (DWORD s = 0; s < D3DMAXTEXTURESTAGES; ++s) {
        auto& t = tss_[s];
        t.fill(0);
        t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = s;
        t[D3DTSS_ADDRESSU] = t[D3DTSS_ADDRESSV] = t[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        t[D3DTSS_MAGFILTER] = t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        t[D3DTSS_MAXANISOTROPY] = 1;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        textures_[s].reset();
    }
    transforms_.clear();
    viewport_ = D3DVIEWPORT8{0, 0, pp_.BackBufferWidth, pp_.BackBufferHeight, 0.0f, 1.0f};
    material_ = D3DMATERIAL8{};
    lights_.clear();
    lightEnabled_.clear();
    stream0_.reset();
    stream0Stride_ = 0;
    indices_.reset();
    baseVertex_ = 0;
    vertexShader_ = D3DFVF_XYZ;
    pixelShader_ = 0;
    Changed();
    ++transformSerial_;
    for (DWORD i = 0; i < D3DRS_COUNT; ++i) SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), rs_[i]);
    ViewportToGL();
}

HRESULT GLDevice::TestCooperativeLevel() {
    // A minimised full-screen window has lost its device; once restored the
    // device waits for Reset.
    if (!pp_.Windowed && (SDL_GetWindowFlags(share_->window) & SDL_WINDOW_MINIMIZED)) lost_ = true;
    if (lost_) return (SDL_GetWindowFlags(share_->window) & SDL_WINDOW_MINIMIZED) ? D3DERR_DEVICELOST
                                                                                   : D3DERR_DEVICENOTRESET;
    return D3D_OK;
}

HRESULT GLDevice::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    if (!params->Windowed && (SDL_GetWindowFlags(share_->window) & SDL_WINDOW_MINIMIZED)) return D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS p = *params;
    p.hDeviceWindow = share_->window;
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        int w = 0, h = 0;
        SDL_GetWindowSize(share_->window, &w, &h);
        if (p.BackBufferWidth == 0) p.BackBufferWidth = static_cast<UINT>(std::max(1, w));
        if (p.BackBufferHeight == 0) p.BackBufferHeight = static_cast<UINT>(std::max(1, h));
    }
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = D3DFMT_X8R8G8B8;
    if (!IsBackBufferFormat(p.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !IsDepthFormat(p.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE &&
        (p.MultiSampleType < 2 || static_cast<int>(p.MultiSampleType) > parent_.Probe().maxSamples))
        return D3DERR_INVALIDCALL;
    if (!share_->MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    const D3DPRESENT_PARAMETERS old = pp_;
    pp_ = p;
    HRESULT hr = CreateTargets();
    if (FAILED(hr)) {
        pp_ = old;
        const HRESULT back = CreateTargets();
        lost_ = FAILED(back);
        return hr;
    }
    const Uint32 flags = SDL_GetWindowFlags(share_->window);
    if (!pp_.Windowed && !(flags & SDL_WINDOW_FULLSCREEN)) SDL_SetWindowFullscreen(share_->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (pp_.Windowed && (flags & SDL_WINDOW_FULLSCREEN)) SDL_SetWindowFullscreen(share_->window, 0);
    SDL_GL_SetSwapInterval(pp_.Windowed || pp_.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    SetDefaultStates();
    lost_ = false;
    inScene_ = false;
    return D3D_OK;
}

HRESULT GLDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

HRESULT GLDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return D3DERR_INVALIDCALL;
    if (pp_.Windowed) return parent_.GetAdapterDisplayMode(0, mode);
    mode->Width = pp_.BackBufferWidth;
    mode->Height = pp_.BackBufferHeight;
    mode->RefreshRate = pp_.FullScreen_RefreshRateInHz;
    mode->Format = pp_.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8
                   : pp_.BackBufferFormat == D3DFMT_A1R5G5B5 ? D3DFMT_X1R5G5B5
                                                             : pp_.BackBufferFormat;
    return D3D_OK;
}

BOOL GLDevice::ShowCursor(BOOL show) {
    // The device has no cursor of its own (the system cursor belongs to the
    // input module); only the flag is kept, as Direct3D reports it.
    const BOOL previous = cursorShown_ ? 1 : 0;
    cursorShown_ = show != 0;
    return previous;
}

void GLDevice::SetGammaRamp(DWORD, const D3DGAMMARAMP* ramp) {
    if (ramp && !pp_.Windowed) SDL_SetWindowGammaRamp(share_->window, ramp->red, ramp->green, ramp->blue);
}

std::string GLDevice::Renderer() const {
    if (!share_ || !share_->MakeCurrent()) return {};
    const GLubyte* s = glGetString(GL_RENDERER);
    return s ? reinterpret_cast<const char*>(s) : "";
}

// ---------------------------------------------------------------- frame

void GLDevice::ViewportToGL() {
    glViewport(static_cast<GLint>(viewport_.X),
               BackBufferHeight() - static_cast<GLint>(viewport_.Y + viewport_.Height),
               static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
}

HRESULT GLDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if (!share_->MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
    if (count > 0 && !rects) return D3DERR_INVALIDCALL;
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        float c[4];
        ColorToFloats(color, c);
        glClearColor(c[0], c[1], c[2], c[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_ZBUFFER) && hasDepth_) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) && hasStencil_) {
        glClearStencil(static_cast<GLint>(stencil));
        glStencilMask(0xFFFFFFFF);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // A clear covers the viewport, or the given rectangles inside it.
    const LONG vx1 = static_cast<LONG>(viewport_.X), vy1 = static_cast<LONG>(viewport_.Y);
    const LONG vx2 = vx1 + static_cast<LONG>(viewport_.Width), vy2 = vy1 + static_cast<LONG>(viewport_.Height);
    glEnable(GL_SCISSOR_TEST);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
        x1 = std::max(x1, vx1); y1 = std::max(y1, vy1);
        x2 = std::min(x2, vx2); y2 = std::min(y2, vy2);
        if (x2 <= x1 || y2 <= y1) return;
        glScissor(x1, BackBufferHeight() - y2, x2 - x1, y2 - y1);
        if (mask) glClear(mask);
    };
    if (count == 0) clearRect(vx1, vy1, vx2, vy2);
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    glDisable(GL_SCISSOR_TEST);
    SetRenderState(D3DRS_COLORWRITEENABLE, rs_[D3DRS_COLORWRITEENABLE]);
    SetRenderState(D3DRS_ZWRITEENABLE, rs_[D3DRS_ZWRITEENABLE]);
    SetRenderState(D3DRS_STENCILWRITEMASK, rs_[D3DRS_STENCILWRITEMASK]);
    return D3D_OK;
}

HRESULT GLDevice::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT GLDevice::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    if (share_->MakeCurrent()) glFlush();
    return D3D_OK;
}

HRESULT GLDevice::Present(const RECT*, const RECT*, SDL_Window*, const void*) {
    if (TestCooperativeLevel() != D3D_OK) return D3DERR_DEVICELOST;
    if (!share_->MakeCurrent()) return D3DERR_DRIVERINTERNALERROR;
    const GLFuncs& gl = *gl_;
    const GLint bw = static_cast<GLint>(pp_.BackBufferWidth), bh = static_cast<GLint>(pp_.BackBufferHeight);
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(share_->window, &dw, &dh);
    if (windowBackBuffer_) {
        SDL_GL_SwapWindow(share_->window);
        // The window changed size under the device: from the next frame on
        // the picture is drawn apart and scaled into it.
        if (dw != bw || dh != bh) {
            const HRESULT hr = CreateTargets();
            if (FAILED(hr)) lost_ = true;
            SetRenderState(D3DRS_ZENABLE, rs_[D3DRS_ZENABLE]);
            SetRenderState(D3DRS_STENCILENABLE, rs_[D3DRS_STENCILENABLE]);
        }
        return D3D_OK;
    }
    GLuint source = fbo_;
    if (samples_ > 0) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
        gl.BlitFramebuffer(0, 0, bw, bh, 0, 0, bw, bh, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        source = resolveFbo_;
    }
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, source);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (dw > 0 && dh > 0) {
        // The chosen resolution, scaled to the window with its aspect kept;
        // the bars beside it, if any, black.
        const double scale = std::min(static_cast<double>(dw) / bw, static_cast<double>(dh) / bh);
        const GLint rw = static_cast<GLint>(std::lround(bw * scale)), rh = static_cast<GLint>(std::lround(bh * scale));
        const GLint x = (dw - rw) / 2, y = (dh - rh) / 2;
        if (rw != dw || rh != dh) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        gl.BlitFramebuffer(0, 0, bw, bh, x, y, x + rw, y + rh, GL_COLOR_BUFFER_BIT,
                           rw == bw && rh == bh ? GL_NEAREST : GL_LINEAR);
    }
    SDL_GL_SwapWindow(share_->window);
    gl.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    SetRenderState(D3DRS_COLORWRITEENABLE, rs_[D3DRS_COLORWRITEENABLE]);
    return D3D_OK;
}

bool GLDevice::ReadBack(std::vector<uint8_t>& rgba, UINT& width, UINT& height) {
    if (!share_->MakeCurrent()) return false;
    const GLFuncs& gl = *gl_;
    const GLint bw = static_cast<GLint>(pp_.BackBufferWidth), bh = static_cast<GLint>(pp_.BackBufferHeight);
    GLuint source = fbo_;
    if (samples_ > 0) {
        gl.BindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
        gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
        gl.BlitFramebuffer(0, 0, bw, bh, 0, 0, bw, bh, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        source = resolveFbo_;
    }
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, source);
    std::vector<uint8_t> raw(static_cast<size_t>(bw) * bh * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, bw, bh, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    gl.BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    if (glGetError() != GL_NO_ERROR) return false;
    width = static_cast<UINT>(bw);
    height = static_cast<UINT>(bh);
    rgba.resize(raw.size());
    const size_t row = static_cast<size_t>(bw) * 4;
    const bool opaque = pp_.BackBufferFormat != D3DFMT_A8R8G8B8 && pp_.BackBufferFormat != D3DFMT_A1R5G5B5;
    for (GLint y = 0; y < bh; ++y) {
        std::memcpy(&rgba[static_cast<size_t>(y) * row], &raw[static_cast<size_t>(bh - 1 - y) * row], row);
        if (opaque)
            for (size_t x = 3; x < row; x += 4) rgba[static_cast<size_t>(y) * row + x] = 255;
    }
    return true;
}

// ---------------------------------------------------------------- state

// Render states that become GL state only; the programs and their uniforms
// read none of them, so changing one (blending on and off between a model's
// runs, depth writes for the sky) leaves the programs' uniforms as they are.
static bool OnlyGLState(D3DRENDERSTATETYPE state) {
    switch (state) {
    case D3DRS_ZENABLE: case D3DRS_ZWRITEENABLE: case D3DRS_ZFUNC: case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND: case D3DRS_DESTBLEND: case D3DRS_BLENDOP: case D3DRS_CULLMODE: case D3DRS_FILLMODE:
    case D3DRS_SHADEMODE: case D3DRS_STENCILENABLE: case D3DRS_STENCILFUNC: case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK: case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL: case D3DRS_STENCILPASS:
    case D3DRS_STENCILWRITEMASK: case D3DRS_COLORWRITEENABLE: case D3DRS_MULTISAMPLEANTIALIAS: case D3DRS_ZBIAS:
    case D3DRS_DITHERENABLE: case D3DRS_POINTSIZE:
        return true;
    default:
        return false;
    }
}

HRESULT GLDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    if (rs_[state] != value && !OnlyGLState(state)) Changed();
    rs_[state] = value;
    if (!share_->MakeCurrent()) return D3D_OK;
    const GLFuncs& gl = *gl_;
    switch (state) {
    case D3DRS_ZENABLE:
        if (value != D3DZB_FALSE && hasDepth_) glEnable(GL_DEPTH_TEST);
        else glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_ZWRITEENABLE: glDepthMask(value ? GL_TRUE : GL_FALSE); break;
    case D3DRS_ZFUNC: glDepthFunc(CompareFunc(value)); break;
    case D3DRS_ALPHABLENDENABLE:
        if (value) glEnable(GL_BLEND);
        else glDisable(GL_BLEND);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: {
        const DWORD src = rs_[D3DRS_SRCBLEND];
        GLenum s = BlendFactor(src), d = BlendFactor(rs_[D3DRS_DESTBLEND]);
        // The "both" factors set the destination factor too.
        if (src == D3DBLEND_BOTHSRCALPHA) { s = GL_SRC_ALPHA; d = GL_ONE_MINUS_SRC_ALPHA; }
        if (src == D3DBLEND_BOTHINVSRCALPHA) { s = GL_ONE_MINUS_SRC_ALPHA; d = GL_SRC_ALPHA; }
        glBlendFunc(s, d);
        break;
    }
    case D3DRS_BLENDOP: {
        GLenum e = GL_FUNC_ADD;
        if (value == D3DBLENDOP_SUBTRACT) e = GL_FUNC_SUBTRACT;
        else if (value == D3DBLENDOP_REVSUBTRACT) e = GL_FUNC_REVERSE_SUBTRACT;
        else if (value == D3DBLENDOP_MIN) e = GL_MIN;
        else if (value == D3DBLENDOP_MAX) e = GL_MAX;
        gl.BlendEquation(e);
        break;
    }
    case D3DRS_CULLMODE:
        if (value == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            // Front faces are clockwise (glFrontFace(GL_CW)); CCW culls the back.
            glCullFace(value == D3DCULL_CW ? GL_FRONT : GL_BACK);
        }
        break;
    case D3DRS_FILLMODE:
        glPolygonMode(GL_FRONT_AND_BACK, value == D3DFILL_POINT ? GL_POINT : value == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
        break;
    case D3DRS_SHADEMODE: glShadeModel(value == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH); break;
    case D3DRS_STENCILENABLE:
        if (value && hasStencil_) glEnable(GL_STENCIL_TEST);
        else glDisable(GL_STENCIL_TEST);
        break;
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
        glStencilFunc(CompareFunc(rs_[D3DRS_STENCILFUNC]), static_cast<GLint>(rs_[D3DRS_STENCILREF]), rs_[D3DRS_STENCILMASK]);
        break;
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
        glStencilOp(StencilOp(rs_[D3DRS_STENCILFAIL]), StencilOp(rs_[D3DRS_STENCILZFAIL]), StencilOp(rs_[D3DRS_STENCILPASS]));
        break;
    case D3DRS_STENCILWRITEMASK: glStencilMask(value); break;
    case D3DRS_COLORWRITEENABLE:
        glColorMask((value & 1) != 0, (value & 2) != 0, (value & 4) != 0, (value & 8) != 0);
        break;
    case D3DRS_MULTISAMPLEANTIALIAS:
        if (value) glEnable(GL_MULTISAMPLE);
        else glDisable(GL_MULTISAMPLE);
        break;
    case D3DRS_ZBIAS:
        // Larger biases draw nearer; one step is one unit of depth resolution.
        if (value) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(0.0f, -static_cast<float>(value));
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
        }
        break;
    case D3DRS_DITHERENABLE:
        if (value) glEnable(GL_DITHER);
        else glDisable(GL_DITHER);
        break;
    case D3DRS_POINTSIZE: glPointSize(std::max(1.0f, DWtoF(value))); break;
    default: break;   // read by the shaders at draw time
    }
    return D3D_OK;
}

HRESULT GLDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= D3DRS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = rs_[state];
    return D3D_OK;
}

HRESULT GLDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    if (tss_[stage][type] != value) Changed();
    tss_[stage][type] = value;
    return D3D_OK;
}

HRESULT GLDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = tss_[stage][type];
    return D3D_OK;
}

HRESULT GLDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    const uint32_t s = state;
    if (!(s == D3DTS_VIEW || s == D3DTS_PROJECTION || (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) ||
          (s >= 256 && s < 512)))
        return D3DERR_INVALIDCALL;
    transforms_[s] = *matrix;
    // The world moves every draw; only the matrices follow it.
    if (s == D3DTS_WORLD) ++transformSerial_;
    else Changed();
    return D3D_OK;
}

HRESULT GLDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    auto it = transforms_.find(state);
    *matrix = it == transforms_.end() ? Identity() : it->second;
    return D3D_OK;
}

HRESULT GLDevice::SetViewport(const D3DVIEWPORT8* v) {
    if (!v || v->Width == 0 || v->Height == 0 || v->X + v->Width > pp_.BackBufferWidth ||
        v->Y + v->Height > pp_.BackBufferHeight || v->MinZ < 0 || v->MaxZ > 1 || v->MinZ > v->MaxZ)
        return D3DERR_INVALIDCALL;
    viewport_ = *v;
    Changed();
    if (share_->MakeCurrent()) ViewportToGL();
    return D3D_OK;
}

HRESULT GLDevice::GetViewport(D3DVIEWPORT8* v) {
    if (!v) return D3DERR_INVALIDCALL;
    *v = viewport_;
    return D3D_OK;
}

HRESULT GLDevice::SetMaterial(const D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    material_ = *m;
    Changed();
    return D3D_OK;
}

HRESULT GLDevice::GetMaterial(D3DMATERIAL8* m) {
    if (!m) return D3DERR_INVALIDCALL;
    *m = material_;
    return D3D_OK;
}

HRESULT GLDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_POINT) {
        const D3DVECTOR& d = light->Direction;
        if (d.x == 0 && d.y == 0 && d.z == 0) return D3DERR_INVALIDCALL;
    }
    if (light->Type != D3DLIGHT_DIRECTIONAL && light->Range < 0) return D3DERR_INVALIDCALL;
    lights_[index] = *light;
    Changed();
    return D3D_OK;
}

HRESULT GLDevice::GetLight(DWORD index, D3DLIGHT8* light) {
    auto it = lights_.find(index);
    if (!light || it == lights_.end()) return D3DERR_INVALIDCALL;
    *light = it->second;
    return D3D_OK;
}

HRESULT GLDevice::LightEnable(DWORD index, BOOL enable) {
    // Enabling a light never set gives Direct3D's default white directional light.
    if (enable && lights_.find(index) == lights_.end()) {
        D3DLIGHT8 l;
        l.Type = D3DLIGHT_DIRECTIONAL;
        l.Diffuse = {1, 1, 1, 0};
        l.Direction = {0, 0, 1};
        lights_[index] = l;
    }
    if (enable) lightEnabled_[index] = true;
    else lightEnabled_.erase(index);
    Changed();
    return D3D_OK;
}

HRESULT GLDevice::GetLightEnable(DWORD index, BOOL* enable) {
    if (!enable || lights_.find(index) == lights_.end()) return D3DERR_INVALIDCALL;
    *enable = lightEnabled_.count(index) ? 1 : 0;
    return D3D_OK;
}

// ---------------------------------------------------------------- resources

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

FixedProgramKey GLDevice::FixedKey() const {
    FixedProgramKey key{};
    for (int s = 0; s < 4; ++s) {
        const auto& t = tss_[s];
        int colorOp = static_cast<int>(t[D3DTSS_COLOROP]);
        int alphaOp = static_cast<int>(t[D3DTSS_ALPHAOP]);
        int c[3] = {static_cast<int>(t[D3DTSS_COLORARG1]), static_cast<int>(t[D3DTSS_COLORARG2]),
                    static_cast<int>(t[D3DTSS_COLORARG0])};
        int a[3] = {static_cast<int>(t[D3DTSS_ALPHAARG1]), static_cast<int>(t[D3DTSS_ALPHAARG2]),
                    static_cast<int>(t[D3DTSS_ALPHAARG0])};
        if (!textures_[s]) {
            // A stage without a texture passes the current value through
            // where it would read the texture.
            auto readsTexture = [](int op, const int* args) {
                if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
                for (int k = 0; k < 3; ++k)
                    if ((args[k] & 0xF) == static_cast<int>(D3DTA_TEXTURE)) return true;
                return false;
            };
            if (colorOp != D3DTOP_DISABLE && readsTexture(colorOp, c)) {
                colorOp = D3DTOP_SELECTARG1;
                c[0] = D3DTA_CURRENT;
            }
            if (alphaOp != D3DTOP_DISABLE && readsTexture(alphaOp, a)) {
                alphaOp = D3DTOP_SELECTARG1;
                a[0] = D3DTA_CURRENT;
            }
        }
        key[kKeyColorOp + s] = colorOp;
        key[kKeyAlphaOp + s] = alphaOp;
        for (int k = 0; k < 3; ++k) {
            key[kKeyColorArg + 3 * s + k] = c[k];
            key[kKeyAlphaArg + 3 * s + k] = a[k];
        }
        key[kKeyResultTemp + s] = t[D3DTSS_RESULTARG] == D3DTA_TEMP ? 1 : 0;
        // A one-colour texture (the untextured models' white "none") is
        // a constant; not where the border colour can be sampled.
        if (textures_[s] && textures_[s]->ConstantTexel() >= 0 && t[D3DTSS_ADDRESSU] != D3DTADDRESS_BORDER &&
            t[D3DTSS_ADDRESSV] != D3DTADDRESS_BORDER)
            key[kKeyConstantTexel + s] = 1 + textures_[s]->ConstantTexel();
    }
    const bool fog = rs_[D3DRS_FOGENABLE] != 0;
    key[kKeySpecularAdd] = rs_[D3DRS_SPECULARENABLE] ? 1 : 0;
    key[kKeyFog] = fog ? 1 : 0;
    key[kKeyFogTable] = fog ? static_cast<int>(rs_[D3DRS_FOGTABLEMODE]) : 0;
    key[kKeyAlphaTest] = rs_[D3DRS_ALPHATESTENABLE] ? 1 : 0;
    key[kKeyAlphaFunc] = static_cast<int>(rs_[D3DRS_ALPHAFUNC]);
    return key;
}

// The fixed-function fragment stage with the settings of `key` written in
// as constants, so the compiler drops every branch and texture read the
// settings do not use. Empty when the source does not have the expected
// declarations (the generic program serves then).
static std::string SpecialisedFixedFragment(const FixedProgramKey& key) {
    std::string source = std::string("#version 120\n") + kGLFogFunctions + kGLFixedFragmentSource;
    auto list = [&](int from, int count) {
        std::string out;
        for (int i = 0; i < count; ++i) out += (i ? ", " : "") + std::to_string(key[static_cast<size_t>(from + i)]);
        return out;
    };
    auto ints = [&](int from, int count) {
        return "int[" + std::to_string(count) + "](" + list(from, count) + ")";
    };
    const std::pair<std::string, std::string> declarations[] = {
        {"uniform int uColorOp[4];", "const int uColorOp[4] = " + ints(kKeyColorOp, 4) + ";"},
        {"uniform int uColorArg[12];", "const int uColorArg[12] = " + ints(kKeyColorArg, 12) + ";"},
        {"uniform int uAlphaOp[4];", "const int uAlphaOp[4] = " + ints(kKeyAlphaOp, 4) + ";"},
        {"uniform int uAlphaArg[12];", "const int uAlphaArg[12] = " + ints(kKeyAlphaArg, 12) + ";"},
        {"uniform int uResultTemp[4];", "const int uResultTemp[4] = " + ints(kKeyResultTemp, 4) + ";"},
        {"uniform bool uSpecularAdd;", std::string("const bool uSpecularAdd = ") + (key[kKeySpecularAdd] ? "true;" : "false;")},
        {"uniform bool uFogEnable;", std::string("const bool uFogEnable = ") + (key[kKeyFog] ? "true;" : "false;")},
        {"uniform int uFogTableMode;", "const int uFogTableMode = " + std::to_string(key[kKeyFogTable]) + ";"},
        {"uniform bool uAlphaTest;", std::string("const bool uAlphaTest = ") + (key[kKeyAlphaTest] ? "true;" : "false;")},
        {"uniform int uAlphaFunc;", "const int uAlphaFunc = " + std::to_string(key[kKeyAlphaFunc]) + ";"},
    };
    for (const auto& [from, to] : declarations) {
        const size_t at = source.find(from);
        if (at == std::string::npos) return {};
        source.replace(at, from.size(), to);
    }
    for (int s = 0; s < 4; ++s) {
        const int constant = key[static_cast<size_t>(kKeyConstantTexel + s)];
        if (constant == 0) continue;
        const std::string read = "texture2DProj(uTex" + std::to_string(s) + ", gl_TexCoord[" + std::to_string(s) + "])";
        const size_t at = source.find(read);
        if (at == std::string::npos) return {};
        const int bits = constant - 1;
        std::string value = "vec4(";
        for (int c = 0; c < 4; ++c) value += std::string(c ? ", " : "") + ((bits >> c) & 1 ? "1.0" : "0.0");
        source.replace(at, read.size(), value + ")");
    }
    return source;
}

GLProgram* GLDevice::FixedProgram() {
    if (genericFixedFunction) return fixedProgram_.get();
    if (variant_ && variantSerial_ == stateSerial_) return variant_;
    const FixedProgramKey key = FixedKey();
    auto it = fixedVariants_.find(key);
    if (it == fixedVariants_.end()) {
        std::string error;
        const std::string source = SpecialisedFixedFragment(key);
        std::unique_ptr<GLProgram> program(source.empty() ? nullptr : BuildProgram(source, error));
        it = fixedVariants_.emplace(key, std::move(program)).first;
    }
    variant_ = it->second ? it->second.get() : fixedProgram_.get();
    variantSerial_ = stateSerial_;
    return variant_;
}

void GLDevice::SetTransformUniforms(GLProgram& p) {
    const GLFuncs& gl = *gl_;
    auto transform = [&](uint32_t s) {
        auto it = transforms_.find(s);
        return it == transforms_.end() ? Identity() : it->second;
    };
    const D3DMATRIX worldView = Mul(transform(D3DTS_WORLD), transform(D3DTS_VIEW));
    const D3DMATRIX normal = NormalMatrix(worldView);
    gl.UniformMatrix4fv(p.Uniform(gl, "uWorldView"), 1, GL_FALSE, &worldView.m[0][0]);
    gl.UniformMatrix4fv(p.Uniform(gl, "uNormalMat"), 1, GL_FALSE, &normal.m[0][0]);
}

void GLDevice::SetProgramUniforms(GLProgram& p) {
    const GLFuncs& gl = *gl_;
    auto u = [&](const char* name) { return p.Uniform(gl, name); };
    auto mat = [&](const char* name, const D3DMATRIX& m) { gl.UniformMatrix4fv(u(name), 1, GL_FALSE, &m.m[0][0]); };
    auto i1 = [&](const char* name, int v) { gl.Uniform1i(u(name), v); };
    auto f1 = [&](const char* name, float v) { gl.Uniform1f(u(name), v); };
    auto v4 = [&](const char* name, const float* v) { gl.Uniform4fv(u(name), 1, v); };
    auto color = [&](const char* name, const D3DCOLORVALUE& c) {
        const float v[4] = {c.r, c.g, c.b, c.a};
        v4(name, v);
    };
    auto transform = [&](uint32_t s) {
        auto it = transforms_.find(s);
        return it == transforms_.end() ? Identity() : it->second;
    };
    const D3DMATRIX view = transform(D3DTS_VIEW);
    SetTransformUniforms(p);
    mat("uProj", transform(D3DTS_PROJECTION));
    const float vp[4] = {static_cast<float>(viewport_.X), static_cast<float>(viewport_.Y),
                         static_cast<float>(viewport_.Width), static_cast<float>(viewport_.Height)};
    v4("uViewportRect", vp);
    // Direct3D samples pixel centres on whole pixel coordinates.
    const float shift[2] = {-1.0f / vp[2], 1.0f / vp[3]};
    gl.Uniform2fv(u("uPixelShift"), 1, shift);
    f1("uAlphaRef", static_cast<float>(rs_[D3DRS_ALPHAREF] & 0xFF));
    i1("uAlphaTest", rs_[D3DRS_ALPHATESTENABLE] ? 1 : 0);
    i1("uAlphaFunc", static_cast<int>(rs_[D3DRS_ALPHAFUNC]));

    i1("uLighting", rs_[D3DRS_LIGHTING] ? 1 : 0);
    i1("uColorVertex", rs_[D3DRS_COLORVERTEX] ? 1 : 0);
    i1("uLocalViewer", rs_[D3DRS_LOCALVIEWER] ? 1 : 0);
    i1("uNormalize", rs_[D3DRS_NORMALIZENORMALS] ? 1 : 0);
    i1("uSpecularEnable", rs_[D3DRS_SPECULARENABLE] ? 1 : 0);
    i1("uSpecularAdd", rs_[D3DRS_SPECULARENABLE] ? 1 : 0);
    float ambient[4];
    ColorToFloats(rs_[D3DRS_AMBIENT], ambient);
    v4("uGlobalAmbient", ambient);
    color("uMatDiffuse", material_.Diffuse);
    color("uMatAmbient", material_.Ambient);
    color("uMatSpecular", material_.Specular);
    color("uMatEmissive", material_.Emissive);
    f1("uMatPower", material_.Power);
    const int sources[4] = {static_cast<int>(rs_[D3DRS_DIFFUSEMATERIALSOURCE]),
                            static_cast<int>(rs_[D3DRS_AMBIENTMATERIALSOURCE]),
                            static_cast<int>(rs_[D3DRS_SPECULARMATERIALSOURCE]),
                            static_cast<int>(rs_[D3DRS_EMISSIVEMATERIALSOURCE])};
    gl.Uniform1iv(u("uMatSource"), 4, sources);

    // Lights are given in world space; lighting runs in camera space.
    float ld[32] = {}, ls[32] = {}, la[32] = {}, lp[32] = {}, ldir[32] = {}, lat[32] = {}, lspot[32] = {};
    int count = 0;
    for (const auto& [index, on] : lightEnabled_) {
        if (!on || count >= 8) continue;
        const D3DLIGHT8& l = lights_[index];
        float* d = ld + 4 * count;
        d[0] = l.Diffuse.r; d[1] = l.Diffuse.g; d[2] = l.Diffuse.b; d[3] = l.Diffuse.a;
        float* s = ls + 4 * count;
        s[0] = l.Specular.r; s[1] = l.Specular.g; s[2] = l.Specular.b; s[3] = l.Specular.a;
        float* a = la + 4 * count;
        a[0] = l.Ambient.r; a[1] = l.Ambient.g; a[2] = l.Ambient.b; a[3] = l.Ambient.a;
        const D3DVECTOR& P = l.Position;
        float* pos = lp + 4 * count;
        for (int j = 0; j < 3; ++j)
            pos[j] = P.x * view.m[0][j] + P.y * view.m[1][j] + P.z * view.m[2][j] + view.m[3][j];
        pos[3] = static_cast<float>(l.Type);
        const D3DVECTOR& D = l.Direction;
        float* dir = ldir + 4 * count;
        for (int j = 0; j < 3; ++j) dir[j] = D.x * view.m[0][j] + D.y * view.m[1][j] + D.z * view.m[2][j];
        const float len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        if (len > 0)
            for (int j = 0; j < 3; ++j) dir[j] /= len;
        float* at = lat + 4 * count;
        at[0] = l.Attenuation0; at[1] = l.Attenuation1; at[2] = l.Attenuation2; at[3] = l.Range;
        float* sp = lspot + 4 * count;
        sp[0] = std::cos(l.Theta * 0.5f);
        sp[1] = std::cos(l.Phi * 0.5f);
        sp[2] = l.Falloff;
        ++count;
    }
    i1("uLightCount", count);
    gl.Uniform4fv(u("uLightDiffuse"), 8, ld);
    gl.Uniform4fv(u("uLightSpecular"), 8, ls);
    gl.Uniform4fv(u("uLightAmbient"), 8, la);
    gl.Uniform4fv(u("uLightPosition"), 8, lp);
    gl.Uniform4fv(u("uLightDirection"), 8, ldir);
    gl.Uniform4fv(u("uLightAtten"), 8, lat);
    gl.Uniform4fv(u("uLightSpot"), 8, lspot);

    const bool fog = rs_[D3DRS_FOGENABLE] != 0;
    const DWORD table = rs_[D3DRS_FOGTABLEMODE];
    i1("uFogEnable", fog ? 1 : 0);
    i1("uFogTableMode", fog ? static_cast<int>(table) : 0);
    i1("uFogVertexMode", fog && table == D3DFOG_NONE ? static_cast<int>(rs_[D3DRS_FOGVERTEXMODE]) : 0);
    i1("uRangeFog", rs_[D3DRS_RANGEFOGENABLE] ? 1 : 0);
    {
        const float params[4] = {DWtoF(rs_[D3DRS_FOGDENSITY]), DWtoF(rs_[D3DRS_FOGSTART]), DWtoF(rs_[D3DRS_FOGEND]), 0};
        float fc[4];
        ColorToFloats(rs_[D3DRS_FOGCOLOR], fc);
        gl.Uniform3fv(u("uFogParams"), 1, params);
        gl.Uniform3fv(u("uFogColor"), 1, fc);
    }

    float factor[4];
    ColorToFloats(rs_[D3DRS_TEXTUREFACTOR], factor);
    v4("uTFactor", factor);
    const FixedProgramKey key = FixedKey();
    int texIndex[4], texFlags[4];
    D3DMATRIX texMatrix[4];
    for (int s = 0; s < 4; ++s) {
        const auto& t = tss_[s];
        texIndex[s] = static_cast<int>(t[D3DTSS_TEXCOORDINDEX] & 0x7);
        texFlags[s] = static_cast<int>(t[D3DTSS_TEXTURETRANSFORMFLAGS]);
        texMatrix[s] = transform(D3DTS_TEXTURE0 + s);
    }
    gl.Uniform1iv(u("uColorOp"), 4, &key[kKeyColorOp]);
    gl.Uniform1iv(u("uAlphaOp"), 4, &key[kKeyAlphaOp]);
    gl.Uniform1iv(u("uColorArg"), 12, &key[kKeyColorArg]);
    gl.Uniform1iv(u("uAlphaArg"), 12, &key[kKeyAlphaArg]);
    gl.Uniform1iv(u("uResultTemp"), 4, &key[kKeyResultTemp]);
    gl.Uniform1iv(u("uTexIndex"), 4, texIndex);
    gl.Uniform1iv(u("uTexFlags"), 4, texFlags);
    gl.UniformMatrix4fv(u("uTexMatrix"), 4, GL_FALSE, &texMatrix[0].m[0][0]);
    static const char* const samplers[4] = {"uTex0", "uTex1", "uTex2", "uTex3"};
    for (int s = 0; s < 4; ++s) i1(samplers[s], s);
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
                       UINT stride, const void* indices, GLenum indexType, bool indexBufferBound, UINT first) {
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
        if (pixelShader_ && program != fixedProgram_.get()) {
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

    if (indexType != 0) {
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
    if (!program) return D3DERR_INVALIDCALL;
    auto ps = std::make_unique<PixelShader>();
    ps->program = *program;
    const DWORD h = nextShaderHandle_++ << 1;
    pixelShaders_[h] = std::move(ps);
    *handle = h;
    return D3D_OK;
}

HRESULT GLDevice::SetPixelShader(DWORD handle) {
    if (handle != 0 && pixelShaders_.find(handle) == pixelShaders_.end()) return D3DERR_INVALIDCALL;
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
    if (currentProgram_ == it->second->program.program) currentProgram_ = 0;
    if (share_->MakeCurrent()) gl_->DeleteProgram(it->second->program.program);
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

// ---------------------------------------------------------------- helpers

bool UseGenericFixedFunction(IDirect3DDevice8& device, bool on) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    if (!gl) return false;
    gl->genericFixedFunction = on;
    return true;
}

bool DrawsIntoWindow(IDirect3DDevice8& device) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    return gl && gl->DrawsIntoWindow();
}

bool ReadBackBuffer(IDirect3DDevice8& device, std::vector<uint8_t>& rgba, UINT& width, UINT& height) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    return gl && gl->ReadBack(rgba, width, height);
}

} // namespace rdv
