// The GLSL programs that carry out Direct3D's fixed-function pipeline:
// per-vertex lighting in camera space, texture coordinate transforms and
// fog inputs in the vertex stage; texture stages, specular add, fog and the
// alpha test in the fragment stage. Translated pixel shaders replace the
// fragment stage's texture stages and keep its fog.
#include <cstring>
#include <string>

#include "platform/d3d/GLInternal.h"

namespace rdv {

extern const char* const kGLVertexSource;
extern const char* const kGLFixedFragmentSource;
extern const char* const kGLFogFunctions;

const char* const kGLVertexSource = R"(#version 120
attribute vec4 aPosition;
attribute vec3 aNormal;
attribute vec4 aDiffuse;
attribute vec4 aSpecular;
attribute vec4 aTex0;
attribute vec4 aTex1;
attribute vec4 aTex2;
attribute vec4 aTex3;

// Direct3D matrices are row-vector matrices; loaded into GL unchanged,
// M * v here is Direct3D's v * M.
#ifdef RDV_INSTANCED
// Many faces in one draw: each instance brings its own matrices, the rows
// the device would otherwise have loaded as uniforms.
attribute vec4 aWorldView0;
attribute vec4 aWorldView1;
attribute vec4 aWorldView2;
attribute vec4 aWorldView3;
attribute vec3 aNormalMat0;
attribute vec3 aNormalMat1;
attribute vec3 aNormalMat2;
#define WORLD_VIEW mat4(aWorldView0, aWorldView1, aWorldView2, aWorldView3)
#define NORMAL_MAT mat3(aNormalMat0, aNormalMat1, aNormalMat2)
#else
uniform mat4 uWorldView;
uniform mat4 uNormalMat;
#define WORLD_VIEW uWorldView
#define NORMAL_MAT mat3(uNormalMat)
#endif
uniform mat4 uProj;
uniform bool uRhw;
uniform vec4 uViewportRect;   // x, y, width, height in pixels, y from the top
uniform vec2 uPixelShift;     // half a pixel in device coordinates
uniform bool uHasNormal;
uniform bool uHasDiffuse;
uniform bool uHasSpecular;
uniform bool uLighting;
uniform bool uColorVertex;
uniform bool uLocalViewer;
uniform bool uNormalize;
uniform bool uSpecularEnable;
uniform vec4 uGlobalAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatSpecular;
uniform vec4 uMatEmissive;
uniform float uMatPower;
uniform int uMatSource[4];      // diffuse, ambient, specular, emissive
uniform int uLightCount;
uniform vec4 uLightDiffuse[8];
uniform vec4 uLightSpecular[8];
uniform vec4 uLightAmbient[8];
uniform vec4 uLightPosition[8];  // camera space
uniform float uLightType[8];
uniform vec4 uLightDirection[8]; // camera space, unit length
uniform vec4 uLightAtten[8];     // a0, a1, a2, range
uniform vec4 uLightSpot[8];      // cos(theta / 2), cos(phi / 2), falloff
uniform int uFogVertexMode;
uniform bool uRangeFog;
uniform vec3 uFogParams;         // density, start, end
uniform int uTexIndex[4];
uniform int uTexSetSize[4];
uniform int uTexFlags[4];
uniform mat4 uTexMatrix[4];

varying float vEyeDepth;
varying float vVertexFog;

float FogFactor(int mode, float d) {
    if (mode == 1) return exp(-uFogParams.x * d);
    if (mode == 2) return exp(-(uFogParams.x * d) * (uFogParams.x * d));
    if (mode == 3) return (uFogParams.z - d) / (uFogParams.z - uFogParams.y);
    return 1.0;
}

vec4 ColorSource(int source, vec4 material, vec4 c1, vec4 c2) {
    if (uColorVertex) {
        if (source == 1 && uHasDiffuse) return c1;
        if (source == 2 && uHasSpecular) return c2;
    }
    return material;
}

vec4 TexSet(int i) {
    if (i == 1) return aTex1;
    if (i == 2) return aTex2;
    if (i == 3) return aTex3;
    return aTex0;
}

int SetSize(int i) {
    if (i == 1) return uTexSetSize[1];
    if (i == 2) return uTexSetSize[2];
    if (i == 3) return uTexSetSize[3];
    return uTexSetSize[0];
}

vec4 StageCoord(int stage) {
    int index = uTexIndex[stage];
    vec4 t = TexSet(index);
    int flags = uTexFlags[stage];
    if (flags == 0) return vec4(t.xy, 0.0, 1.0);
    // Missing components read 1 then 0: (u, v) becomes (u, v, 1, 0), so a
    // two-component transform takes its offsets from the third row.
    int n = SetSize(index);
    if (n == 1) t = vec4(t.x, 1.0, 0.0, 0.0);
    else if (n == 2) t = vec4(t.xy, 1.0, 0.0);
    else if (n == 3) t = vec4(t.xyz, 1.0);
    vec4 r = uTexMatrix[stage] * t;
    bool projected = flags >= 256;
    int count = projected ? flags - 256 : flags;
    if (projected) {
        float q = count == 2 ? r.y : (count == 3 ? r.z : r.w);
        return vec4(r.xy, 0.0, q);
    }
    return vec4(r.xy, 0.0, 1.0);
}

void main() {
    vec4 diffuseIn = uHasDiffuse ? aDiffuse.zyxw : vec4(1.0);
    vec4 specularIn = uHasSpecular ? aSpecular.zyxw : vec4(0.0);
    vec4 diffuse = diffuseIn;
    vec4 specular = specularIn;
    vec3 eye;
    if (uRhw) {
        // Transformed vertices: pixel coordinates, pixel centres on integers.
        float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
        vec2 ndc = vec2((aPosition.x + 0.5 - uViewportRect.x) * 2.0 / uViewportRect.z - 1.0,
                        1.0 - (aPosition.y + 0.5 - uViewportRect.y) * 2.0 / uViewportRect.w);
        gl_Position = vec4(ndc * w, aPosition.z * w, w);
        eye = vec3(0.0, 0.0, w);
    } else {
        vec4 e = WORLD_VIEW * vec4(aPosition.xyz, 1.0);
        eye = e.xyz;
        gl_Position = uProj * e;
        gl_Position.xy += uPixelShift * gl_Position.w;
        if (uLighting) {
            vec3 N = uHasNormal ? NORMAL_MAT * aNormal : vec3(0.0);
            if (uNormalize && uHasNormal) N = normalize(N);
            vec4 cd = ColorSource(uMatSource[0], uMatDiffuse, diffuseIn, specularIn);
            vec4 ca = ColorSource(uMatSource[1], uMatAmbient, diffuseIn, specularIn);
            vec4 cs = ColorSource(uMatSource[2], uMatSpecular, diffuseIn, specularIn);
            vec4 ce = ColorSource(uMatSource[3], uMatEmissive, diffuseIn, specularIn);
            vec3 ambientSum = vec3(0.0);
            vec3 diffuseSum = vec3(0.0);
            vec3 specularSum = vec3(0.0);
            vec3 toViewer = uLocalViewer ? normalize(-eye) : vec3(0.0, 0.0, -1.0);
            for (int i = 0; i < 8; ++i) {
                if (i >= uLightCount) break;
                float type = uLightType[i];
                vec3 L;
                float atten = 1.0;
                if (type > 2.5) {
                    L = -uLightDirection[i].xyz;
                } else {
                    vec3 d = uLightPosition[i].xyz - eye;
                    float dist = length(d);
                    if (dist > uLightAtten[i].w) continue;
                    L = dist > 0.0 ? d / dist : vec3(0.0, 0.0, -1.0);
                    float a = uLightAtten[i].x + uLightAtten[i].y * dist + uLightAtten[i].z * dist * dist;
                    atten = a > 0.0 ? 1.0 / a : 1.0;
                    if (type > 1.5) {
                        float rho = dot(-L, uLightDirection[i].xyz);
                        float cosTheta = uLightSpot[i].x;
                        float cosPhi = uLightSpot[i].y;
                        if (rho <= cosPhi) atten = 0.0;
                        else if (rho <= cosTheta)
                            atten *= pow(max((rho - cosPhi) / max(cosTheta - cosPhi, 1e-6), 0.0), uLightSpot[i].z);
                    }
                }
                ambientSum += atten * uLightAmbient[i].rgb;
                float nl = dot(N, L);
                if (nl > 0.0) {
                    diffuseSum += atten * nl * uLightDiffuse[i].rgb;
                    if (uSpecularEnable) {
                        float nh = dot(N, normalize(toViewer + L));
                        if (nh > 0.0) specularSum += atten * pow(nh, uMatPower) * uLightSpecular[i].rgb;
                    }
                }
            }
            diffuse = vec4(ce.rgb + ca.rgb * (uGlobalAmbient.rgb + ambientSum) + cd.rgb * diffuseSum, cd.a);
            specular = vec4(cs.rgb * specularSum, cs.a);
        }
    }
    // Direct3D's clip volume spans z in [0, w], GL's [-w, w].
    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
    gl_FrontColor = clamp(diffuse, 0.0, 1.0);
    gl_BackColor = gl_FrontColor;
    gl_FrontSecondaryColor = clamp(specular, 0.0, 1.0);
    gl_BackSecondaryColor = gl_FrontSecondaryColor;
    gl_TexCoord[0] = StageCoord(0);
    gl_TexCoord[1] = StageCoord(1);
    gl_TexCoord[2] = StageCoord(2);
    gl_TexCoord[3] = StageCoord(3);
    vEyeDepth = eye.z;
    if (uFogVertexMode != 0 && !uRhw)
        vVertexFog = clamp(FogFactor(uFogVertexMode, uRangeFog ? length(eye) : abs(eye.z)), 0.0, 1.0);
    else
        vVertexFog = uHasSpecular ? aSpecular.w : 1.0;
}
)";

