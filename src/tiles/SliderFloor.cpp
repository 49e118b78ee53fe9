#include "tiles/SliderFloor.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/Engine.h"
#include "core/Error.h"
#include "level/Level.h"
#include "objects/Ball.h"
#include "packages/Parse.h"

namespace rdv {

const D3DXVECTOR3 scrSliderFloor::kWalkOrder[6] = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

namespace {

// The random planner's list of directions.
const D3DXVECTOR3 kRandomList[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};

bool SameCell(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return GridComponent(a.x) == GridComponent(b.x) && GridComponent(a.y) == GridComponent(b.y) &&
           GridComponent(a.z) == GridComponent(b.z);
}

} // namespace

scrSliderFloor::scrSliderFloor(Engine& engine, engLevel& level) : scrMovingTile(engine, level, "floorpad", 1) {}

double scrSliderFloor::Random() { return static_cast<double>(engine_.rng()) / 4294967296.0; }

void scrSliderFloor::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, true)) return;
    if (AssignLookKey(key, value) || AssignMotionKey(key, value, "slider floors")) {
    } else if (key == "slider") {
        if (!ParseVector(engine_, value))
            RaiseInvalidValue(ClassName(), HeaderName(), key, "of the form '(x, y, z)'", value);
        SliderPad pad;
        pad.position = pad.target = engine_.ParsedVector;
        pad.aiMode = static_cast<int16_t>(currentAiMode);
        pad.intelligence = static_cast<int16_t>(currentIntelligence);
        pad.player = currentPlayer;
        pads.push_back(pad);
        startPads.push_back(pad);
    } else if (key == "aimode" || key == "AI") {
        if (value == "0" || value == "rnd") currentAiMode = 0;
        else if (value == "1" || value == "arnd" || value == "movernd") currentAiMode = 1;
        else if (value == "2" || value == "homing") currentAiMode = 2;
        else if (value == "3" || value == "roton") currentAiMode = 3;
        else
            RaisePropertyError(ClassName(),
                               "Invalid value for 'SliderFloor'.aimode - should be rnd/arnd/homing/roton: " + value);
    } else if (key == "player") {
        currentPlayer = ValIndex(value);
    } else if (key == "intelligence" || key == "intel") {
        const int32_t n = ValLong(value);
        if (n < 0 || n > 100)
            RaisePropertyError(ClassName(),
                               "Invalid value for 'SliderFloor'.intelligence - should be a number between 0 and 100: " +
                                   value);
        currentIntelligence = n;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrSliderFloor::SecondaryInit() {
    LoadLook();
    timer = halfPeriod;
    FindBalls(false);
    PlanMoves();
}

void scrSliderFloor::FindBalls(bool mustFind) {
    ballsPending_ = false;
    for (size_t i = 0; i < pads.size(); ++i) {
        SliderPad& pad = pads[i];
        if (pad.ballFound) continue;
        const int32_t wanted = i < startPads.size() ? startPads[i].player : pad.player;
        const int32_t number = level_.FindObject("System.Objects.Player", [wanted](LevelObject& o) {
            IBall* ball = o.AsBall();
            return ball && ball->player == wanted;
        });
        if (number == 0) {
            if (mustFind)
                RaiseError(ErrFormat, PropertySource(ClassName()) + "->SecondaryInit",
                           "Couldnt dereference the player requested");
            pad.player = 0;   // no object: homing waits
            ballsPending_ = true;
            continue;
        }
        pad.player = number;
        pad.ballFound = true;
    }
}

int32_t scrSliderFloor::FaceAt(const D3DXVECTOR3& c) const {
    return level_.GetMapObject(GridComponent(c.x), GridComponent(c.y), GridComponent(c.z), GridComponent(normal.x),
                               GridComponent(normal.y), GridComponent(normal.z));
}

void scrSliderFloor::SetFaceAt(const D3DXVECTOR3& c, int32_t value) {
    level_.SetMapObject(GridComponent(c.x), GridComponent(c.y), GridComponent(c.z), GridComponent(normal.x),
                        GridComponent(normal.y), GridComponent(normal.z), value);
}

bool scrSliderFloor::TrySlide(SliderPad& pad, const D3DXVECTOR3& direction) {
    if (VectorEquals(direction, {0, 0, 0})) return false;
    const D3DXVECTOR3 candidate = pad.position + direction;
    if (FaceAt(candidate) != ownNumber_) return false;
    for (const SliderPad& other : pads)
        if (SameCell(other.position, candidate) || SameCell(other.target, candidate)) return false;
    pad.target = candidate;
    return true;
}

void scrSliderFloor::SliderAI_Random(SliderPad& pad) {
    const int r = std::min(5, static_cast<int>(Random() * 6));
    TrySlide(pad, kRandomList[r]);
}

void scrSliderFloor::SliderAI_MoveRandom(SliderPad& pad) {
    int r = std::min(5, static_cast<int>(Random() * 6));
    const int s = Random() < 0.5 ? 1 : 5;
    for (int i = 0; i < 6; ++i, r = (r + s) % 6)
        if (TrySlide(pad, kWalkOrder[r])) return;
}

void scrSliderFloor::SliderAI_Homing(SliderPad& pad) {
    const double draw = Random() * 100;
    LevelObject* ball = level_.MapObject(pad.player);
    if (draw <= pad.intelligence && ball) {
        ball->WritePos();
        const D3DXVECTOR3 cell = engine_.ParsedVector * (1.0f / 1.5f);
        const float diff[3] = {cell.x - pad.position.x, cell.y - pad.position.y, cell.z - pad.position.z};
        // Axes by distance to the ball, largest first; equal distances keep
        // the order x, y, z.
        std::array<int, 3> axes{0, 1, 2};
        std::stable_sort(axes.begin(), axes.end(),
                         [&](int a, int b) { return std::fabs(diff[a]) > std::fabs(diff[b]); });
        for (int axis : axes) {
            if (std::fabs(diff[axis]) < 0.5f) continue;
            D3DXVECTOR3 d{0, 0, 0};
            const float sign = diff[axis] > 0 ? 1.0f : -1.0f;
            (axis == 0 ? d.x : axis == 1 ? d.y : d.z) = sign;
            if (TrySlide(pad, d)) return;
        }
    }
    SliderAI_MoveRandom(pad);
}

void scrSliderFloor::PlanMoves() {
    for (SliderPad& pad : pads) pad.position = pad.target;
    for (SliderPad& pad : pads) {
        switch (pad.aiMode) {
        case 0: SliderAI_Random(pad); break;
        case 1: SliderAI_MoveRandom(pad); break;
        case 2: SliderAI_Homing(pad); break;
        default: break;
        }
    }
}

void scrSliderFloor::CarryOut() {
    for (SliderPad& pad : pads) {
        // The pad takes its face with it and the face it leaves is empty:
        // a pad eats the track behind it and never comes back over it.
        const int32_t value = FaceAt(pad.position);
        SetFaceAt(pad.position, 0);
        SetFaceAt(pad.target, value);
        if (SameCell(pad.position, pad.target)) continue;
        // A ball standing on the pad rides along.
        for (int32_t n = 1; n <= level_.MapObjects(); ++n) {
            auto* ball = dynamic_cast<objBall*>(level_.MapObject(n));
            if (!ball) continue;
            int32_t bx = 0, by = 0, bz = 0;
            ball->Cell(bx, by, bz);
            if (SameCell({float(bx), float(by), float(bz)}, pad.position))
                ball->position += (pad.target - pad.position) * 1.5f;
        }
    }
}

void scrSliderFloor::Tick(int32_t& elapsed) {
    if (!initialised_) SecondaryInit();
    if (ballsPending_) FindBalls(true);
    timer -= elapsed;
    if (timer < 0) {
        phase = 1 - phase;
        timer += halfPeriod;
        if (phase == 0) PlanMoves();
        else CarryOut();
    }
    const float period = static_cast<float>(std::max(1, 2 * halfPeriod));
    fraction = static_cast<float>(timer) / period + (phase == 0 ? 0.5f : 0.0f);
}

int32_t scrSliderFloor::GetEffect(float& x, float& y, float& z) {
    return copyEffect ? CopiedEffect(effect, x, y, z) : effect;
}

void scrSliderFloor::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    // Every face of the track asks; the pad whose face this is answers,
    // drawn between where it was and where it goes (fraction 1 at the
    // position, 0 at the target).
    const D3DXVECTOR3 cell{float(x), float(y), float(z)};
    for (const SliderPad& pad : pads) {
        const D3DXVECTOR3& face = phase == 1 ? pad.target : pad.position;
        if (!SameCell(face, cell)) continue;
        const D3DXVECTOR3 at = pad.position * fraction + pad.target * (1 - fraction);
        DrawOnFace(modelIndex, group, at, orientation);
    }
}

