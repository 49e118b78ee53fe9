#include "platform/shaderasm/ShaderAssembler.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/shaderasm/ShaderTokens.h"

namespace rdv {

using namespace shtok;

namespace {

struct AsmError {
    int line;
    std::string message;
};

// Which programs accept an instruction: vertex, or pixel from one version on.
enum Allow : uint8_t {
    kVs = 1,        // vs.1.0, vs.1.1
    kPs10 = 2,      // ps.1.0 .. ps.1.3
    kPs12 = 4,      // ps.1.2, ps.1.3
    kPs13 = 8,      // ps.1.3
    kPs14 = 16,     // ps.1.4
};

struct OpInfo {
    const char* word;
    uint32_t opcode;
    int dst;        // destination operands (0 or 1)
    int src;        // source operands
    uint8_t allow;
};

constexpr uint8_t kPsAll = kPs10 | kPs12 | kPs13 | kPs14;
constexpr uint8_t kPs12Up = kPs12 | kPs13 | kPs14;
constexpr uint8_t kPsLegacy = kPs10 | kPs12 | kPs13;   // ps.1.0-1.3 texture addressing
constexpr uint8_t kAny = kVs | kPsAll;

constexpr OpInfo kOps[] = {
    {"nop", NOP, 0, 0, kAny},
    {"mov", MOV, 1, 1, kAny},
    {"add", ADD, 1, 2, kAny},
    {"sub", SUB, 1, 2, kAny},
    {"mad", MAD, 1, 3, kAny},
    {"mul", MUL, 1, 2, kAny},
    {"dp3", DP3, 1, 2, kAny},
    {"dp4", DP4, 1, 2, kVs | kPs12Up},
    {"rcp", RCP, 1, 1, kVs},
    {"rsq", RSQ, 1, 1, kVs},
    {"min", MIN, 1, 2, kVs},
    {"max", MAX, 1, 2, kVs},
    {"slt", SLT, 1, 2, kVs},
    {"sge", SGE, 1, 2, kVs},
    {"exp", EXP, 1, 1, kVs},
    {"log", LOG, 1, 1, kVs},
    {"lit", LIT, 1, 1, kVs},
    {"dst", DST, 1, 2, kVs},
    {"frc", FRC, 1, 1, kVs},
    {"expp", EXPP, 1, 1, kVs},
    {"logp", LOGP, 1, 1, kVs},
    {"m4x4", M4x4, 1, 2, kVs},
    {"m4x3", M4x3, 1, 2, kVs},
    {"m3x4", M3x4, 1, 2, kVs},
    {"m3x3", M3x3, 1, 2, kVs},
    {"m3x2", M3x2, 1, 2, kVs},
    {"lrp", LRP, 1, 3, kPsAll},
    {"cnd", CND, 1, 3, kPsAll},
    {"cmp", CMP, 1, 3, kPs12Up},
    {"bem", BEM, 1, 2, kPs14},
    {"texcoord", TEXCOORD, 1, 0, kPsLegacy},
    {"texcrd", TEXCOORD, 1, 1, kPs14},
    {"tex", TEX, 1, 0, kPsLegacy},
    {"texld", TEX, 1, 1, kPs14},
    {"texkill", TEXKILL, 1, 0, kPsAll},
    {"texdepth", TEXDEPTH, 1, 0, kPs14},
    {"texbem", TEXBEM, 1, 1, kPsLegacy},
    {"texbeml", TEXBEML, 1, 1, kPsLegacy},
    {"texreg2ar", TEXREG2AR, 1, 1, kPsLegacy},
    {"texreg2gb", TEXREG2GB, 1, 1, kPsLegacy},
    {"texreg2rgb", TEXREG2RGB, 1, 1, kPs12 | kPs13},
    {"texm3x2pad", TEXM3x2PAD, 1, 1, kPsLegacy},
    {"texm3x2tex", TEXM3x2TEX, 1, 1, kPsLegacy},
    {"texm3x2depth", TEXM3x2DEPTH, 1, 1, kPs13},
    {"texm3x3pad", TEXM3x3PAD, 1, 1, kPsLegacy},
    {"texm3x3tex", TEXM3x3TEX, 1, 1, kPsLegacy},
    {"texm3x3diff", TEXM3x3DIFF, 1, 1, kPsLegacy},
    {"texm3x3spec", TEXM3x3SPEC, 1, 2, kPsLegacy},
    {"texm3x3vspec", TEXM3x3VSPEC, 1, 1, kPsLegacy},
    {"texm3x3", TEXM3x3, 1, 1, kPs12 | kPs13},
    {"texdp3", TEXDP3, 1, 1, kPs12 | kPs13},
    {"texdp3tex", TEXDP3TEX, 1, 1, kPs12 | kPs13},
};

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

class Assembler {
public:
    explicit Assembler(std::string_view src) : src_(src) {}