// Shared by the fixed fragment stage and the wrapper around pixel shaders.
const char* const kGLFogFunctions = R"(
uniform bool uFogEnable;
uniform int uFogTableMode;
uniform vec3 uFogParams;
uniform vec3 uFogColor;
uniform bool uAlphaTest;
uniform int uAlphaFunc;
uniform float uAlphaRef;
varying float vEyeDepth;
varying float vVertexFog;

vec4 rdvFinish(vec4 c) {
    if (uFogEnable) {
        float f = vVertexFog;
        float d = vEyeDepth;
        if (uFogTableMode == 1) f = exp(-uFogParams.x * d);
        else if (uFogTableMode == 2) f = exp(-(uFogParams.x * d) * (uFogParams.x * d));
        else if (uFogTableMode == 3) f = (uFogParams.z - d) / (uFogParams.z - uFogParams.y);
        c.rgb = mix(uFogColor, c.rgb, clamp(f, 0.0, 1.0));
    }
    if (uAlphaTest) {
        float a = floor(clamp(c.a, 0.0, 1.0) * 255.0 + 0.5);
        bool pass = true;
        if (uAlphaFunc == 1) pass = false;
        else if (uAlphaFunc == 2) pass = a < uAlphaRef;
        else if (uAlphaFunc == 3) pass = a == uAlphaRef;
        else if (uAlphaFunc == 4) pass = a <= uAlphaRef;
        else if (uAlphaFunc == 5) pass = a > uAlphaRef;
        else if (uAlphaFunc == 6) pass = a != uAlphaRef;
        else if (uAlphaFunc == 7) pass = a >= uAlphaRef;
        if (!pass) discard;
    }
    return c;
}
)";

