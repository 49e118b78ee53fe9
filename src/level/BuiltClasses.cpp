#include "level/Registry.h"

#include "objects/Ball.h"
#include "objects/Controllers.h"
#include "tiles/DropFloor.h"
#include "tiles/GravityPad.h"
#include "tiles/MoveChain.h"
#include "tiles/SliderFloor.h"

namespace rdv {

// One line per level class, added by the module that builds it, e.g.
//   registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
// Names not registered here raise "Invalid object" when a level uses them.
void RegisterBuiltClasses(engRegistry& registry) {
    registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
    registry.Register("System.Keyhandler", [](Engine& e, engLevel&) { return std::make_unique<objKeyhandler>(e); });
    registry.Register("System.CutsceneController",
                      [](Engine&, engLevel&) { return std::make_unique<objCutsceneController>(); });
    registry.Register("System.MarkedMetalSpecial", [](Engine& e, engLevel& l) { return std::make_unique<scrGravPad>(e, l); });
    registry.Register("System.AngledPad", [](Engine& e, engLevel& l) { return std::make_unique<scrDirectionalPad>(e, l); });
    registry.Register("System.MoveChain", [](Engine& e, engLevel& l) { return std::make_unique<scrMovechain>(e, l); });
    registry.Register("System.DropFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrDropFloor>(e, l); });
    registry.Register("System.LaunchFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrLaunchfloor>(e, l); });
    registry.Register("System.BreakWallSpecial", [](Engine& e, engLevel& l) { return std::make_unique<scrBreakWall>(e, l); });
    registry.Register("System.SliderFloor", [](Engine& e, engLevel& l) { return std::make_unique<scrSliderFloor>(e, l); });
}

} // namespace rdv
