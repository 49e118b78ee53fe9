#pragma once
// The class registry: level-file section names ("System.Ball",
// "System.MoveChain" ...) to the factories that make the objects, and the
// table of the 26 shared static tile objects. One registry per engine
// (engine.registry).
//
// Every creation name of the game is known here from the start; a class
// whose code has not been registered raises the same "Invalid object" error
// as a name that does not exist. The level library names no class of its
// own: the top of the program makes the engine's registry and fills it
// (the game's class table, game/BuiltClasses.h, one Register line per
// class) before a level is read.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "level/Object.h"

namespace rdv {

class Engine;
class engLevel;

// Makes a new object for `level` (owned by the caller, then by the level).
using ObjectFactory = std::function<std::unique_ptr<LevelObject>(Engine& engine, engLevel& level)>;
// Makes the shared static tile of a code 1..kTileTypes.
using TileFactory = std::function<std::unique_ptr<LevelObject>(Engine& engine, int32_t code)>;

// Number of static tile types; their codes are 1..kTileTypes.
inline constexpr int32_t kTileTypes = 26;

class engRegistry {
public:
    engRegistry();
    ~engRegistry();
    engRegistry(const engRegistry&) = delete;
    engRegistry& operator=(const engRegistry&) = delete;

    // Every creation name, in the order of the game's class table.
    static const std::array<std::string_view, 24>& Names();
    static bool IsKnownName(const std::string& name);

    // Sets the factory of a creation name of the table (a name outside the
    // table is a programming error: std::invalid_argument). A second
    // registration replaces the first (tests put doubles in).
    void Register(const std::string& name, ObjectFactory factory);
    bool IsRegistered(const std::string& name) const;
    // The factory, or null when the class has not been built.
    const ObjectFactory* Find(const std::string& name) const;

    // What LoadSystemClasses makes the static tiles with (set with the classes).
    TileFactory tileFactory;
    // The shared static tiles, index = tile code (entry 0 unused).
    std::array<std::unique_ptr<LevelObject>, kTileTypes + 1> tiles;
    bool tilesLoaded = false;

private:
    std::map<std::string, ObjectFactory, std::less<>> factories_;
};

// The engine's registry. One that nobody installed is a programming error
// (std::logic_error), not an empty table: that would refuse every class of
// every level as "Invalid object" and look like a broken level file.
engRegistry& Registry(Engine& engine);

// Creates the 26 static tile objects into the registry's table, in tile
// code order (Wall ... Water), and marks the table loaded. A table already
// loaded is released first.
void LoadSystemClasses(Engine& engine);
// Releases every tile object of a loaded table.
void UnloadSystemClasses(Engine& engine);

// The shared tile object of code 1..26, or null (not loaded, or no such code).
LevelObject* SystemTile(Engine& engine, int32_t code);

} // namespace rdv
