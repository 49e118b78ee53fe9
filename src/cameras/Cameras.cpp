#include "cameras/Cameras.h"

#include <charconv>
#include <cmath>

#include "cameras/View.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "input/Input.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

D3DXVECTOR3 Normalised(const D3DXVECTOR3& v) {
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &v);
    return out;
}

D3DXVECTOR3 RotateAbout(const D3DXVECTOR3& v, const D3DXVECTOR3& axis, float angle) {
    if (D3DXVec3LengthSq(&axis) == 0.0f) return v;
    D3DXMATRIX m;
    D3DXMatrixRotationAxis(&m, &axis, angle);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &v, &m);
    return out;
}

// ---------------------------------------------------------------- shared

void CameraBase::WritePos() { engine_.ParsedVector = position; }
void CameraBase::WriteUp() { engine_.ParsedVector = up; }

bool CameraBase::BoolValue(const std::string& value, const std::string& errorText) const {
    bool ok = false;
    const bool v = ParseLevelBool(value, ok);
    if (!ok) RaisePropertyError(ClassName(), errorText + value);
    return v;
}

bool CameraBase::ActiveValue(const std::string& value, const std::string& header) const {
    return BoolValue(value, "Invalid property value for '" + header + ".enabled', must be true/false : ");
}

void CameraBase::AssignPlayer(const std::string& value, const std::string& errorText) {
    if (value == "0") balltolookat = -1;
    else if (value == "1") balltolookat = 0;
    else if (value == "2") balltolookat = 1;
    else RaisePropertyError(ClassName(), errorText + value);
}

std::string CameraBase::PriorityLine() const {
    // Stored as 1 / value; anything at or below 1e-10 gives 1e10.
    if (priority >= 1e10f) return "priority=0";
    const double value = 1.0 / static_cast<double>(priority);
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return "priority=" + (ec == std::errc() ? std::string(buffer, end) : std::string("1"));
}

void CameraBase::AssignPriority(const std::string& value) {
    const double n = Val(value);
    priority = n > 1e-10 ? static_cast<float>(1.0 / n) : 1e10f;
}

D3DXVECTOR3 CameraBase::VectorValue(const std::string& value, bool normalise, const std::string& errorText,
                                    const std::string& source) const {
    if (!ParseVectorValue(engine_, value, normalise)) RaiseError(ErrFormat, source, errorText + value);
    return engine_.ParsedVector;
}

D3DXVECTOR3 CameraBase::AxisValue(const std::string& value, const std::string& errorText) const {
    if (!ParseVector(engine_, value) || AxisName(engine_.ParsedVector).empty())
        RaisePropertyError(ClassName(), errorText + value);
    return engine_.ParsedVector;
}

namespace {

const char* BoolText(bool v) { return v ? "true" : "false"; }

// "player=": "0" any player, else the player number.
std::string PlayerLine(int32_t balltolookat) { return "player=" + std::to_string(balltolookat < 0 ? 0 : balltolookat + 1); }

// The pos key of the point and plane cameras reports from its own step.
std::string PositionSource(const std::string& className) {
    return "Engine->LoadLevel->ReadLevelFile->AssignProperty->" + className + ".Position";
}

float Scaled(const std::string& value) { return static_cast<float>(Val(value)) * kWorldScale; }

bool IsOneOf(const std::string& key, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (key == n) return true;
    return false;
}

// "x", "y", "z": one component of `point`, in grid units; false for any
// other key.
bool AssignGridComponent(const std::string& key, const std::string& value, D3DXVECTOR3& point) {
    if (key == "x") point.x = Scaled(value);
    else if (key == "y") point.y = Scaled(value);
    else if (key == "z") point.z = Scaled(value);
    else return false;
    return true;
}

// The spire and cylinder cameras: "x", "y", "z" place the axis point and
// "vx", "vy", "vz" the camera; false for any other key.
bool AssignAxisPlacement(const std::string& key, const std::string& value, D3DXVECTOR3& axisPoint,
                         D3DXVECTOR3& position) {
    if (AssignGridComponent(key, value, axisPoint)) return true;
    if (key.size() == 2 && key[0] == 'v') return AssignGridComponent(key.substr(1), value, position);
    return false;
}

void WriteGridComponents(LevelWriter& out, const std::string& prefix, const D3DXVECTOR3& point) {
    out.WriteLine(prefix + "x=" + GridValueText(point.x));
    out.WriteLine(prefix + "y=" + GridValueText(point.y));
    out.WriteLine(prefix + "z=" + GridValueText(point.z));
}

bool IsActiveKey(const std::string& key) { return key == "active" || key == "enabled"; }

// Axis words only: the same checks for the spire and rotary cameras.
D3DXVECTOR3 SideFor(const D3DXVECTOR3& axis) {
    D3DXVECTOR3 side{1, 0, 0};
    if (D3DXVec3Dot(&side, &axis) != 0.0f) side = {0, 1, 0};
    return side;
}

} // namespace

