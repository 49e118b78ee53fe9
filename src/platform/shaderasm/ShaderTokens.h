#pragma once
// Direct3D 8 shader token words: version, instruction and parameter tokens of
// vs.1.x and ps.1.x programs, with D3D8's numeric values. The assembler
// writes them, the GLSL translator reads them.
#include <cstdint>

namespace rdv::shtok {

// Version tokens: 0xFFFE.... vertex, 0xFFFF.... pixel, major in bits 8-15.
constexpr uint32_t VertexVersion(uint32_t major, uint32_t minor) { return 0xFFFE0000u | (major << 8) | minor; }
constexpr uint32_t PixelVersion(uint32_t major, uint32_t minor) { return 0xFFFF0000u | (major << 8) | minor; }
constexpr bool IsPixelVersion(uint32_t v) { return (v & 0xFFFF0000u) == 0xFFFF0000u; }
constexpr bool IsVertexVersion(uint32_t v) { return (v & 0xFFFF0000u) == 0xFFFE0000u; }
constexpr uint32_t VersionMajor(uint32_t v) { return (v >> 8) & 0xFF; }
constexpr uint32_t VersionMinor(uint32_t v) { return v & 0xFF; }

// Instruction opcodes (low 16 bits of an instruction token).
enum Opcode : uint32_t {
    NOP = 0, MOV, ADD, SUB, MAD, MUL, RCP, RSQ, DP3, DP4, MIN, MAX, SLT, SGE, EXP, LOG, LIT, DST, LRP, FRC,
    M4x4, M4x3, M3x4, M3x3, M3x2,
    TEXCOORD = 64, TEXKILL, TEX, TEXBEM, TEXBEML, TEXREG2AR, TEXREG2GB, TEXM3x2PAD, TEXM3x2TEX, TEXM3x3PAD,
    TEXM3x3TEX, TEXM3x3DIFF, TEXM3x3SPEC, TEXM3x3VSPEC, EXPP, LOGP, CND, DEF, TEXREG2RGB, TEXDP3TEX,
    TEXM3x2DEPTH, TEXDP3, TEXM3x3, TEXDEPTH, CMP, BEM,
    PHASE = 0xFFFD, COMMENT = 0xFFFE, END = 0xFFFF,
};

constexpr uint32_t kOpcodeMask = 0x0000FFFFu;
constexpr uint32_t kCoIssue = 0x40000000u;          // "+" paired instruction
constexpr uint32_t kEndToken = 0x0000FFFFu;
constexpr uint32_t kCommentSizeShift = 16;          // comment length in words, bits 16-30
constexpr uint32_t kCommentSizeMask = 0x7FFF0000u;

// Parameter tokens: bit 31 set, register number bits 0-11, type bits 28-30.
constexpr uint32_t kParamBit = 0x80000000u;
constexpr uint32_t kRegNumMask = 0x00000FFFu;
constexpr uint32_t kRegTypeShift = 28;
constexpr uint32_t kRegTypeMask = 0x70000000u;

enum RegType : uint32_t {
    TEMP = 0,       // r#
    INPUT = 1,      // v#
    CONST = 2,      // c#
    ADDR = 3,       // a0 (vertex shaders)
    TEXTURE = 3,    // t# (pixel shaders)
    RASTOUT = 4,    // oPos, oFog, oPts
    ATTROUT = 5,    // oD#
    TEXCRDOUT = 6,  // oT#
};
enum RastOut : uint32_t { POSITION = 0, FOG = 1, POINT_SIZE = 2 };

// Destination parameters.
constexpr uint32_t kWriteMaskShift = 16;
constexpr uint32_t kWriteMaskAll = 0x000F0000u;
constexpr uint32_t kResultModShift = 20;
constexpr uint32_t kResultModSaturate = 0x00100000u;
constexpr uint32_t kResultModMask = 0x00F00000u;
constexpr uint32_t kDstShiftShift = 24;             // 4-bit signed: 1 _x2, 2 _x4, 3 _x8, -1 _d2 ...
constexpr uint32_t kDstShiftMask = 0x0F000000u;

// Source parameters.
constexpr uint32_t kSwizzleShift = 16;
constexpr uint32_t kSwizzleMask = 0x00FF0000u;
constexpr uint32_t kNoSwizzle = 0x00E40000u;        // .xyzw
constexpr uint32_t kSrcModShift = 24;
constexpr uint32_t kSrcModMask = 0x0F000000u;
constexpr uint32_t kRelativeAddress = 0x00002000u;  // vs: c[a0.x + n]

enum SrcMod : uint32_t {
    SM_NONE = 0, SM_NEG, SM_BIAS, SM_BIASNEG, SM_SIGN, SM_SIGNNEG, SM_COMP, SM_X2, SM_X2NEG, SM_DZ, SM_DW,
};

constexpr uint32_t Swizzle(uint32_t x, uint32_t y, uint32_t z, uint32_t w) {
    return (x | (y << 2) | (z << 4) | (w << 6)) << kSwizzleShift;
}

constexpr uint32_t RegParam(RegType type, uint32_t number) {
    return kParamBit | ((static_cast<uint32_t>(type) << kRegTypeShift) & kRegTypeMask) | (number & kRegNumMask);
}
constexpr uint32_t ParamRegType(uint32_t token) { return (token & kRegTypeMask) >> kRegTypeShift; }
constexpr uint32_t ParamRegNumber(uint32_t token) { return token & kRegNumMask; }
constexpr uint32_t ParamWriteMask(uint32_t token) { return (token >> kWriteMaskShift) & 0xF; }
constexpr uint32_t ParamSrcMod(uint32_t token) { return (token & kSrcModMask) >> kSrcModShift; }
constexpr int ParamDstShift(uint32_t token) {
    int s = static_cast<int>((token & kDstShiftMask) >> kDstShiftShift);
    return s >= 8 ? s - 16 : s;
}
// Component (0-3) that source component i reads.
constexpr uint32_t ParamSwizzleComponent(uint32_t token, uint32_t i) { return (token >> (kSwizzleShift + 2 * i)) & 3; }

} // namespace rdv::shtok
