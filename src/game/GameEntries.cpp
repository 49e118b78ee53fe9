#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"
#include "level/Object.h"
#include "level/Registry.h"
#include "platform/Clock.h"

namespace rdv {

void DrawLoadingScreen(Engine& engine) {
    engGame& game = Game(engine);
    BeginFrame(engine);
    if (IDirect3DDevice8* dev = engine.gfx ? engine.gfx->Device() : nullptr) {
        dev->SetTransform(D3DTS_VIEW, &game.menuView);
        dev->SetRenderState(D3DRS_ZENABLE, 0);
        dev->SetRenderState(D3DRS_FOGENABLE, 0);
    }
    if (gfxModel* loader = engine.gfx ? engine.gfx->Model(game.loaderModel) : nullptr)
        loader->DisplayMesh(engine, 0, 0, 2.0f, 0, 0, 0, 0, 0, 1, 1, 1);
    if (engine.languageStrings.size() > 1) {
        DrawText(engine, 0, -2.0f, engine.languageStrings[1], 0.5f, 0);
        DrawText(engine, 0, -2.5f, game.currentLevelName, 0.5f, 0);
    }
    Display(engine);
}

void Loader(Engine& engine) {
    engGame& game = Game(engine);
    game.loaderModel = Graphics(engine).GetModel("loader");
    DrawLoadingScreen(engine);
}

void GameStart(Engine& engine) {
    try {
        engGame& game = Game(engine);
        engine.CurrentSubtitle.clear();
        engine.log("Loading first level...", 2);
        game.fontModel = Graphics(engine).GetModel("font");
        game.campaign = std::make_unique<engCampaign>(engine);
        engCampaign& campaign = *game.campaign;
        campaign.loadLevel = [&game](const std::string& name) { game.ReplaceLevel(name); };
        campaign.endLevel = [&game](int32_t status) {
            if (game.level) game.level->Endlevel(status);
        };
        campaign.resetBalls = [&game] {
            engLevel* level = game.level.get();
            if (!level) return;
            for (int32_t i = 1; i <= level->MapObjects(); ++i) {
                if (level->MapObjectName(i).find("System.Objects.Player.Ball") == std::string::npos) continue;
                if (LevelObject* object = level->MapObject(i))
                    if (IBall* ball = object->AsBall()) ball->ResetBall();
            }
        };
        const std::string start = engine.flags.startFile;
        game.currentLevelName = start.empty() ? (engine.languageStrings.size() > 2 ? engine.languageStrings[2] : "")
                                              : start;
        DrawLoadingScreen(engine);
        game.ReplaceLevel(start.empty() ? "entry" : start);

        engine.log("Loading System Classes", 2);
        LoadSystemClasses(engine);
        if (engine.flags.editor) {
            engine.log("Loading Editor Interface", 2);
            game.level->EnterEditor();
            campaign.BootEditor();
        }
        engine.log("Loading Menu...", 2);
        game.menuModel = Graphics(engine).GetModel("menu");
        game.mouseModel = Graphics(engine).GetModel("gmouse");
        game.arrowModel = Graphics(engine).GetModel("rarrow");
        const uint32_t now = engine.platform.clock ? engine.platform.clock->GetTickCount() : 0;
        game.lastTickTime = game.frameEndTime = now;
        game.SetupViewports();
    } catch (const EngineError& e) {
        RethrowWithSource(e, "Init->LoadGame");
    }
}

void GameFrame(Engine& engine) { Game(engine).Frame(); }

void GameShutdown(Engine& engine) {
    UnloadSystemClasses(engine);
    if (engine.game) {
        engGame& game = *engine.game;
        if (engine.gfx) {
            for (int32_t m : {game.fontModel, game.menuModel, game.mouseModel, game.arrowModel})
                engine.gfx->ReleaseModel(m);
        }
        game.level.reset();
        game.campaign.reset();
    }
}

} // namespace rdv
