#include "graphics/LightMap.h"

#include <cmath>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "packages/Package.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace {

const char* const kSource = "Engine->LoadLevel->LoadLightMap";

D3DCOLORVALUE ToColor(const FloatColor& c) { return {c.r, c.g, c.b, c.a}; }

// What a light gets where its entry holds no usable value: the place and
// falloff every light once had, whatever its file said.
const D3DVECTOR kFallbackPosition{-2.0f, 0.0f, 0.0f};
constexpr float kFallbackAttenuation = 1.0f;
constexpr float kFallbackRange = 100.0f;

bool Usable(float v) { return std::isfinite(v) && v >= 0.0f; }

} // namespace

D3DLIGHT8 DefaultDirectionalLight() {
    D3DLIGHT8 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse = {0.8f, 0.8f, 0.8f, 0.0f};
    l.Specular = {1, 1, 1, 1};
    l.Direction = {-1.0f, 0.5f, -1.0f / 2.25f};
    return l;
}

gfxLightMap::gfxLightMap() : lights_(2), count_(1) { lights_[1] = DefaultDirectionalLight(); }

void gfxLightMap::LoadLightMap(Engine& engine, const std::string& name) {
    std::string type = "tci";
    int32_t h = OpenPackage(engine, name, "maps", type);
    if (h == 0) RaiseError(ErrFileAccess, "Engine->LoadLevel->LoadLightMap->OpenPackage", "Couldnt open package: " + name);

    // The package is closed on every way out, errors included.
    struct Closer {
        Engine& e;
        int32_t h;
        ~Closer() { ClosePackage(e, h); }
    } closer{engine, h};

    if (LowerCase(type) != "tci") RaiseError(ErrFileType, kSource, "Package type check failed: " + name);
    if (ReadPackageLong(engine, h) != kLightMapSignature)
        RaiseError(ErrFormat, kSource, "File check (signature) failed: " + name);

    int32_t version = ReadPackageLong(engine, h);
    int32_t count = ReadPackageLong(engine, h);
    version_ = version;
    lights_.assign(1, D3DLIGHT8{});
    count_ = 0;
    applied_ = false;
    if (version != 1) RaiseError(ErrFormat, kSource, "File check (version) failed: " + name);
    // A negative count cannot be read; a huge one stops at the first entry
    // past the end (its type reads as 0), so nothing is sized from it.
    if (count < 0) RaiseError(ErrFormat, kSource, "File check (count) failed: " + name);

    for (int32_t i = 1; i <= count; ++i) {
        uint8_t lightType = ReadPackageByte(engine, h);
        if (lightType != 1) RaiseError(ErrFormat, kSource, "File check (light type) failed: " + name);
        D3DLIGHT8 l{};
        l.Type = D3DLIGHT_POINT;
        // Each light sits where its entry puts it, with its own falloff and
        // reach; a value that is not a number (or a negative falloff or
        // reach) gives way to the fallback, so a damaged entry still lights.
        const float x = ReadPackageSingle(engine, h);
        const float y = ReadPackageSingle(engine, h);
        const float z = ReadPackageSingle(engine, h);
        l.Position = std::isfinite(x) && std::isfinite(y) && std::isfinite(z) ? D3DVECTOR{x, y, z} : kFallbackPosition;
        const float a0 = ReadPackageSingle(engine, h);
        const float a1 = ReadPackageSingle(engine, h);
        const float a2 = ReadPackageSingle(engine, h);
        l.Attenuation0 = Usable(a0) ? a0 : kFallbackAttenuation;
        l.Attenuation1 = Usable(a1) ? a1 : kFallbackAttenuation;
        l.Attenuation2 = Usable(a2) ? a2 : 0.0f;
        const float range = ReadPackageSingle(engine, h);
        l.Range = Usable(range) && range > 0.0f ? range : kFallbackRange;
        l.Diffuse = ToColor(ReadPackageColor(engine, h));
        l.Specular = ToColor(ReadPackageColor(engine, h));
        lights_.push_back(l);
        count_ = i;
    }
}

void gfxLightMap::ApplyLightMap(IDirect3DDevice8& device, float x, float y, float z) {
    last_ = D3DXVECTOR3{x, y, z};
    if (applied_ && appliedTo_ == &device) return;
    for (int32_t i = 1; i <= count_; ++i) {
        device.SetLight(static_cast<DWORD>(i), &lights_[static_cast<size_t>(i)]);
        device.LightEnable(static_cast<DWORD>(i), 1);
    }
    applied_ = true;
    appliedTo_ = &device;
}

void gfxLightMap::ApplyLightMap(Engine& engine, float x, float y, float z) {
    if (!engine.gfx || !engine.gfx->Device()) return;
    gfxCore& gfx = *engine.gfx;
    // Another map's lights may have replaced this one's on the device.
    if (gfx.lightsOnDevice != this) applied_ = false;
    ApplyLightMap(*gfx.Device(), x, y, z);
    gfx.lightsOnDevice = this;
}

void gfxLightMap::LoadLight(int32_t index) {
    if (index < 1 || index > count_) return;
    lights_[static_cast<size_t>(index)] = workingLight;
    applied_ = false;
}

void gfxLightMap::WriteLight(int32_t index) {
    if (index < 1 || index > count_) return;
    workingLight = lights_[static_cast<size_t>(index)];
}

} // namespace rdv
