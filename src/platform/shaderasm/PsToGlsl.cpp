#include "platform/shaderasm/PsToGlsl.h"
// Replaced by the shader translator.
namespace rdv {
bool TranslatePixelShader(const std::vector<uint32_t>&, GlslPixelShader&, std::string& error) {
    error = "pixel shaders are not translated yet";
    return false;
}
}
