#include "platform/shaderasm/PsToGlsl.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/shaderasm/ShaderTokens.h"

namespace rdv {

using namespace shtok;

namespace {

struct Fail {
    std::string reason;
};

std::string Float(float f) {
    if (!std::isfinite(f)) f = 0.0f;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
    std::string s = buf;
    if (s.find_first_of(".eE") == std::string::npos) s += ".0";
    return s;
}

const char kComponents[] = "xyzw";

class Translator {
public:
    Translator(const std::vector<uint32_t>& tokens, GlslPixelShader& out) : tokens_(tokens), out_(out) {}

    void Run() {
        if (tokens_.empty() || !IsPixelVersion(tokens_[0]) || VersionMajor(tokens_[0]) != 1 ||
            VersionMinor(tokens_[0]) > 4)
            throw Fail{"not a ps.1.0 - ps.1.4 shader"};
        out_.version = tokens_[0];
        minor_ = VersionMinor(tokens_[0]);
        size_t pos = 1;
        bool ended = false;
        int index = 0;
        while (pos < tokens_.size()) {
            const uint32_t token = tokens_[pos++];
            const uint32_t op = token & kOpcodeMask;
            if (op == END) {
                ended = true;
                break;
            }
            if (op == COMMENT) {
                pos += (token & kCommentSizeMask) >> kCommentSizeShift;
                continue;
            }
            ++index;
            if (op == DEF) {
                if (pos + 5 > tokens_.size()) throw Fail{"truncated 'def'"};
                const uint32_t reg = ParamRegNumber(tokens_[pos]);
                if (ParamRegType(tokens_[pos]) != CONST || reg >= 8) throw Fail{"'def' of an invalid register"};
                float v[4];
                for (int i = 0; i < 4; ++i) std::memcpy(&v[i], &tokens_[pos + 1 + i], 4);
                defined_[reg] = true;
                defs_ << "    c" << reg << " = vec4(" << Float(v[0]) << ", " << Float(v[1]) << ", " << Float(v[2])
                      << ", " << Float(v[3]) << ");\n";
                pos += 5;
                continue;
            }
            if (op == PHASE) {
                if (minor_ != 4) throw Fail{"'phase' outside ps.1.4"};
                Flush();
                body_ << "    // phase\n";
                continue;
            }
            std::vector<uint32_t> params;
            while (pos < tokens_.size() && (tokens_[pos] & kParamBit)) params.push_back(tokens_[pos++]);
            Instruction(op, (token & kCoIssue) != 0, params, index);
        }
        if (!ended) throw Fail{"the token stream has no end token"};
        Flush();
        Emit();
    }

private:
    // ---------------------------------------------------------------- registers
    std::string RegName(uint32_t param) {
        const uint32_t type = ParamRegType(param), n = ParamRegNumber(param);
        switch (type) {
        case TEMP:
            if (n >= (minor_ == 4 ? 6u : 2u)) throw Fail{"temporary register r" + std::to_string(n) + " out of range"};
            usedTemps_ |= 1u << n;
            return "r" + std::to_string(n);
        case INPUT:
            if (n >= 2) throw Fail{"colour register v" + std::to_string(n) + " out of range"};
            return "v" + std::to_string(n);
        case CONST:
            if (n >= 8) throw Fail{"constant register c" + std::to_string(n) + " out of range"};
            usedConsts_ |= 1u << n;
            return "c" + std::to_string(n);
        case TEXTURE:
            if (n >= (minor_ == 4 ? 6u : 4u)) throw Fail{"texture register t" + std::to_string(n) + " out of range"};
            if (minor_ == 4) return TexCoord(n);
            usedTextures_ |= 1u << n;
            return "t" + std::to_string(n);
        default:
            throw Fail{"register type " + std::to_string(type) + " is not a pixel-shader register"};
        }
    }

    std::string TexCoord(uint32_t stage) {
        if (stage >= 8) throw Fail{"texture stage " + std::to_string(stage) + " out of range"};
        out_.texCoordMask |= 1u << stage;
        return "gl_TexCoord[" + std::to_string(stage) + "]";
    }

