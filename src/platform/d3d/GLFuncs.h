#pragma once
// OpenGL entry points beyond 1.1, fetched through SDL_GL_GetProcAddress once a
// context is current, so the device works with whichever libGL/EGL SDL chose.
#include <GL/gl.h>
#include <GL/glext.h>

namespace rdv {

#define RDV_GL_FUNCS(X)                                                                  \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                                   \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                             \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                                   \
    X(PFNGLBUFFERDATAPROC, BufferData)                                                   \
    X(PFNGLBUFFERSUBDATAPROC, BufferSubData)                                             \
    X(PFNGLCREATESHADERPROC, CreateShader)                                               \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                               \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                               \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                             \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                 \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                       \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                             \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                             \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                               \
    X(PFNGLDETACHSHADERPROC, DetachShader)                                               \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                 \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                               \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                     \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                                   \
    X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                                   \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                                   \
    X(PFNGLGETACTIVEUNIFORMPROC, GetActiveUniform)                                       \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                                     \
    X(PFNGLUNIFORM1FPROC, Uniform1f)                                                     \
    X(PFNGLUNIFORM1FVPROC, Uniform1fv)                                                   \
    X(PFNGLUNIFORM1IVPROC, Uniform1iv)                                                   \
    X(PFNGLUNIFORM2FVPROC, Uniform2fv)                                                   \
    X(PFNGLUNIFORM3FVPROC, Uniform3fv)                                                   \
    X(PFNGLUNIFORM4FVPROC, Uniform4fv)                                                   \
    X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                       \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                 \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                         \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)                       \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                                           \
    X(PFNGLBLENDEQUATIONPROC, BlendEquation)                                             \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                             \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                         \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                   \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                         \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                         \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                           \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                       \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                                 \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                       \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                                 \
    X(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC, RenderbufferStorageMultisample)           \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)                                         \
    X(PFNGLGENERATEMIPMAPPROC, GenerateMipmap)

// Optional: null when the driver lacks them.
#define RDV_GL_OPTIONAL_FUNCS(X)                                                         \
    X(PFNGLRELEASESHADERCOMPILERPROC, ReleaseShaderCompiler)                             \
    X(PFNGLGETBUFFERSUBDATAPROC, GetBufferSubData)                                       \
    X(PFNGLPROVOKINGVERTEXPROC, ProvokingVertex)                                         \
    X(PFNGLTEXSTORAGE2DPROC, TexStorage2D)                                               \
    X(PFNGLDRAWARRAYSINSTANCEDPROC, DrawArraysInstanced)                                 \
    X(PFNGLDRAWELEMENTSINSTANCEDPROC, DrawElementsInstanced)                             \
    X(PFNGLVERTEXATTRIBDIVISORPROC, VertexAttribDivisor)

struct GLFuncs {
#define RDV_GL_DECLARE(type, name) type name = nullptr;
    RDV_GL_FUNCS(RDV_GL_DECLARE)
    RDV_GL_OPTIONAL_FUNCS(RDV_GL_DECLARE)
#undef RDV_GL_DECLARE
    // Loads every entry point for the current context; false names the
    // first required one that is missing.
    bool Load(const char** missing);
};

} // namespace rdv
