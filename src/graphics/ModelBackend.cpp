// The model code's access to the graphics core.
#include "graphics/ModelBackend.h"

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Shader.h"

namespace rdv::modelbackend {

IDirect3DDevice8* Device(Engine& engine) { return engine.gfx ? engine.gfx->Device() : nullptr; }
D3DCAPS8 Caps(Engine& engine) { return engine.gfx ? engine.gfx->caps : D3DCAPS8{}; }
int32_t LoadTexture(Engine& engine, const std::string& name) { return Graphics(engine).LoadTexture(name); }
int32_t GetShader(Engine& engine, const std::string& name) { return Graphics(engine).GetShader(name); }
int32_t GetModel(Engine& engine, const std::string& name) { return Graphics(engine).GetModel(name); }
std::shared_ptr<IDirect3DTexture8> Texture(Engine& engine, int32_t index) {
    return engine.gfx ? engine.gfx->Texture(index) : nullptr;
}
std::pair<int, int> TextureSize(Engine& engine, int32_t index) {
    return engine.gfx ? engine.gfx->TextureSize(index) : std::pair<int, int>{1, 1};
}
gfxModel* Model(Engine& engine, int32_t index) { return engine.gfx ? engine.gfx->Model(index) : nullptr; }

void SelectShader(Engine& engine, int32_t index) {
    if (!engine.gfx) return;
    if (gfxShaderObj* s = engine.gfx->Shader(index)) s->Select(engine);
}
void DisableShader(Engine& engine, int32_t index) {
    if (!engine.gfx) return;
    if (gfxShaderObj* s = engine.gfx->Shader(index)) s->Disable(engine);
}

int32_t& CachedShader(Engine& engine) { return Graphics(engine).cachedShader; }
int32_t& CachedTexture(Engine& engine) { return Graphics(engine).cachedTexture; }
DWORD& CachedVertexFormat(Engine& engine) { return Graphics(engine).cachedVertexFormat; }

} // namespace rdv::modelbackend
