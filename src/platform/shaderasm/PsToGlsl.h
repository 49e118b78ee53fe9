#pragma once
// Translation of ps.1.0-1.4 token words into a GLSL fragment shader, used by
// the OpenGL device's CreatePixelShader.
//
// The fragment source is "#version 120" with a main() that writes
// gl_FragColor (the shader's r0; fog and alpha test are left to the device).
// It reads:
//   gl_TexCoord[n]          texture coordinates of stage n (t# registers)
//   gl_Color, gl_SecondaryColor   colour registers v0 and v1
//   uniform sampler2D uTex0..uTex7   the texture of stage n (declared only when read)
//   uniform vec4 uPsConst[8]         constants c0..c7 (SetPixelShaderConstant);
//                                    "def" constants are compiled in and win
//   uniform vec4 uBumpEnvMat[8]      per stage: BUMPENVMAT00, 01, 10, 11
//   uniform vec2 uBumpEnvLum[8]      per stage: BUMPENVLSCALE, BUMPENVLOFFSET
//                                    (both only when texbem/texbeml/bem occur)
// Depth-writing instructions (texdepth, texm3x2depth) write gl_FragDepth.
#include <cstdint>
#include <string>
#include <vector>

namespace rdv {

struct GlslPixelShader {
    std::string fragmentSource;   // GLSL 1.20 fragment shader
    uint32_t version = 0;         // the version token (0xFFFF0101 for ps.1.1)
    uint32_t samplerMask = 0;     // bit n: uTex<n> is read
    uint32_t texCoordMask = 0;    // bit n: gl_TexCoord[n] is read
    bool usesBumpEnv = false;     // uBumpEnvMat / uBumpEnvLum are read
    bool writesDepth = false;     // gl_FragDepth is written
};

// False (with a reason) for tokens that cannot be translated; the device
// then fails the creation.
bool TranslatePixelShader(const std::vector<uint32_t>& tokens, GlslPixelShader& out, std::string& error);

} // namespace rdv
