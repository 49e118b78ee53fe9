// The fixed-function programs of the OpenGL device: the key of the settings
// a draw needs, and the programs compiled with those settings written in.
#include <string>
#include <utility>

#include "platform/d3d/GLInternal.h"

namespace rdv {

extern const char* const kGLVertexSource;
extern const char* const kGLFixedFragmentSource;
extern const char* const kGLFogFunctions;

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

    // The vertex stage is compiled for its settings only for instanced
    // draws, where thousands of faces go through it in one call; elsewhere
    // the generic stage serves, since every variant more costs the driver
    // memory (about 2 MB at the start screen).
    if (!instancing_) return key;
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
        const std::string vertex = instancing_ ? SpecialisedFixedVertex(key) : std::string(kGLVertexSource);
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

} // namespace rdv
