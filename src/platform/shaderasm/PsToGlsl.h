#pragma once
// Translation of ps.1.0-1.4 token words into a GLSL fragment shader, used by
// the OpenGL device's CreatePixelShader.
#include <cstdint>
#include <string>
#include <vector>

namespace rdv {

struct GlslPixelShader {
    std::string fragmentSource;   // GLSL 1.20 fragment shader
};

// False (with a reason) for tokens that cannot be translated; the device
// then fails the creation.
bool TranslatePixelShader(const std::vector<uint32_t>& tokens, GlslPixelShader& out, std::string& error);

} // namespace rdv