void scrSliderFloor::WriteHeader(LevelWriter& out) {
    out.WriteLine("-SliderFloor");
    out.WriteLine("model=" + modelName);
    out.WriteLine("index=" + std::to_string(group));
    out.WriteLine("jumpheight=" + std::to_string(jumpHeight));
    out.WriteLine(std::string("copyeffect=") + (copyEffect ? "true" : "false"));
    out.WriteLine("effect=" + std::to_string(SavedEffectReference(level_, copyEffect, effect)));
    out.WriteLine("speed=" + std::to_string(int64_t{halfPeriod} * 2));
    out.WriteLine("normal=" + DirectionText(-normal));
    // Each pad after the settings it was placed with; then the settings the
    // floor ended with, for nothing reads them after the last pad.
    for (const SliderPad& pad : startPads) {
        out.WriteLine("aimode=" + std::to_string(pad.aiMode));
        out.WriteLine("intelligence=" + std::to_string(pad.intelligence));
        out.WriteLine("player=" + std::to_string(int64_t{pad.player} + 1));
        out.WriteLine("slider=(" + LevelValueText(pad.position.x) + ", " + LevelValueText(pad.position.y) + ", " +
                      LevelValueText(pad.position.z) + ")");
    }
    out.WriteLine("aimode=" + std::to_string(currentAiMode));
    out.WriteLine("intelligence=" + std::to_string(currentIntelligence));
    out.WriteLine("player=" + std::to_string(int64_t{currentPlayer} + 1));
}

} // namespace rdv
