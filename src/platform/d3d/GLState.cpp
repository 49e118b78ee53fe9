// The state of the OpenGL device (render and stage states, transforms,
// viewport, material, lights) and the fixed-function programs chosen and fed
// from it.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "platform/d3d/GLInternal.h"

namespace rdv {

extern const char* const kGLVertexSource;
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

// Where each setting sits in a fixed-function program key.
constexpr int kKeyColorOp = 0, kKeyColorArg = 4, kKeyAlphaOp = 16, kKeyAlphaArg = 20, kKeyResultTemp = 32,
              kKeySpecularAdd = 36, kKeyFog = 37, kKeyFogTable = 38, kKeyAlphaTest = 39, kKeyAlphaFunc = 40,
              kKeyConstantTexel = 41, kKeyInstanced = 45, kKeyVertexFlags = 46, kKeyMatSource = 55, kKeyLightCount = 59,
              kKeyLightType = 60, kKeyFogVertex = 68, kKeyRangeFog = 69, kKeyTexIndex = 70, kKeyTexFlags = 74,
              kKeyTexSetSize = 78;
static_assert(kKeyTexSetSize + 4 == std::tuple_size_v<FixedProgramKey>);
// kKeyVertexFlags + 0..8: rhw, normal, diffuse, specular, lighting, colour
// vertex, local viewer, normalize, specular enable.

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

// ---------------------------------------------------------------- programs

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
    key[kKeyInstanced] = instancing_ ? 1 : 0;

