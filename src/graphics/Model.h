#pragma once
// A model of the model table: loaded from "models" by name, drawn by
// DisplayMesh. The model loaders fill this class in.
#include <string>

namespace rdv {

class Engine;

class gfxModel {
public:
    virtual ~gfxModel() = default;
    // Loads the model file found for `name`; raises engine errors.
    virtual void Load(Engine& engine, const std::string& name) { (void)engine; (void)name; }
    // Releases device resources (device loss) and loads again in place.
    virtual void Release() {}
    int renderMode = 0;   // 0 draws nothing
    std::string name;
};

} // namespace rdv
