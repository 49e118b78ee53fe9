#include <gtest/gtest.h>

#include "core/Engine.h"
#include "game/BuiltClasses.h"
#include "level/Object.h"
#include "level/Registry.h"
#include "tiles/StaticTiles.h"

namespace rdv {
namespace {

struct Expected {
    int32_t code;
    const char* header;
    const char* fullName;
    int32_t down, up, none;  // effect for (0,0,-1), (0,0,1), (0,0,0)
    int16_t bounce;
};

const Expected kFamily[] = {
    {1, "-Wall", "System.Tiles.BrickWall", 1, 1, 1, 3},
    {2, "-Metal", "System.Tiles.Metal", 1, 1, 1, 7},
    {3, "-Grass", "System.Tiles.Grass", 1, 1, 1, 0},
    {4, "-Ring", "System.Tiles.Ring", 0, 0, 0, 0},
    {5, "-MarkedMetal", "System.Tiles.MarkedMetal", 1, 1, 1, 7},
    {6, "-Invisible", "System.Tiles.Invisible", 1, 1, 1, 0},
    {7, "-Gravity", "System.Tiles.GravityRotator", 3, 3, 3, 0},
    {8, "-Ice", "System.Tiles.Ice", 4, 4, 4, 3},
    {9, "-SlipperyIce", "System.Tiles.SlipperyIce", 6, 6, 6, 3},
    {10, "-Snow", "System.Tiles.Snow", 7, 7, 7, 0},
    {11, "-Laser", "System.Tiles.Laser", 8, 8, 8, 7},
    {12, "-SpikeA", "System.Tiles.Spike.Positive", 1, 9, 9, 3},
    {13, "-SpikeB", "System.Tiles.Spike.Negative", 9, 1, 9, 3},
    {14, "-BrickFloor", "System.Tiles.BrickFloor", 1, 1, 1, 3},
    {15, "-IceSheet", "System.Tiles.IceSheet", 4, 4, 4, 3},
    {16, "-GrassField", "System.Tiles.GrassField", 1, 1, 1, 0},
    {17, "-SlipperyCoat", "System.Tiles.SlipperyIceSheet", 6, 6, 6, 3},
    {18, "-MetalFloor", "System.Tiles.MetalFloor", 1, 1, 1, 7},
    {19, "-SnowCover", "System.Tiles.SnowCover", 7, 7, 7, 0},
    {20, "-ForceField", "System.Tiles.ForceField", 1, 1, 1, 1},
    {21, "-ForceField2", "System.Tiles.ForceField2", 1, 1, 1, 1},
    {22, "-ForceField3", "System.Tiles.ForceField3", 1, 1, 1, 1},
    {23, "-BreakWall", "System.Tiles.BreakWall", 10, 10, 10, 3},
    {24, "-FanA", "System.Tiles.Windfan.Negative", 11, 0, 0, 100},
    {25, "-FanB", "System.Tiles.Windfan.Negative", 0, 11, 0, 100},
    {26, "-Water", "System.Tiles.Water", 12, 12, 12, 1},
};

TEST(StaticTiles, EveryTileAnswersFromBothSides) {
    Engine engine;
    InstallBuiltClasses(engine);
    LoadSystemClasses(engine);
    for (const Expected& e : kFamily) {
        LevelObject* tile = SystemTile(engine, e.code);
        ASSERT_NE(tile, nullptr) << e.code;
        float x = 0, y = 0, z = -1;
        EXPECT_EQ(tile->GetEffect(x, y, z), e.down) << e.header;
        z = 1;
        EXPECT_EQ(tile->GetEffect(x, y, z), e.up) << e.header;
        z = 0;
        EXPECT_EQ(tile->GetEffect(x, y, z), e.none) << e.header;
        // The directional tiles use the component sum, whatever the axis.
        x = -1;
        EXPECT_EQ(tile->GetEffect(x, y, z), e.down) << e.header;
        x = 0;
        y = 1;
        EXPECT_EQ(tile->GetEffect(x, y, z), e.up) << e.header;
        EXPECT_EQ(tile->MaxBounceHeight(), e.bounce) << e.header;
        EXPECT_EQ(tile->GetFullClassName(), e.fullName);
        LineListWriter out;
        tile->WriteHeader(out);
        EXPECT_EQ(out.lines, std::vector<std::string>{e.header});
        ASSERT_NE(tile->AsTile(), nullptr);
        EXPECT_EQ(tile->AsTile()->TileCode(), e.code);
    }
    UnloadSystemClasses(engine);
    EXPECT_EQ(SystemTile(engine, 1), nullptr);
}

TEST(StaticTiles, ToolTipsComeFromTheLanguageStrings) {
    Engine engine;
    engine.languageStrings.resize(92);
    for (int i = 0; i < 92; ++i) engine.languageStrings[static_cast<size_t>(i)] = "text " + std::to_string(i);
    InstallBuiltClasses(engine);
    LoadSystemClasses(engine);
    EXPECT_EQ(SystemTile(engine, 1)->ToolTipText(), "text 60");
    EXPECT_EQ(SystemTile(engine, 17)->ToolTipText(), "text 69");
    EXPECT_EQ(SystemTile(engine, 18)->ToolTipText(), "text 65");
    EXPECT_EQ(SystemTile(engine, 4)->ToolTipText(), "");
    engine.languageStrings.clear();  // no language loaded yet
    EXPECT_EQ(SystemTile(engine, 1)->ToolTipText(), "");
}

TEST(StaticTiles, PosesSitOnTheFaceWithTheirExceptions) {
    const TilePose wallFloor = StaticTilePose(StaticTileInfoOf(1), 2, 3, 4, kFaceZ);
    EXPECT_FLOAT_EQ(wallFloor.x, 3.0f);
    EXPECT_FLOAT_EQ(wallFloor.y, 4.5f);
    EXPECT_FLOAT_EQ(wallFloor.z, 5.25f);
    EXPECT_EQ(wallFloor.yaw, 0.0f);
    const TilePose wallX = StaticTilePose(StaticTileInfoOf(1), 2, 3, 4, kFaceX);
    EXPECT_FLOAT_EQ(wallX.x, 2.25f);
    EXPECT_FLOAT_EQ(wallX.yaw, -1.570795f);
    const TilePose wallY = StaticTilePose(StaticTileInfoOf(1), 2, 3, 4, kFaceY);
    EXPECT_FLOAT_EQ(wallY.y, 3.75f);
    EXPECT_FLOAT_EQ(wallY.pitch, 1.570795f);

    // The ring is half size across its face.
    const TilePose ring0 = StaticTilePose(StaticTileInfoOf(4), 0, 0, 0, kFaceZ);
    EXPECT_EQ(ring0.sx, 0.5f);
    EXPECT_EQ(ring0.sy, 0.5f);
    EXPECT_EQ(ring0.sz, 1.0f);
    const TilePose ring1 = StaticTilePose(StaticTileInfoOf(4), 0, 0, 0, kFaceX);
    EXPECT_EQ(ring1.sx, 1.0f);
    EXPECT_EQ(ring1.sy, 0.5f);
    const TilePose ring2 = StaticTilePose(StaticTileInfoOf(4), 0, 0, 0, kFaceY);
    EXPECT_EQ(ring2.sy, 1.0f);
    EXPECT_EQ(ring2.sz, 0.5f);

    // Spike A and fan B turn over on floors; spike B and fan A on x-walls.
    for (int code : {12, 25}) {
        EXPECT_FLOAT_EQ(StaticTilePose(StaticTileInfoOf(code), 0, 0, 0, kFaceZ).yaw, 3.14159f);
        EXPECT_EQ(StaticTilePose(StaticTileInfoOf(code), 0, 0, 0, kFaceX).pitch, 0.0f);
    }
    for (int code : {13, 24}) {
        const TilePose p = StaticTilePose(StaticTileInfoOf(code), 0, 0, 0, kFaceX);
        EXPECT_FLOAT_EQ(p.yaw, -1.570795f);
        EXPECT_FLOAT_EQ(p.pitch, 3.14159f);
        EXPECT_EQ(StaticTilePose(StaticTileInfoOf(code), 0, 0, 0, kFaceZ).yaw, 0.0f);
    }
    EXPECT_EQ(StaticTileInfoOf(6).render, TileRenderRule::None);
    EXPECT_EQ(StaticTileInfoOf(7).render, TileRenderRule::None);
    EXPECT_THROW(StaticTileInfoOf(27), std::out_of_range);
}

} // namespace
} // namespace rdv