    std::string Sampler(uint32_t stage) {
        if (stage >= 8) throw Fail{"texture stage " + std::to_string(stage) + " out of range"};
        out_.samplerMask |= 1u << stage;
        return "uTex" + std::to_string(stage);
    }

    static std::string SwizzleText(uint32_t param) {
        if ((param & kSwizzleMask) == kNoSwizzle) return "";
        std::string s = ".";
        for (uint32_t i = 0; i < 4; ++i) s += kComponents[ParamSwizzleComponent(param, i)];
        return s;
    }

    std::string Source(uint32_t param) {
        if (param & kRelativeAddress) throw Fail{"relative addressing in a pixel shader"};
        const std::string x = "(" + RegName(param) + SwizzleText(param) + ")";
        switch (ParamSrcMod(param)) {
        case SM_NONE: return x;
        case SM_NEG: return "(-" + x + ")";
        case SM_BIAS: return "(" + x + " - 0.5)";
        case SM_BIASNEG: return "(0.5 - " + x + ")";
        case SM_SIGN: return "(2.0 * " + x + " - 1.0)";
        case SM_SIGNNEG: return "(1.0 - 2.0 * " + x + ")";
        case SM_COMP: return "(1.0 - " + x + ")";
        case SM_X2: return "(2.0 * " + x + ")";
        case SM_X2NEG: return "(-2.0 * " + x + ")";
        default: throw Fail{"source modifier " + std::to_string(ParamSrcMod(param)) + " outside texld/texcrd"};
        }
    }

    // texld/texcrd coordinates of ps.1.4: texture coordinates or a register,
    // optionally divided by z (_dz) or w (_dw).
    std::string Coordinate(uint32_t param, bool& projected) {
        const uint32_t mod = ParamSrcMod(param);
        if (mod != SM_NONE && mod != SM_DZ && mod != SM_DW) throw Fail{"invalid modifier on texture coordinates"};
        const std::string x = "(" + RegName(param) + SwizzleText(param) + ")";
        projected = mod != SM_NONE;
        if (mod == SM_DZ) return "vec4(" + x + ".xy / " + x + ".z, 1.0, 1.0)";
        if (mod == SM_DW) return "vec4(" + x + ".xy / " + x + ".w, 1.0, 1.0)";
        return x;
    }

    // ---------------------------------------------------------------- output
    void Flush() {
        body_ << pending_;
        pending_.clear();
    }

    // value: a vec4 expression. Applies shift, saturate and the range clamp,
    // and writes the destination's masked components.
    void Result(uint32_t dst, const std::string& value, bool coIssue, bool modifiersAllowed = true) {
        const std::string tmp = "i" + std::to_string(++temp_);
        std::ostringstream compute;
        compute << "    vec4 " << tmp << " = " << value << ";\n";
        const int shift = ParamDstShift(dst);
        const bool sat = (dst & kResultModSaturate) != 0;
        if ((shift || sat) && !modifiersAllowed) throw Fail{"instruction modifiers on a texture instruction"};
        if (shift) compute << "    " << tmp << " *= " << Float(std::ldexp(1.0f, shift)) << ";\n";
        if (sat) compute << "    " << tmp << " = clamp(" << tmp << ", 0.0, 1.0);\n";
        const char* range = minor_ == 4 ? "8.0" : "1.0";
        compute << "    " << tmp << " = clamp(" << tmp << ", -" << range << ", " << range << ");\n";

        const uint32_t type = ParamRegType(dst), n = ParamRegNumber(dst);
        if (type != TEMP && !(type == TEXTURE && minor_ < 4)) throw Fail{"invalid destination register"};
        const std::string name = RegName(dst);
        const uint32_t mask = ParamWriteMask(dst);
        std::string assign;
        if (mask == 0xF) {
            assign = "    " + name + " = " + tmp + ";\n";
        } else if (mask != 0) {
            std::string m;
            for (uint32_t i = 0; i < 4; ++i)
                if (mask & (1u << i)) m += kComponents[i];
            assign = "    " + name + "." + m + " = " + tmp + "." + m + ";\n";
        }
        (void)n;
        // A co-issued pair reads its sources before either writes.
        if (!coIssue) Flush();
        body_ << compute.str();
        if (coIssue) Flush();
        pending_ = assign;
    }

