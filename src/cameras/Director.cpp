#include "cameras/Director.h"

#include <algorithm>
#include <cmath>

#include "cameras/Cameras.h"
#include "cameras/View.h"
#include "core/Engine.h"
#include "input/Input.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

namespace {
const char* const kBallPrefix = "System.Objects.Player";
const char* const kCameraPrefix = "System.Camera";

// Pending turn from `from` to the goal g: axis and angle; `other` picks the
// axis of a half turn.
void AimTurn(const D3DXVECTOR3& from, const D3DXVECTOR3& g, const D3DXVECTOR3& other, D3DXVECTOR3& axis,
             float& angle) {
    const float c = D3DXVec3Dot(&from, &g);
    if (c > 0.99999f) {
        angle = 0;
    } else if (c < -0.99999f) {
        angle = static_cast<float>(kPi);
        D3DXVECTOR3 t;
        D3DXVec3Cross(&t, &from, &other);
        D3DXVec3Cross(&axis, &from, &t);
        // from parallel to `other`: any axis across `from` will do.
        if (D3DXVec3LengthSq(&axis) == 0.0f) {
            const D3DXVECTOR3 ex{1, 0, 0}, ey{0, 1, 0};
            D3DXVec3Cross(&axis, &from, &ex);
            if (D3DXVec3LengthSq(&axis) == 0.0f) D3DXVec3Cross(&axis, &from, &ey);
        }
    } else {
        D3DXVec3Cross(&axis, &from, &g);
        angle = static_cast<float>(std::atan(-c / std::sqrt(1.0 - double(c) * c)) + kHalfPi);
    }
}
} // namespace

objDirector::objDirector(Engine& engine, engLevel& level) : engine_(engine), level_(level) {
    SetPlayerView(engine_, eye, eye + dir, up, player);
}

// "pos", "lookdir" and "looktile" have no error text of their own.
D3DXVECTOR3 objDirector::VectorValue(const std::string& value, bool normalise) {
    if (!ParseVectorValue(engine_, value, normalise)) RaisePropertyError(ClassName(), "");
    return engine_.ParsedVector;
}

bool objDirector::BoolValue(const std::string& value, const std::string& errorText) {
    bool ok = false;
    const bool v = ParseLevelBool(value, ok);
    if (!ok) RaisePropertyError(ClassName(), errorText + value);
    return v;
}

void objDirector::EyeSet() {
    if (lookAtTile) dir = Normalised(lookTile - eye);
}

void objDirector::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Director");
    // Which player the director serves, and its switches: without them a
    // second player's director comes back as the first player's.
    out.WriteLine("player=" + std::to_string(player + 1));
    out.WriteLine("pos=" + GridVectorText(startEye));
    out.WriteLine("up=" + GridVectorText(startUp));
    // After "pos": a looked-at tile aims the view from the eye.
    if (lookAtTile) out.WriteLine("looktile=" + GridVectorText(lookTile));
    else out.WriteLine("lookdir=" + DirectionText(startDir));
    out.WriteLine(std::string("startatcam=") + (startSnapped ? "false" : "true"));
    if (!enabled) out.WriteLine("active=false");
    if (!hop) out.WriteLine("hop=false");
}

