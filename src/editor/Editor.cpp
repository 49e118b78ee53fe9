#include "editor/Editor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cameras/View.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "input/Input.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

namespace {

constexpr float kCell = 1.5f;
constexpr float kQuarterTurn = 3.14159f / 2;

bool MenuOpen(const Engine& engine) { return engine.isMenuOpen && engine.isMenuOpen(); }

D3DXVECTOR3 CrossOf(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &a, &b);
    return out;
}

float Clamped(float v) { return std::clamp(v, -0.75f, 0.75f); }

int32_t ToCell(float v) { return RoundHalfEven(v / kCell); }

int32_t Component(const D3DXVECTOR3& v, int axis) {
    const float c = axis == 0 ? v.x : axis == 1 ? v.y : v.z;
    return RoundHalfEven(c);
}

} // namespace

// ---------------------------------------------------------------- edit camera

objEditCamera::objEditCamera(Engine& engine) : CameraBase(engine) {}

void objEditCamera::AssignVar(const std::string& key, const std::string& value) {
    if (key == "pos") {
        position = VectorValue(value, false, "Invalid property value for 'EditCamera.Position', must be a vector : ",
                               PropertySource(ClassName()));
        placed_ = true;
    } else if (key == "up") {
        up = VectorValue(value, false, "Invalid property value for 'EditCamera.up', must be a vector: ",
                         PropertySource(ClassName()));
    } else if (key == "lookdir") {
        lookDir = VectorValue(value, true, "Invalid property value for 'EditCamera.lookdir', must be a vector : ",
                              PropertySource(ClassName()));
    } else if (key == "active" || key == "enabled") {
        Active = BoolValue(value, "Invalid property value for 'EditCamera.enabled', must be true/false : ");
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objEditCamera::WriteRot() { engine_.ParsedVector = lookDir; }

void objEditCamera::Tick(int32_t&) {
    if (!Active || MenuOpen(engine_)) return;
    if (!placed_) {
        // Start where player 0 was looking (the level's own cameras tick
        // first), not at the world's corner.
        placed_ = true;
        const auto& view = engine_.playerViews[0];
        const D3DXVECTOR3 look = view.lookAt - view.eye;
        if (D3DXVec3Length(&look) > 1e-4f) {
            position = view.eye;
            lookDir = Normalised(look);
        }
    }
    if (inpControl* input = Input(engine_)) {
        const DIMOUSESTATE& mouse = input->MouseState();
        const bool left = (mouse.rgbButtons[0] & 0x80) != 0;
        const bool right = (mouse.rgbButtons[1] & 0x80) != 0;
        const float dx = static_cast<float>(mouse.lX);
        const float dy = static_cast<float>(mouse.lY);
        if (left && !right) {
            // Turn and walk in the horizontal plane.
            lookDir = Normalised(lookDir + CrossOf(up, lookDir) * (0.01f * dx));
            D3DXVECTOR3 walk = lookDir * (-0.01f * dy);
            walk -= up * D3DXVec3Dot(&walk, &up);
            position += walk;
        } else if (right && !left) {
            // Look around; the clamp keeps the view off the up axis.
            lookDir += CrossOf(up, lookDir) * (0.01f * dx);
            lookDir += up * (-0.01f * dy);
            lookDir = Normalised({Clamped(lookDir.x), Clamped(lookDir.y), Clamped(lookDir.z)});
        } else if (left && right) {
            // Rise, sink and slide sideways.
            position.z -= 0.01f * dy;
            position += CrossOf(up, lookDir) * (0.01f * dx);
        }
    }
    SetPlayerView(engine_, position, position + lookDir, up, 0);
}

// ---------------------------------------------------------------- draw cursor

objDrawCursor::objDrawCursor(Engine& engine, engLevel& level) : engine_(engine), level_(level) {
    if (engine.gfx) modelIndex = Graphics(engine).GetModel("drawcursor");
}

void objDrawCursor::AssignVar(const std::string& key, const std::string& value) {
    if (key == "x") {
        position.x = static_cast<float>(Val(value)) * kCell;
    } else if (key == "y") {
        position.y = static_cast<float>(Val(value)) * kCell;
    } else if (key == "z") {
        position.z = static_cast<float>(Val(value)) * kCell;
    } else if (key == "up") {
        if (!ParseVector(engine_, value) || AxisName(engine_.ParsedVector).empty())
            RaisePropertyError(ClassName(), "Invalid property value for 'DrawCursor.up', must be (-)x/y/z : " + value);
        up = engine_.ParsedVector;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objDrawCursor::WritePos() { engine_.ParsedVector = position; }
void objDrawCursor::WriteUp() { engine_.ParsedVector = up; }

int32_t objDrawCursor::CellX() const { return ToCell(position.x); }
int32_t objDrawCursor::CellY() const { return ToCell(position.y); }
int32_t objDrawCursor::CellZ() const { return ToCell(position.z); }

void objDrawCursor::Face(int32_t& x, int32_t& y, int32_t& z, int32_t& dx, int32_t& dy, int32_t& dz) const {
    x = CellX();
    y = CellY();
    z = CellZ();
    const D3DXVECTOR3 down = -up;
    dx = Component(down, 0);
    dy = Component(down, 1);
    dz = Component(down, 2);
}

void objDrawCursor::MapLoad() {
    int32_t x, y, z, dx, dy, dz;
    Face(x, y, z, dx, dy, dz);
    savedTile = level_.GetMapObject(x, y, z, dx, dy, dz);
    loaded_ = true;
}

void objDrawCursor::MapSet() {
    int32_t x, y, z, dx, dy, dz;
    Face(x, y, z, dx, dy, dz);
    level_.SetMapObject(x, y, z, dx, dy, dz, brush);
}

void objDrawCursor::MapRestore() {
    // Before the first load the saved tile is not the face's: writing it
    // back would wipe the tile the cursor started on.
    if (!loaded_) MapLoad();
    int32_t x, y, z, dx, dy, dz;
    Face(x, y, z, dx, dy, dz);
    level_.SetMapObject(x, y, z, dx, dy, dz, savedTile);
}

void objDrawCursor::TurnAxis() {
    MapRestore();
    axisStep = (axisStep + 1) % 3;
    switch (axisStep) {
    case 0: up = {0, 0, 1}; rotation = {0, 0, 0}; break;
    case 1: up = {1, 0, 0}; rotation = {kQuarterTurn, 0, 0}; break;
    default: up = {0, 1, 0}; rotation = {0, kQuarterTurn, 0}; break;
    }
    MapLoad();
}

void objDrawCursor::StepWorldAxis(int worldAxis, int sign) {
    const int32_t sizes[3] = {level_.SizeX(), level_.SizeY(), level_.SizeZ()};
    const int32_t cells[3] = {CellX(), CellY(), CellZ()};
    // A cursor placed outside the world may walk back in, never further out.
    if (sign < 0 && cells[worldAxis] <= 0) return;
    if (sign > 0 && cells[worldAxis] >= sizes[worldAxis] - 1) return;
    MapRestore();
    float& coordinate = worldAxis == 0 ? position.x : worldAxis == 1 ? position.y : position.z;
    coordinate += static_cast<float>(sign) * kCell;
    MapLoad();
}

void objDrawCursor::Move(int axis, int sign) {
    static constexpr int kWorldAxis[3] = {1, 0, 2};
    StepWorldAxis(kWorldAxis[axis], sign);
}

void DragAxis(const D3DXVECTOR3& viewDirection, int screenDirection, int& worldAxis, int& sign) {
    // On the ground: forward is the view direction flattened, right is
    // up x forward in the engine's left-handed frame.
    const D3DXVECTOR3 forward{viewDirection.x, viewDirection.y, 0};
    const D3DXVECTOR3 right{-forward.y, forward.x, 0};
    const D3DXVECTOR3& d = screenDirection == 0 ? right : forward;
    if (d.x == 0 && d.y == 0) {
        // Looking straight down: the screen's right is +y, up is +x.
        worldAxis = screenDirection == 0 ? 1 : 0;
        sign = 1;
        return;
    }
    if (std::fabs(d.x) >= std::fabs(d.y)) {
        worldAxis = 0;
        sign = d.x > 0 ? 1 : -1;
    } else {
        worldAxis = 1;
        sign = d.y > 0 ? 1 : -1;
    }
}

void objDrawCursor::MovementKeys(int32_t elapsed) {
    struct MoveKey {
        uint8_t code;
        int axis;
        int sign;
    };
    static constexpr MoveKey kKeys[6] = {{dik::A, 0, -1}, {dik::D, 0, 1}, {dik::Z, 1, -1},
                                         {dik::E, 1, 1},  {dik::X, 2, -1}, {dik::W, 2, 1}};
    bool any = false;
    for (const auto& k : kKeys) any = any || KeyDown(engine_, k.code);
    if (!any) {
        movementHeld = false;
        repeatInterval = kFirstRepeat;
        repeatTimer = 0;
        return;
    }
    int steps = 0;
    if (!movementHeld) {
        movementHeld = true;
        repeatInterval = kFirstRepeat;
        repeatTimer = 0;
        steps = 1;
    } else {
        repeatTimer += std::max(elapsed, 0);
        while (repeatTimer >= repeatInterval) {
            repeatTimer -= repeatInterval;
            repeatInterval = std::max(repeatInterval / 2, kFastestRepeat);
            ++steps;
        }
    }
    for (int s = 0; s < steps; ++s)
        for (const auto& k : kKeys)
            if (KeyDown(engine_, k.code)) Move(k.axis, k.sign);
}

void objDrawCursor::Drag() {
    inpControl* input = Input(engine_);
    if (!input) return;
    const DIMOUSESTATE& mouse = input->MouseState();
    const bool left = (mouse.rgbButtons[0] & 0x80) != 0;
    const bool right = (mouse.rgbButtons[1] & 0x80) != 0;
    if (!left && !right) {
        dragAccumulated = {0, 0, 0};
        return;
    }
    const auto& view = engine_.playerViews[0];
    const D3DXVECTOR3 direction = view.lookAt - view.eye;
    int axis = 0, sign = 1;
    DragAxis(direction, 0, axis, sign);
    dragAccumulated[static_cast<size_t>(axis)] += sign * mouse.lX;
    if (left && right) {
        // Both buttons: up the screen is up the world.
        dragAccumulated[2] -= mouse.lY;
    } else {
        DragAxis(direction, 1, axis, sign);
        dragAccumulated[static_cast<size_t>(axis)] -= sign * mouse.lY;
    }
    for (int a = 0; a < 3; ++a) {
        int32_t& acc = dragAccumulated[static_cast<size_t>(a)];
        while (acc >= kDragStep) {
            acc -= kDragStep;
            StepWorldAxis(a, 1);
        }
        while (acc <= -kDragStep) {
            acc += kDragStep;
            StepWorldAxis(a, -1);
        }
    }
    if (left && !right) {
        MapSet();
        savedTile = brush;
    } else if (right && !left) {
        brush = savedTile;
    }
}

IBall* objDrawCursor::PlayerBall() {
    const int32_t wanted = KeyDown(engine_, dik::LMENU) ? 1 : 0;
    const int32_t number = level_.FindObject("System.Objects.Player.Ball", [&](LevelObject& object) {
        IBall* ball = object.AsBall();
        return object.GetFullClassName() == "System.Objects.Player.Ball" && ball && ball->player == wanted;
    });
    LevelObject* object = level_.MapObject(number);
    return object ? object->AsBall() : nullptr;
}

void objDrawCursor::Commands() {
    auto pressed = [&](uint8_t code) {
        const bool down = KeyDown(engine_, code);
        const bool edge = down && !wasDown_[code];
        wasDown_[code] = down;
        return edge;
    };
    // Each command acts once per press; only the movement keys repeat.
    if (pressed(dik::Q)) brush = savedTile;
    if (pressed(dik::S)) {
        MapSet();
        savedTile = brush;
    }
    if (pressed(dik::C)) {
        int32_t x, y, z, dx, dy, dz;
        Face(x, y, z, dx, dy, dz);
        level_.SetMapObject(x, y, z, dx, dy, dz, 0);
        savedTile = 0;
    }
    if (pressed(dik::R))
        if (IBall* ball = PlayerBall()) ball->ResetBall();
    if (pressed(dik::B))
        if (IBall* ball = PlayerBall()) ball->SetBallStart(position.x, position.y, position.z);
    if (pressed(dik::V)) TurnAxis();
}

void objDrawCursor::Tick(int32_t& elapsed) {
    if (MenuOpen(engine_)) return;
    if (!loaded_) MapLoad();
    MovementKeys(elapsed);
    Drag();
    Commands();
    if (engine_.gfx)
        if (gfxModel* model = engine_.gfx->Model(modelIndex))
            model->DisplayMesh(engine_, 0, 0, position.x, position.y, position.z, rotation.x, rotation.y, rotation.z,
                               1, 1, 1);
}

} // namespace rdv
