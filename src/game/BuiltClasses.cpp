// The game's table of level classes. It lives at the top of the world
// because only the game knows every class; the level library knows none of
// them and is handed a filled registry.
#include "game/BuiltClasses.h"

#include <memory>

#include "core/Engine.h"
#include "level/Registry.h"

#include "cameras/Cameras.h"
#include "cameras/Director.h"
#include "editor/Editor.h"
#include "objects/Ball.h"
#include "objects/Controllers.h"
#include "objects/Flagpost.h"
#include "objects/Music.h"
#include "objects/Scenery.h"
#include "objects/Subtitle.h"
#include "tiles/DropFloor.h"
#include "tiles/GravityPad.h"
#include "tiles/MoveChain.h"
#include "tiles/SliderFloor.h"
#include "tiles/StaticTiles.h"

namespace rdv {

// One line per level class, added by the module that builds it, e.g.
//   registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
// Names not registered here raise "Invalid object" when a level uses them.
void RegisterBuiltClasses(engRegistry& registry) {
    registry.tileFactory = [](Engine& e, int32_t code) { return MakeStaticTile(e, code); };
    registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
    registry.Register("System.Keyhandler", [](Engine& e, engLevel&) { return std::make_unique<objKeyhandler>(e); });
    registry.Register("System.CutsceneController",
                      [](Engine&, engLevel&) { return std::make_unique<objCutsceneController>(); });
    registry.Register("System.EditCamera", [](Engine& e, engLevel&) { return std::make_unique<objEditCamera>(e); });
    registry.Register("System.DrawCursor", [](Engine& e, engLevel& l) { return std::make_unique<objDrawCursor>(e, l); });
    registry.Register("System.PointCamera", [](Engine& e, engLevel&) { return std::make_unique<objPointCamera>(e); });
    registry.Register("System.PlaneCamera", [](Engine& e, engLevel&) { return std::make_unique<objPlaneCamera>(e); });
    registry.Register("System.SpireCamera", [](Engine& e, engLevel&) { return std::make_unique<objSpireCamera>(e); });
    registry.Register("System.CylinderCamera",
                      [](Engine& e, engLevel&) { return std::make_unique<objGravityCamera>(e); });
    registry.Register("System.RotaryCamera", [](Engine& e, engLevel&) { return std::make_unique<objRotaryCamera>(e); });
    registry.Register("System.Director", [](Engine& e, engLevel& l) { return std::make_unique<objDirector>(e, l); });
    // The older name of the director; it saves itself as "-Director".
    registry.Register("System.Dock", [](Engine& e, engLevel& l) { return std::make_unique<objDirector>(e, l); });
    registry.Register("System.Flagpost", [](Engine& e, engLevel& l) { return std::make_unique<objFlagpost>(e, l); });
    registry.Register("System.Subtitle", [](Engine& e, engLevel& l) { return std::make_unique<objSubtitleText>(e, l); });
    registry.Register("System.Music", [](Engine& e, engLevel&) { return std::make_unique<objMusic>(e); });
    registry.Register("System.Scenery", [](Engine& e, engLevel&) { return std::make_unique<objScenery>(e); });
    registry.Register("System.Skybox", [](Engine& e, engLevel&) { return std::make_unique<objSkyBox>(e); });
    registry.Register("System.MarkedMetalSpecial", [](Engine& e, engLevel& l) { return std::make_unique<scrGravPad>(e, l); });
    registry.Register("System.AngledPad", [](Engine& e, engLevel& l) { return std::make_unique<scrDirectionalPad>(e, l); });
    registry.Register("System.MoveChain", [](Engine& e, engLevel& l) { return std::make_unique<scrMovechain>(e, l); });
    registry.Register("System.DropFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrDropFloor>(e, l); });
    registry.Register("System.LaunchFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrLaunchfloor>(e, l); });
    registry.Register("System.BreakWallSpecial", [](Engine& e, engLevel& l) { return std::make_unique<scrBreakWall>(e, l); });
    registry.Register("System.SliderFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrSliderFloor>(e, l); });
}

engRegistry& InstallBuiltClasses(Engine& engine) {
    if (!engine.registry) {
        engine.registry = std::make_shared<engRegistry>();
        RegisterBuiltClasses(*engine.registry);
    }
    return *engine.registry;
}

} // namespace rdv
