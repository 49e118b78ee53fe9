#include "level/Level.h"

#include <cstring>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/LightMap.h"
#include "graphics/Core.h"
#include "level/Registry.h"
#include "platform/d3d/D3D8.h"

namespace rdv {

namespace {
const char* const kCreateSource = "Engine->LoadLevel->ReadLevelFile->NewObject->CreateNewObject";
constexpr DWORD kLevelAmbient = 0x3F3F3F;
constexpr const char* kSkyBoxClass = "System.Objects.Scenery.Skybox";

// Render-state value of a float (FOGDENSITY).
DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, sizeof d);
    return d;
}
} // namespace

engLevel::engLevel(Engine& engine) : engine_(engine) {}

engLevel::~engLevel() {
    // Models must not go on applying the lights of a level that is gone.
    if (lightMap_ && engine_.lightMap == lightMap_) engine_.lightMap.reset();
}

std::unique_ptr<LevelObject> engLevel::CreateNewObject(std::string& name) {
    if (name.find('.') == std::string::npos) name = "System." + name;
    const ObjectFactory* factory = Registry(engine_).Find(name);
    if (!factory) RaiseError(ErrFormat, kCreateSource, "Invalid object: " + name);
    std::unique_ptr<LevelObject> object = (*factory)(engine_, *this);
    if (!object) RaiseError(ErrFormat, kCreateSource, "Invalid object: " + name);
    return object;
}

int32_t engLevel::AddObject(std::unique_ptr<LevelObject> object) {
    names_.push_back(object ? object->GetFullClassName() : std::string());
    objects_.push_back(std::move(object));
    return MapObjects();
}

LevelObject* engLevel::ResolveObject(int32_t reference) {
    if (reference > 0) return MapObject(reference);
    if (reference < 0) return SystemTile(engine_, -reference);
    return nullptr;
}

LevelObject* engLevel::MapObject(int32_t number) {
    if (number < 1 || number > MapObjects()) return nullptr;
    return objects_[static_cast<size_t>(number - 1)].get();
}

const std::string& engLevel::MapObjectName(int32_t number) const {
    // A reference, so that the objects asking every frame copy nothing.
    static const std::string kNone;
    if (number < 1 || number > MapObjects()) return kNone;
    return names_[static_cast<size_t>(number - 1)];
}

int32_t engLevel::FindObject(const std::string& prefix, const std::function<bool(LevelObject&)>& match) const {
    for (int32_t n = 1; n <= MapObjects(); ++n) {
        LevelObject* object = objects_[static_cast<size_t>(n - 1)].get();
        if (!object || !HasClassPrefix(names_[static_cast<size_t>(n - 1)], prefix)) continue;
        if (!match || match(*object)) return n;
    }
    return 0;
}

void engLevel::Tick(int32_t& elapsed) {
    IDirect3DDevice8* device = engine_.gfx ? engine_.gfx->Device() : nullptr;
    if (device) device->SetRenderState(D3DRS_AMBIENT, kLevelAmbient);

    // An object may add objects while it ticks (the editor does); those
    // tick from the next frame on. Sky boxes go first wherever the file
    // lists them: they draw without writing depth, so anything drawn before
    // them that lies beyond the sky model would be painted over.
    const int32_t count = MapObjects();
    for (const bool skyPass : {true, false}) {
        for (int32_t n = 1; n <= count && n <= MapObjects(); ++n) {
            if ((names_[static_cast<size_t>(n - 1)] == kSkyBoxClass) != skyPass) continue;
            if (LevelObject* object = MapObject(n)) object->Tick(elapsed);
        }
    }

    RenderGrid(viewDirection);

    if (endReason_ == 0) return;
    endTimeLeft_ -= elapsed;
    if (endTimeLeft_ >= 0) {
        engine_.CurrentSubtitle.clear();
        if (engine_.settings.fog) {
            const float f = 1.0f - static_cast<float>(endTimeLeft_) / static_cast<float>(endTimeTotal_);
            SetEndFog(true, f * f);
        }
        return;
    }
    if (engine_.settings.fog) SetEndFog(false, 0);
    endReason_ = 0;
    endTimeLeft_ = 0;
    endTimeTotal_ = 0;
    // Last: the hook may replace this level.
    if (loadNext) {
        auto hook = loadNext;
        hook();
    }
}

void engLevel::SetEndFog(bool on, float density) {
    if (!engine_.gfx) return;
    gfxCore& gfx = *engine_.gfx;
    // The frame start switches fog on while the level asks for it.
    gfx.levelFog = on;
    IDirect3DDevice8* device = gfx.Device();
    if (on) {
        gfx.clearColour = 0;
        if (device) {
            device->SetRenderState(D3DRS_FOGCOLOR, 0);
            device->SetRenderState(D3DRS_FOGDENSITY, FloatBits(density));
        }
    } else if (device) {
        device->SetRenderState(D3DRS_FOGENABLE, 0);
    }
}

void engLevel::Endlevel(int32_t reason) {
    if (endReason_ != 0) return;
    int32_t total = 0;
    switch (reason) {
    case 1: total = 3000; break;
    case 2: total = 5000; break;
    case 3: total = 500; break;
    default: return;  // no such ending; a running level is not stopped by it
    }
    endReason_ = reason;
    endTimeTotal_ = total;
    endTimeLeft_ = total;
}

void engLevel::EnterEditor() {
    std::string cameraName = "System.EditCamera";
    std::string cursorName = "System.DrawCursor";
    auto camera = CreateNewObject(cameraName);
    auto cursor = CreateNewObject(cursorName);
    AddObject(std::move(camera));
    editCursor_ = AddObject(std::move(cursor));
    CalcTileObjects();
}

void engLevel::CalcTileObjects() {
    palette_.clear();
    for (int32_t code = 1; code <= kTileTypes; ++code)
        if (SystemTile(engine_, code)) palette_.push_back(-code);
    for (int32_t n = 1; n <= MapObjects(); ++n)
        if (HasClassPrefix(names_[static_cast<size_t>(n - 1)], "System.Tiles")) palette_.push_back(n);
}

int32_t engLevel::TileReference(int32_t index) const {
    if (index < 1 || index > TileCount()) return 0;
    return palette_[static_cast<size_t>(index - 1)];
}

LevelObject* engLevel::TileObject(int32_t index) { return ResolveObject(TileReference(index)); }

LevelObject* engLevel::GetEditorCursor() { return ResolveObject(editCursor_); }

} // namespace rdv
