#pragma once
// A level's light map (gfxLightMap): the set of device lights of a level.
// A fresh map holds one directional light; LoadLightMap reads a "tci" file
// from "maps". Every light-mapped model draw calls ApplyLightMap with its
// position; the lights are put on the device only when that position
// differs from the previous call's.
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

    // Sets lights 1..count on the device and enables them, unless (x, y, z)
    // equals the position of the previous call.
    void ApplyLightMap(IDirect3DDevice8& device, float x, float y, float z);
    // The same on the engine's device (nothing without a device).
    void ApplyLightMap(Engine& engine, float x, float y, float z);

    // Forgets the previous position so that the next apply sets the lights
    // again (after a device reset, or when the map becomes current).
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
};

// The light every fresh map starts with.
D3DLIGHT8 DefaultDirectionalLight();

} // namespace rdv