    void Run(AssembledShader& out) {
        ReadVersion(out);
        bool first = true;
        bool phaseSeen = false;
        for (;;) {
            SkipSpace();
            if (AtEnd()) break;
            const int line = line_;
            bool coIssue = false;
            if (Peek() == '+') {
                coIssue = true;
                ++pos_;
                SkipSpace();
            }
            std::string word = ReadWord();
            if (word.empty()) Fail(line, std::string("unexpected character '") + Peek() + "'");
            Instruction(out, word, line, coIssue, first, phaseSeen);
            first = false;
        }
        out.tokens.push_back(kEndToken);
    }

private:
    // ---------------------------------------------------------------- text
    bool AtEnd() const { return pos_ >= src_.size(); }
    char Peek(size_t ahead = 0) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }

    void SkipSpace() {
        while (!AtEnd()) {
            char c = src_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == ';' || (c == '/' && Peek(1) == '/')) {
                while (!AtEnd() && src_[pos_] != '\n') ++pos_;
            } else {
                break;
            }
        }
    }

    // Spaces and tabs only: an operand's parts must stay on its line.
    void SkipBlanks() {
        while (!AtEnd() && (src_[pos_] == ' ' || src_[pos_] == '\t' || src_[pos_] == '\r')) ++pos_;
    }

    static bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

    std::string ReadWord() {
        size_t start = pos_;
        while (!AtEnd() && WordChar(src_[pos_])) ++pos_;
        return std::string(src_.substr(start, pos_ - start));
    }

    [[noreturn]] void Fail(int line, std::string message) { throw AsmError{line, std::move(message)}; }

    void Expect(char c, const std::string& what) {
        SkipSpace();
        if (Peek() != c) {
            Fail(line_, std::string("expected '") + c + "' " + what + (AtEnd() ? " at end of text" : ""));
        }
        ++pos_;
    }

    // ---------------------------------------------------------------- version
    void ReadVersion(AssembledShader& out) {
        SkipSpace();
        const int line = line_;
        size_t start = pos_;
        while (!AtEnd() && (WordChar(src_[pos_]) || src_[pos_] == '.')) ++pos_;
        std::string w = Lower(src_.substr(start, pos_ - start));
        for (char& c : w)
            if (c == '_') c = '.';
        if (w.size() == 6 && w[2] == '.' && w[3] == '1' && w[4] == '.') {
            const int minor = w[5] - '0';
            if (w.compare(0, 2, "vs") == 0 && (minor == 0 || minor == 1)) {
                vertex_ = true;
                minor_ = minor;
                out.tokens.push_back(VertexVersion(1, static_cast<uint32_t>(minor)));
                return;
            }
            if (w.compare(0, 2, "ps") == 0 && minor >= 0 && minor <= 4) {
                vertex_ = false;
                minor_ = minor;
                out.tokens.push_back(PixelVersion(1, static_cast<uint32_t>(minor)));
                return;
            }
        }
        if (w.empty())
            Fail(line, "missing version line (vs.1.0, vs.1.1 or ps.1.0 to ps.1.4)");
        Fail(line, "missing version line (vs.1.0, vs.1.1 or ps.1.0 to ps.1.4) before '" +
                       std::string(src_.substr(start, pos_ - start)) + "'");
    }

    std::string VersionName() const {
        return std::string(vertex_ ? "vs" : "ps") + ".1." + std::to_string(minor_);
    }

