#pragma once
// A move chain: faces painted with the chain's number travel one step at a
// time along a closed path of cells written as a one-line script. The
// chain moves faces only; whatever stands on them is not carried.
#include <vector>

#include "tiles/ScriptedTile.h"

namespace rdv {

struct MoveChainStep {
    int32_t x = 0, y = 0, z = 0;
    int32_t px = 0, py = 0, pz = 0;   // the step before (step 1: the last)
    int32_t nx = 0, ny = 0, nz = 0;   // the step after
    int16_t previousMode = 1;
    int16_t mode = 1;                 // 1 "c" shrink and grow, 2 "m" slide
};

class scrMovechain : public scrMovingTile {
public:
    scrMovechain(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    std::string GetFullClassName() const override { return "System.Tiles.Special.Moverchain"; }
    void SecondaryInit() override;

    // One step of every occupied face along the path.
    void Advance();
    // Where and how big the face of cell (x, y, z) is drawn now.
    void DrawnCell(int32_t x, int32_t y, int32_t z, D3DXVECTOR3& cell, float& scale) const;

    std::string script = "i";
    std::vector<MoveChainStep> steps{MoveChainStep{}};  // steps[0] is step 1
    int32_t cursor = 0;  // the backward walk's place, kept between advances

protected:
    std::string HeaderName() const override { return "MoveChain"; }
    std::string ClassName() const override { return "scrMoveChain"; }
};

} // namespace rdv