void objDirector::AssignVar(const std::string& key, const std::string& value) {
    if (key == "pos") {
        eye = eyeGoal = VectorValue(value, false);
        EyeSet();
    } else if (key == "x" || key == "y" || key == "z") {
        const float v = static_cast<float>(Val(value));
        (key == "x" ? eye.x : key == "y" ? eye.y : eye.z) = v;
        EyeSet();
    } else if (key == "lookdir" || key == "l") {
        dir = dirGoal = VectorValue(value, true);
    } else if (key == "looktile") {
        lookTile = VectorValue(value, false);
        dir = dirGoal = Normalised(lookTile - eye);
        lookAtTile = true;
    } else if (key == "up") {
        if (!ParseVectorValue(engine_, value, false))
            RaisePropertyError(ClassName(), "Invalid property value for 'Director.UpVector', must be a vector : " + value);
        up = upGoal = engine_.ParsedVector;
    } else if (key == "active" || key == "enabled") {
        enabled = BoolValue(value, "Invalid property value for 'Director.enabled', must be true/false : ");
    } else if (key == "startatcam") {
        // No text of its own either.
        bool ok = false;
        const bool v = ParseLevelBool(value, ok);
        if (!ok) RaisePropertyError(ClassName(), "");
        snapped = !v;
    } else if (key == "hop") {
        hop = BoolValue(value, "Invalid property value for 'Director.hop', must be true/false : ");
    } else if (key == "player") {
        if (value == "1") player = 0;
        else if (value == "2") player = 1;
        else RaisePropertyError(ClassName(), "Invalid property value for 'Director.player', must be 1 or 2 : " + value);
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    // The pose as the level gave it: playing moves the eye and turns the view.
    startEye = eye;
    startDir = dir;
    startUp = up;
    startSnapped = snapped;
}

void objDirector::WritePos() { engine_.ParsedVector = eye; }

ICamera* objDirector::CameraAt(int32_t index) {
    LevelObject* o = level_.MapObject(index);
    if (!o || !HasClassPrefix(level_.MapObjectName(index), kCameraPrefix)) return nullptr;
    return o->AsCamera();
}

bool objDirector::Qualifies(int32_t index) {
    ICamera* c = CameraAt(index);
    if (!c || !c->Active || (c->balltolookat != player && c->balltolookat != -1)) return false;
    return level_.MapObject(index)->CanSeePoint(target.x, target.y, target.z);
}

void objDirector::FindBall() {
    const int32_t count = level_.MapObjects();
    if (ballIndex >= 1 && ballIndex <= count && level_.MapObject(ballIndex) &&
        HasClassPrefix(level_.MapObjectName(ballIndex), kBallPrefix))
        return;
    const int32_t found = level_.FindObject(kBallPrefix, [this](LevelObject& o) {
        IBall* b = o.AsBall();
        return b && b->player == player;
    });
    ballIndex = found > 0 ? found : -1;
}

int32_t objDirector::BestCamera(int32_t start) {
    const int32_t count = level_.MapObjects();
    float best = 1e9f;
    int32_t result = cameraIndex;
    auto visit = [&](int32_t i) {
        if (!Qualifies(i)) return;
        level_.MapObject(i)->WritePos();
        const D3DXVECTOR3 d = engine_.ParsedVector - eye;
        const float score = D3DXVec3LengthSq(&d) * CameraAt(i)->priority;
        if (score < best) {
            best = score;
            result = i;
        }
    };
    if (count > 0) {
        if (start < 1 || start > count) {
            // From the start of the list every object is a candidate, the last one too.
            for (int32_t i = 1; i <= count; ++i) visit(i);
        } else {
            for (int32_t i = start % count + 1; i != start; i = i % count + 1) visit(i);
        }
    }
    return CameraAt(result) ? result : 0;
}

int32_t objDirector::NextCamera(int32_t start, int32_t step) {
    const int32_t count = level_.MapObjects();
    if (count > 0 && start >= 1 && start <= count) {
        auto wrap = [count](int32_t i) { return ((i - 1) % count + count) % count + 1; };
        for (int32_t i = wrap(start + step); i != start; i = wrap(i + step))
            if (Qualifies(i)) return i;
    }
    return CameraAt(start) ? start : 0;
}

void objDirector::Tick(int32_t& elapsed) {
    if (!enabled) return;
    const ControlRecord c = GetControls(engine_, player);
    const float e = static_cast<float>(elapsed);
    if (switchDelay > 0) switchDelay -= e;
    if (checkDelay > 0) checkDelay -= e;

    FindBall();
    if (ballIndex > 0) {
        LevelObject* ball = level_.MapObject(ballIndex);
        if (hop) ball->WritePos();
        else ball->WriteTile();
        target = engine_.ParsedVector;
    }

    const int32_t count = level_.MapObjects();
    if (cameraIndex < 1 || cameraIndex > count) {
        cameraIndex = BestCamera(0);
        if (cameraIndex == 0) switchDelay = 100;
    } else if (!CameraAt(cameraIndex)) {
        cameraIndex = BestCamera(cameraIndex);
        if (cameraIndex == 0) switchDelay = 100;
    } else if (switchDelay <= 0 && (c.ButtonB || c.ButtonC)) {
        cameraIndex = NextCamera(cameraIndex, c.ButtonB ? -1 : 1);
        moveSpeed = 0;
        turnSpeed = 0;
        switchDelay = 250;
    } else if (elapsed > 0) {
        if (checkDelay <= 0) {
            checkDelay = 250;
            LevelObject* camera = level_.MapObject(cameraIndex);
            camera->Reposition(target.x, target.y, target.z);
            if (!camera->CanSeePoint(target.x, target.y, target.z)) {
                cameraIndex = BestCamera(cameraIndex);
                if (cameraIndex == 0) checkDelay = 100;
                return;
            }
        }
        Glide(elapsed);
    }

    if (!snapped && cameraIndex > 0) {
        Glide(10000);
        snapped = true;
    }
    SetPlayerView(engine_, eye, eye + dir, up, player);
}

void objDirector::Glide(int32_t elapsed) {
    if (cameraIndex <= 0) return;
    ICamera* cam = CameraAt(cameraIndex);
    if (!cam) return;
    LevelObject* camera = level_.MapObject(cameraIndex);
    const float e = static_cast<float>(elapsed);

    camera->WritePos();
    eyeGoal = engine_.ParsedVector;
    float k = 0;
    if (!(eye == eyeGoal)) {
        const D3DXVECTOR3 d = eyeGoal - eye;
        const float length = D3DXVec3Length(&d);
        moveSpeed = std::max({moveSpeed, moveRateFactor * length, moveRateMin});
        k = moveSpeed / length;
        if (moveSpeed * e > length) {
            eye = eyeGoal;
            moveSpeed = 0;
            k = -1;
        } else {
            eye += d * (k * e);
        }
    }

    D3DXVECTOR3 g;
    if (!cam->bFollow) {
        camera->WriteRot();
        g = engine_.ParsedVector;
    } else {
        g = Normalised(target - eyeGoal);
    }
    if (D3DXVec3LengthSq(&g) > 0 && !(g == dir) && !(g == dirGoal)) {
        AimTurn(dir, g, up, dirAxis, dirAngle);
        dirGoal = g;
    }

    camera->WriteUp();
    g = engine_.ParsedVector;
    if (D3DXVec3LengthSq(&g) > 0 && !(g == up) && !(g == upGoal)) {
        AimTurn(up, g, dir, upAxis, upAngle);
        upGoal = g;
    }

    const float a = std::max(upAngle, dirAngle);
    if (a <= 0) return;
    turnSpeed = std::max({turnSpeed, turnRateFactor * a, turnRateMin});
    if (!(k > 0 && k * a <= turnSpeed)) k = turnSpeed / a;
    if (upAngle > 0) {
        up = RotateAbout(up, upAxis, k * e * upAngle);
        upAngle = (1 - k * e) * upAngle;
    }
    if (dirAngle > 0) {
        dir = RotateAbout(dir, dirAxis, k * e * dirAngle);
        dirAngle = (1 - k * e) * dirAngle;
    }
    if (upAngle <= 0 && dirAngle <= 0) {
        upAngle = 0;
        dirAngle = 0;
        up = upGoal;
        dir = dirGoal;
        turnSpeed = 0;
    }
}

} // namespace rdv
