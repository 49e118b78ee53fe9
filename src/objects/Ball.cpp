#include "objects/Ball.h"

#include <charconv>
#include <cmath>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "objects/BallInternal.h"
#include "objects/Controllers.h"
#include "packages/Parse.h"

namespace rdv {

// Vector helpers in the engine's D3DX module and parsing utilities.
D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &a, &b);
    return out;
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return D3DXVec3Dot(&a, &b); }

// Grid rounding: to nearest, ties to even, held to the 32-bit range (a
// level may put the ball anywhere).
int32_t GridRound(float v) { return RoundHalfEven(v); }

namespace {

struct OrientationRow {
    D3DXVECTOR3 heading;
    D3DXVECTOR3 settled;
    bool hasTest;
    D3DXVECTOR3 sideTest;
    D3DXVECTOR3 alternative;
};

constexpr float h = 3.14159f / 2;
constexpr float p = 3.14159f;
constexpr float t = 9.42477f / 2;

// Four rows per up axis, in the order they are tested.
const OrientationRow kUpZ[4] = {
    {{1, 0, 0}, {0, 0, -h}, true, {0, 1, 0}, {0, 0, t}},
    {{0, 1, 0}, {0, 0, 0}, false, {}, {}},
    {{-1, 0, 0}, {0, 0, h}, false, {}, {}},
    {{0, -1, 0}, {0, 0, p}, true, {-1, 0, 0}, {0, 0, -p}},
};
const OrientationRow kDownZ[4] = {
    {{1, 0, 0}, {0, p, -h}, true, {0, -1, 0}, {0, p, t}},
    {{0, -1, 0}, {0, p, 0}, false, {}, {}},
    {{-1, 0, 0}, {0, p, h}, false, {}, {}},
    {{0, 1, 0}, {0, p, p}, true, {-1, 0, 0}, {0, p, -p}},
};
const OrientationRow kUpX[4] = {
    {{0, 0, -1}, {h, 0, -h}, true, {0, 1, 0}, {h, 0, t}},
    {{0, 1, 0}, {h, 0, 0}, false, {}, {}},
    {{0, 0, 1}, {h, 0, h}, false, {}, {}},
    {{0, -1, 0}, {h, 0, p}, true, {0, 0, 1}, {h, 0, -p}},
};
const OrientationRow kDownX[4] = {
    {{0, 0, 1}, {-h, 0, -h}, true, {0, 1, 0}, {-h, 0, t}},
    {{0, 1, 0}, {-h, 0, 0}, false, {}, {}},
    {{0, 0, -1}, {-h, 0, h}, false, {}, {}},
    {{0, -1, 0}, {-h, 0, p}, true, {0, 0, -1}, {-h, 0, -p}},
};
const OrientationRow kUpY[4] = {
    {{1, 0, 0}, {-h, -h, 0}, true, {0, 0, -1}, {t, -h, 0}},
    {{0, 0, -1}, {0, -h, 0}, false, {}, {}},
    {{-1, 0, 0}, {h, -h, 0}, false, {}, {}},
    {{0, 0, 1}, {p, -h, 0}, true, {-1, 0, 0}, {-p, -h, 0}},
};
const OrientationRow kDownY[4] = {
    {{-1, 0, 0}, {-h, h, 0}, true, {0, 0, 1}, {t, h, 0}},
    {{0, 0, 1}, {0, h, 0}, false, {}, {}},
    {{1, 0, 0}, {h, h, 0}, false, {}, {}},
    {{0, 0, -1}, {p, h, 0}, true, {1, 0, 0}, {-p, h, 0}},
};

bool AxisOfName(const std::string& name, D3DXVECTOR3& axis) {
    static const struct { const char* name; D3DXVECTOR3 axis; } kAxes[] = {
        {"x", {1, 0, 0}}, {"-x", {-1, 0, 0}}, {"y", {0, 1, 0}}, {"-y", {0, -1, 0}}, {"z", {0, 0, 1}}, {"-z", {0, 0, -1}},
    };
    for (const auto& a : kAxes)
        if (name == a.name) {
            axis = a.axis;
            return true;
        }
    return false;
}

} // namespace