const char* const kGLFixedFragmentSource = R"(
uniform sampler2D uTex0;
uniform sampler2D uTex1;
uniform sampler2D uTex2;
uniform sampler2D uTex3;
uniform int uColorOp[4];
uniform int uColorArg[12];   // arg1, arg2, arg0 per stage
uniform int uAlphaOp[4];
uniform int uAlphaArg[12];
uniform int uResultTemp[4];
uniform vec4 uTFactor;
uniform bool uSpecularAdd;

vec4 gDiffuse;
vec4 gSpecular;
vec4 gCurrent;
vec4 gTemp;
vec4 gTexel;

vec4 Arg(int a) {
    int sel = a - (a / 16) * 16;
    int complement = a / 16 - (a / 32) * 2;
    int replicate = a / 32 - (a / 64) * 2;
    vec4 v = gCurrent;
    if (sel == 0) v = gDiffuse;
    else if (sel == 2) v = gTexel;
    else if (sel == 3) v = uTFactor;
    else if (sel == 4) v = gSpecular;
    else if (sel == 5) v = gTemp;
    if (complement == 1) v = vec4(1.0) - v;
    if (replicate == 1) v = vec4(v.a);
    return v;
}

vec4 Op(int op, vec4 a1, vec4 a2, vec4 a0) {
    if (op == 2) return a1;
    if (op == 3) return a2;
    if (op == 4) return a1 * a2;
    if (op == 5) return 2.0 * a1 * a2;
    if (op == 6) return 4.0 * a1 * a2;
    if (op == 7) return a1 + a2;
    if (op == 8) return a1 + a2 - 0.5;
    if (op == 9) return 2.0 * (a1 + a2 - 0.5);
    if (op == 10) return a1 - a2;
    if (op == 11) return a1 + a2 - a1 * a2;
    if (op == 12) return mix(a2, a1, gDiffuse.a);
    if (op == 13) return mix(a2, a1, gTexel.a);
    if (op == 14) return mix(a2, a1, uTFactor.a);
    if (op == 15) return a1 + a2 * (1.0 - gTexel.a);
    if (op == 16) return mix(a2, a1, gCurrent.a);
    if (op == 17) return a1;
    if (op == 18) return a1 + a1.a * a2;
    if (op == 19) return a1 * a2 + a1.a;
    if (op == 20) return (1.0 - a1.a) * a2 + a1;
    if (op == 21) return (1.0 - a1) * a2 + a1.a;
    if (op == 24) return vec4(clamp(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5), 0.0, 1.0));
    if (op == 25) return a0 + a1 * a2;
    if (op == 26) return a0 * a1 + (1.0 - a0) * a2;
    return a1;
}

