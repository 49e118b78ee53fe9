#include "level/Registry.h"

#include <algorithm>
#include <stdexcept>

#include "core/Engine.h"

namespace rdv {

namespace {
// The game's classes by creation name (the order of its class table).
constexpr std::array<std::string_view, 24> kNames = {
    "System.Ball",          "System.CutsceneController", "System.CylinderCamera",   "System.Dock",
    "System.Director",      "System.DrawCursor",         "System.EditCamera",       "System.Flagpost",
    "System.Keyhandler",    "System.Music",              "System.PlaneCamera",      "System.PointCamera",
    "System.RotaryCamera",  "System.Scenery",            "System.Skybox",           "System.SpireCamera",
    "System.Subtitle",      "System.AngledPad",          "System.BreakWallSpecial", "System.DropFloor",
    "System.LaunchFloor",   "System.MarkedMetalSpecial", "System.MoveChain",        "System.SliderFloor",
};
} // namespace

engRegistry::engRegistry() = default;
engRegistry::~engRegistry() = default;

const std::array<std::string_view, 24>& engRegistry::Names() { return kNames; }

bool engRegistry::IsKnownName(const std::string& name) {
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

void engRegistry::Register(const std::string& name, ObjectFactory factory) {
    if (!IsKnownName(name)) throw std::invalid_argument("not a level class name: " + name);
    factories_[name] = std::move(factory);
}

bool engRegistry::IsRegistered(const std::string& name) const { return Find(name) != nullptr; }

const ObjectFactory* engRegistry::Find(const std::string& name) const {
    auto it = factories_.find(name);
    if (it == factories_.end() || !it->second) return nullptr;
    return &it->second;
}

engRegistry& Registry(Engine& engine) {
    if (!engine.registry)
        throw std::logic_error("no level classes installed: the program fills engine.registry before reading a level");
    return *engine.registry;
}

void LoadSystemClasses(Engine& engine) {
    engRegistry& registry = Registry(engine);
    if (registry.tilesLoaded) UnloadSystemClasses(engine);
    // Code order: fldSolid, fldMetal, fldGrass ... fldFanN, fldWater.
    for (int32_t code = 1; code <= kTileTypes; ++code)
        registry.tiles[code] = registry.tileFactory ? registry.tileFactory(engine, code) : nullptr;
    registry.tilesLoaded = true;
}

void UnloadSystemClasses(Engine& engine) {
    if (!engine.registry || !engine.registry->tilesLoaded) return;
    for (auto& tile : engine.registry->tiles) tile.reset();
    engine.registry->tilesLoaded = false;
}

LevelObject* SystemTile(Engine& engine, int32_t code) {
    if (!engine.registry || code < 1 || code > kTileTypes) return nullptr;
    return engine.registry->tiles[code].get();
}

} // namespace rdv