std::string LevelNumberText(float value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    if (text == "-0") text = "0";
    return text;
}

objBall::objBall(Engine& engine, engLevel& level) : engine_(engine), level_(level) {
    modelIndex = Graphics(engine).GetModel("ball_y");
    keyhandler_ = std::make_unique<objKeyhandler>(engine);
    controller = keyhandler_.get();
    ownsController = true;
    side = Cross(targetHeading, up);
    ChooseOrientation();
    angles = settledAngles;
    turnFrom = angles;
}

objBall::~objBall() = default;

// ------------------------------------------------------------ orientation

void objBall::ChooseOrientation() {
    const OrientationRow* rows;
    if (viewUp.z == 1) rows = kUpZ;
    else if (viewUp.z == -1) rows = kDownZ;
    else if (viewUp.x == 1) rows = kUpX;
    else if (viewUp.x == -1) rows = kDownX;
    else if (viewUp.y == 1) rows = kUpY;
    else rows = kDownY;
    for (int i = 0; i < 4; ++i) {
        const OrientationRow& row = rows[i];
        if (!(targetHeading == row.heading)) continue;
        settledAngles = row.settled;
        turnTo = (!row.hasTest || side == row.sideTest) ? row.settled : row.alternative;
        return;
    }
}

// ------------------------------------------------------------ properties

void objBall::UseKeyHandler(int32_t playerId) {
    auto handler = std::make_unique<objKeyhandler>(engine_);
    handler->SetPlayerID(playerId);
    keyhandler_ = std::move(handler);
    controller = keyhandler_.get();
    ownsController = true;
}

