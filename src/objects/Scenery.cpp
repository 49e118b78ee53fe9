#include "objects/Scenery.h"

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

int32_t LoadSceneryModel(Engine& engine, int32_t current, const std::string& className, const std::string& name) {
    if (current != 0) RaisePropertyError(className, "Couldn't load model: already loaded one");
    return Graphics(engine).GetModel(name);
}

objScenery::~objScenery() {
    if (modelIndex != 0 && engine_.gfx) Graphics(engine_).ReleaseModel(modelIndex);
}

void objScenery::AssignVar(const std::string& key, const std::string& value) {
    const float v = static_cast<float>(Val(value));
    if (key == "x") position.x = v * kWorldScale;
    else if (key == "y") position.y = v * kWorldScale;
    else if (key == "z") position.z = v * kWorldScale;
    else if (key == "rx") angles.x = v;
    else if (key == "ry") angles.y = v;
    else if (key == "rz") angles.z = v;
    else if (key == "scale") scale = v;
    else if (key == "index") renderIndex = ValLong(value);
    else if (key == "model") {
        modelIndex = LoadSceneryModel(engine_, modelIndex, ClassName(), value);
        modelName = value;
    }
    else RaiseInvalidProperty(ClassName(), HeaderName(), key);
}

void objScenery::Tick(int32_t&) {
    if (modelIndex == 0) return;
    if (gfxModel* model = Graphics(engine_).Model(modelIndex))
        model->DisplayMesh(engine_, renderIndex, 0, position.x, position.y, position.z, angles.x, angles.y, angles.z,
                           scale, scale, scale);
}

void objScenery::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Scenery");
    if (!modelName.empty()) out.WriteLine("model=" + modelName);
    out.WriteLine("x=" + GridValueText(position.x));
    out.WriteLine("y=" + GridValueText(position.y));
    out.WriteLine("z=" + GridValueText(position.z));
    out.WriteLine("rx=" + LevelValueText(angles.x));
    out.WriteLine("ry=" + LevelValueText(angles.y));
    out.WriteLine("rz=" + LevelValueText(angles.z));
    out.WriteLine("scale=" + LevelValueText(scale));
    out.WriteLine("index=" + std::to_string(renderIndex));
}

void objScenery::WritePos() { engine_.ParsedVector = position; }

} // namespace rdv
