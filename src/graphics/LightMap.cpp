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

// Where every light of a map goes and how it falls off, whatever its entry
// says: the maps are made for these values.
const D3DVECTOR kLightPosition{-2.0f, 0.0f, 0.0f};
constexpr float kAttenuation0 = 1.0f;
constexpr float kAttenuation1 = 1.0f;
constexpr float kRange = 100.0f;

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
        // The entry's position, first two attenuations and range are read
        // past: every light sits at the one fixed place with the fixed
        // falloff and range. Attenuation 2 is the entry's, except that a
        // value the device cannot use counts as 0: not a number, infinite,
        // or negative (the falloff would reach zero and the light blaze).
        for (int skip = 0; skip < 5; ++skip) (void)ReadPackageSingle(engine, h);
        l.Position = kLightPosition;
        l.Attenuation0 = kAttenuation0;
        l.Attenuation1 = kAttenuation1;
        const float a2 = ReadPackageSingle(engine, h);
        l.Attenuation2 = std::isfinite(a2) && a2 >= 0.0f ? a2 : 0.0f;
        (void)ReadPackageSingle(engine, h);
        l.Range = kRange;
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