    // The vertex stage: what the layout has, and the settings it reads.
    GLVertexLayout layout;
    if (vertexShader_ & 1) {
        auto it = vertexShaders_.find(vertexShader_);
        if (it != vertexShaders_.end()) layout = it->second.layout;
    } else {
        layout = LayoutFromFvf(vertexShader_);
    }
    const bool lighting = rs_[D3DRS_LIGHTING] != 0 && !layout.rhw;
    const int flags[9] = {layout.rhw ? 1 : 0, layout.normal >= 0 ? 1 : 0, layout.diffuse >= 0 ? 1 : 0,
                          layout.specular >= 0 ? 1 : 0, lighting ? 1 : 0,
                          lighting && rs_[D3DRS_COLORVERTEX] ? 1 : 0, lighting && rs_[D3DRS_LOCALVIEWER] ? 1 : 0,
                          lighting && rs_[D3DRS_NORMALIZENORMALS] ? 1 : 0,
                          lighting && rs_[D3DRS_SPECULARENABLE] ? 1 : 0};
    for (int i = 0; i < 9; ++i) key[static_cast<size_t>(kKeyVertexFlags + i)] = flags[i];
    if (lighting) {
        const D3DRENDERSTATETYPE sources[4] = {D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_AMBIENTMATERIALSOURCE,
                                               D3DRS_SPECULARMATERIALSOURCE, D3DRS_EMISSIVEMATERIALSOURCE};
        for (int i = 0; i < 4; ++i) key[static_cast<size_t>(kKeyMatSource + i)] = static_cast<int>(rs_[sources[i]]);
        int count = 0;
        for (const auto& [index, on] : lightEnabled_) {
            if (!on || count >= 8) continue;
            auto light = lights_.find(index);
            key[static_cast<size_t>(kKeyLightType + count)] = light == lights_.end() ? 0 : static_cast<int>(light->second.Type);
            ++count;
        }
        key[kKeyLightCount] = count;
    }
    key[kKeyFogVertex] = fog && rs_[D3DRS_FOGTABLEMODE] == D3DFOG_NONE ? static_cast<int>(rs_[D3DRS_FOGVERTEXMODE]) : 0;
    key[kKeyRangeFog] = rs_[D3DRS_RANGEFOGENABLE] ? 1 : 0;
    for (int s = 0; s < 4; ++s) {
        key[static_cast<size_t>(kKeyTexIndex + s)] = static_cast<int>(tss_[s][D3DTSS_TEXCOORDINDEX] & 0x7);
        key[static_cast<size_t>(kKeyTexFlags + s)] = static_cast<int>(tss_[s][D3DTSS_TEXTURETRANSFORMFLAGS]);
        key[static_cast<size_t>(kKeyTexSetSize + s)] = layout.tex[static_cast<size_t>(s)] >= 0 ? layout.texSize[static_cast<size_t>(s)] : 2;
    }
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

// The fixed-function vertex stage with the settings of `key` written in as
// constants, so the compiler drops the lights, colour sources and texture
// coordinate paths they do not use. Empty when the source does not have the
// expected declarations.
static std::string SpecialisedFixedVertex(const FixedProgramKey& key) {
    std::string source = kGLVertexSource;
    auto at = [&](int i) { return key[static_cast<size_t>(i)]; };
    auto ints = [&](int from, int count) {
        std::string out = "int[" + std::to_string(count) + "](";
        for (int i = 0; i < count; ++i) out += (i ? ", " : "") + std::to_string(at(from + i));
        return out + ")";
    };
    auto boolean = [&](int i) { return std::string(at(i) ? "true;" : "false;"); };
    std::string types = "float[8](";
    for (int i = 0; i < 8; ++i) types += (i ? ", " : "") + std::to_string(at(kKeyLightType + i)) + ".0";
    types += ")";
    const std::pair<std::string, std::string> declarations[] = {
        {"uniform bool uRhw;", "const bool uRhw = " + boolean(kKeyVertexFlags)},
        {"uniform bool uHasNormal;", "const bool uHasNormal = " + boolean(kKeyVertexFlags + 1)},
        {"uniform bool uHasDiffuse;", "const bool uHasDiffuse = " + boolean(kKeyVertexFlags + 2)},
        {"uniform bool uHasSpecular;", "const bool uHasSpecular = " + boolean(kKeyVertexFlags + 3)},
        {"uniform bool uLighting;", "const bool uLighting = " + boolean(kKeyVertexFlags + 4)},
        {"uniform bool uColorVertex;", "const bool uColorVertex = " + boolean(kKeyVertexFlags + 5)},
        {"uniform bool uLocalViewer;", "const bool uLocalViewer = " + boolean(kKeyVertexFlags + 6)},
        {"uniform bool uNormalize;", "const bool uNormalize = " + boolean(kKeyVertexFlags + 7)},
        {"uniform bool uSpecularEnable;", "const bool uSpecularEnable = " + boolean(kKeyVertexFlags + 8)},
        {"uniform int uMatSource[4];", "const int uMatSource[4] = " + ints(kKeyMatSource, 4) + ";"},
        {"uniform int uLightCount;", "const int uLightCount = " + std::to_string(at(kKeyLightCount)) + ";"},
        {"uniform float uLightType[8];", "const float uLightType[8] = " + types + ";"},
        {"uniform int uFogVertexMode;", "const int uFogVertexMode = " + std::to_string(at(kKeyFogVertex)) + ";"},
        {"uniform bool uRangeFog;", "const bool uRangeFog = " + boolean(kKeyRangeFog)},
        {"uniform int uTexIndex[4];", "const int uTexIndex[4] = " + ints(kKeyTexIndex, 4) + ";"},
        {"uniform int uTexSetSize[4];", "const int uTexSetSize[4] = " + ints(kKeyTexSetSize, 4) + ";"},
        {"uniform int uTexFlags[4];", "const int uTexFlags[4] = " + ints(kKeyTexFlags, 4) + ";"},
    };
    for (const auto& [from, to] : declarations) {
        const size_t pos = source.find(from);
        if (pos == std::string::npos) return {};
        source.replace(pos, from.size(), to);
    }
    return source;
}

GLProgram* GLDevice::FixedProgram() {
    if (genericFixedFunction && !instancing_) return fixedProgram_.get();
    if (variant_ && variantSerial_ == stateSerial_ && variantInstanced_ == instancing_) return variant_;
    const FixedProgramKey key = FixedKey();
    auto it = fixedVariants_.find(key);
    if (it == fixedVariants_.end()) {
        std::string error;
        const std::string source = SpecialisedFixedFragment(key);
        const std::string vertex = SpecialisedFixedVertex(key);
        std::unique_ptr<GLProgram> program(source.empty() || vertex.empty() ? nullptr
                                                                           : BuildProgram(source, error, instancing_, vertex));
        it = fixedVariants_.emplace(key, std::move(program)).first;
    }
    // An instanced draw has no program to fall back on: it draws face by
    // face instead (see DrawPrimitiveInstanced).
    variant_ = it->second ? it->second.get() : (instancing_ ? nullptr : fixedProgram_.get());
    variantSerial_ = stateSerial_;
    variantInstanced_ = instancing_;
    return variant_;
}

void GLDevice::SetTransformUniforms(GLProgram& p) {
    const GLFuncs& gl = *gl_;
    auto transform = [&](uint32_t s) {
        auto it = transforms_.find(s);
        return it == transforms_.end() ? Identity() : it->second;
    };
    const D3DMATRIX worldView = GLMatrixMul(transform(D3DTS_WORLD), transform(D3DTS_VIEW));
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

} // namespace rdv
