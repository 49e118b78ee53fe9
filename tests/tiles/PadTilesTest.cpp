#include "ScriptedTileSupport.h"

namespace rdv::test {
namespace {

using PadTiles = ScriptedTileTest;

TEST_F(PadTiles, AngledPadRotationsAndTheirLimits) {
    Load({"-AngledPad", "rotation=8", "-AngledPad", "rot=5"});
    auto& pad = Object<scrDirectionalPad>(1);
    EXPECT_TRUE(VectorEquals(pad.dirZ, {-1, -1, 0}));
    EXPECT_EQ(pad.rotation, 7);
    EXPECT_EQ(pad.Group(), 0);  // diagonals draw the diagonal group
    EXPECT_TRUE(VectorEquals(Object<scrDirectionalPad>(2).dirZ, {1, 0, 0}));

    for (const char* bad : {"rotation=9", "rotation=0"}) {
        const EngineError e = LoadFails({"-AngledPad", bad});
        EXPECT_EQ(e.number, 1005);
        EXPECT_EQ(e.source, Source("scrDirectionalPad"));
        EXPECT_EQ(e.description, std::string("Invalid property value for 'AngledPad.rotation', must be a number "
                                             "between 1 and 8: ") + (bad + 9));
    }
    const EngineError e = LoadFails({"-MarkedMetalSpecial", "rotation=0"});
    EXPECT_EQ(e.source, Source("scrGravPad"));
    EXPECT_EQ(e.description,
              "Invalid property value for 'MarkedMetalSpecial.rotation', must be a number between 1 and 8: 0");
}

TEST_F(PadTiles, AngledPadStyles) {
    struct Case {
        const char* value;
        int32_t style;
    } cases[] = {{"Ice", 4}, {"Snow", 5}, {"2", 2}, {"4", 1}, {"ice", 1}, {"Grass", 3}, {"0", 1}};
    for (const Case& c : cases) {
        Load({"-AngledPad", std::string("style=") + c.value});
        EXPECT_EQ(Object<scrDirectionalPad>(1).style, c.style) << c.value;
    }
    // "type" is the same key; a rejected value keeps the earlier style.
    Load({"-AngledPad", "type=Metal", "style=7"});
    EXPECT_EQ(Object<scrDirectionalPad>(1).style, 2);
    EXPECT_EQ(Object<scrDirectionalPad>(1).Group(), 2);
}

TEST_F(PadTiles, GravityPadImpactAndGroups) {
    Load({"-MarkedMetalSpecial", "pullimpact=1", "rotation=2", "-MarkedMetalSpecial", "rotation=3"});
    auto& pulling = Object<scrGravPad>(1);
    auto& plain = Object<scrGravPad>(2);
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(pulling.GetEffect(x, y, z), 2);
    EXPECT_EQ(plain.GetEffect(x, y, z), 1);
    EXPECT_EQ(pulling.Group(), 5);
    EXPECT_EQ(plain.Group(), 6);
    EXPECT_FLOAT_EQ(PadRoll(plain.rotation), -3.14159f / 2);
    EXPECT_EQ(plain.MaxBounceHeight(), 7);

    const EngineError e = LoadFails({"-MarkedMetalSpecial", "pullimpact=yes"});
    EXPECT_EQ(e.description,
              "Invalid property value for 'MarkedMetalSpecial.pullimpact', must be 'true' or 'false': yes");
    EXPECT_EQ(LoadFails({"-MarkedMetalSpecial", "style=1"}).description,
              "Invalid property for 'MarkedMetalSpecial': style");
    EXPECT_EQ(LoadFails({"-AngledPad", "pullimpact=1"}).description, "Invalid property for 'AngledPad': pullimpact");
}

TEST_F(PadTiles, OwnKeysAfterPaintingAreRefused) {
    for (const char* section : {"-AngledPad", "-MarkedMetalSpecial"}) {
        const EngineError e = LoadFails({section, "up=z", "dx=2", "rotation=3"});
        EXPECT_EQ(e.number, 1005);
        EXPECT_EQ(e.description, "Can not change private properties after draw routines") << section;
    }
    // Painting uses the pad's object number, in whatever order the paint keys come.
    Load({"-AngledPad", "rotation=3", "up=z", "sy=1", "dx=2", "sz=1", "dx=0"});
    EXPECT_EQ(Floor(0, 1, 0), 1);
    EXPECT_EQ(Floor(2, 1, 0), 1);
    EXPECT_EQ(Floor(0, 1, 1), 1);
    EXPECT_EQ(Floor(3, 1, 0), 0);
}

TEST_F(PadTiles, DirectionVectorFromAboveBelowAndTheSide) {
    Load({"-AngledPad", "rotation=5"});
    auto& pad = Object<scrDirectionalPad>(1);
    auto push = [&](float x, float y, float z) {
        engine.ParsedVector = {9, 9, 9};
        pad.GetDirectionVector(x, y, z);
        return engine.ParsedVector;
    };
    EXPECT_TRUE(VectorEquals(push(0, 0, 1), {1, 0, 0}));
    EXPECT_TRUE(VectorEquals(push(0, 0, -1), {-1, 0, 0}));
    EXPECT_TRUE(VectorEquals(push(1, 0, 0), {0, 0, 0}));
    EXPECT_TRUE(VectorEquals(push(0, -1, 0), {0, 0, 0}));
    float x = 0, y = 0, z = -1;
    EXPECT_EQ(pad.GetEffect(x, y, z), 5);
    EXPECT_EQ(pad.MaxBounceHeight(), 0);
}

TEST_F(PadTiles, HeadersAndNamesOfEveryScriptedClass) {
    Load({"-MarkedMetalSpecial", "-AngledPad", "-MoveChain", "-DropFloor", "-LaunchFloor", "jumpheight=5",
          "-BreakWallSpecial", "-SliderFloor"});
    const std::vector<std::pair<std::vector<std::string>, std::string>> expected = {
        {{"-MarkedMetalSpecial"}, "System.Tiles.Special.Marked"},
        {{"-AngledPad"}, "System.Tiles.Special.Angled"},
        {{"-MoveChain"}, "System.Tiles.Special.Moverchain"},
        {{"-DropFloor"}, "System.Tiles.Special.Dropfloor"},
        {{"-LaunchFloor", "jumpheight=5"}, "System.Tiles.Special.Launchfloor"},
        {{"-BreakWallSpecial"}, "System.Tiles.BreakWall"},
        {{"-SliderFloor"}, "System.Tiles.Special.Sliderfloor"},
    };
    ASSERT_EQ(level->MapObjects(), 7);
    for (int32_t n = 1; n <= 7; ++n) {
        LevelObject* object = level->MapObject(n);
        LineListWriter out;
        object->WriteHeader(out);
        // The section's own lines first; the tile's settings follow them.
        const auto& head = expected[size_t(n - 1)].first;
        ASSERT_GE(out.lines.size(), head.size());
        EXPECT_EQ(std::vector<std::string>(out.lines.begin(), out.lines.begin() + long(head.size())), head);
        EXPECT_EQ(level->MapObjectName(n), expected[size_t(n - 1)].second);
        ASSERT_NE(object->AsTile(), nullptr);
        EXPECT_EQ(object->ToolTipText(), "");
    }
}

} // namespace
} // namespace rdv::test
