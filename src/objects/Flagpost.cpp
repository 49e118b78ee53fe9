#include "objects/Flagpost.h"

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "objects/Ball.h"
#include "packages/Parse.h"

namespace rdv {

int32_t FindPlayerBall(engLevel& level, int32_t player) {
    return level.FindObject("System.Objects.Player", [player](LevelObject& o) {
        IBall* b = o.AsBall();
        return b && b->player == player;
    });
}

objFlagpost::objFlagpost(Engine& engine, engLevel& level) : engine_(engine), level_(level) {
    modelIndex = Graphics(engine).GetModel("flagpost");
}

void objFlagpost::AssignVar(const std::string& key, const std::string& value) {
    if (key == "x") {
        cell.x = static_cast<float>(Val(value)) * kWorldScale;
    } else if (key == "y") {
        cell.y = static_cast<float>(Val(value)) * kWorldScale;
    } else if (key == "z") {
        cell.z = static_cast<float>(Val(value)) * kWorldScale;
    } else if (key == "up") {
        struct Pose { const char* word; D3DXVECTOR3 axis, angles; };
        static constexpr Pose kPoses[] = {
            {"z", {0, 0, 1}, {0, 0, 0}},   {"-z", {0, 0, -1}, {0, 0, 3.14159f}},
            {"x", {1, 0, 0}, {1.570795f, 0, 0}}, {"-x", {-1, 0, 0}, {-1.570795f, 0, 0}},
            {"y", {0, 1, 0}, {0, -1.570795f, 0}}, {"-y", {0, -1, 0}, {0, 1.570795f, 0}},
        };
        bool found = false;
        for (const auto& p : kPoses) {
            if (value == p.word) {
                upAxis = p.axis;
                angles = p.angles;
                upText = value;
                found = true;
            }
        }
        if (!found) RaisePropertyError(ClassName(), "Invalid property value for 'Flagpost.up', must be (-)x/y/z : " + value);
    } else if (key == "player") {
        player = ValIndex(value);
        ballIndex = -1;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    drawPosition = cell;
}

void objFlagpost::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Flagpost");
    out.WriteLine("x=" + LevelNumberText(cell.x / kWorldScale));
    out.WriteLine("y=" + LevelNumberText(cell.y / kWorldScale));
    out.WriteLine("z=" + LevelNumberText(cell.z / kWorldScale));
    out.WriteLine("player=" + std::to_string(player + 1));
    out.WriteLine("up=" + AxisName(upAxis));
}

void objFlagpost::Tick(int32_t&) {
    if (gfxModel* model = Graphics(engine_).Model(modelIndex))
        model->DisplayMesh(engine_, 1, 0, drawPosition.x, drawPosition.y, drawPosition.z, angles.x, angles.y, angles.z,
                           1, 1, 1);
    if (ballIndex == -1) {
        const int32_t found = FindPlayerBall(level_, player);
        if (found > 0) ballIndex = found;
    }
    if (ballIndex < 1) return;
    LevelObject* ball = level_.MapObject(ballIndex);
    if (!ball || !ball->AsBall()) {
        ballIndex = -1;   // the ball went away: look again next tick
        return;
    }
    ball->WriteTile();
    if (VectorEquals(engine_.ParsedVector, cell)) level_.Endlevel(1);
}

void objFlagpost::WritePos() { engine_.ParsedVector = drawPosition; }
void objFlagpost::WriteTile() { engine_.ParsedVector = cell; }

} // namespace rdv
