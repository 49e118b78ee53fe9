#pragma once
// A shader of the shader table: a vertex, pixel or texel shader script from
// "shaders". The shader code fills this class in.
#include <string>

namespace rdv {

class Engine;

class gfxShaderObj {
public:
    virtual ~gfxShaderObj() = default;
    virtual void Load(Engine& engine, const std::string& name) { (void)engine; (void)name; }
    virtual void Release() {}
    std::string name;
};

} // namespace rdv
