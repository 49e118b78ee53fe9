#pragma once
// The in-game level editor's two level objects. The edit camera flies under
// the mouse and sets player 0's view itself; the draw cursor sits on a cell,
// shows the brush on the face below it (towards -up) and paints, picks and
// erases that face. Both are appended by the level's EnterEditor.
#include <array>
#include <cstdint>
#include <string>

#include "cameras/Cameras.h"
#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

class objEditCamera : public CameraBase {
public:
    explicit objEditCamera(Engine& engine);
    void AssignVar(const std::string& key, const std::string& value) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Camera.EditCamera"; }
    void WriteRot() override;
    bool CanSeePoint(float&, float&, float&) override { return true; }

    D3DXVECTOR3 lookDir{1, 0, 0};

protected:
    std::string HeaderName() const override { return "EditCamera"; }
    // False until a position is given or taken from player 0's view.
    bool placed_ = false;
    std::string ClassName() const override { return "objEditCamera"; }
};

class objDrawCursor : public LevelObject {
public:
    objDrawCursor(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Objects.DrawCursor"; }
    void WritePos() override;
    void WriteUp() override;

    // The face of the cursor's cell towards -up.
    void MapLoad();
    void MapSet();
    void MapRestore();
    // V: the next of the three axes (+z, +x, +y).
    void TurnAxis();

    // The first axis moves y, the second x, the third z; +1 or -1. The
    // cursor never leaves the world.
    void Move(int axis, int sign);

    // The cell the position lies in.
    int32_t CellX() const;
    int32_t CellY() const;
    int32_t CellZ() const;

    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 up{0, 0, 1};
    D3DXVECTOR3 rotation{0, 0, 0};
    int32_t axisStep = 0;
    int32_t modelIndex = 0;
    int32_t savedTile = 0;
    int32_t brush = 0;

    // Held-key repeat: the first step at once, then 500 ms, halving down to 25.
    static constexpr int32_t kFirstRepeat = 500;
    static constexpr int32_t kFastestRepeat = 25;
    int32_t repeatInterval = kFirstRepeat;
    int32_t repeatTimer = 0;
    bool movementHeld = false;
    // Mouse drag accumulated per world axis (x, y, z); 15 units per step.
    static constexpr int32_t kDragStep = 15;
    std::array<int32_t, 3> dragAccumulated{0, 0, 0};

protected:
    std::string HeaderName() const override { return "DrawCursor"; }
    std::string ClassName() const override { return "objDrawCursor"; }

private:
    void Face(int32_t& x, int32_t& y, int32_t& z, int32_t& dx, int32_t& dy, int32_t& dz) const;
    void MovementKeys(int32_t elapsed);
    void Drag();
    void Commands();
    void StepWorldAxis(int worldAxis, int sign);
    IBall* PlayerBall();

    Engine& engine_;
    engLevel& level_;
    std::array<bool, 256> wasDown_{};
    // Whether savedTile holds the face under the cursor yet.
    bool loaded_ = false;
};

// The world axis (0 x, 1 y, 2 z) and sign that a drag moves the cursor along
// for a screen direction: 0 right, 1 up the screen (away from the viewer
// on the ground), given the view direction (look-at minus eye).
void DragAxis(const D3DXVECTOR3& viewDirection, int screenDirection, int& worldAxis, int& sign);

} // namespace rdv
