#include "headless/LevelSnapshot.h"

#include <algorithm>

#include "core/Engine.h"
#include "game/BuiltClasses.h"
#include "graphics/Core.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "platform/d3d/D3D8.h"

namespace rdv {

LevelSnapshotView OverviewOf(const engLevel& level) {
    const float sx = 1.5f * static_cast<float>(level.SizeX()), sy = 1.5f * static_cast<float>(level.SizeY()),
                sz = 1.5f * static_cast<float>(level.SizeZ());
    // The world's box runs from -0.75 to size - 0.75 on each axis.
    const D3DXVECTOR3 centre{sx / 2 - 0.75f, sy / 2 - 0.75f, sz / 2 - 0.75f};
    const float span = std::max({sx, sy, sz, 1.5f});
    LevelSnapshotView view;
    view.at = centre;
    view.eye = {centre.x, centre.y - 0.5f * span - sy / 2, centre.z + 0.45f * span};
    return view;
}

void DrawLevelFrame(Engine& engine, engLevel& level, int32_t ms, const LevelSnapshotView& view, bool fromPlayer0) {
    level.viewDirection = view.at - view.eye;
    IDirect3DDevice8* device = engine.gfx ? engine.gfx->Device() : nullptr;
    if (device) {
        D3DXMATRIX matrix;
        D3DXMatrixLookAtLH(&matrix, &view.eye, &view.at, &view.up);
        device->SetTransform(D3DTS_VIEW, &matrix);
    }
    // Game time in whole frames; what they draw is cleared away below.
    for (int32_t left = std::max(ms, 0); left > 0;) {
        int32_t step = std::min(left, 20);
        left -= step;
        level.Tick(step);
    }
    if (fromPlayer0) {
        // One frame lets the level's director place player 0's view; what it
        // draws is cleared away below.
        int32_t zero = 0;
        level.Tick(zero);
        const auto& player = engine.playerViews[0];
        level.viewDirection = player.lookAt - player.eye;
        if (device) device->SetTransform(D3DTS_VIEW, &player.view);
    }
    if (device) {
        const DWORD flags = D3DCLEAR_ZBUFFER | (level.colourClear ? D3DCLEAR_TARGET : 0u);
        device->Clear(0, nullptr, flags, engine.gfx->clearColour, 1.0f, 0);
    }
    int32_t none = 0;
    level.Tick(none);
}

std::unique_ptr<engLevel> DrawLevelSnapshot(Engine& engine, const std::string& name, int32_t ms,
                                            const LevelSnapshotView* view) {
    // Any level, drawn with the game's own classes (or a test's doubles).
    if (!InstallBuiltClasses(engine).tilesLoaded) LoadSystemClasses(engine);
    auto level = std::make_unique<engLevel>(engine);
    level->LoadLevel(name);
    // Without an asked-for view, a level with a director is seen as player 0
    // sees it; one without is seen from above.
    const bool fromPlayer0 = !view && level->FindObject("System.Director") != 0;
    DrawLevelFrame(engine, *level, ms, view ? *view : OverviewOf(*level), fromPlayer0);
    return level;
}

} // namespace rdv
