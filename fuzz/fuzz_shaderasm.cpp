// The shader assembler on any text, and the pixel-shader translation of
// whatever it accepts.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shaderasm/PsToGlsl.h"
#include "platform/shaderasm/ShaderAssembler.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view source(reinterpret_cast<const char*>(data), size);
    std::vector<uint32_t> tokens;
    std::string errors;
    if (!AssembleShader(source, tokens, errors)) return 0;
    GlslPixelShader glsl;
    std::string error;
    TranslatePixelShader(tokens, glsl, error);
    return 0;
}
