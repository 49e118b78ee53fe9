#pragma once
// The director owns one player's view. Every tick it finds that player's
// ball, keeps a current camera among the level's cameras (stepped by the
// player's two camera buttons, replaced when it loses sight of the ball),
// glides its own eye, look direction and up towards that camera's pose and
// hands the result to SetPlayerView.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

class objDirector : public LevelObject {
public:
    objDirector(Engine& engine, engLevel& level);

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Director"; }
    void WritePos() override;

    // The camera that serves best from `start` (0: every object), or the
    // current one when none qualifies; 0 when that is no camera.
    int32_t BestCamera(int32_t start);
    // The first qualifying camera stepping from `start` by `step`.
    int32_t NextCamera(int32_t start, int32_t step);
    // Moves the eye and turns dir and up towards the current camera.
    void Glide(int32_t elapsed);

    bool enabled = true;
    D3DXVECTOR3 up{0, 0, 1};
    D3DXVECTOR3 eye{1, 0, 0};
    D3DXVECTOR3 dir{-1, 0, 0};
    D3DXVECTOR3 target{0, 0, 0};
    float turnRateMin = 1.0f / 10000;
    float turnRateFactor = 1.0f / 500;
    float moveRateMin = 1.0f / 10000;
    float moveRateFactor = 1.0f / 1000;
    float moveSpeed = 0;
    float turnSpeed = 0;
    D3DXVECTOR3 dirAxis{0, 0, 1};
    D3DXVECTOR3 upAxis{0, 0, 1};
    float dirAngle = 0;
    float upAngle = 0;
    int32_t ballIndex = -1;
    int32_t cameraIndex = -1;
    int32_t player = 0;
    D3DXVECTOR3 dirGoal{-1, 0, 0};
    D3DXVECTOR3 upGoal{0, 0, 1};
    D3DXVECTOR3 eyeGoal{1, 0, 0};
    bool snapped = false;
    // The pose and start mode the level gave (saved levels write these).
    D3DXVECTOR3 startEye{1, 0, 0};
    D3DXVECTOR3 startDir{-1, 0, 0};
    D3DXVECTOR3 startUp{0, 0, 1};
    bool startSnapped = false;
    bool hop = true;
    D3DXVECTOR3 lookTile{0, 0, 0};
    bool lookAtTile = false;
    float switchDelay = 0;
    float checkDelay = 0;

protected:
    std::string HeaderName() const override { return "objDirector"; }
    std::string ClassName() const override { return "objDirector"; }

private:
    // A camera object the director can ask (the rotary camera is not one).
    ICamera* CameraAt(int32_t index);
    bool Qualifies(int32_t index);
    void FindBall();
    void EyeSet();
    D3DXVECTOR3 VectorValue(const std::string& value, bool normalise);
    bool BoolValue(const std::string& value, const std::string& errorText);

    Engine& engine_;
    engLevel& level_;
};

} // namespace rdv
