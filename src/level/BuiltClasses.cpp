#include "level/Registry.h"

#include "objects/Ball.h"
#include "objects/Controllers.h"

namespace rdv {

// One line per level class, added by the module that builds it, e.g.
//   registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
// Names not registered here raise "Invalid object" when a level uses them.
void RegisterBuiltClasses(engRegistry& registry) {
    registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
    registry.Register("System.Keyhandler", [](Engine& e, engLevel&) { return std::make_unique<objKeyhandler>(e); });
    registry.Register("System.CutsceneController",
                      [](Engine&, engLevel&) { return std::make_unique<objCutsceneController>(); });
}

} // namespace rdv
