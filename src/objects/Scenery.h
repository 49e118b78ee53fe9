#pragma once
// Scenery: a model placed in the level. The sky box (Skybox.cpp): a slowly
// turning model drawn around the current player's eye, behind everything.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;

class objScenery : public LevelObject {
public:
    explicit objScenery(Engine& engine) : engine_(engine) {}
    ~objScenery() override;
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Objects.Scenery"; }
    void WritePos() override;

    D3DXVECTOR3 angles{0, 0, 0};
    float scale = 1.0f;
    D3DXVECTOR3 position{0, 0, 0};
    int32_t renderIndex = 1;
    int32_t modelIndex = 0;
    std::string modelName;   // as the level named it

protected:
    std::string HeaderName() const override { return "Scenery"; }
    std::string ClassName() const override { return "objScenery"; }

private:
    Engine& engine_;
};

class objSkyBox : public LevelObject {
public:
    explicit objSkyBox(Engine& engine) : engine_(engine) {}
    ~objSkyBox() override;
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Objects.Scenery.Skybox"; }
    void WritePos() override;

    int32_t modelIndex = 0;
    D3DXVECTOR3 angles{0, 0, 0};
    D3DXVECTOR3 speed{0, 0, 0};   // radians per ms
    D3DXVECTOR3 startAngles{0, 0, 0};  // as the level gave them; `angles` turn
    std::string modelName;

protected:
    std::string HeaderName() const override { return "Scenery"; }
    std::string ClassName() const override { return "objSkyBox"; }

private:
    Engine& engine_;
};

// Loads a scenery model once; a second one raises the class's error.
int32_t LoadSceneryModel(Engine& engine, int32_t current, const std::string& className, const std::string& name);

} // namespace rdv
