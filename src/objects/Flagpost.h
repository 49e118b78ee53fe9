#pragma once
// A flag post: the goal of one player's ball. When that ball stands in the
// flag's cell the level is won.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

class objFlagpost : public LevelObject {
public:
    objFlagpost(Engine& engine, engLevel& level);

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Objects.Flagpost"; }
    void WritePos() override;
    void WriteTile() override;

    int32_t modelIndex = 0;
    D3DXVECTOR3 cell{0, 0, 0};
    D3DXVECTOR3 drawPosition{0, 0, 0};
    D3DXVECTOR3 angles{0, 0, 0};
    D3DXVECTOR3 upAxis{0, 0, 1};
    int32_t player = 0;
    int32_t ballIndex = -1;
    std::string upText = "z";

protected:
    std::string HeaderName() const override { return "Flagpost"; }
    std::string ClassName() const override { return "objFlagpost"; }

private:
    Engine& engine_;
    engLevel& level_;
};

// The level object number of player `player`'s ball (0 when there is none):
// the first object named "System.Objects.Player..." serving that player.
int32_t FindPlayerBall(engLevel& level, int32_t player);

} // namespace rdv
