// The texel shader: compiling software-section statements to byte code,
// running the byte code, and selecting and disabling shaders.
#include <cmath>
#include <cstdio>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Shader.h"
#include "packages/Parse.h"

namespace rdv {

namespace {

const char* const kLoadSource = "Engine->GetShader->LoadShader";
const char* const kAssemblySource = "Engine->GetShader->LoadShader->PerformAssembly";
constexpr float kShaderPi = 3.14159f;
constexpr size_t kMaxConstants = 256;   // a constant index is one byte of code

enum class Form {
    None,           // opcode only
    Number,         // opcode c
    RegReg,         // opcode a b
    RegNumber,      // opcode a c
    Reg,            // opcode a
    NumberReg,      // opcode c a
};

enum class Family {
    Identity, MulU, MulV, MulUV, Mul, Load, LoadTime, Move, Sin, Cos, Neg, MoveNeg,
    LoadInverse, LoadPi, LoadPiDivide, Add, Sub, LoadShaderConst,
};

struct TexelOp {
    const char* word;
    Family family;
};

constexpr TexelOp kTexelOps[] = {
    {"id", Family::Identity}, {"identity", Family::Identity},
    {"mulu", Family::MulU}, {"multiplyu", Family::MulU}, {"multiply_u", Family::MulU},
    {"mulv", Family::MulV}, {"multiplyv", Family::MulV}, {"multiply_v", Family::MulV},
    {"muluv", Family::MulUV}, {"multiplyuv", Family::MulUV}, {"multiply_uv", Family::MulUV}, {"scale", Family::MulUV},
    {"mul", Family::Mul}, {"multiply", Family::Mul},
    {"load", Family::Load}, {"ldi", Family::Load}, {"constant", Family::Load},
    {"loadtime", Family::LoadTime}, {"time", Family::LoadTime}, {"ldt", Family::LoadTime}, {"ldtime", Family::LoadTime},
    {"mov", Family::Move}, {"move", Family::Move}, {"copy", Family::Move}, {"dup", Family::Move},
    {"duplicate", Family::Move},
    {"sin", Family::Sin}, {"sine", Family::Sin}, {"sinus", Family::Sin},
    {"cos", Family::Cos}, {"cosine", Family::Cos}, {"cosinus", Family::Cos},
    {"neg", Family::Neg}, {"negate", Family::Neg},
    {"movn", Family::MoveNeg}, {"mvn", Family::MoveNeg}, {"movnegate", Family::MoveNeg},
    {"movenegate", Family::MoveNeg}, {"movnegative", Family::MoveNeg}, {"movenegative", Family::MoveNeg},
    {"loadinverse", Family::LoadInverse}, {"ldii", Family::LoadInverse}, {"ldc", Family::LoadInverse},
    {"inverseconstant", Family::LoadInverse}, {"complementconstant", Family::LoadInverse},
    {"loadpifactor", Family::LoadPi}, {"ldpi", Family::LoadPi}, {"ldp", Family::LoadPi},
    {"pifactor", Family::LoadPi}, {"pitimes", Family::LoadPi},
    {"loadpidivide", Family::LoadPiDivide}, {"ldcpi", Family::LoadPiDivide}, {"ldcp", Family::LoadPiDivide},
    {"ldpidiv", Family::LoadPiDivide}, {"picomplemet", Family::LoadPiDivide}, {"pidivided", Family::LoadPiDivide},
    {"add", Family::Add}, {"addition", Family::Add}, {"increment", Family::Add},
    {"sub", Family::Sub}, {"subtract", Family::Sub}, {"reduce", Family::Sub}, {"decrement", Family::Sub},
    {"ldsh", Family::LoadShaderConst}, {"loadshader", Family::LoadShaderConst},
    {"loadcolor", Family::LoadShaderConst}, {"copyconstantquad", Family::LoadShaderConst},
};

Form FormOf(Family f) {
    switch (f) {
    case Family::Identity: return Form::None;
    case Family::MulU: case Family::MulV: case Family::MulUV: return Form::Number;
    case Family::Mul: case Family::Move: case Family::MoveNeg: case Family::Add: case Family::Sub: return Form::RegReg;
    case Family::Load: case Family::LoadTime: case Family::LoadInverse: case Family::LoadPi:
    case Family::LoadPiDivide: return Form::RegNumber;
    case Family::Sin: case Family::Cos: case Family::Neg: return Form::Reg;
    case Family::LoadShaderConst: return Form::NumberReg;
    }
    return Form::None;
}

size_t OperandCount(Form f) {
    switch (f) {
    case Form::None: return 0;
    case Form::Number: case Form::Reg: return 1;
    default: return 2;
    }
}

std::vector<std::string> SplitBlanks(const std::string& text) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
        parts.push_back(text.substr(i, j - i));
        i = j;
    }
    return parts;
}

