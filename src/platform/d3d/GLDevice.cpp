// The Direct3D 8 device on OpenGL: its life cycle (the context, the render
// targets, reset) and what it reports. Presenting is in GLPresent.cpp, state
// and programs in GLState.cpp, resources in GLDeviceResources.cpp, drawing
// in GLDraw.cpp.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/d3d/GLDevice.h"
#include "platform/d3d/GLInternal.h"
#include "platform/d3d/StateCache.h"

namespace rdv {

extern const char* const kGLFixedFragmentSource;
extern const char* const kGLFogFunctions;

namespace {

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
        for (auto& [h, ps] : pixelShaders_)
            if (ps->program.program) share_->gl.DeleteProgram(ps->program.program);
        pixelShaders_.clear();
        if (GLProgram* generic = fixedProgram_.Built()) share_->gl.DeleteProgram(generic->program);
        for (auto& [key, p] : fixedVariants_)
            if (p) share_->gl.DeleteProgram(p->program);
        if (instanceBuffer_) share_->gl.DeleteBuffers(1, &instanceBuffer_);
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
    fixedProgram_.SetBuilder([this] {
        std::string error;
        return BuildProgram(std::string("#version 120\n") + kGLFogFunctions + kGLFixedFragmentSource, error);
    });
    {
        // A driver that cannot link it cannot draw; once that is known it
        // goes until it is needed.
        if (!fixedProgram_.get()) return D3DERR_NOTAVAILABLE;
        gl_->DeleteProgram(fixedProgram_.Take()->program);
    }
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

// ---------------------------------------------------------------- helpers

bool UseGenericFixedFunction(IDirect3DDevice8& device, bool on) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    if (!gl) return false;
    gl->genericFixedFunction = on;
    return true;
}

bool ReleaseShaderCompiler(IDirect3DDevice8& device) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    if (!gl) return false;
    gl->ReleaseShaderCompiler();
    return true;
}

int LinkedPixelShaders(IDirect3DDevice8& device) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    return gl ? static_cast<int>(gl->LinkedPixelShaders()) : -1;
}

bool HeldInGLOnly(IDirect3DVertexBuffer8& buffer) {
    auto* gl = dynamic_cast<GLVertexBuffer*>(&buffer);
    return gl && !gl->Data().HasCopy();
}

bool HeldInGLOnly(IDirect3DIndexBuffer8& buffer) {
    auto* gl = dynamic_cast<GLIndexBuffer*>(&buffer);
    return gl && !gl->Data().HasCopy();
}

int ShaderCompilerReleases(IDirect3DDevice8& device) {
    auto* gl = dynamic_cast<GLDevice*>(WithoutStateCache(&device));
    return gl ? static_cast<int>(gl->CompilerReleases()) : -1;
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