    uint8_t VersionBit() const {
        if (vertex_) return kVs;
        switch (minor_) {
        case 0: case 1: return kPs10;
        case 2: return kPs12;
        case 3: return kPs13;
        default: return kPs14;
        }
    }

    // ---------------------------------------------------------------- registers
    struct Reg {
        RegType type = TEMP;
        uint32_t number = 0;
        bool relative = false;
        std::string text;
    };

    Reg ReadRegister(int line) {
        SkipBlanks();
        size_t start = pos_;
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(src_[pos_]))) ++pos_;
        std::string letters = Lower(src_.substr(start, pos_ - start));
        Reg reg;
        if (letters == "c" && Peek() == '[') {
            if (!vertex_) Fail(line, "relative addressing is valid only in vertex shaders");
            ReadRelative(reg, line);
            reg.type = CONST;
            reg.text = std::string(src_.substr(start, pos_ - start));
            CheckRange(reg, 96, line);
            return reg;
        }
        size_t digits = pos_;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(src_[pos_]))) ++pos_;
        reg.text = std::string(src_.substr(start, pos_ - start));
        if (reg.text.empty()) Fail(line, "expected a register");
        const std::string number(src_.substr(digits, pos_ - digits));
        const bool hasNumber = !number.empty();
        if (hasNumber) {
            if (number.size() > 4) Fail(line, "invalid register '" + reg.text + "'");
            reg.number = static_cast<uint32_t>(std::strtoul(number.c_str(), nullptr, 10));
        }
        // Names that carry no number.
        if (vertex_ && !hasNumber) {
            if (letters == "opos") { reg.type = RASTOUT; reg.number = POSITION; return reg; }
            if (letters == "ofog") { reg.type = RASTOUT; reg.number = FOG; return reg; }
            if (letters == "opts") { reg.type = RASTOUT; reg.number = POINT_SIZE; return reg; }
        }
        if (!hasNumber) Fail(line, "invalid register '" + reg.text + "'");
        uint32_t limit = 0;
        if (vertex_) {
            if (letters == "r") { reg.type = TEMP; limit = 12; }
            else if (letters == "v") { reg.type = INPUT; limit = 16; }
            else if (letters == "c") { reg.type = CONST; limit = 96; }
            else if (letters == "a") { reg.type = ADDR; limit = 1; }
            else if (letters == "od") { reg.type = ATTROUT; limit = 2; }
            else if (letters == "ot") { reg.type = TEXCRDOUT; limit = 8; }
        } else {
            const bool ps14 = minor_ == 4;
            if (letters == "r") { reg.type = TEMP; limit = ps14 ? 6 : 2; }
            else if (letters == "t") { reg.type = TEXTURE; limit = ps14 ? 6 : 4; }
            else if (letters == "c") { reg.type = CONST; limit = 8; }
            else if (letters == "v") { reg.type = INPUT; limit = 2; }
        }
        if (limit == 0) Fail(line, "invalid register '" + reg.text + "'");
        CheckRange(reg, limit, line);
        return reg;
    }

    void CheckRange(const Reg& reg, uint32_t limit, int line) {
        if (reg.number >= limit)
            Fail(line, "register '" + reg.text + "' is out of range in " + VersionName());
    }

    // c[a0.x + n], c[n + a0.x], c[a0.x], c[n]
    void ReadRelative(Reg& reg, int line) {
        ++pos_;   // '['
        bool sawAddress = false;
        bool sawNumber = false;
        for (;;) {
            SkipBlanks();
            char c = Peek();
            if (c == ']') { ++pos_; break; }
            if (c == '+') { ++pos_; continue; }
            if (std::isdigit(static_cast<unsigned char>(c))) {
                if (sawNumber) Fail(line, "invalid relative address");
                size_t s = pos_;
                while (std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
                reg.number = static_cast<uint32_t>(std::strtoul(std::string(src_.substr(s, pos_ - s)).c_str(), nullptr, 10));
                sawNumber = true;
                continue;
            }
            if (c == 'a' || c == 'A') {
                if (sawAddress) Fail(line, "invalid relative address");
                std::string w = Lower(ReadWord());
                if (w != "a0" || Peek() != '.') Fail(line, "relative addressing needs a0.x");
                ++pos_;
                if (Lower(ReadWord()) != "x") Fail(line, "relative addressing needs a0.x");
                sawAddress = true;
                continue;
            }
            Fail(line, "invalid relative address");
        }
        reg.relative = sawAddress;
    }

    static int ComponentIndex(char c) {
        switch (std::tolower(static_cast<unsigned char>(c))) {
        case 'x': case 'r': return 0;
        case 'y': case 'g': return 1;
        case 'z': case 'b': return 2;
        case 'w': case 'a': return 3;
        default: return -1;
        }
    }

    // ---------------------------------------------------------------- operands
    uint32_t ReadDestination(int line, uint32_t modifiers) {
        SkipSpace();
        Reg reg = ReadRegister(line);
        if (vertex_) {
            if (reg.type == INPUT || reg.type == CONST) Fail(line, "register '" + reg.text + "' cannot be written");
        } else {
            if (reg.type == INPUT || reg.type == CONST) Fail(line, "register '" + reg.text + "' cannot be written");
            if (reg.type == TEXTURE && minor_ == 4) Fail(line, "register '" + reg.text + "' cannot be written");
        }
        if (reg.relative) Fail(line, "a destination cannot be addressed relatively");
        uint32_t mask = 0xF;
        if (Peek() == '.') {
            ++pos_;
            std::string m = ReadWord();
            mask = 0;
            int last = -1;
            for (char c : m) {
                int i = ComponentIndex(c);
                if (i < 0 || i <= last) Fail(line, "invalid write mask '." + m + "'");
                mask |= 1u << i;
                last = i;
            }
            if (m.empty()) Fail(line, "invalid write mask '.'");
        }
        return RegParam(reg.type, reg.number) | (mask << kWriteMaskShift) | modifiers;
    }

    uint32_t ReadSource(int line) {
        SkipSpace();
        bool negate = false;
        bool complement = false;
        if (Peek() == '-') {
            negate = true;
            ++pos_;
            SkipBlanks();
        }
        if (Peek() == '1') {
            ++pos_;
            SkipBlanks();
            if (Peek() != '-') Fail(line, "expected '1-' before a register");
            ++pos_;
            SkipBlanks();
            complement = true;
        }
        Reg reg = ReadRegister(line);
        if (vertex_ && (reg.type == RASTOUT || reg.type == ATTROUT || reg.type == TEXCRDOUT))
            Fail(line, "register '" + reg.text + "' cannot be read");
        std::string modifier;
        uint32_t swizzle = kNoSwizzle;
        for (;;) {
            if (Peek() == '_') {
                ++pos_;
                if (!modifier.empty()) Fail(line, "more than one source modifier on '" + reg.text + "'");
                modifier = Lower(ReadWord());
                if (modifier.empty()) Fail(line, "invalid source modifier '_'");
            } else if (Peek() == '.') {
                ++pos_;
                std::string s = ReadWord();
                if (s.empty() || s.size() > 4) Fail(line, "invalid swizzle '." + s + "'");
                uint32_t comp[4];
                for (size_t i = 0; i < 4; ++i) {
                    int c = ComponentIndex(s[i < s.size() ? i : s.size() - 1]);
                    if (c < 0) Fail(line, "invalid swizzle '." + s + "'");
                    comp[i] = static_cast<uint32_t>(c);
                }
                swizzle = Swizzle(comp[0], comp[1], comp[2], comp[3]);
            } else {
                break;
            }
        }
        uint32_t mod = SM_NONE;
        if (complement) {
            if (negate || !modifier.empty()) Fail(line, "'1-' cannot be combined with another source modifier");
            mod = SM_COMP;
        } else if (modifier.empty()) {
            mod = negate ? SM_NEG : SM_NONE;
        } else if (modifier == "bias") {
            mod = negate ? SM_BIASNEG : SM_BIAS;
        } else if (modifier == "bx2") {
            mod = negate ? SM_SIGNNEG : SM_SIGN;
        } else if (modifier == "x2") {
            if (minor_ != 4 || vertex_) Fail(line, "source modifier '_x2' needs ps.1.4");
            mod = negate ? SM_X2NEG : SM_X2;
        } else if (modifier == "dz" || modifier == "db" || modifier == "dw" || modifier == "da") {
            if (minor_ != 4 || vertex_ || negate) Fail(line, "source modifier '_" + modifier + "' is valid only on texld/texcrd in ps.1.4");
            mod = (modifier == "dz" || modifier == "db") ? SM_DZ : SM_DW;
        } else {
            Fail(line, "unknown source modifier '_" + modifier + "'");
        }
        if (vertex_ && mod != SM_NONE && mod != SM_NEG)
            Fail(line, "vertex shaders accept only '-' as a source modifier");
        return RegParam(reg.type, reg.number) | swizzle | (mod << kSrcModShift) | (reg.relative ? kRelativeAddress : 0);
    }

    float ReadFloat(int line) {
        SkipSpace();
        size_t start = pos_;
        if (Peek() == '-' || Peek() == '+') ++pos_;
        while (!AtEnd() && (std::isdigit(static_cast<unsigned char>(Peek())) || Peek() == '.' || Peek() == 'e' ||
                            Peek() == 'E' || ((Peek() == '-' || Peek() == '+') && (src_[pos_ - 1] == 'e' || src_[pos_ - 1] == 'E'))))
            ++pos_;
        std::string text(src_.substr(start, pos_ - start));
        char* end = nullptr;
        float v = std::strtof(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size()) Fail(line, "expected a number in 'def'");
        if (Peek() == 'f' || Peek() == 'F') ++pos_;
        return v;
    }

    // ---------------------------------------------------------------- instructions
    uint32_t ParseModifiers(const std::string& text, int line, const std::string& word) {
        // text: "_x2_sat" etc. (already lower case)
        uint32_t result = 0;
        bool shiftSeen = false;
        size_t i = 0;
        while (i < text.size()) {
            size_t j = text.find('_', i + 1);
            std::string m = text.substr(i + 1, j == std::string::npos ? std::string::npos : j - i - 1);
            i = j == std::string::npos ? text.size() : j;
            if (vertex_) Fail(line, "instruction modifier '_" + m + "' is not valid in vertex shaders");
            int shift = 0;
            if (m == "sat") {
                result |= kResultModSaturate;
                continue;
            }
            if (m == "x2") shift = 1;
            else if (m == "x4") shift = 2;
            else if (m == "d2") shift = -1;
            else if (m == "x8" && minor_ == 4) shift = 3;
            else if (m == "d4" && minor_ == 4) shift = -2;
            else if (m == "d8" && minor_ == 4) shift = -3;
            else Fail(line, "unknown instruction modifier '_" + m + "' on '" + word + "'");
            if (shiftSeen) Fail(line, "more than one shift modifier on '" + word + "'");
            shiftSeen = true;
            result |= (static_cast<uint32_t>(shift) & 0xF) << kDstShiftShift;
        }
        return result;
    }

    void Instruction(AssembledShader& out, const std::string& rawWord, int line, bool coIssue, bool first,
                     bool& phaseSeen) {
        const std::string lower = Lower(rawWord);
        const size_t underscore = lower.find('_');
        const std::string base = lower.substr(0, underscore);
        const std::string modText = underscore == std::string::npos ? std::string() : lower.substr(underscore);

        if (base == "def") {
            if (coIssue) Fail(line, "'def' cannot be co-issued");
            if (!modText.empty()) Fail(line, "'def' takes no modifiers");
            SkipSpace();
            Reg reg = ReadRegister(line);
            if (reg.type != CONST || reg.relative) Fail(line, "'def' needs a constant register, not '" + reg.text + "'");
            float v[4];
            for (float& f : v) {
                Expect(',', "in 'def'");
                f = ReadFloat(line);
            }
            if (vertex_) {
                out.constantDeclaration.push_back((4u << 29) | (1u << 25) | reg.number);
                for (float f : v) out.constantDeclaration.push_back(FloatBits(f));
            } else {
                out.tokens.push_back(DEF);
                out.tokens.push_back(RegParam(CONST, reg.number) | kWriteMaskAll);
                for (float f : v) out.tokens.push_back(FloatBits(f));
            }
            return;
        }
        if (base == "phase") {
            if (vertex_ || minor_ != 4) Fail(line, "instruction 'phase' is not valid in " + VersionName());
            if (phaseSeen) Fail(line, "more than one 'phase'");
            if (coIssue || !modText.empty()) Fail(line, "'phase' takes no modifiers");
            phaseSeen = true;
            phaseJustSeen_ = true;
            arithmeticSeen_ = false;
            out.tokens.push_back(PHASE);
            return;
        }
        const OpInfo* info = nullptr;
        for (const OpInfo& op : kOps)
            if (base == op.word) info = &op;
        if (!info) Fail(line, "unknown instruction '" + rawWord + "'");
        if (!(info->allow & VersionBit())) Fail(line, "instruction '" + base + "' is not valid in " + VersionName());
        if (coIssue) {
            if (vertex_) Fail(line, "co-issue '+' is not valid in vertex shaders");
            if (first || phaseJustSeen_) Fail(line, "co-issue '+' needs a preceding instruction");
        }
        phaseJustSeen_ = false;
        // Texture addressing comes first: the whole program in ps.1.0-1.3, each phase in ps.1.4.
        if (!vertex_) {
            if (IsTextureOp(info->opcode) && arithmeticSeen_)
                Fail(line, "texture instruction '" + base + "' after arithmetic instructions");
            if (!IsTextureOp(info->opcode) && info->opcode != NOP) arithmeticSeen_ = true;
        }
        uint32_t modifiers = ParseModifiers(modText, line, base);
        if (modifiers && IsTextureOp(info->opcode))
            Fail(line, "instruction '" + base + "' takes no modifiers");

        out.tokens.push_back(info->opcode | (coIssue ? kCoIssue : 0));
        if (info->dst) {
            uint32_t dst = ReadDestination(line, modifiers);
            // Texture address instructions of ps.1.0-1.3 write texture registers only.
            if (!vertex_ && minor_ < 4 && IsTextureOp(info->opcode) && ParamRegType(dst) != TEXTURE)
                Fail(line, "'" + base + "' needs a texture register (t#) as destination");
            if (!vertex_ && minor_ == 4 && (info->opcode == TEX || info->opcode == TEXCOORD || info->opcode == TEXDEPTH) &&
                ParamRegType(dst) != TEMP)
                Fail(line, "'" + base + "' needs a temporary register (r#) as destination");
            out.tokens.push_back(dst);
        }
        for (int i = 0; i < info->src; ++i) {
            Expect(',', "between operands of '" + base + "'");
            out.tokens.push_back(ReadSource(line));
        }
    }

    static bool IsTextureOp(uint32_t op) {
        return op >= TEXCOORD && op != CND && op != CMP && op != BEM && op != EXPP && op != LOGP && op != DEF;
    }

    static uint32_t FloatBits(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u;
    }

    std::string_view src_;
    size_t pos_ = 0;
    int line_ = 1;
    bool vertex_ = false;
    int minor_ = 0;
    bool phaseJustSeen_ = false;
    bool arithmeticSeen_ = false;
};

} // namespace

bool AssembleShader(std::string_view source, AssembledShader& out, std::string& errors) {
    out = {};
    errors.clear();
    try {
        Assembler(source).Run(out);
        return true;
    } catch (const AsmError& e) {
        out = {};
        errors = "line " + std::to_string(e.line) + ": " + e.message;
        return false;
    }
}

bool AssembleShader(std::string_view source, std::vector<uint32_t>& tokens, std::string& errors) {
    AssembledShader out;
    bool ok = AssembleShader(source, out, errors);
    tokens = std::move(out.tokens);
    return ok;
}

std::vector<uint32_t> EngineVertexDeclaration() {
    // D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT2), D3DVSD_END()
    return {0x20000000u, 0x40010000u, 0xFFFFFFFFu};
}

} // namespace rdv