// A whole decimal number and nothing else ("4", "+8", "12.0").
bool WholeNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    if (text.find_first_of("xXpPnN") != std::string::npos) return false;   // no hex, inf or nan
    return std::floor(value) == value;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

} // namespace

int gfxShaderObj::ParseRegister(Engine& engine, const std::string& text) {
    std::string s = text;
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string digits = s;
    if (s.size() >= 2 && s[0] == 'r') digits = s.substr(1);
    if (digits.size() == 1 && digits[0] >= 'a' && digits[0] <= 'f') return 10 + (digits[0] - 'a');
    if (!digits.empty() && digits.size() <= 2 && digits.find_first_not_of("0123456789") == std::string::npos) {
        const int n = std::stoi(digits);
        if (n <= 15) return n;
    }
    engine.log.Write("Warning: '" + text + "' is not a known register", 4);
    return 0;
}

uint8_t gfxShaderObj::AddConstant(Engine&, float value) {
    if (constants.size() >= kMaxConstants)
        RaiseError(ErrFormat, kLoadSource, "Too many constants (more than 256) in: " + name);
    constants.push_back(value);
    return static_cast<uint8_t>(constants.size() - 1);
}

void gfxShaderObj::CompileTexelLine(Engine& engine, const std::string& statement, Kind scriptKind) {
    const std::vector<std::string> parts = SplitBlanks(statement);
    if (parts.empty()) return;
    if (parts.size() > 3) RaiseError(ErrFormat, kLoadSource, "Invalid parameter count");
    const std::string& word = parts[0];
    const TexelOp* op = nullptr;
    for (const TexelOp& candidate : kTexelOps)
        if (word == candidate.word) op = &candidate;
    if (!op) RaiseError(ErrFormat, "Engine->GetShader->LoadShader->Perform", "Invalid opcode '" + word + "' in: " + name);

    const Form form = FormOf(op->family);
    if (parts.size() - 1 != OperandCount(form)) {
        engine.log.Write("Warning: invalid param count for " + word + " in:" + name, 4);
        return;
    }

    auto reg = [&](size_t i) { return static_cast<uint8_t>(ParseRegister(engine, parts[i])); };
    auto number = [&](size_t i) { return static_cast<float>(Val(parts[i])); };
    auto emit = [&](std::initializer_list<uint8_t> bytes) { code.insert(code.end(), bytes); };

    switch (op->family) {
    case Family::Identity: emit({kIdentity}); break;
    case Family::MulU: emit({kMulU, AddConstant(engine, number(1))}); break;
    case Family::MulV: emit({kMulV, AddConstant(engine, number(1))}); break;
    case Family::MulUV: emit({kMulUV, AddConstant(engine, number(1))}); break;
    case Family::Mul: { uint8_t a = reg(1), b = reg(2); emit({kMul, a, b}); break; }
    case Family::Load: { uint8_t a = reg(1); emit({kLoad, a, AddConstant(engine, number(2))}); break; }
    case Family::LoadTime: {
        const uint8_t a = reg(1);
        // A period of 0 ms would divide by zero on every run.
        if (RoundHalfEven(Val(parts[2])) == 0)
            RaiseError(ErrFormat, kLoadSource, "Invalid time period '" + parts[2] + "' in: " + name);
        emit({kLoadTime, a, AddConstant(engine, number(2))});
        break;
    }
    case Family::Move: { uint8_t a = reg(1), b = reg(2); emit({kMove, a, b}); break; }
    case Family::Sin: emit({kSin, reg(1)}); break;
    case Family::Cos: emit({kCos, reg(1)}); break;
    case Family::Neg: emit({kNeg, reg(1)}); break;
    case Family::MoveNeg: { uint8_t a = reg(1), b = reg(2); emit({kMoveNeg, a, b}); break; }
    case Family::LoadInverse:
    case Family::LoadPiDivide: {
        const uint8_t a = reg(1);
        const float c = number(2);
        if (c == 0.0f)
            RaiseError(ErrFormat, kLoadSource,
                       "Division by zero - can't complement constant in " + statement + " instruction");
        const float value = op->family == Family::LoadInverse ? 1.0f / c : kShaderPi / c;
        emit({kLoad, a, AddConstant(engine, value)});
        break;
    }
    case Family::LoadPi: { uint8_t a = reg(1); emit({kLoad, a, AddConstant(engine, number(2) * kShaderPi)}); break; }
    case Family::Add: { uint8_t a = reg(1), b = reg(2); emit({kAdd, a, b}); break; }
    case Family::Sub: { uint8_t a = reg(1), b = reg(2); emit({kSub, a, b}); break; }
    case Family::LoadShaderConst: {
        if (scriptKind != kVertex && scriptKind != kPixel)
            RaiseError(ErrFormat, kAssemblySource, "invalid opcode outside pixel/vertexshader");
        const std::string& c = parts[1];
        double index = 0;
        if (!WholeNumber(c, index) || index < 0)
            RaiseError(ErrFormat, kAssemblySource, "Invalid shader register index (syntax error) '" + c + "' in: " + name);
        if (std::fmod(index, 4.0) != 0.0)
            RaiseError(ErrFormat, kAssemblySource,
                       "Invalid shader register index (must be multiple of 4) '" + c + "' in: " + name);
        if (index >= 8)
            RaiseError(ErrFormat, kAssemblySource,
                       "Invalid shader register index (maximum register exceeded) '" + c + "' in: " + name);
        const uint8_t a = reg(2);
        if (a % 4 != 0)
            RaiseError(ErrFormat, kAssemblySource,
                       "Invalid source line (must be r0/r4/r8/r12) '" + parts[2] + "' in: " + name);
        emit({kLoadShaderConst, AddConstant(engine, static_cast<float>(index)), a});
        break;
    }
    }
}