// ---------------------------------------------------------------- point

void objPointCamera::AssignVar(const std::string& key, const std::string& value) {
    if (key == "pos") {
        position = VectorValue(value, false, "Invalid property value for 'PointCamera.Position', must be a vector : ",
                               PositionSource(ClassName()));
    } else if (AssignGridComponent(key, value, position)) {
    } else if (key == "up") {
        up = VectorValue(value, true, "Invalid property value for 'PointCamera.up', must be a vector: ",
                         PropertySource(ClassName()));
    } else if (IsOneOf(key, {"d", "dist", "distance"})) {
        farLimit = Scaled(value);
    } else if (IsOneOf(key, {"dmin", "distmin", "distancemin", "mindist"})) {
        nearLimit = Scaled(value);
    } else if (key == "priority") {
        AssignPriority(value);
    } else if (key == "l" || key == "lookdir") {
        coneAxis = VectorValue(value, true, "Invalid property value for 'PointCamera.lookdir', must be a vector : ",
                               PropertySource(ClassName()));
    } else if (key == "lx") {
        coneAxis.x = static_cast<float>(Val(value));
    } else if (key == "ly") {
        coneAxis.y = static_cast<float>(Val(value));
    } else if (key == "lz") {
        coneAxis.z = static_cast<float>(Val(value));
    } else if (IsOneOf(key, {"a", "ang", "angle"})) {
        coneCosine = std::cos(ParseAngle(value));
    } else if (key == "cosang" || key == "cosangle") {
        coneCosine = static_cast<float>(Val(value));
    } else if (IsActiveKey(key)) {
        Active = ActiveValue(value, "PointCamera");
    } else if (key == "f" || key == "follow") {
        bFollow = BoolValue(value, "Invalid property value for 'PointCamera.follow', must be true/false : ");
    } else if (key == "player") {
        AssignPlayer(value, "Invalid property value for 'PointCamera.player', must be 1 or 2 : ");
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objPointCamera::WriteHeader(LevelWriter& out) {
    out.WriteLine("-PointCamera");
    out.WriteLine("pos=" + GridVectorText(position));
    out.WriteLine("up=" + DirectionText(up));
    out.WriteLine("d=" + GridValueText(farLimit));
    out.WriteLine("dmin=" + GridValueText(nearLimit));
    out.WriteLine(PriorityLine());
    // The components as they are: "lookdir" would normalise them.
    out.WriteLine("lx=" + LevelValueText(coneAxis.x));
    out.WriteLine("ly=" + LevelValueText(coneAxis.y));
    out.WriteLine("lz=" + LevelValueText(coneAxis.z));
    out.WriteLine("cosang=" + LevelValueText(coneCosine));
    out.WriteLine(std::string("active=") + BoolText(Active));
    out.WriteLine(std::string("follow=") + BoolText(bFollow));
    out.WriteLine(PlayerLine(balltolookat));
}

void objPointCamera::Tick(int32_t&) { lookDir = coneAxis; }

// The look direction Tick copies from the cone axis (nothing before the
// first tick).
void objPointCamera::WriteRot() { engine_.ParsedVector = lookDir; }

bool objPointCamera::CanSeePoint(float& x, float& y, float& z) {
    const D3DXVECTOR3 d = D3DXVECTOR3(x, y, z) - position;
    const float length = D3DXVec3Length(&d);
    D3DXVec3Normalize(&coneAxis, &coneAxis);
    return nearLimit <= length && length <= farLimit && D3DXVec3Dot(&d, &coneAxis) >= coneCosine * length;
}

// ---------------------------------------------------------------- plane

void objPlaneCamera::AssignVar(const std::string& key, const std::string& value) {
    if (key == "pos") {
        position = VectorValue(value, false, "Invalid property value for 'PlaneCamera.Position', must be a vector : ",
                               PositionSource(ClassName()));
    } else if (AssignGridComponent(key, value, position)) {
    } else if (key == "pvec1") {
        planeVector1 = VectorValue(value, true,
                                   "Invalid property value for 'PlaneCamera.PlaneVector1', must be a vector : ",
                                   PropertySource(ClassName()));
    } else if (key == "pvec2") {
        planeVector2 = VectorValue(value, true,
                                   "Invalid property value for 'PlaneCamera.PlaneVector2', must be a vector : ",
                                   PropertySource(ClassName()));
    } else if (key == "up") {
        up = VectorValue(value, true, "Invalid property value for 'PlaneCamera.up', must be a vector: ",
                         PropertySource(ClassName()));
    } else if (key == "priority") {
        AssignPriority(value);
    } else if (IsActiveKey(key)) {
        Active = ActiveValue(value, "PlaneCamera");
    } else if (key == "player") {
        AssignPlayer(value, "Invalid property value for 'PlaneCamera.player', must be 1 or 2 : ");
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    startPosition = position;
    prepared_ = false;
}

void objPlaneCamera::WriteHeader(LevelWriter& out) {
    out.WriteLine("-PlaneCamera");
    out.WriteLine("pos=" + GridVectorText(startPosition));
    out.WriteLine("pvec1=" + DirectionText(planeVector1));
    out.WriteLine("pvec2=" + DirectionText(planeVector2));
    out.WriteLine("up=" + DirectionText(up));
    out.WriteLine(PriorityLine());
    out.WriteLine(std::string("active=") + BoolText(Active));
    out.WriteLine(PlayerLine(balltolookat));
}

void objPlaneCamera::Prepare() {
    if (prepared_) return;
    prepared_ = true;
    D3DXVec3Cross(&lookDir, &planeVector1, &planeVector2);
    offset = position - (planeVector1 * D3DXVec3Dot(&planeVector1, &position) +
                         planeVector2 * D3DXVec3Dot(&planeVector2, &position));
}

void objPlaneCamera::Tick(int32_t&) { Prepare(); }

void objPlaneCamera::WriteRot() {
    Prepare();
    engine_.ParsedVector = lookDir;
}

void objPlaneCamera::Reposition(float& x, float& y, float& z) {
    Prepare();
    const D3DXVECTOR3 p(x, y, z);
    position = planeVector1 * D3DXVec3Dot(&planeVector1, &p) + planeVector2 * D3DXVec3Dot(&planeVector2, &p) + offset;
}

// ---------------------------------------------------------------- spire

objSpireCamera::objSpireCamera(Engine& engine) : CameraBase(engine) { ResetSide(); }

void objSpireCamera::ResetSide() {
    side = SideFor(up);
    position = side;
}

void objSpireCamera::AssignVar(const std::string& key, const std::string& value) {
    if (AssignAxisPlacement(key, value, axisPoint, position)) {
    } else if (key == "up") {
        up = AxisValue(value, "Invalid property value for 'SpireCamera.up', must be (-)x/y/z : ");
        ResetSide();
    } else if (IsOneOf(key, {"d", "dist", "distance"})) {
        radius = static_cast<float>(Val(value));
    } else if (key == "r" || key == "relative") {
        relative = BoolValue(value, "Invalid property value for 'SpireCamera.relative', must be true/false : ");
    } else if (IsActiveKey(key)) {
        Active = ActiveValue(value, "SpireCamera");
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    startPosition = position;
}

void objSpireCamera::WriteHeader(LevelWriter& out) {
    out.WriteLine("-SpireCamera");
    // First: "up" puts the camera position back to the side vector.
    out.WriteLine("up=" + AxisName(up));
    WriteGridComponents(out, "", axisPoint);
    WriteGridComponents(out, "v", startPosition);
    out.WriteLine("d=" + LevelValueText(radius));
    out.WriteLine(std::string("relative=") + BoolText(relative));
    out.WriteLine(std::string("active=") + BoolText(Active));
}

void objSpireCamera::Reposition(float& x, float& y, float& z) {
    const D3DXVECTOR3 p(x, y, z);
    const D3DXVECTOR3 v = p - axisPoint;
    const D3DXVECTOR3 along = MaskVectorNonZero(v, up);
    D3DXVECTOR3 across = MaskVectorZero(v, up);
    if (D3DXVec3LengthSq(&across) == 0.0f) across = side;
    side = Normalised(across);
    // Relative: the ball's own components across the axis; along the axis
    // only `along` (the ball's height above the axis point) counts.
    const D3DXVECTOR3 base = relative ? MaskVectorZero(p, up) : axisPoint;
    position = base + side * radius + along;
}

bool objSpireCamera::CanSeePoint(float& x, float& y, float& z) {
    if (relative) return true;
    const D3DXVECTOR3 across = MaskVectorZero(axisPoint - D3DXVECTOR3(x, y, z), up);
    return D3DXVec3LengthSq(&across) < radius * radius;
}

// ---------------------------------------------------------------- cylinder

objGravityCamera::objGravityCamera(Engine& engine) : CameraBase(engine) {}

void objGravityCamera::AssignVar(const std::string& key, const std::string& value) {
    if (AssignAxisPlacement(key, value, origin, position)) {
    } else if (key == "up") {
        axis = AxisValue(value, "Invalid property value for 'CylinderCameraCamera.up', must be (-)x/y/z : ");
    } else if (key == "axis") {
        axis = VectorValue(value, true, "Invalid property value for 'CylinderCameraCamera.axis', must be a vector ",
                           PropertySource(ClassName()));
    } else if (IsOneOf(key, {"dist", "distance", "retraction"})) {
        distance = static_cast<float>(Val(value));
    } else if (key == "height" || key == "extends") {
        height = static_cast<float>(Val(value));
    } else if (IsOneOf(key, {"heightrelative", "hrelative", "hrel"})) {
        heightRelative = BoolValue(value, "Invalid property value for 'CylinderCamera.hrelative', must be true/false : ");
    } else if (IsOneOf(key, {"axisrelative", "arelative", "arel"})) {
        distanceRelative =
            BoolValue(value, "Invalid property value for 'CylinderCamera.arelative', must be true/false : ");
    } else if (IsActiveKey(key)) {
        Active = ActiveValue(value, "CylinderCamera");
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    startPosition = position;
    prepared_ = false;
}

void objGravityCamera::WriteHeader(LevelWriter& out) {
    out.WriteLine("-CylinderCamera");
    WriteGridComponents(out, "", origin);
    WriteGridComponents(out, "v", startPosition);
    out.WriteLine("axis=" + DirectionText(axis));
    out.WriteLine("dist=" + LevelValueText(distance));
    out.WriteLine("height=" + LevelValueText(height));
    out.WriteLine(std::string("hrel=") + BoolText(heightRelative));
    out.WriteLine(std::string("arel=") + BoolText(distanceRelative));
    out.WriteLine(std::string("active=") + BoolText(Active));
}

void objGravityCamera::Prepare() {
    if (prepared_) return;
    prepared_ = true;
    axis = Normalised(axis);
    // A zero axis ("0,0,0" in the file) would leave no frame to invert.
    if (D3DXVec3LengthSq(&axis) == 0.0f) axis = {1, 0, 0};
    const D3DXVECTOR3 ex{1, 0, 0}, ey{0, 1, 0};
    D3DXVECTOR3 u;
    D3DXVec3Cross(&u, &axis, &ex);
    if (D3DXVec3LengthSq(&u) == 0.0f) D3DXVec3Cross(&u, &axis, &ey);
    u = Normalised(u);
    D3DXVECTOR3 v;
    D3DXVec3Cross(&v, &u, &axis);
    v = Normalised(v);
    D3DXMatrixIdentity(&toWorld_);
    const D3DXVECTOR3 rows[4] = {u, v, axis, origin};
    for (int r = 0; r < 4; ++r) {
        toWorld_.m[r][0] = rows[r].x;
        toWorld_.m[r][1] = rows[r].y;
        toWorld_.m[r][2] = rows[r].z;
    }
    D3DXMatrixInverse(&toLocal_, nullptr, &toWorld_);
}

void objGravityCamera::Tick(int32_t&) { Prepare(); }

void objGravityCamera::WriteUp() { engine_.ParsedVector = radial; }

void objGravityCamera::Reposition(float& x, float& y, float& z) {
    Prepare();
    const D3DXVECTOR3 p(x, y, z);
    D3DXVECTOR3 q;
    D3DXVec3TransformCoord(&q, &p, &toLocal_);
    q.x = 0;
    q.y = 0;
    D3DXVECTOR3 shifted = p;
    if (heightRelative) {
        q.z += height;
        shifted = p + axis * height;
    } else {
        q.z = height;
    }
    D3DXVECTOR3 c;
    D3DXVec3TransformCoord(&c, &q, &toWorld_);
    const D3DXVECTOR3 d = shifted - c;
    radial = Normalised(d);
    const float r = distanceRelative ? distance + D3DXVec3Length(&d) : distance;
    position = c + radial * r;
}

// ---------------------------------------------------------------- rotary

objRotaryCamera::objRotaryCamera(Engine& engine) : engine_(engine) { ApplyView(); }

void objRotaryCamera::AssignVar(const std::string& key, const std::string& value) {
    if (AssignGridComponent(key, value, centre)) {
    } else if (key == "up") {
        if (!ParseVector(engine_, value) || AxisName(engine_.ParsedVector).empty())
            RaisePropertyError(ClassName(), "Invalid property value for 'RotaryCamera.up', must be (-)x/y/z : " + value);
        axis = engine_.ParsedVector;
        side = SideFor(axis);
    } else if (IsOneOf(key, {"d", "dist", "distance"})) {
        distance = static_cast<float>(Val(value));
    } else if (IsActiveKey(key)) {
        bool ok = false;
        const bool v = ParseLevelBool(value, ok);
        if (!ok)
            RaisePropertyError(ClassName(),
                               "Invalid property value for 'RotaryCamera.enabled', must be true/false : " + value);
        enabled = v;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objRotaryCamera::WriteHeader(LevelWriter& out) {
    out.WriteLine("-RotaryCamera");
    WriteGridComponents(out, "", centre);
    out.WriteLine("up=" + AxisName(axis));
    out.WriteLine("d=" + LevelValueText(distance));
    out.WriteLine(std::string("active=") + BoolText(enabled));
}

void objRotaryCamera::ApplyView() { SetPlayerView(engine_, centre + side * distance, centre, axis, 0); }

void objRotaryCamera::Tick(int32_t& elapsed) {
    const ControlRecord c = GetControls(engine_, 1);
    const int s = (c.ButtonB ? 1 : 0) + (c.ButtonC ? -1 : 0);
    if (s != 0) side = RotateAbout(side, axis, 0.0015f * static_cast<float>(s) * static_cast<float>(elapsed));
    if (enabled) ApplyView();
}

void objRotaryCamera::WritePos() { engine_.ParsedVector = side; }

} // namespace rdv
