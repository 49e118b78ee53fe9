// The shader table's entry points: the device, the render-state cache and
// the clock come from the graphics core.
#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Shader.h"
#include "platform/Clock.h"

namespace rdv {

namespace {
ShaderTarget TargetOf(Engine& engine) {
    ShaderTarget target;
    gfxCore& gfx = Graphics(engine);
    target.device = gfx.Device();
    target.currentVertexShader = &gfx.cachedVertexFormat;
    target.gameClock = ShaderGameClock(engine);
    return target;
}
} // namespace

uint32_t ShaderGameClock(Engine& engine) {
    // The engine's millisecond tick count; tools fix it with a manual clock.
    return engine.platform.clock ? engine.platform.clock->GetTickCount() : 0;
}

void gfxShaderObj::Load(Engine& engine, const std::string& shaderName) {
    LoadShader(engine, Graphics(engine).Device(), shaderName);
}

void gfxShaderObj::Select(Engine& engine) { SelectShader(engine, TargetOf(engine)); }

void gfxShaderObj::Disable(Engine& engine) { DisableShader(TargetOf(engine)); }

} // namespace rdv