    void Statement(const std::string& text) {
        Flush();
        body_ << "    " << text << "\n";
    }

    void Need(const std::vector<uint32_t>& p, size_t n, const char* name) {
        if (p.size() != n) throw Fail{std::string("'") + name + "' with " + std::to_string(p.size()) + " parameters"};
    }

    std::string BumpOffset(uint32_t stage, const std::string& src) {
        out_.usesBumpEnv = true;
        const std::string m = "uBumpEnvMat[" + std::to_string(stage) + "]";
        return "vec2(" + m + ".x * " + src + ".x + " + m + ".z * " + src + ".y, " + m + ".y * " + src + ".x + " + m +
               ".w * " + src + ".y)";
    }

    std::string StageCoord3(uint32_t stage) { return TexCoord(stage) + ".xyz"; }

    // ---------------------------------------------------------------- instructions
    void Instruction(uint32_t op, bool coIssue, const std::vector<uint32_t>& p, int index) {
        if (coIssue && op >= TEXCOORD && op != CND && op != CMP) throw Fail{"co-issued texture instruction"};
        auto s = [&](size_t i) { return Source(p[i]); };
        switch (op) {
        case NOP: return;
        case MOV: Need(p, 2, "mov"); Result(p[0], s(1), coIssue); return;
        case ADD: Need(p, 3, "add"); Result(p[0], s(1) + " + " + s(2), coIssue); return;
        case SUB: Need(p, 3, "sub"); Result(p[0], s(1) + " - " + s(2), coIssue); return;
        case MUL: Need(p, 3, "mul"); Result(p[0], s(1) + " * " + s(2), coIssue); return;
        case MAD: Need(p, 4, "mad"); Result(p[0], s(1) + " * " + s(2) + " + " + s(3), coIssue); return;
        case LRP: Need(p, 4, "lrp"); Result(p[0], "mix(" + s(3) + ", " + s(2) + ", " + s(1) + ")", coIssue); return;
        case DP3: Need(p, 3, "dp3"); Result(p[0], "vec4(dot(" + s(1) + ".xyz, " + s(2) + ".xyz))", coIssue); return;
        case DP4: Need(p, 3, "dp4"); Result(p[0], "vec4(dot(" + s(1) + ", " + s(2) + "))", coIssue); return;
        case CND:
            Need(p, 4, "cnd");
            Result(p[0], "mix(" + s(3) + ", " + s(2) + ", vec4(greaterThan(" + s(1) + ", vec4(0.5))))", coIssue);
            return;
        case CMP:
            Need(p, 4, "cmp");
            Result(p[0], "mix(" + s(3) + ", " + s(2) + ", vec4(greaterThanEqual(" + s(1) + ", vec4(0.0))))", coIssue);
            return;
        case BEM: {
            Need(p, 3, "bem");
            RegName(p[0]);   // range check before the stage indexes a uniform
            const std::string a = s(1), b = s(2);
            Result(p[0], "vec4(" + a + ".xy + " + BumpOffset(ParamRegNumber(p[0]), b) + ", 0.0, 0.0)", coIssue);
            return;
        }
        default: break;
        }
        if (minor_ == 4) Texture14(op, p);
        else Texture11(op, p);
        (void)index;
    }

