#pragma once
// One still picture of a level, for rondovar-snapshot and the image tests:
// the level is read (with the shared static tiles), advanced a number of
// milliseconds of game time with no input, and drawn once.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

struct LevelSnapshotView {
    D3DXVECTOR3 eye, at, up{0, 0, 1};
};

// A view of the whole world from the front (-y side) and above.
LevelSnapshotView OverviewOf(const engLevel& level);

// Runs `level` `ms` ms in frames of at most 20 ms, clears the picture and
// draws one more frame (elapsed 0) from `view`, or from player 0's view as
// the level's objects left it when `fromPlayer0`. The device's frame must
// already be begun (ModelSnapshot::Begin); the caller ends it.
void DrawLevelFrame(Engine& engine, engLevel& level, int32_t ms, const LevelSnapshotView& view,
                    bool fromPlayer0 = false);

// Loads level `name` from "maps", runs it `ms` ms in frames of at most 20 ms,
// clears the picture and draws one more frame (elapsed 0) from `view`, or
// when none is given from player 0's view if the level has a director (its
// first frame places the view), else from OverviewOf. The device's frame must already be
// begun (ModelSnapshot::Begin); the caller ends it. Returns the level so the
// caller may look at it; load errors are raised as engine errors.
std::unique_ptr<engLevel> DrawLevelSnapshot(Engine& engine, const std::string& name, int32_t ms,
                                            const LevelSnapshotView* view);

} // namespace rdv
