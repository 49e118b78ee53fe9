#pragma once
// The level's cameras. Four kinds serve the director: for a ball position
// each proposes where to stand (Reposition, WritePos), where to look
// (WriteRot, or at the ball when bFollow) and which way is up (WriteUp), and
// tells whether it sees the ball (CanSeePoint). The rotary camera sets
// player 1's view itself and answers none of the director's questions.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

// What the four director cameras share: the typed face and ParsedVector output.
class CameraBase : public LevelObject, public ICamera {
public:
    explicit CameraBase(Engine& engine) : engine_(engine) {}
    ICamera* AsCamera() override { return this; }
    void WritePos() override;
    void WriteUp() override;

    D3DXVECTOR3 position{0, 0, 0};
    D3DXVECTOR3 up{0, 0, 1};
    // The position the level file gave; cameras that follow the ball move
    // `position`, a saved level keeps this one.
    D3DXVECTOR3 startPosition{0, 0, 0};

protected:
    // "priority=" with the level value that gives `priority` back.
    std::string PriorityLine() const;
    // Reads the Boolean or raises the class's own error text + value.
    bool BoolValue(const std::string& value, const std::string& errorText) const;
    // "active" / "enabled": the Boolean or the "<header>.enabled" error.
    bool ActiveValue(const std::string& value, const std::string& header) const;
    // "player": "0" any, "1" first, "2" second.
    void AssignPlayer(const std::string& value, const std::string& errorText);
    // "priority": a larger level value is preferred.
    void AssignPriority(const std::string& value);
    // A vector value or the error text + value, raised from `source`.
    D3DXVECTOR3 VectorValue(const std::string& value, bool normalise, const std::string& errorText,
                            const std::string& source) const;
    // An axis word ("x" ... "-z") or the error text + value.
    D3DXVECTOR3 AxisValue(const std::string& value, const std::string& errorText) const;

    Engine& engine_;
};

class objPointCamera : public CameraBase {
public:
    explicit objPointCamera(Engine& engine) : CameraBase(engine) {}
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Camera.PointCamera"; }
    void WriteRot() override;
    bool CanSeePoint(float& x, float& y, float& z) override;

    float farLimit = 15.0f;
    float nearLimit = 2.5f;
    D3DXVECTOR3 coneAxis{0, 0, 0};
    float coneCosine = -1.0f;   // every direction
    D3DXVECTOR3 lookDir{0, 0, 0};

protected:
    std::string HeaderName() const override { return "objPointCamera"; }
    std::string ClassName() const override { return "objPointCamera"; }
};

class objPlaneCamera : public CameraBase {
public:
    explicit objPlaneCamera(Engine& engine) : CameraBase(engine) {}
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Camera.PlaneCamera"; }
    void WriteRot() override;
    void Reposition(float& x, float& y, float& z) override;
    bool CanSeePoint(float&, float&, float&) override { return true; }

    // Only what the level gives: without them the camera stays where it is.
    D3DXVECTOR3 planeVector1{0, 0, 0};
    D3DXVECTOR3 planeVector2{0, 0, 0};
    D3DXVECTOR3 lookDir{0, 0, 0};
    D3DXVECTOR3 offset{0, 0, 0};

protected:
    std::string HeaderName() const override { return "objPlaneCamera"; }
    std::string ClassName() const override { return "objPlaneCamera"; }

private:
    // Look direction and offset from the plane, once; the director may ask
    // before the camera's own first tick.
    void Prepare();
    bool prepared_ = false;
};

class objSpireCamera : public CameraBase {
public:
    explicit objSpireCamera(Engine& engine);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    std::string GetFullClassName() const override { return "System.Camera.Rotary.Spire"; }
    void Reposition(float& x, float& y, float& z) override;
    bool CanSeePoint(float& x, float& y, float& z) override;

    D3DXVECTOR3 axisPoint{1, 0, 0};
    D3DXVECTOR3 side{1, 0, 0};
    float radius = 5.0f;
    bool relative = true;

protected:
    std::string HeaderName() const override { return "SpireCamera"; }
    std::string ClassName() const override { return "objSpireCamera"; }

private:
    void ResetSide();
};

class objGravityCamera : public CameraBase {
public:
    explicit objGravityCamera(Engine& engine);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Camera.Rotary.Gravity"; }
    void WriteUp() override;
    void Reposition(float& x, float& y, float& z) override;
    bool CanSeePoint(float&, float&, float&) override { return true; }

    D3DXVECTOR3 origin{1, 1, 1};
    D3DXVECTOR3 axis{1, 0, 0};
    float distance = 1.5f;
    float height = -3.0f;
    bool heightRelative = true;
    bool distanceRelative = true;
    D3DXVECTOR3 radial{0, 0, 0};  // unset until the first Reposition

protected:
    std::string HeaderName() const override { return "CylinderCamera"; }
    std::string ClassName() const override { return "objGravityCamera"; }

private:
    // The frame of the cylinder, once; also on the first Reposition.
    void Prepare();
    bool prepared_ = false;
    D3DXMATRIX toWorld_{};
    D3DXMATRIX toLocal_{};
};

// Orbits its centre, turned by the second player's camera buttons, and sets
// the first player's view. Not a director camera: AsCamera is null.
class objRotaryCamera : public LevelObject {
public:
    explicit objRotaryCamera(Engine& engine);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Camera.Rotary.Point"; }
    void WritePos() override;

    D3DXVECTOR3 centre{0, 0, 0};
    D3DXVECTOR3 axis{0, 0, 1};
    D3DXVECTOR3 side{1, 0, 0};
    float distance = 5.0f;
    bool enabled = true;

protected:
    std::string HeaderName() const override { return "objRotaryCamera"; }
    std::string ClassName() const override { return "objRotaryCamera"; }

private:
    void ApplyView();
    Engine& engine_;
};

// v turned about `axis` by `angle` radians (left-handed, as D3DX turns).
D3DXVECTOR3 RotateAbout(const D3DXVECTOR3& v, const D3DXVECTOR3& axis, float angle);
D3DXVECTOR3 Normalised(const D3DXVECTOR3& v);

} // namespace rdv
