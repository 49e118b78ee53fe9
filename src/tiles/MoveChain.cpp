#include "tiles/MoveChain.h"

#include <cctype>
#include <cmath>

#include "core/Engine.h"
#include "core/Error.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

scrMovechain::scrMovechain(Engine& engine, engLevel& level) : scrMovingTile(engine, level, "discpad", 1) {}

void scrMovechain::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, true)) return;
    if (AssignLookKey(key, value) || AssignMotionKey(key, value, "movechains")) {
    } else if (key == "script") {
        script = value;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrMovechain::SecondaryInit() {
    LoadLook();
    steps.assign(1, MoveChainStep{});
    for (const char raw : script) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        MoveChainStep* last = &steps.back();
        int32_t dx = 0, dy = 0, dz = 0;
        bool append = false;
        switch (c) {
        case 'n': append = true; dy = 1; break;
        case 'e': append = true; dx = 1; break;
        case 's': append = true; dy = -1; break;
        case 'w': append = true; dx = -1; break;
        case 'u': append = true; dz = 1; break;
        case 'd': append = true; dz = -1; break;
        case 'i': append = true; break;
        case '8': dy = 1; break;
        case '6': dx = 1; break;
        case '2': dy = -1; break;
        case '4': dx = -1; break;
        case '9': dz = 1; break;
        case '3': dz = -1; break;
        case 'm': last->mode = 2; break;
        case 'c': last->mode = 1; break;
        case ' ': break;
        default:
            RaiseError(ErrMoveChain, "scrMoveChain->SecondaryInit->ParseScript",
                       std::string("Invalid character in movechain script: '") + raw + "'");
        }
        if (append) {
            steps.push_back(steps.back());
            last = &steps.back();
        }
        last->x += dx;
        last->y += dy;
        last->z += dz;
        // Keep the path closed after every character.
        const size_t n = steps.size();
        MoveChainStep& before = steps[n >= 2 ? n - 2 : 0];
        last->px = before.x, last->py = before.y, last->pz = before.z;
        last->previousMode = before.mode;
        before.nx = last->x, before.ny = last->y, before.nz = last->z;
        steps[0].px = last->x, steps[0].py = last->y, steps[0].pz = last->z;
        steps[0].previousMode = last->mode;
    }
    // Every step is kept, a closing step written back onto the first cell
    // included ("nesw" is five steps, two of them on one cell). An empty
    // script still closes the single step onto itself.
    MoveChainStep& first = steps[0];
    MoveChainStep& last = steps.back();
    first.px = last.x, first.py = last.y, first.pz = last.z;
    first.previousMode = last.mode;
    last.nx = first.x, last.ny = first.y, last.nz = first.z;
}

void scrMovechain::Tick(int32_t& elapsed) {
    if (!initialised_) SecondaryInit();
    timer -= elapsed;
    if (timer < 0) {
        timer += halfPeriod;
        phase = 1 - phase;
        if (phase == 1) Advance();
    }
    fraction = halfPeriod > 0 ? static_cast<float>(timer) / static_cast<float>(halfPeriod) : 0.0f;
    if (phase == 1) fraction = 1 - fraction;
}

void scrMovechain::Advance() {
    const auto count = static_cast<int32_t>(steps.size());
    const int32_t nx = GridComponent(normal.x), ny = GridComponent(normal.y), nz = GridComponent(normal.z);
    // The path is walked backwards, so that a face is moved on before the
    // one behind it moves into its place. The cursor carries over from one
    // advance to the next: each walk leaves out one step (the last one the
    // first time, then each time the step after the one left out before,
    // keeping pace with the faces). A face standing on that step does not
    // move, and the face behind it, if any, is written over it.
    for (int32_t i = 0; i < count - 1; ++i) {
        --cursor;
        if (cursor <= 0) cursor += count;
        if (cursor > count) cursor = count;
        const MoveChainStep& s = steps[static_cast<size_t>(cursor - 1)];
        const int32_t value = level_.GetMapObject(s.x, s.y, s.z, nx, ny, nz);
        if (value == 0) continue;
        level_.SetMapObject(s.x, s.y, s.z, nx, ny, nz, 0);
        level_.SetMapObject(s.nx, s.ny, s.nz, nx, ny, nz, value);
    }
}

int32_t scrMovechain::GetEffect(float& x, float& y, float& z) {
    return copyEffect ? CopiedEffect(effect, x, y, z) : effect;
}

void scrMovechain::DrawnCell(int32_t x, int32_t y, int32_t z, D3DXVECTOR3& cell, float& scale) const {
    cell = {float(x), float(y), float(z)};
    scale = 1;
    for (const MoveChainStep& s : steps) {
        if (s.x != x || s.y != y || s.z != z) continue;
        const bool back = phase == 1;
        const D3DXVECTOR3 other = back ? D3DXVECTOR3(float(s.px), float(s.py), float(s.pz))
                                       : D3DXVECTOR3(float(s.nx), float(s.ny), float(s.nz));
        const int16_t mode = back ? s.previousMode : s.mode;
        if (mode == 2) {
            cell = cell * (0.5f + 0.5f * fraction) + other * (0.5f - 0.5f * fraction);
        } else {
            scale = fraction;
        }
        return;
    }
}

void scrMovechain::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    D3DXVECTOR3 cell;
    float scale = 1;
    DrawnCell(x, y, z, cell, scale);
    DrawOnFace(modelIndex, group, cell, orientation, {0, 0, 0}, 0, {scale, scale, scale});
}

void scrMovechain::WriteHeader(LevelWriter& out) {
    out.WriteLine("-MoveChain");
    out.WriteLine("model=" + modelName);
    out.WriteLine("index=" + std::to_string(group));
    out.WriteLine(std::string("copyeffect=") + (copyEffect ? "true" : "false"));
    out.WriteLine("effect=" + std::to_string(SavedEffectReference(level_, copyEffect, effect)));
    out.WriteLine("jumpheight=" + std::to_string(jumpHeight));
    out.WriteLine("speed=" + std::to_string(int64_t{halfPeriod} * 2));
    out.WriteLine("script=" + script);
    out.WriteLine("normal=" + DirectionText(-normal));
}

} // namespace rdv
