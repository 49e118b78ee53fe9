#include "tiles/DropFloor.h"

#include <algorithm>
#include <limits>

#include "core/Engine.h"
#include "core/Error.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

namespace {
constexpr int32_t kDropStep = 300;
}

// ------------------------------------------------------------ drop floor

scrDropFloor::scrDropFloor(Engine& engine, engLevel& level) : scrModelTile(engine, level, "discpad", 1) {}

void scrDropFloor::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, true)) return;
    if (AssignLookKey(key, value)) {
    } else if (key == "fallfirst") {
        const bool on = BoolValue(key, value);
        state = on ? 4 : 0;
        fallFirst = on;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrDropFloor::SecondaryInit() {
    LoadLook();
}

int32_t scrDropFloor::GetEffect(float& x, float& y, float& z) {
    if (state == 4) {
        timer = 0;
        state = 7;
        contact = {x, y, z};
        fraction = 0;
        return 0;
    }
    if (state == 0) {
        contact = {x, y, z};
        state = 3;
        timer = -100;  // the first step takes 400 ms
        fraction = 0;
    }
    return jumpHeight >= 0 ? 1 : 7;
}

void scrDropFloor::Tick(int32_t& elapsed) {
    if (!initialised_) SecondaryInit();
    timer += elapsed;
    // A step falls due once its full 300 ms have passed.
    if (timer >= kDropStep) {
        timer -= kDropStep;
        if (state != 0 && state != 4) {
            --state;
            if (state == 1 || state == 6) Drop();
        }
    }
    // A resting floor has no steps to count.
    if (state == 0 || state == 4) timer = std::min(timer, kDropStep);
    switch (state) {
    case 1: case 6: fraction = static_cast<float>(timer) / 600 - 0.5f; break;
    case 2: case 7: fraction = static_cast<float>(timer) / 600; break;
    case 4: break;
    default: fraction = 0; break;
    }
}

void scrDropFloor::Drop() {
    const int32_t dz = GridComponent(contact.z);
    if (dz == 0) return;
    const int32_t step = dz < 0 ? -1 : 1;
    const int32_t sx = level_.SizeX(), sy = level_.SizeY(), sz = level_.SizeZ();
    // Planes are visited from the side the faces move towards, so a face
    // moved on is never met again; faces of the first plane leave the world.
    const int32_t first = step < 0 ? 0 : sz, last = step < 0 ? sz : 0;
    for (int32_t k = first;; k -= step) {
        for (int32_t y = 0; y < sy; ++y)
            for (int32_t x = 0; x < sx; ++x) {
                if (level_.GetMapObject(x, y, k, 0, 0, -1) != ownNumber_) continue;
                level_.SetMapObject(x, y, k, 0, 0, -1, 0);
                if (k != first) level_.SetMapObject(x, y, k + step, 0, 0, -1, ownNumber_);
            }
        if (k == last) break;
    }
}

void scrDropFloor::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    const D3DXVECTOR3 cell = D3DXVECTOR3(float(x), float(y), float(z)) + contact * (state != 0 ? fraction : 0.0f);
    DrawOnFace(modelIndex, group, cell, orientation);
}

// ------------------------------------------------------------ launch floor

scrLaunchfloor::scrLaunchfloor(Engine& engine, engLevel& level) : scrModelTile(engine, level, "discpad", 4) {}

void scrLaunchfloor::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, true)) return;
    if (AssignLookKey(key, value)) {
    } else if (key == "launchdir") {
        // Stored opposite, as the direction from the ball towards the face.
        if (value == "z") launchDir = {0, 0, -1};
        else if (value == "-z") launchDir = {0, 0, 1};
        else if (value == "x") launchDir = {-1, 0, 0};
        else if (value == "-x") launchDir = {1, 0, 0};
        else if (value == "y") launchDir = {0, -1, 0};
        else if (value == "-y") launchDir = {0, 1, 0};
        else RaiseInvalidValue(ClassName(), HeaderName(), key, "'(-)x/y/z'", value);
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrLaunchfloor::WriteHeader(LevelWriter& out) {
    out.WriteLine("-LaunchFloor");
    out.WriteLine("jumpheight=" + std::to_string(jumpHeight));
    out.WriteLine("model=" + modelName);
    out.WriteLine("index=" + std::to_string(group));
    // Stored opposite: the axis word names the way the ball is thrown.
    out.WriteLine("launchdir=" + AxisName(-launchDir));
}

void scrLaunchfloor::SecondaryInit() {
    LoadLook();
}

int32_t scrLaunchfloor::GetEffect(float& x, float& y, float& z) {
    if (x == launchDir.x && y == launchDir.y && z == launchDir.z && state != 1) {
        state = 1;
        timer = 0;
        contact = {x, y, z};
        return 13;
    }
    return 1;
}

void scrLaunchfloor::Tick(int32_t& elapsed) {
    if (!initialised_) SecondaryInit();
    timer += elapsed;
    if (timer > kLaunchTime) {
        state = 0;
        timer = kLaunchTime + 1;  // resting: no need to count on
    }
    if (state == 1) {
        const float t = static_cast<float>(timer) / kLaunchTime;
        fraction = -2 * t * t + 2 * t;
    } else {
        fraction = 0;
    }
}

void scrLaunchfloor::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    DrawOnFace(modelIndex, group, {float(x), float(y), float(z)}, orientation,
               state != 0 ? contact * fraction : D3DXVECTOR3(0, 0, 0));
}

// ------------------------------------------------------------ breakable wall

scrBreakWall::scrBreakWall(Engine& engine, engLevel& level) : scrScriptedTile(engine, level) {
    modelIndex = LoadModel("discpad");
    initialised_ = true;
}

void scrBreakWall::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, false)) return;
    if (key == "count") {
        const int32_t n = ValLong(value);
        count = static_cast<int16_t>(std::clamp<int32_t>(n, std::numeric_limits<int16_t>::min(),
                                                         std::numeric_limits<int16_t>::max()));
        startCount = count;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

int32_t scrBreakWall::GetEffect(float&, float&, float&) {
    const int16_t before = count;
    // A wall at 0 or below never breaks: the count stops at its floor
    // instead of wrapping round to a positive number again.
    if (count > std::numeric_limits<int16_t>::min()) --count;
    return before == 1 ? 10 : 1;
}

void scrBreakWall::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    DrawOnFace(modelIndex, 9, {float(x), float(y), float(z)}, orientation);
}

void scrDropFloor::WriteHeader(LevelWriter& out) {
    out.WriteLine("-DropFloor");
    out.WriteLine("model=" + modelName);
    out.WriteLine("index=" + std::to_string(group));
    out.WriteLine("jumpheight=" + std::to_string(jumpHeight));
    out.WriteLine(std::string("fallfirst=") + (fallFirst ? "true" : "false"));
}

void scrBreakWall::WriteHeader(LevelWriter& out) {
    out.WriteLine("-BreakWallSpecial");
    out.WriteLine("count=" + std::to_string(startCount));
}

} // namespace rdv
