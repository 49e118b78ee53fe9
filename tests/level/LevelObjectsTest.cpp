#include "graphics/Core.h"
#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

TEST_F(LevelTest, RegistryKnowsEveryClassNameAndAddsThePrefix) {
    EXPECT_EQ(engRegistry::Names().size(), 24u);
    EXPECT_TRUE(engRegistry::IsKnownName("System.SliderFloor"));
    EXPECT_FALSE(engRegistry::IsKnownName("System.ball"));
    EXPECT_THROW(Registry(engine).Register("System.Nothing", {}), std::invalid_argument);

    std::string name = "Ball";
    auto ball = level->CreateNewObject(name);
    EXPECT_EQ(name, "System.Ball");
    EXPECT_EQ(ball->GetFullClassName(), "System.Objects.Player.Ball");
    name = "System.Ball";
    EXPECT_NE(level->CreateNewObject(name), nullptr);
    // A dotted name is taken as it stands.
    name = "Objects.Ball";
    EXPECT_THROW(level->CreateNewObject(name), EngineError);
    EXPECT_EQ(name, "Objects.Ball");
}

TEST_F(LevelTest, ResolveObjectCoversObjectsTilesAndNothing) {
    const int32_t n = level->AddObject(std::make_unique<ProbeObject>("System.Director", "-Director"));
    EXPECT_EQ(level->ResolveObject(n), level->MapObject(n));
    ASSERT_NE(level->ResolveObject(-7), nullptr);
    EXPECT_EQ(level->ResolveObject(-7)->GetFullClassName(), "System.Tiles.GravityRotator");
    EXPECT_EQ(level->ResolveObject(0), nullptr);
    EXPECT_EQ(level->ResolveObject(-27), nullptr);
    EXPECT_EQ(level->ResolveObject(n + 1), nullptr);
    UnloadSystemClasses(engine);
    EXPECT_EQ(level->ResolveObject(-7), nullptr);
}

TEST_F(LevelTest, EndlevelKeepsTheFirstReasonAndCountsDown) {
    auto gfx = std::make_shared<gfxCore>(engine);
    engine.gfx = gfx;
    engine.settings.fog = true;
    int nextCalls = 0;
    level->loadNext = [&] { ++nextCalls; };

    level->Endlevel(2);
    level->Endlevel(1);
    EXPECT_EQ(level->EndReason(), 2);
    EXPECT_EQ(level->EndTimeTotal(), 5000);

    engine.CurrentSubtitle = "on screen";
    int32_t elapsed = 1250;
    level->Tick(elapsed);
    EXPECT_EQ(level->EndTimeLeft(), 3750);
    EXPECT_TRUE(engine.CurrentSubtitle.empty());
    EXPECT_TRUE(gfx->levelFog);
    EXPECT_EQ(gfx->clearColour, 0u);

    elapsed = 3750;  // exactly used up: still fading
    level->Tick(elapsed);
    EXPECT_EQ(nextCalls, 0);
    elapsed = 1;
    level->Tick(elapsed);
    EXPECT_EQ(nextCalls, 1);
    EXPECT_EQ(level->EndReason(), 0);
    EXPECT_EQ(level->EndTimeLeft(), 0);
    EXPECT_FALSE(gfx->levelFog);
    level->Tick(elapsed);
    EXPECT_EQ(nextCalls, 1);

    // Once over, a new ending is accepted.
    level->Endlevel(3);
    EXPECT_EQ(level->EndTimeTotal(), 500);
    engine.gfx.reset();
}

TEST_F(LevelTest, TickRunsEveryObjectInOrderWithTheElapsedTime) {
    std::vector<std::string> journal;
    level->AddObject(std::make_unique<ProbeObject>("A", "", &journal));
    level->AddObject(std::make_unique<ProbeObject>("B", "", &journal));
    int32_t elapsed = 16;
    level->Tick(elapsed);
    EXPECT_EQ(journal, (std::vector<std::string>{"A 16", "B 16"}));
}

// A sky box writes no depth: whatever it is drawn after would vanish behind it.
// Departs from the original: sky boxes tick first, wherever the file lists them.
TEST_F(LevelTest, SkyBoxesTickBeforeTheObjectsListedAheadOfThem) {
    std::vector<std::string> journal;
    level->AddObject(std::make_unique<ProbeObject>("System.Objects.Player.Ball", "", &journal));
    level->AddObject(std::make_unique<ProbeObject>("System.Objects.Scenery.Skybox", "", &journal));
    level->AddObject(std::make_unique<ProbeObject>("System.Objects.Scenery", "", &journal));
    int32_t elapsed = 16;
    level->Tick(elapsed);
    EXPECT_EQ(journal, (std::vector<std::string>{"System.Objects.Scenery.Skybox 16", "System.Objects.Player.Ball 16",
                                                 "System.Objects.Scenery 16"}));
}

TEST_F(LevelTest, EditorObjectsFollowTheLevelsObjects) {
    for (int i = 0; i < 4; ++i) level->AddObject(std::make_unique<ProbeObject>("System.Objects.Scenery", ""));
    level->EnterEditor();
    EXPECT_EQ(level->MapObjects(), 6);
    EXPECT_EQ(level->MapObjectName(5), "System.Camera.EditCamera");
    EXPECT_EQ(level->MapObjectName(6), "System.Objects.DrawCursor");
    EXPECT_EQ(level->EditCursorNumber(), 6);
    EXPECT_EQ(level->GetEditorCursor(), level->MapObject(6));
    EXPECT_EQ(level->TileCount(), 26);
}

TEST_F(LevelTest, PaletteListsStaticTilesThenScriptedTiles) {
    for (int n = 1; n <= 7; ++n) {
        if (n == 2 || n == 5 || n == 7) level->AddObject(std::make_unique<PaintingTile>(*level));
        else level->AddObject(std::make_unique<ProbeObject>("System.Camera.PointCamera", ""));
    }
    level->CalcTileObjects();
    ASSERT_EQ(level->TileCount(), 29);
    for (int i = 1; i <= 26; ++i) EXPECT_EQ(level->TileReference(i), -i);
    EXPECT_EQ(level->TileReference(27), 2);
    EXPECT_EQ(level->TileReference(28), 5);
    EXPECT_EQ(level->TileReference(29), 7);
    EXPECT_EQ(level->TileReference(30), 0);
    EXPECT_EQ(level->TileObject(28), level->MapObject(5));
    EXPECT_EQ(level->TileObject(1)->GetFullClassName(), "System.Tiles.BrickWall");

    // Without the shared tiles only the level's own remain.
    UnloadSystemClasses(engine);
    level->CalcTileObjects();
    EXPECT_EQ(level->TileCount(), 3);
    EXPECT_EQ(level->TileReference(1), 2);
}

TEST_F(LevelTest, FindObjectMatchesPrefixAndCondition) {
    level->AddObject(std::make_unique<ProbeObject>("System.Camera.PointCamera", ""));
    level->AddObject(std::make_unique<ProbeObject>("System.Objects.Player.Ball", ""));
    level->AddObject(std::make_unique<ProbeObject>("System.Objects.Player.Ball", ""));
    EXPECT_EQ(level->FindObject("System.Objects.Player"), 2);
    EXPECT_EQ(level->FindObject("System.Objects.Player", [&](LevelObject& o) { return &o == level->MapObject(3); }), 3);
    EXPECT_EQ(level->FindObject("System.Director"), 0);
}

} // namespace
} // namespace rdv::test
