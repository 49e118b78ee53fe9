#pragma once
// A level's light map (gfxLightMap): the set of device lights of a level.
// A fresh map holds one directional light; LoadLightMap reads a "tci" file
// from "maps". Every light-mapped model draw calls ApplyLightMap with its
// position. The lights do not depend on it, so they are put on the device
// only when they are not there already: after a load, a change of a light,
// a device reset (Invalidate) or another map's lights.
//
// The level creates one, loads it, and makes it the current one by storing
// it in Engine::lightMap; DisplayMesh applies engine.lightMap.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

class Engine;

// "tcim" as a little-endian 32-bit value.
inline constexpr int32_t kLightMapSignature = 0x6D696374;

class gfxLightMap {
public:
    gfxLightMap();

    // Replaces the lights with the file's. Errors: 1002 "Couldnt open
    // package: ", 1004 "Package type check failed: ", 1005 "File check
    // (signature|version|light type) failed: " + name.
    void LoadLightMap(Engine& engine, const std::string& name);

    // Sets lights 1..count on the device and enables them, unless this
    // map's lights are on that device already. (x, y, z) is remembered.
    void ApplyLightMap(IDirect3DDevice8& device, float x, float y, float z);
    // The same on the engine's device (nothing without a device); the
    // lights are set again when another map's lights went on since.
    void ApplyLightMap(Engine& engine, float x, float y, float z);

    // The device no longer holds this map's lights (after a device reset):
    // the next apply sets them again.
    void Invalidate() { applied_ = false; }

    // Working light: LoadLight copies it into light `index`, WriteLight
    // copies light `index` into it. Index 1..count.
    void LoadLight(int32_t index);
    void WriteLight(int32_t index);
    D3DLIGHT8 workingLight{};

    int32_t count() const { return count_; }
    int32_t version() const { return version_; }
    // Light `index`, 1..count.
    const D3DLIGHT8& light(int32_t index) const { return lights_.at(static_cast<size_t>(index)); }
    D3DXVECTOR3 lastPosition() const { return last_; }

private:
    std::vector<D3DLIGHT8> lights_;   // index 0 unused
    int32_t version_ = 0;
    int32_t count_ = 0;
    D3DXVECTOR3 last_{0, 0, 0};
    bool applied_ = false;
    const IDirect3DDevice8* appliedTo_ = nullptr;
};

// The light every fresh map starts with.
D3DLIGHT8 DefaultDirectionalLight();

} // namespace rdv