    void Texture14(uint32_t op, const std::vector<uint32_t>& p) {
        if (!p.empty()) RegName(p[0]);   // range check
        switch (op) {
        case TEX: {
            Need(p, 2, "texld");
            bool projected = false;
            const std::string coord = Coordinate(p[1], projected);
            const uint32_t stage = ParamRegNumber(p[0]);
            Result(p[0], "texture2D(" + Sampler(stage) + ", " + coord + ".xy)", false, false);
            return;
        }
        case TEXCOORD: {
            Need(p, 2, "texcrd");
            bool projected = false;
            const std::string coord = Coordinate(p[1], projected);
            Result(p[0], projected ? coord : "vec4(" + coord + ".xyz, 1.0)", false, false);
            return;
        }
        case TEXKILL: {
            Need(p, 1, "texkill");
            const std::string v = ParamRegType(p[0]) == TEXTURE ? TexCoord(ParamRegNumber(p[0])) : RegName(p[0]);
            Statement("if (any(lessThan(" + v + ".xyz, vec3(0.0)))) discard;");
            return;
        }
        case TEXDEPTH:
            Need(p, 1, "texdepth");
            if (ParamRegType(p[0]) != TEMP || ParamRegNumber(p[0]) != 5) throw Fail{"'texdepth' must write r5"};
            out_.writesDepth = true;
            Statement("gl_FragDepth = r5.y == 0.0 ? 1.0 : clamp(r5.x / r5.y, 0.0, 1.0);");
            RegName(p[0]);
            return;
        default:
            throw Fail{"opcode " + std::to_string(op) + " is not a ps.1.4 instruction"};
        }
    }

    void Texture11(uint32_t op, const std::vector<uint32_t>& p) {
        if (p.empty() || ParamRegType(p[0]) != TEXTURE) throw Fail{"texture instruction without a texture register"};
        RegName(p[0]);   // range check
        const uint32_t stage = ParamRegNumber(p[0]);
        auto write = [&](const std::string& value) { Result(p[0], value, false, false); };
        auto src = [&]() { return Source(p[1]); };
        switch (op) {
        case TEX: Need(p, 1, "tex"); write("texture2D(" + Sampler(stage) + ", " + TexCoord(stage) + ".xy)"); return;
        case TEXCOORD:
            Need(p, 1, "texcoord");
            write("clamp(vec4(" + StageCoord3(stage) + ", 1.0), 0.0, 1.0)");
            return;
        case TEXKILL:
            Need(p, 1, "texkill");
            Statement("if (any(lessThan(" + StageCoord3(stage) + ", vec3(0.0)))) discard;");
            return;
        case TEXBEM:
        case TEXBEML: {
            Need(p, 2, op == TEXBEM ? "texbem" : "texbeml");
            const std::string sv = src();
            std::string value = "texture2D(" + Sampler(stage) + ", " + TexCoord(stage) + ".xy + " +
                                BumpOffset(stage, sv) + ")";
            if (op == TEXBEML) {
                const std::string l = "uBumpEnvLum[" + std::to_string(stage) + "]";
                value = "(" + value + " * vec4(vec3(clamp(" + sv + ".z * " + l + ".x + " + l + ".y, 0.0, 1.0)), 1.0))";
            }
            write(value);
            return;
        }
        case TEXREG2AR: Need(p, 2, "texreg2ar"); write("texture2D(" + Sampler(stage) + ", " + src() + ".wx)"); return;
        case TEXREG2GB: Need(p, 2, "texreg2gb"); write("texture2D(" + Sampler(stage) + ", " + src() + ".yz)"); return;
        case TEXREG2RGB: Need(p, 2, "texreg2rgb"); write("texture2D(" + Sampler(stage) + ", " + src() + ".xy)"); return;
        case TEXDP3TEX:
            Need(p, 2, "texdp3tex");
            write("texture2D(" + Sampler(stage) + ", vec2(dot(" + StageCoord3(stage) + ", " + src() + ".xyz), 0.0))");
            return;
        case TEXDP3:
            Need(p, 2, "texdp3");
            write("vec4(dot(" + StageCoord3(stage) + ", " + src() + ".xyz))");
            return;
        case TEXM3x2PAD:
        case TEXM3x3PAD: {
            Need(p, 2, "texm pad");
            const std::string var = "m" + std::to_string(++temp_);
            Statement("float " + var + " = dot(" + StageCoord3(stage) + ", " + src() + ".xyz);");
            pads_.push_back(var);
            return;
        }
        case TEXM3x2TEX:
        case TEXM3x2DEPTH: {
            Need(p, 2, "texm3x2");
            if (pads_.size() != 1) throw Fail{"texm3x2 without exactly one texm3x2pad"};
            const std::string row = "dot(" + StageCoord3(stage) + ", " + src() + ".xyz)";
            if (op == TEXM3x2TEX) {
                write("texture2D(" + Sampler(stage) + ", vec2(" + pads_[0] + ", " + row + "))");
            } else {
                out_.writesDepth = true;
                const std::string z = "m" + std::to_string(++temp_);
                Statement("float " + z + " = " + row + ";");
                Statement("gl_FragDepth = " + z + " == 0.0 ? 1.0 : clamp(" + pads_[0] + " / " + z + ", 0.0, 1.0);");
                write("vec4(" + pads_[0] + ", " + z + ", 0.0, 1.0)");
            }
            pads_.clear();
            return;
        }
        case TEXM3x3: {
            Need(p, 2, "texm3x3");
            if (pads_.size() != 2) throw Fail{"texm3x3 without exactly two texm3x3pad"};
            write("vec4(" + pads_[0] + ", " + pads_[1] + ", dot(" + StageCoord3(stage) + ", " + src() + ".xyz), 1.0)");
            pads_.clear();
            return;
        }
        case TEXM3x3TEX:
        case TEXM3x3SPEC:
        case TEXM3x3VSPEC:
        case TEXM3x3DIFF:
            throw Fail{"texm3x3tex/spec/vspec/diff read cube or volume textures, which are not supported"};
        default:
            throw Fail{"opcode " + std::to_string(op) + " is not a ps.1." + std::to_string(minor_) + " instruction"};
        }
    }

