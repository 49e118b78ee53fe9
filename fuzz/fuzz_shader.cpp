// Shader scripts ("tsh", "psh", "vsh") loaded on the recording device, and
// the compiled texel program run at two clock values.
#include <cstdint>
#include <memory>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "headless/RecordingEngine.h"
#include "graphics/Shader.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static std::unique_ptr<RecordingEngine> t = [] {
        auto e = MakeRecordingEngine(fuzz::ScratchFolder());
        e->engine.settings.pixelShaders = true;
        e->engine.settings.vertexShaders = true;
        e->engine.settings.textureTransforms = true;
        return e;
    }();
    static const char* kinds[] = {"f.tsh", "f.psh", "f.vsh"};
    fuzz::WriteInput(fuzz::ScratchFolder() / "shaders", kinds[data[0] % 3], data + 1, size - 1);
    gfxShaderObj shader;
    try {
        shader.LoadShader(t->engine, t->device(), "f");
        shader.ExecuteTexelShader(t->device(), 0);
        shader.ExecuteTexelShader(t->device(), 123456789u);
        shader.TextureTransform();
    } catch (const EngineError&) {
    }
    shader.Release();
    t->device()->ClearCalls();
    t->log.clear();
    return 0;
}