bool Stage(int s, vec4 texel) {
    if (uColorOp[s] == 1) return false;
    gTexel = texel;
    vec3 c = Op(uColorOp[s], Arg(uColorArg[3 * s]), Arg(uColorArg[3 * s + 1]), Arg(uColorArg[3 * s + 2])).rgb;
    float a = gCurrent.a;
    if (uAlphaOp[s] != 1)
        a = Op(uAlphaOp[s], Arg(uAlphaArg[3 * s]), Arg(uAlphaArg[3 * s + 1]), Arg(uAlphaArg[3 * s + 2])).a;
    vec4 r = clamp(vec4(c, a), 0.0, 1.0);
    if (uResultTemp[s] == 1) gTemp = r; else gCurrent = r;
    return true;
}

void main() {
    gDiffuse = gl_Color;
    gSpecular = gl_SecondaryColor;
    gCurrent = gDiffuse;
    gTemp = vec4(0.0);
    gTexel = vec4(1.0);
    if (Stage(0, texture2DProj(uTex0, gl_TexCoord[0])))
        if (Stage(1, texture2DProj(uTex1, gl_TexCoord[1])))
            if (Stage(2, texture2DProj(uTex2, gl_TexCoord[2])))
                Stage(3, texture2DProj(uTex3, gl_TexCoord[3]));
    vec4 c = gCurrent;
    if (uSpecularAdd) c.rgb = clamp(c.rgb + gSpecular.rgb, 0.0, 1.0);
    gl_FragColor = rdvFinish(c);
}
)";

