// The frame of the OpenGL device: clearing, scenes, presenting the back
// buffer and reading it back.
#include <algorithm>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/d3d/GLInternal.h"

namespace rdv {

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
    ReleaseIdleCompiler();
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
    const GLuint source = ResolvedBackBuffer(bw, bh);
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

// ------------------------------------------------------- shader compiler

size_t GLDevice::ProgramsBuilt() const {
    // Every fixed-function variant and pixel shader link is a build; the
    // variants' map forgets no key it tried and the link count only grows.
    return (fixedProgram_.Built() ? 1 : 0) + fixedVariants_.size() + pixelShaderBuilds_;
}

void GLDevice::ReleaseIdleCompiler() {
    const size_t built = ProgramsBuilt();
    if (built != programsSeen_) {
        programsSeen_ = built;
        quietPresents_ = 0;
        compilerHeld_ = true;
        return;
    }
    if (!compilerHeld_ || ++quietPresents_ < kQuietPresents) return;
    ReleaseShaderCompiler();
}

void GLDevice::ReleaseShaderCompiler() {
    if (!share_->MakeCurrent()) return;
    if (gl_->ReleaseShaderCompiler) gl_->ReleaseShaderCompiler();
    compilerHeld_ = false;
    quietPresents_ = 0;
    ++compilerReleases_;
    // What the compiler held lies free inside the heap, which keeps it for
    // the process unless asked.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

GLuint GLDevice::ResolvedBackBuffer(GLint bw, GLint bh) {
    if (samples_ == 0) return fbo_;
    // A multisampled back buffer is resolved before it is shown or read.
    const GLFuncs& gl = *gl_;
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
    gl.BlitFramebuffer(0, 0, bw, bh, 0, 0, bw, bh, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return resolveFbo_;
}

bool GLDevice::ReadBack(std::vector<uint8_t>& rgba, UINT& width, UINT& height) {
    if (!share_->MakeCurrent()) return false;
    const GLFuncs& gl = *gl_;
    const GLint bw = static_cast<GLint>(pp_.BackBufferWidth), bh = static_cast<GLint>(pp_.BackBufferHeight);
    const GLuint source = ResolvedBackBuffer(bw, bh);
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

} // namespace rdv
