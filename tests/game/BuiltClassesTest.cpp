// How the engine gets its level classes and how the game tells the rest
// whether its menu is open: both are handed down from the game, so the
// floors below it never ask for it.
#include "game/BuiltClasses.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "core/Engine.h"
#include "core/Error.h"
#include "game/Game.h"
#include "level/Level.h"
#include "level/Registry.h"

namespace rdv::test {
namespace {

void ExpectEveryClass(const engRegistry& registry) {
    for (std::string_view name : engRegistry::Names())
        EXPECT_TRUE(registry.IsRegistered(std::string(name))) << name;
    EXPECT_TRUE(registry.tileFactory);
}

// Without a filled registry every level would refuse every class as
// "Invalid object", as if its file were broken; it must fail as the
// programming error it is instead.
TEST(BuiltClasses, AnEngineWithoutInstalledClassesFailsLoudly) {
    Engine engine;
    EXPECT_THROW(Registry(engine), std::logic_error);
    EXPECT_THROW(LoadSystemClasses(engine), std::logic_error);
    engLevel level(engine);
    std::string name = "Ball";
    try {
        level.CreateNewObject(name);
        ADD_FAILURE() << "a class was made without a registry";
    } catch (const EngineError& e) {
        ADD_FAILURE() << "reported as a level error: " << e.what();
    } catch (const std::logic_error&) {
    }
    // Asking for a shared tile is no use of the table: simply none there.
    EXPECT_EQ(SystemTile(engine, 1), nullptr);
    UnloadSystemClasses(engine);
}

TEST(BuiltClasses, InstallingFillsEveryClassOnceAndKeepsATableAlreadyThere) {
    Engine engine;
    engRegistry& registry = InstallBuiltClasses(engine);
    EXPECT_EQ(&Registry(engine), &registry);
    ExpectEveryClass(registry);
    LoadSystemClasses(engine);
    for (int32_t code = 1; code <= kTileTypes; ++code) EXPECT_NE(SystemTile(engine, code), nullptr) << code;

    // A second install (the game made after a test put its doubles in) keeps
    // the doubles and the loaded tiles.
    bool doubleUsed = false;
    registry.Register("System.Ball", [&doubleUsed](Engine&, engLevel&) {
        doubleUsed = true;
        return std::unique_ptr<LevelObject>();
    });
    EXPECT_EQ(&InstallBuiltClasses(engine), &registry);
    EXPECT_TRUE(registry.tilesLoaded);
    engLevel level(engine);
    std::string name = "Ball";
    EXPECT_THROW(level.CreateNewObject(name), EngineError);  // the double makes nothing
    EXPECT_TRUE(doubleUsed);
    UnloadSystemClasses(engine);

    // A test that wants only its own classes gives the engine an empty table.
    Engine bare;
    bare.registry = std::make_shared<engRegistry>();
    EXPECT_FALSE(InstallBuiltClasses(bare).IsRegistered("System.Ball"));
}

TEST(BuiltClasses, MakingTheGameInstallsItsClassesAndAnswersForItsMenu) {
    Engine engine;
    EXPECT_FALSE(engine.isMenuOpen) << "no game yet, nobody to ask";
    engGame& game = Game(engine);
    ASSERT_TRUE(engine.registry);
    ExpectEveryClass(*engine.registry);

    ASSERT_TRUE(engine.isMenuOpen);
    EXPECT_FALSE(engine.isMenuOpen());
    game.menuOpen = true;
    EXPECT_TRUE(engine.isMenuOpen());
    // A game replaced (as the reboot does) answers for itself.
    engine.game = std::make_shared<engGame>(engine);
    EXPECT_FALSE(engine.isMenuOpen());
    engine.game->menuOpen = true;
    EXPECT_TRUE(engine.isMenuOpen());
    engine.game.reset();
    EXPECT_FALSE(engine.isMenuOpen());
}

} // namespace
} // namespace rdv::test
