#pragma once
// The shader assembler: vs.1.0/vs.1.1 and ps.1.0-ps.1.4 source text into
// Direct3D 8 token words (version token first, end token 0x0000FFFF last),
// as D3DXAssembleShader produced them. Tokens are in ShaderTokens.h.
//
// Source is free-form: statements may share a line or be spread over lines,
// because an instruction ends where its operand count is complete. ";" and
// "//" start comments. Errors read like an assembler's:
// "line 3: unknown instruction 'foo'".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdv {

struct AssembledShader {
    std::vector<uint32_t> tokens;
    // Vertex shaders: "def" constants as D3DVSD_CONST declaration tokens
    // (address, count, then 4 floats a register), for the stream
    // declaration; pixel shaders carry "def" as tokens instead.
    std::vector<uint32_t> constantDeclaration;
};

// True on success. On failure `errors` holds one line per problem found
// (the assembler stops at the first one) and `out` is left empty.
bool AssembleShader(std::string_view source, AssembledShader& out, std::string& errors);

// Convenience: token words only.
bool AssembleShader(std::string_view source, std::vector<uint32_t>& tokens, std::string& errors);

// The stream declaration the engine gives its vertex shaders: stream 0,
// input register 0 as two floats, end.
std::vector<uint32_t> EngineVertexDeclaration();

} // namespace rdv
