#include "tiles/ScriptedTile.h"

#include <cmath>
#include <utility>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

namespace {
constexpr float kHalfPiF = 3.14159f / 2;
}

bool IsPaintKey(const std::string& key) {
    return key == "up" || key == "sx" || key == "sy" || key == "sz" || key == "dx" || key == "dy" || key == "dz";
}

// Saturates: a level may place a pad or a chain at any number at all.
int32_t GridComponent(float v) { return RoundHalfEven(v); }

// The object is appended right after it is made, so its number is the next
// free one; paint keys later confirm it from the section being read.
scrScriptedTile::scrScriptedTile(Engine& engine, engLevel& level)
    : engine_(engine), level_(level), ownNumber_(level.MapObjects() + 1) {}

bool scrScriptedTile::HandlePaintKey(const std::string& key, const std::string& value, bool initOnPaint) {
    if (!IsPaintKey(key)) {
        if (lastKeyWasPaint_) RaisePropertyError(ClassName(), "Can not change private properties after draw routines");
        return false;
    }
    const int32_t section = level_.CurrentLoadingObject();
    if (section > 0 && section != engLevel::kNoSection) ownNumber_ = section;
    if (initOnPaint && !initialised_) SecondaryInit();
    level_.Paintstruct(key, value);
    lastKeyWasPaint_ = true;
    return true;
}

scrModelTile::scrModelTile(Engine& engine, engLevel& level, std::string modelName, int32_t group)
    : scrScriptedTile(engine, level), modelName(std::move(modelName)), group(group) {}

void scrModelTile::LoadLook() {
    initialised_ = true;
    modelIndex = LoadModel(modelName);
}

bool scrModelTile::AssignLookKey(const std::string& key, const std::string& value) {
    if (key == "model") modelName = value;
    else if (key == "index") group = ValLong(value);
    else if (key == "jumpheight") jumpHeight = ValLong(value);
    else return false;
    return true;
}

int32_t SpeedToHalfPeriod(Engine& engine, const std::string& key, const std::string& value, const std::string& kind) {
    if (key != "speed")
        engine.log.Write("Warning: " + key + " is incorrect for " + kind + ": did you mean 'speed'?", 0);
    return RoundHalfEven(Val(value) / 2);
}

bool scrMovingTile::AssignMotionKey(const std::string& key, const std::string& value, const std::string& kind) {
    if (key == "effect") effect = ValLong(value);
    else if (key == "copyeffect") copyEffect = BoolValue(key, value);
    else if (key == "speed" || key == "delay" || key == "cycle") halfPeriod = SpeedToHalfPeriod(engine_, key, value, kind);
    else if (key == "normal") normal = NormalValue(key, value);
    else return false;
    return true;
}

bool scrScriptedTile::BoolValue(const std::string& key, const std::string& value) const {
    bool ok = false;
    const bool on = ParseLevelBool(value, ok);
    if (!ok) RaiseInvalidValue(ClassName(), HeaderName(), key, "'true' or 'false'", value);
    return on;
}

D3DXVECTOR3 scrScriptedTile::NormalValue(const std::string& key, const std::string& value) const {
    if (!ParseVectorValue(engine_, value, true) || !std::isfinite(engine_.ParsedVector.x) ||
        VectorEquals(engine_.ParsedVector, {0, 0, 0}))
        RaiseInvalidValue(ClassName(), HeaderName(), key, "'(-)x/y/z'", value);
    return -engine_.ParsedVector;
}

int32_t scrScriptedTile::LoadModel(const std::string& name) {
    if (!engine_.gfx) return 0;
    try {
        return engine_.gfx->GetModel(name);
    } catch (const EngineError& e) {
        engine_.log.Write("WARNING: " + e.source + ": " + e.description, 5);
        return 0;
    }
}

void scrScriptedTile::DrawOnFace(int32_t model, int32_t group, const D3DXVECTOR3& cell, int16_t orientation,
                                 const D3DXVECTOR3& offset, float roll, const D3DXVECTOR3& scale) {
    if (model <= 0 || !engine_.gfx) return;
    gfxModel* m = engine_.gfx->Model(model);
    if (!m) return;
    D3DXVECTOR3 p = cell * 1.5f;
    float yaw = 0, pitch = 0;
    if (orientation == kFaceZ) {
        p.z -= 0.75f;
    } else if (orientation == kFaceX) {
        p.x -= 0.75f;
        yaw = -kHalfPiF;
    } else {
        p.y -= 0.75f;
        pitch = kHalfPiF;
    }
    p += offset;
    m->DisplayMesh(engine_, group, 0, p.x, p.y, p.z, yaw, pitch, roll, scale.x, scale.y, scale.z);
}

int32_t scrScriptedTile::CopiedEffect(int32_t reference, float& x, float& y, float& z) {
    LevelObject* source = level_.ResolveObject(reference);
    if (!source || source == this || copying_) return 1;
    copying_ = true;
    int32_t effect = 1;
    try {
        effect = source->GetEffect(x, y, z);
    } catch (...) {
        copying_ = false;
        throw;
    }
    copying_ = false;
    return effect;
}

int32_t SavedEffectReference(const engLevel& level, bool copyEffect, int32_t effect) {
    if (!copyEffect || effect <= 0) return effect;
    return level.SavedNumberOf(effect);
}

} // namespace rdv
