#include "level/Registry.h"

namespace rdv {

// One line per level class, added by the module that builds it, e.g.
//   registry.Register("System.Ball", [](Engine& e, engLevel& l) { return std::make_unique<objBall>(e, l); });
// Names not registered here raise "Invalid object" when a level uses them.
void RegisterBuiltClasses(engRegistry& registry) {
    (void)registry;
}

} // namespace rdv
