#include "cameras/View.h"
#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "objects/Scenery.h"
#include "packages/Parse.h"
#include "platform/d3d/D3D8.h"

namespace rdv {

namespace {
constexpr float kFullTurn = 6.28318f;
}

objSkyBox::~objSkyBox() {
    if (modelIndex != 0 && engine_.gfx) Graphics(engine_).ReleaseModel(modelIndex);
}

void objSkyBox::AssignVar(const std::string& key, const std::string& value) {
    const float v = static_cast<float>(Val(value));
    if (key == "rx") startAngles.x = angles.x = v;
    else if (key == "ry") startAngles.y = angles.y = v;
    else if (key == "rz") startAngles.z = angles.z = v;
    else if (key == "tx") speed.x = v;
    else if (key == "ty") speed.y = v;
    else if (key == "tz") speed.z = v;
    else if (key == "model") {
        modelIndex = LoadSceneryModel(engine_, modelIndex, ClassName(), value);
        modelName = value;
    }
    else RaiseInvalidProperty(ClassName(), HeaderName(), key);
}

void objSkyBox::Tick(int32_t& elapsed) {
    angles += speed * static_cast<float>(elapsed);
    for (float* a : {&angles.x, &angles.y, &angles.z})
        if (*a > kFullTurn) *a -= kFullTurn;
    if (modelIndex == 0) return;
    gfxCore& gfx = Graphics(engine_);
    gfxModel* model = gfx.Model(modelIndex);
    IDirect3DDevice8* device = gfx.Device();
    if (!model || !device) return;
    const D3DXVECTOR3 eye = CurrentPlayerEye(engine_);
    // Drawn without depth writes, so the level in front of it always wins.
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    model->DisplayMesh(engine_, 1, 0, eye.x, eye.y, eye.z, angles.x, angles.y, angles.z, 1, 1, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
}

void objSkyBox::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Skybox");
    if (!modelName.empty()) out.WriteLine("model=" + modelName);
    out.WriteLine("rx=" + LevelValueText(startAngles.x));
    out.WriteLine("ry=" + LevelValueText(startAngles.y));
    out.WriteLine("rz=" + LevelValueText(startAngles.z));
    out.WriteLine("tx=" + LevelValueText(speed.x));
    out.WriteLine("ty=" + LevelValueText(speed.y));
    out.WriteLine("tz=" + LevelValueText(speed.z));
}

void objSkyBox::WritePos() { engine_.ParsedVector = CurrentPlayerEye(engine_); }

} // namespace rdv