    void Emit() {
        std::ostringstream s;
        s << "#version 120\n";
        s << "uniform vec4 uPsConst[8];\n";
        if (out_.usesBumpEnv) s << "uniform vec4 uBumpEnvMat[8];\nuniform vec2 uBumpEnvLum[8];\n";
        for (uint32_t i = 0; i < 8; ++i)
            if (out_.samplerMask & (1u << i)) s << "uniform sampler2D uTex" << i << ";\n";
        s << "void main() {\n";
        s << "    vec4 v0 = gl_Color;\n    vec4 v1 = gl_SecondaryColor;\n";
        for (uint32_t i = 0; i < 8; ++i)
            if ((usedConsts_ | DefinedMask()) & (1u << i)) s << "    vec4 c" << i << " = uPsConst[" << i << "];\n";
        s << defs_.str();
        for (uint32_t i = 0; i < 6; ++i)
            if ((usedTemps_ | 1u) & (1u << i)) s << "    vec4 r" << i << " = vec4(0.0);\n";
        for (uint32_t i = 0; i < 4; ++i)
            if (usedTextures_ & (1u << i)) s << "    vec4 t" << i << " = vec4(0.0);\n";
        s << body_.str();
        s << "    gl_FragColor = clamp(r0, 0.0, 1.0);\n}\n";
        out_.fragmentSource = s.str();
    }

    uint32_t DefinedMask() const {
        uint32_t m = 0;
        for (uint32_t i = 0; i < 8; ++i)
            if (defined_[i]) m |= 1u << i;
        return m;
    }

    const std::vector<uint32_t>& tokens_;
    GlslPixelShader& out_;
    uint32_t minor_ = 0;
    uint32_t usedTemps_ = 0, usedConsts_ = 0, usedTextures_ = 0;
    bool defined_[8] = {};
    std::ostringstream defs_, body_;
    std::string pending_;
    std::vector<std::string> pads_;
    int temp_ = 0;
};

} // namespace

bool TranslatePixelShader(const std::vector<uint32_t>& tokens, GlslPixelShader& out, std::string& error) {
    out = {};
    error.clear();
    try {
        Translator(tokens, out).Run();
        return true;
    } catch (const Fail& f) {
        out = {};
        error = f.reason;
        return false;
    }
}

} // namespace rdv
