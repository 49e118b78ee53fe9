#pragma once
// What the model code needs of the graphics core: the device, the resource
// tables and the render-state cache. One place, so the model code does not
// depend on the core's internals.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/d3d/D3D8.h"

namespace rdv {

class Engine;
class gfxModel;

namespace modelbackend {

// The device, or null before InitGraphics / after shutdown.
IDirect3DDevice8* Device(Engine& engine);
D3DCAPS8 Caps(Engine& engine);

int32_t LoadTexture(Engine& engine, const std::string& name);
int32_t GetShader(Engine& engine, const std::string& name);
int32_t GetModel(Engine& engine, const std::string& name);
std::shared_ptr<IDirect3DTexture8> Texture(Engine& engine, int32_t index);
std::pair<int, int> TextureSize(Engine& engine, int32_t index);
gfxModel* Model(Engine& engine, int32_t index);

void SelectShader(Engine& engine, int32_t index);
void DisableShader(Engine& engine, int32_t index);

// The render-state cache: current shader, texture and vertex format.
int32_t& CachedShader(Engine& engine);
int32_t& CachedTexture(Engine& engine);
DWORD& CachedVertexFormat(Engine& engine);

} // namespace modelbackend
} // namespace rdv
