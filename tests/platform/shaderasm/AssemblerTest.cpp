#include <gtest/gtest.h>

#include "platform/shaderasm/ShaderAssembler.h"
#include "platform/shaderasm/ShaderTokens.h"

namespace rdv {
namespace {

using Words = std::vector<uint32_t>;

Words Assemble(const std::string& source) {
    Words tokens;
    std::string errors;
    EXPECT_TRUE(AssembleShader(source, tokens, errors)) << errors;
    return tokens;
}

std::string ErrorOf(const std::string& source) {
    Words tokens;
    std::string errors;
    EXPECT_FALSE(AssembleShader(source, tokens, errors));
    EXPECT_TRUE(tokens.empty());
    return errors;
}

// Expected words below are written out by hand from the token layout:
// parameter = 0x80000000 | type << 28 | number, write mask << 16,
// swizzle << 16 (0xE4 = xyzw), source modifier << 24, shift << 24.

TEST(ShaderAssembler, VertexShaderTokens) {
    EXPECT_EQ(Assemble("vs.1.0\nmov oD0, v5\n"), (Words{0xFFFE0100, 0x01, 0xD00F0000, 0x90E40005, 0x0000FFFF}));

    // Statements joined on one line, as the engine hands vertex scripts over.
    EXPECT_EQ(Assemble("vs.1.1 dp4 oPos.x, v0, c0 m4x4 oT0, v0, c4"),
              (Words{0xFFFE0101, 0x09, 0xC0010000, 0x90E40000, 0xA0E40000,
                     0x14, 0xE00F0000, 0x90E40000, 0xA0E40004, 0x0000FFFF}));

    // Negated swizzled input, relative constant, replicated swizzle.
    EXPECT_EQ(Assemble("vs.1.1\nmad r1.xy, -v0.yxzw, c[a0.x + 10], r2.w"),
              (Words{0xFFFE0101, 0x04, 0x80030001, 0x91E10000, 0xA0E4200A, 0x80FF0002, 0x0000FFFF}));
}

TEST(ShaderAssembler, VertexDefGoesToTheDeclaration) {
    AssembledShader out;
    std::string errors;
    ASSERT_TRUE(AssembleShader("vs.1.1\ndef c3, 1, 0, 0.5, -2\nmov oPos, v0", out, errors)) << errors;
    EXPECT_EQ(out.tokens, (Words{0xFFFE0101, 0x01, 0xC00F0000, 0x90E40000, 0x0000FFFF}));
    EXPECT_EQ(out.constantDeclaration, (Words{0x82000003, 0x3F800000, 0x00000000, 0x3F000000, 0xC0000000}));
    EXPECT_EQ(EngineVertexDeclaration(), (Words{0x20000000, 0x40010000, 0xFFFFFFFF}));
}

TEST(ShaderAssembler, PixelShader11Tokens) {
    EXPECT_EQ(Assemble("ps.1.1\n"
                       "def c2, 1.0, 0.5, 0.25, 0.0\n"
                       "tex t0          ; sample stage 0\n"
                       "mul_x2_sat r0.rgb, t0, v0\n"
                       "+mov r0.a, 1-t0.a\n"
                       "add_d2 r1, r0_bias, -c1_bx2\n"
                       "cnd r0, r0.a, t0, r1\n"),
              (Words{0xFFFF0101,
                     0x51, 0xA00F0002, 0x3F800000, 0x3F000000, 0x3E800000, 0x00000000,
                     0x42, 0xB00F0000,
                     0x05, 0x81170000, 0xB0E40000, 0x90E40000,
                     0x40000001, 0x80080000, 0xB6FF0000,
                     0x02, 0x8F0F0001, 0x82E40000, 0xA5E40001,
                     0x50, 0x800F0000, 0x80FF0000, 0xB0E40000, 0x80E40001,
                     0x0000FFFF}));
}

TEST(ShaderAssembler, PixelShader10And13Tokens) {
    EXPECT_EQ(Assemble("ps.1.0\ntexcoord t1\nmov r0, t1"),
              (Words{0xFFFF0100, 0x40, 0xB00F0001, 0x01, 0x800F0000, 0xB0E40001, 0x0000FFFF}));
    EXPECT_EQ(Assemble("PS.1.3\n tex t0\n texm3x2pad t1, t0_bx2\n texm3x2depth t2, t0_bx2\n cmp r0, r1, c0, c1"),
              (Words{0xFFFF0103, 0x42, 0xB00F0000, 0x47, 0xB00F0001, 0xB4E40000, 0x54, 0xB00F0002, 0xB4E40000,
                     0x58, 0x800F0000, 0x80E40001, 0xA0E40000, 0xA0E40001, 0x0000FFFF}));
}

TEST(ShaderAssembler, PixelShader14Tokens) {
    EXPECT_EQ(Assemble("ps.1.4\n"
                       "texld r0, t0\n"
                       "texcrd r1.rgb, t1_dz.xyz\n"
                       "phase\n"
                       "texld r2, r1\n"
                       "mul_x8 r0, r0, r2_x2\n"),
              (Words{0xFFFF0104,
                     0x42, 0x800F0000, 0xB0E40000,
                     0x40, 0x80070001, 0xB9A40001,   // ".xyz" repeats its last component
                     0x0000FFFD,
                     0x42, 0x800F0002, 0x80E40001,
                     0x05, 0x830F0000, 0x80E40000, 0x87E40002,
                     0x0000FFFF}));
}

TEST(ShaderAssembler, ErrorsNameTheLine) {
    EXPECT_EQ(ErrorOf("ps.1.1\n\nfoo r0, r1"), "line 3: unknown instruction 'foo'");
    EXPECT_EQ(ErrorOf("mov r0, v0").rfind("line 1: missing version line", 0), 0u);
    EXPECT_EQ(ErrorOf(""), "line 1: missing version line (vs.1.0, vs.1.1 or ps.1.0 to ps.1.4)");
    EXPECT_EQ(ErrorOf("ps.1.1\ntexld r0, t0"), "line 2: instruction 'texld' is not valid in ps.1.1");
    EXPECT_EQ(ErrorOf("ps.1.4\ntex t0"), "line 2: instruction 'tex' is not valid in ps.1.4");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov r2, v0"), "line 2: register 'r2' is out of range in ps.1.1");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov v0, r0"), "line 2: register 'v0' cannot be written");
    EXPECT_EQ(ErrorOf("ps.1.1\n+mov r0, v0"), "line 2: co-issue '+' needs a preceding instruction");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov r0, v0\nadd r0 r1, v0"), "line 3: expected ',' between operands of 'add'");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov r0.xz y, v0").rfind("line 2:", 0), 0u);
    EXPECT_EQ(ErrorOf("ps.1.1\nmov_x3 r0, v0"), "line 2: unknown instruction modifier '_x3' on 'mov'");
    EXPECT_EQ(ErrorOf("vs.1.1\nmov_sat oPos, v0"),
              "line 2: instruction modifier '_sat' is not valid in vertex shaders");
    EXPECT_EQ(ErrorOf("ps.1.4\ntexld r0, t0\nphase\nphase"), "line 4: more than one 'phase'");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov r0, v0\ntex t0"), "line 3: texture instruction 'tex' after arithmetic instructions");
    EXPECT_EQ(ErrorOf("ps.1.4\nmov r1, c0\ntexld r0, t0"),
              "line 3: texture instruction 'texld' after arithmetic instructions");
    EXPECT_EQ(ErrorOf("ps.1.1\nmov r0, v0\nmul r0, r0"), "line 3: expected ',' between operands of 'mul' at end of text");
}

} // namespace
} // namespace rdv
