#pragma once
// What every scripted tile shares: it is a level object painted into the
// grid with its own object number, it hands the paint keys to the level,
// refuses its own keys once painting has begun, and draws its model on a
// face the way the static tiles do.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

// "up", "sx", "sy", "sz", "dx", "dy", "dz".
bool IsPaintKey(const std::string& key);

class scrScriptedTile : public LevelObject, public ITile {
public:
    scrScriptedTile(Engine& engine, engLevel& level);
    ITile* AsTile() override { return this; }
    std::string SectionName() const override { return HeaderName(); }

    // The object number the tile paints with.
    int32_t OwnNumber() const { return ownNumber_; }
    bool initialised() const { return initialised_; }

protected:
    // True (and the key painted) for a paint key; the first one runs
    // SecondaryInit first when `initOnPaint`. For the tile's own keys it
    // raises the private-property error once a paint key has been seen.
    bool HandlePaintKey(const std::string& key, const std::string& value, bool initOnPaint);
    // The Boolean of `key`, or the "'true' or 'false'" invalid-value error.
    bool BoolValue(const std::string& key, const std::string& value) const;
    // "normal": an axis direction, kept opposite (from the ball towards the
    // face); a zero vector has no direction and is refused like text.
    D3DXVECTOR3 NormalValue(const std::string& key, const std::string& value) const;
    // The model's index, 0 without graphics or when it cannot be loaded
    // (the tile then draws nothing but still answers the ball).
    int32_t LoadModel(const std::string& name);
    // Draws `model` on the face of orientation `orientation` of the
    // (fractional) cell, with the static tiles' position and turn;
    // `offset` is added in world units, `roll` replaces the third angle.
    void DrawOnFace(int32_t model, int32_t group, const D3DXVECTOR3& cell, int16_t orientation,
                    const D3DXVECTOR3& offset = {0, 0, 0}, float roll = 0,
                    const D3DXVECTOR3& scale = {1, 1, 1});
    // Bounded copy of another tile's effect: a reference to nothing, or a
    // ring of tiles copying one another, answers solid.
    int32_t CopiedEffect(int32_t reference, float& x, float& y, float& z);

    Engine& engine_;
    engLevel& level_;
    int32_t ownNumber_ = 0;
    bool lastKeyWasPaint_ = false;
    bool initialised_ = false;

private:
    bool copying_ = false;
};

// A scripted tile drawn with a model of its own (drop, launch, slider
// floors, move chains): the look keys and the model loaded at set-up.
class scrModelTile : public scrScriptedTile {
public:
    scrModelTile(Engine& engine, engLevel& level, std::string modelName, int32_t group);
    int16_t MaxBounceHeight() override { return static_cast<int16_t>(jumpHeight); }

    int32_t modelIndex = -1;
    std::string modelName;
    int32_t group;
    int32_t jumpHeight = 3;

protected:
    // "model", "index" and "jumpheight": true (and the value taken) for one
    // of them.
    bool AssignLookKey(const std::string& key, const std::string& value);
    // Marks the tile set up and loads its model.
    void LoadLook();
};

// A scripted tile whose faces move on a beat (move chains, slider floors):
// the face direction, the effect its faces give, and the beat.
class scrMovingTile : public scrModelTile {
public:
    using scrModelTile::scrModelTile;

    D3DXVECTOR3 normal{0, 0, -1};
    bool copyEffect = false;
    int32_t effect = 1;
    int32_t halfPeriod = 2000;
    int32_t timer = 0;
    int32_t phase = 0;
    float fraction = 0;

protected:
    // "effect", "copyeffect", "normal" and the speed keys ("speed", or
    // "delay"/"cycle" with a warning naming `kind`): true (and the value
    // taken) for one of them.
    bool AssignMotionKey(const std::string& key, const std::string& value, const std::string& kind);
};

// The speed keys: "speed", or "delay"/"cycle" with a warning naming `kind`.
// Returns the half period.
int32_t SpeedToHalfPeriod(Engine& engine, const std::string& key, const std::string& value, const std::string& kind);

// The "effect" a saved level gets: with copy effect a positive value is an
// object number, renumbered as the save renumbers objects.
int32_t SavedEffectReference(const engLevel& level, bool copyEffect, int32_t effect);

// Rounds a float vector component to the nearest integer (grid lookups),
// halves to even, held to the 32-bit range.
int32_t GridComponent(float v);

} // namespace rdv
