// The shader table's entry points: the device, the render-state cache and
// the clock come from the graphics core.
#include "core/Engine.h"
#include "graphics/ModelBackend.h"
#include "graphics/Shader.h"
#include "platform/Clock.h"

namespace rdv {

namespace {
ShaderTarget TargetOf(Engine& engine) {
    ShaderTarget target;
    target.device = modelbackend::Device(engine);
    target.currentVertexShader = &modelbackend::CachedVertexFormat(engine);
    target.gameClock = ShaderGameClock(engine);
    return target;
}
} // namespace

uint32_t ShaderGameClock(Engine& engine) {
    // The engine's millisecond tick count; tools fix it with a manual clock.
    return engine.platform.clock ? engine.platform.clock->GetTickCount() : 0;
}

void gfxShaderObj::Load(Engine& engine, const std::string& shaderName) {
    LoadShader(engine, modelbackend::Device(engine), shaderName);
}

void gfxShaderObj::Select(Engine& engine) { SelectShader(engine, TargetOf(engine)); }

void gfxShaderObj::Disable(Engine& engine) { DisableShader(TargetOf(engine)); }

} // namespace rdv
