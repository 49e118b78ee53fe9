#pragma once
// Three tiles that answer the ball's contact: the drop floor sinks one cell
// after the ball lands on it, the launch floor throws the ball up once when
// it lands from the right side, the special breakable wall withstands a set
// number of contacts and then breaks.
#include "tiles/ScriptedTile.h"

namespace rdv {

class scrDropFloor : public scrModelTile {
public:
    scrDropFloor(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    std::string GetFullClassName() const override { return "System.Tiles.Special.Dropfloor"; }
    void SecondaryInit() override;

    // Moves every floor face of the tile one plane along the contact's z.
    void Drop();

    int32_t timer = 0;
    int32_t state = 0;   // 3 2 1 0 after a landing, 7 6 5 4 when armed to fall first
    bool fallFirst = false;  // as the level gave it; `state` runs on
    D3DXVECTOR3 contact{0, 0, 0};
    float fraction = 0;

protected:
    std::string HeaderName() const override { return "DropFloor"; }
    std::string ClassName() const override { return "scrDropFloor"; }
};

class scrLaunchfloor : public scrModelTile {
public:
    scrLaunchfloor(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    int16_t MaxBounceHeight() override { return static_cast<int16_t>(state == 1 ? jumpHeight : 3); }
    std::string GetFullClassName() const override { return "System.Tiles.Special.Launchfloor"; }
    void SecondaryInit() override;

    static constexpr int32_t kLaunchTime = 532;

    int32_t timer = 0;
    int32_t state = 0;   // 1 while launching
    D3DXVECTOR3 contact{0, 0, 0};
    D3DXVECTOR3 launchDir{0, 0, -1};  // the contact direction that launches
    float fraction = 0;

protected:
    std::string HeaderName() const override { return "LaunchFloor"; }
    std::string ClassName() const override { return "scrLaunchfloor"; }
};

class scrBreakWall : public scrScriptedTile {
public:
    scrBreakWall(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    int16_t MaxBounceHeight() override { return 3; }
    std::string GetFullClassName() const override { return "System.Tiles.BreakWall"; }

    int32_t modelIndex = 0;
    int16_t count = 0;
    int16_t startCount = 0;  // as the level gave it; contacts count `count` down

protected:
    std::string HeaderName() const override { return "BreakWallSpecial"; }
    std::string ClassName() const override { return "scrBreakWall"; }
};

} // namespace rdv