void gfxShaderObj::ExecuteTexelShader(IDirect3DDevice8* device, uint32_t gameClock) {
    auto& r = registers;
    auto constant = [&](uint8_t k) { return k < constants.size() ? constants[k] : 0.0f; };
    size_t pc = 0;
    while (pc < code.size()) {
        const uint8_t op = code[pc];
        size_t length = 0;
        switch (op) {
        case kIdentity: length = 1; break;
        case kMulU: case kMulV: case kMulUV: case kSin: case kCos: case kNeg: length = 2; break;
        case kMul: case kLoad: case kLoadTime: case kMove: case kMoveNeg: case kAdd: case kSub:
        case kLoadShaderConst: length = 3; break;
        default: break;
        }
        if (length == 0 || pc + length > code.size())
            RaiseError(ErrFormat, "Engine->SelectShader->ExecuteTexelShader", "Invalid opcode: " + Hex(op));
        const uint8_t p1 = length > 1 ? code[pc + 1] : 0;
        const uint8_t p2 = length > 2 ? code[pc + 2] : 0;
        const uint8_t a = p1 & 15, b = p2 & 15;
        switch (op) {
        case kIdentity:
            for (int i = 0; i < 9; ++i) r[i] = (i % 4 == 0) ? 1.0f : 0.0f;
            break;
        case kMulU:
            for (int i = 0; i < 3; ++i) r[i] *= constant(p1);
            break;
        case kMulV:
            for (int i = 3; i < 6; ++i) r[i] *= constant(p1);
            break;
        case kMulUV:
            for (int i = 0; i < 6; ++i) r[i] *= constant(p1);
            break;
        case kMul: r[a] *= r[b]; break;
        case kLoad: r[a] = constant(p2); break;
        case kLoadTime: {
            const int64_t period = RoundHalfEven(constant(p2));
            // Compile time refuses 0; a corrupted table must not divide by it either.
            r[a] = period == 0 ? 0.0f : static_cast<float>(static_cast<int64_t>(gameClock) % period);
            break;
        }
        case kMove: r[a] = r[b]; break;
        case kSin: r[a] = std::sin(r[a]); break;
        case kCos: r[a] = std::cos(r[a]); break;
        case kNeg: r[a] = -r[a]; break;
        case kMoveNeg: r[a] = -r[b]; break;
        case kAdd: r[a] += r[b]; break;
        case kSub: r[a] -= r[b]; break;
        case kLoadShaderConst: {
            const DWORD target = static_cast<DWORD>(RoundHalfEven(constant(p1)));
            const float quad[4] = {r[b], r[(b + 1) & 15], r[(b + 2) & 15], r[(b + 3) & 15]};
            if (device) {
                if (kind == kVertex) device->SetVertexShaderConstant(target, quad, 1);
                else if (kind == kPixel) device->SetPixelShaderConstant(target, quad, 1);
            }
            break;
        }
        default: break;
        }
        pc += length;
    }
}

