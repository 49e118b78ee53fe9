// The model code's access to the graphics core.
#include "graphics/ModelBackend.h"

#include "core/Engine.h"
#include "core/Error.h"

namespace rdv::modelbackend {

IDirect3DDevice8* Device(Engine&) { return nullptr; }
D3DCAPS8 Caps(Engine&) { return D3DCAPS8{}; }
int32_t LoadTexture(Engine&, const std::string&) { return 0; }
int32_t GetShader(Engine&, const std::string&) { return 0; }
int32_t GetModel(Engine&, const std::string&) { return 0; }
std::shared_ptr<IDirect3DTexture8> Texture(Engine&, int32_t) { return nullptr; }
std::pair<int, int> TextureSize(Engine&, int32_t) { return {1, 1}; }
gfxModel* Model(Engine&, int32_t) { return nullptr; }
void SelectShader(Engine&, int32_t) {}
void DisableShader(Engine&, int32_t) {}

namespace {
struct Cache {
    int32_t shader = 0, texture = 0;
    DWORD format = 0;
} cache;
}
int32_t& CachedShader(Engine&) { return cache.shader; }
int32_t& CachedTexture(Engine&) { return cache.texture; }
DWORD& CachedVertexFormat(Engine&) { return cache.format; }

} // namespace rdv::modelbackend
