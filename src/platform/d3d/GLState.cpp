// The state of the OpenGL device (render and stage states, transforms,
// viewport, material, lights) and the uniforms that feed it to the programs
// (chosen in GLPrograms.cpp).
#include <algorithm>
#include <cmath>
#include <tuple>

#include "platform/d3d/GLInternal.h"

namespace rdv {

extern const char* const kGLFixedFragmentSource;
extern const char* const kGLFogFunctions;

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    return m;
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

} // namespace

D3DMATRIX GLMatrixMul(const D3DMATRIX& a, const D3DMATRIX& b) {
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
D3DMATRIX GLNormalMatrix(const D3DMATRIX& m) {
    const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    D3DMATRIX r{};
    for (int k = 0; k < 4; ++k) r.m[k][k] = 1;
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
    if ((type == D3DTSS_MIPFILTER && value != D3DTEXF_NONE) || (type == D3DTSS_MAXMIPLEVEL && value != 0))
        WantMips();
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

D3DMATRIX GLDevice::TransformOf(uint32_t state) const {
    auto it = transforms_.find(state);
    return it == transforms_.end() ? Identity() : it->second;
}

void GLDevice::SetTransformUniforms(GLProgram& p) {
    const GLFuncs& gl = *gl_;
    const D3DMATRIX worldView = GLMatrixMul(TransformOf(D3DTS_WORLD), TransformOf(D3DTS_VIEW));
    const D3DMATRIX normal = GLNormalMatrix(worldView);
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
    const D3DMATRIX view = TransformOf(D3DTS_VIEW);
    SetTransformUniforms(p);
    mat("uProj", TransformOf(D3DTS_PROJECTION));
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
    float types[8] = {};
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
        pos[3] = 0;
        types[count] = static_cast<float>(l.Type);
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
    gl.Uniform1fv(u("uLightType"), 8, types);
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
        texMatrix[s] = TransformOf(D3DTS_TEXTURE0 + s);
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

} // namespace rdv