GLint GLProgram::Uniform(const GLFuncs& gl, const char* name) {
    auto it = uniforms.find(name);
    if (it != uniforms.end()) return it->second;
    const GLint loc = gl.GetUniformLocation(program, name);
    uniforms.emplace(name, loc);
    return loc;
}

namespace {

GLuint Compile(const GLFuncs& gl, GLenum kind, const std::string& source, std::string& error) {
    const GLuint shader = gl.CreateShader(kind);
    const char* text = source.c_str();
    gl.ShaderSource(shader, 1, &text, nullptr);
    gl.CompileShader(shader);
    GLint ok = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        gl.GetShaderInfoLog(shader, sizeof log - 1, nullptr, log);
        error = log;
        gl.DeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

// The fragment source of a translated pixel shader: its main becomes a
// function whose result is fogged and alpha-tested like fixed-function output.
std::string WrapPixelShader(const std::string& source) {
    std::string body = source;
    std::string version = "#version 120\n";
    const size_t v = body.find("#version");
    if (v != std::string::npos) {
        const size_t end = body.find('\n', v);
        version = body.substr(v, end == std::string::npos ? std::string::npos : end - v + 1);
        body.erase(v, end == std::string::npos ? std::string::npos : end - v + 1);
    }
    const size_t m = body.find("void main");
    if (m == std::string::npos) return {};
    body.replace(m, 9, "void rdvPixelShaderMain");
    return version + kGLFogFunctions + body +
           "\nvoid main() {\n    rdvPixelShaderMain();\n    gl_FragColor = rdvFinish(gl_FragColor);\n}\n";
}

GLProgram* GLDevice::BuildProgram(const std::string& fragmentSource, std::string& error, bool instanced,
                                   const std::string& vertexStage) {
    const GLFuncs& gl = *gl_;
    std::string vertexSource = vertexStage.empty() ? std::string(kGLVertexSource) : vertexStage;
    if (instanced) vertexSource.insert(vertexSource.find('\n') + 1, "#define RDV_INSTANCED 1\n");
    const GLuint vs = Compile(gl, GL_VERTEX_SHADER, vertexSource, error);
    if (!vs) return nullptr;
    const GLuint fs = Compile(gl, GL_FRAGMENT_SHADER, fragmentSource, error);
    if (!fs) {
        gl.DeleteShader(vs);
        return nullptr;
    }
    const GLuint program = gl.CreateProgram();
    gl.AttachShader(program, vs);
    gl.AttachShader(program, fs);
    static const char* const attributes[] = {"aPosition", "aNormal", "aDiffuse", "aSpecular",
                                             "aTex0",     "aTex1",   "aTex2",    "aTex3"};
    for (GLuint i = 0; i < 8; ++i) gl.BindAttribLocation(program, i, attributes[i]);
    if (instanced) {
        static const char* const perInstance[] = {"aWorldView0", "aWorldView1", "aWorldView2", "aWorldView3",
                                                  "aNormalMat0", "aNormalMat1", "aNormalMat2"};
        for (GLuint i = 0; i < 7; ++i) gl.BindAttribLocation(program, kGLInstanceAttrib + i, perInstance[i]);
    }
    gl.LinkProgram(program);
    // A shader still attached lives on with its compiled form beside the
    // linked program's; detached, deleting it frees that.
    gl.DetachShader(program, vs);
    gl.DetachShader(program, fs);
    gl.DeleteShader(vs);
    gl.DeleteShader(fs);
    GLint ok = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        gl.GetProgramInfoLog(program, sizeof log - 1, nullptr, log);
        error = log;
        gl.DeleteProgram(program);
        return nullptr;
    }
    auto* p = new GLProgram;
    p->program = program;
    return p;
}

} // namespace rdv