D3DXMATRIX gfxShaderObj::TextureTransform() const {
    D3DXMATRIX m{};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) m.m[row][col] = registers[col * 3 + row];
    return m;
}

void gfxShaderObj::SelectShader(Engine& engine, const ShaderTarget& target) {
    if (!working) {
        DisableShader(target);
        return;
    }
    IDirect3DDevice8* device = target.device;
    switch (kind) {
    case kVertex:
        if (engine.settings.vertexShaders && device) {
            if (!target.currentVertexShader || *target.currentVertexShader != handle) {
                device->SetVertexShader(handle);
                if (target.currentVertexShader) *target.currentVertexShader = handle;
            }
            const float zero[4] = {0, 0, 0, 0};
            device->SetVertexShaderConstant(4, zero, 1);
        }
        break;
    case kPixel:
        if (engine.settings.pixelShaders) {
            if (hasSoftwareSection) ExecuteTexelShader(device, target.gameClock);
            if (device) device->SetPixelShader(handle);
        }
        break;
    case kTexel:
        if (engine.settings.textureTransforms) {
            ExecuteTexelShader(device, target.gameClock);
            if (device) {
                const D3DXMATRIX m = TextureTransform();
                device->SetTransform(D3DTS_TEXTURE0, &m);
            }
        }
        break;
    default: break;
    }
}

void gfxShaderObj::DisableShader(const ShaderTarget& target) {
    IDirect3DDevice8* device = target.device;
    if (!device) return;
    switch (kind) {
    case kVertex:
        device->SetVertexShader(D3DFVF_ENGINE);
        // The fixed format is now current; the next select must set its shader again.
        if (target.currentVertexShader) *target.currentVertexShader = D3DFVF_ENGINE;
        break;
    case kPixel: device->SetPixelShader(0); break;
    case kTexel: {
        D3DXMATRIX identity{};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
        device->SetTransform(D3DTS_TEXTURE0, &identity);
        break;
    }
    default: break;
    }
}

} // namespace rdv