void objBall::AssignVar(const std::string& key, const std::string& value) {
    if (key == "x" || key == "y" || key == "z") {
        const float v = static_cast<float>(Val(value)) * kCell;
        if (key == "x") position.x = v;
        else if (key == "y") position.y = v;
        else position.z = v;
        startPosition = position;
    } else if (key == "up") {
        D3DXVECTOR3 axis;
        if (!AxisOfName(value, axis))
            RaisePropertyError(ClassName(), "Invalid property value for 'Ball.up', must be (-)x/y/z : " + value);
        up = axis;
        VeriDir();
        startUp = up;
        ApplyFlip();
    } else if (key == "player") {
        const int32_t n = ValLong(value);
        player = n - 1;
        if (n != 1 && n != 2)
            RaisePropertyError(ClassName(), "Invalid property value for 'Ball.player', must be 1 or 2: " + value);
        UseKeyHandler(n);
    } else if (key == "controller") {
        LevelObject* object = level_.MapObject(ValLong(value));
        // A ball must be able to read its steering; an index that names no
        // controller would leave it reading nothing.
        if (!object || !object->AsController())
            RaisePropertyError(ClassName(),
                               "Invalid property value for 'Ball.controller', must be a controller object: " + value);
        controller = object;
        controllerNumber = ValLong(value);
        ownsController = false;
    } else if (key == "flipped") {
        bool ok = false;
        const bool v = ParseLevelBool(value, ok);
        if (!ok)
            RaisePropertyError(ClassName(), "Invalid property value for 'Ball.flipped', must be true/false : " + value);
        flipped = v;
        ApplyFlip();
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objBall::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Ball");
    out.WriteLine("x=" + GridValueText(startPosition.x));
    out.WriteLine("y=" + GridValueText(startPosition.y));
    out.WriteLine("z=" + GridValueText(startPosition.z));
    out.WriteLine("player=" + std::to_string(player + 1));
    out.WriteLine("up=" + AxisName(up));
    // After "player", which would put a key handler back in its place; by
    // the number the controller has in the file being written.
    if (!ownsController) {
        if (const int32_t saved = level_.SavedNumberOf(controllerNumber))
            out.WriteLine("controller=" + std::to_string(saved));
    }
    if (flipped) out.WriteLine("flipped=true");
}

void objBall::WritePos() { engine_.ParsedVector = displayPosition; }
void objBall::WriteTile() { engine_.ParsedVector = position; }
void objBall::WriteUp() { engine_.ParsedVector = up; }

void objBall::SetBallStart(float x, float y, float z) {
    startPosition = {x, y, z};
    position = startPosition;
    phase = 1;
    phaseTime = 0;
}

void objBall::ResetBall() {
    position = startPosition;
    jumpRequest = false;
    phase = 1;
    renderMode = 1;
    phaseTime = 0;
    lostCount = 0;
    // A ball that never read an "up" has no start axis; it keeps the one it
    // was built with rather than losing gravity altogether.
    if (!(startUp == D3DXVECTOR3{0, 0, 0})) up = startUp;
    else up = {0, 0, 1};
    ApplyFlip();
}

void objBall::Cell(int32_t& x, int32_t& y, int32_t& z) const {
    x = GridRound(position.x * kToGrid);
    y = GridRound(position.y * kToGrid);
    z = GridRound(position.z * kToGrid);
}

// ------------------------------------------------------------ tick

int objBall::MoveInput(D3DXVECTOR3& direction) {
    IController* c = controller ? controller->AsController() : nullptr;
    if (!c) return 0;
    if (c->kMove() <= -0.5f) {
        direction = -heading;
        return -1;
    }
    if (c->kMove() >= 0.5f) {
        direction = heading;
        return 1;
    }
    return 0;
}

bool objBall::MoveKeyHeld() {
    D3DXVECTOR3 v;
    if (MoveInput(v) == 0) return false;
    moveDir = v;
    return true;
}

void objBall::Tick(int32_t& elapsed) {
    const int32_t e = elapsed;
    if (ownsController && controller) controller->Tick(elapsed);
    IController* c = controller ? controller->AsController() : nullptr;

    if (c && c->kJump()) jumpRequest = true;

    // Turn in progress; the heading changes half-way.
    int32_t carry = 0;
    if (turnTime > 0) {
        turnTime -= e;
        if (turnTime <= 0) {
            carry = turnTime;
            turnTime = 0;
            heading = targetHeading;
            angles = settledAngles;
            turnFrom = angles;
        }
        const float f = 1.0f - static_cast<float>(turnTime) / 350.0f;
        angles = turnFrom + (turnTo - turnFrom) * f;
        if (f > 0.5f) heading = targetHeading;
    }

    // New turn.
    if (turnTime == 0 && lostCount == 0 && c) {
        const float r = c->kRot();
        if (r <= -0.5f || r >= 0.5f) {
            turnTime = 350 - carry;
            targetHeading = r <= -0.5f ? Cross(heading, viewUp) : Cross(viewUp, heading);
            side = heading;
            ChooseOrientation();
        }
    }

    // Phase machine: several phases may run out in one call.
    int32_t remaining = e;
    int32_t spent = e;
    while (remaining > 0) {
        remaining -= phaseTime;
        if (remaining < 0) break;
        Expire();
        spent = remaining;
        // Every rule arms a positive time; a zero one would never end.
        if (phaseTime <= 0) break;
    }
    phaseTime -= spent;

    ComputeDisplay(displayPosition, displayScale);
    if (engine_.gfx) {
        if (gfxModel* model = engine_.gfx->Model(modelIndex))
            model->DisplayMesh(engine_, renderMode, 0, displayPosition.x, displayPosition.y, displayPosition.z,
                               angles.x, angles.y, angles.z, displayScale.x, displayScale.y, displayScale.z);
    }
}

void objBall::Rise() { position += up * kCell; }
void objBall::Fall() { position -= up * kCell; }
void objBall::Step() { position += moveDir * kCell; }

void objBall::Endlevel() { level_.Endlevel(2); }

void objBall::Expire() {
    switch (phase) {
    case 0: SetPhase(0, 1000); break;
    case 1: HitFloor(); break;
    case 2: SetPhase(1, 400); break;
    case 3: {
        if (jumpRequest) {
            PreHitCeiling();
            bounce += 1;
            jumpRequest = false;
            sliding = false;
            // A rise asks for the movement at its top (phase 9). A jump that
            // cannot rise (bumped, turned onto the ceiling, blown back) has
            // no such decision, so a scripted controller would stay on its
            // jump for ever: the jump is the decision, its movement unused.
            if (phase != 9) {
                D3DXVECTOR3 unused;
                MoveInput(unused);
            }
            break;
        }
        bounce = 0;
        if (sliding) {
            D3DXVECTOR3 v;
            if (MoveInput(v) != 0) {
                if (Dot(v, moveDir) < 0) {
                    moveDir = v;
                    SetPhase(2, 400);
                } else {
                    moveDir = v;
                    PreHitWall();
                }
            } else {
                PreHitWall();
            }
            sliding = false;
        } else if (MoveKeyHeld()) {
            PreHitWall();
        } else {
            SetPhase(2, 400);
        }
        break;
    }
    case 5: HitFloor(); break;
    case 7: SetPhase(8, 400); break;
    case 8:
        moveDir = -moveDir;
        HitFloor();
        break;
    case 9:
    case 44:
        Rise();
        if (MoveKeyHeld()) {
            PreHitWall();
            bounce = 0;
        } else if (bounce == 0) {
            SetPhase(2, 400);
        } else {
            PreHitCeiling();
        }
        break;
    case 10:
    case 14:
        Fall();
        HitFloor();
        break;
    case 11: SetPhase(12, 500); break;
    case 12: SetPhase(13, 320); break;
    case 13: HitFloor(); break;
    case 15: HitFloor(); break;
    case 16:
        Step();
        SetPhase(5, 400);
        break;
    case 17:
        Rise();
        SetPhase(16, 600);
        break;
    case 18: PreHitWall(); break;
    case 19:
        if (MoveKeyHeld()) PreHitWall();
        else SetPhase(20, 500);
        break;
    case 20: HitFloor(); break;
    case 22:
        Fall();
        SetPhase(26, 500);
        break;
    case 24: SetPhase(26, 500); break;
    case 25: HitFloor(); break;
    case 26:
        SetPhase(25, 460);
        renderMode = 2;
        lostCount += 1;
        Endlevel();
        bounce = 1;
        break;
    case 27:
        if (bounce > 0) {
            bounce = 0;
            SetPhase(28, 500);
        } else {
            SetPhase(29, 5000);
        }
        break;
    case 28: SetPhase(27, 500); break;
    case 29: SetPhase(0, 1000); break;
    case 31: SetPhase(32, 1000); break;
    case 32: SetPhase(32, 1000); break;
    case 33: SetPhase(34, 1000); break;
    case 34: SetPhase(34, 1000); break;
    case 35:
        SetPhase(12, 500);
        renderMode = 2;
        lostCount += 1;
        Endlevel();
        break;
    case 36:
        Step();
        SetPhase(5, 400);
        break;
    case 37: HitWall(); break;
    case 38:
        if (MoveKeyHeld()) PreHitWall();
        else SetPhase(2, 400);
        break;
    case 39: SetPhase(8, 400); break;
    case 41:
        Rise();
        PreHitCeiling();
        break;
    case 42:
        Rise();
        if (MoveKeyHeld()) PreHitWall();
        else SetPhase(2, 400);
        break;
    case 43: SetPhase(44, 600); break;
    default:
        // Phases that are never entered have no rule: re-armed as they are.
        break;
    }
}

void objBall::VeriDir() {
    if (Dot(heading, up) != 0) heading = {heading.y, heading.z, heading.x};
    targetHeading = heading;
    side = Cross(targetHeading, up);
    ChooseOrientation();
    angles = settledAngles;
    turnFrom = angles;
}

} // namespace rdv
