#include "graphics/LightMap.h"
#include "packages/Package.h"
#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

const std::vector<std::string> kWorld = {"", "-World", "x=4", "y=3", "z=2"};

std::vector<std::string> With(std::vector<std::string> lines) {
    std::vector<std::string> all = kWorld;
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
}

struct ErrorCase {
    std::vector<std::string> lines;
    int32_t number;
    std::string source;
    std::string description;
};

TEST_F(LevelTest, HeaderAndPropertyErrorsCarryTheirTextAndSource) {
    const std::string assign = "Engine->LoadLevel->ReadLevelFile->AssignProperty";
    const std::vector<ErrorCase> cases = {
        {{"-Metal", "-World"}, 1005, "Engine->LoadLevel->ReadLevelFile->NewObject", "World Object must appear first"},
        {{"x=3"}, 1005, assign, "Assignment Before Object: x=3"},
        {With({"dual=yes"}), 1005, assign, "Invalid Value for 'World.dual', must be 1 or 0: yes"},
        {With({"dual=TRUE"}), 1005, assign, "Invalid Value for 'World.dual', must be 1 or 0: TRUE"},
        {With({"w=3"}), 1005, assign, "Property does not belong to 'World': w"},
        {With({"=3"}), 1005, "Engine->LoadLevel->ReadLevelFile", "Invalid use of property operator: =3"},
        {With({"-ball"}), 1005, "Engine->LoadLevel->ReadLevelFile->NewObject->CreateNewObject",
         "Invalid object: System.ball"},
        {With({"-Ball", "bad=1"}), 1005, "Engine->LoadLevel->ReadLevelFile->AssignProperty->objProbe.AssignVar",
         "Invalid property for 'Probe': bad"},
        {With({"-Wall", "up=w"}), 1005, assign, "Invalid property value for 'up', must be (-)x/y/z : w"},
        {With({"-Wall", "tilt=1"}), 1005, assign, "Property isn't a worldpaint action: tilt"},
        {With({"-Wall", "up=z", "dx=-1"}), 9, assign, "Subscript out of range"},
        // Departs from the original: the world size is checked.
        {{"", "-World", "x=0"}, 1005, assign, "Invalid world size: x=0"},
        {{"", "-World", "y=-2"}, 1005, assign, "Invalid world size: y=-2"},
        {{"", "-World", "x=300", "y=300", "z=300"}, 1005, assign, "Invalid world size: z=300"},
        {{"", "-World", "x=99999999999"}, 1005, assign, "Invalid world size: x=99999999999"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "case" + std::to_string(n++);
        WriteLevel(name, c.lines);
        const EngineError e = LoadError(name);
        EXPECT_EQ(e.number, c.number) << name;
        EXPECT_EQ(e.source, c.source) << name;
        EXPECT_EQ(e.description, c.description) << name;
    }
    // A name the game knows whose class is not registered fails the same way.
    Registry(engine).Register("System.Dock", {});
    WriteLevel("nodock", With({"-Dock"}));
    const EngineError e = LoadError("nodock");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile->NewObject->CreateNewObject");
    EXPECT_EQ(e.description, "Invalid object: System.Dock");
    // Every failed load closed its file.
    EXPECT_EQ(Packages(engine).OpenCount(), 0u);
}

TEST_F(LevelTest, SignatureAndMissingFileAreRefused) {
    WriteLevel("v2", kWorld, "BTv2");
    EngineError e = LoadError("v2");
    EXPECT_EQ(e.number, 1005);
    EXPECT_EQ(e.description, "Level Signature Error");
    EXPECT_EQ(e.source, "Engine->LoadLevel->ReadLevelFile");

    e = LoadError("nowhere");
    EXPECT_EQ(e.number, 1002);
    EXPECT_EQ(e.description, "Error loading package: nowhere");
    EXPECT_EQ(e.source, "Engine->LoadLevel->OpenPackage");
}

TEST_F(LevelTest, WorldSizesRoundHalfToEven) {
    WriteLevel("sizes", {"", "-World", "x=3.5", "y=2.5", "z=1.49", "*"});
    level->LoadLevel("sizes");
    EXPECT_EQ(level->SizeX(), 4);
    EXPECT_EQ(level->SizeY(), 2);
    EXPECT_EQ(level->SizeZ(), 1);
    // Each face array holds its planes plus one spare element.
    EXPECT_EQ(level->Faces(kFaceZ).size(), size_t(2 * 4 * 2 + 1));
    EXPECT_EQ(level->Faces(kFaceX).size(), size_t(5 * 2 * 1 + 1));
    EXPECT_EQ(level->Faces(kFaceY).size(), size_t(3 * 4 * 1 + 1));
}

TEST_F(LevelTest, DualModeFollowsTheInterlacingSetting) {
    WriteLevel("dual", With({"dual=true", "*"}));
    level->LoadLevel("dual");
    EXPECT_EQ(level->dualMode, 5);
    EXPECT_FALSE(level->colourClear);

    engine.settings.interlacing = true;
    WriteLevel("dual1", With({"dual=1", "*"}));
    level->LoadLevel("dual1");
    EXPECT_EQ(level->dualMode, 1);

    // Every load starts single-player with the colour clear on.
    WriteLevel("single", With({"*"}));
    level->LoadLevel("single");
    EXPECT_EQ(level->dualMode, 0);
    EXPECT_TRUE(level->colourClear);

    WriteLevel("off", With({"dual=true", "dual=0", "*"}));
    level->LoadLevel("off");
    EXPECT_EQ(level->dualMode, 0);
}

TEST_F(LevelTest, EmptyLinesEndTheFileAfterFiveInARow) {
    WriteLevel("four", With({"-Wall", "", "", "", "", "*", "-Ball"}));
    level->LoadLevel("four");
    EXPECT_FALSE(Logged("WARNING: file format error - missing trailing star", 4));
    EXPECT_EQ(level->MapObjects(), 0);  // nothing after the star is read

    // Five empty lines: the level stays as read so far, the rest is ignored.
    WriteLevel("five", With({"-Ball", "", "", "", "", "", "-Ball", "*"}));
    level->LoadLevel("five");
    EXPECT_TRUE(Logged("WARNING: file format error - missing trailing star", 4));
    EXPECT_EQ(level->MapObjects(), 1);

    // A file that simply stops reads as empty lines to the same end.
    logLines.clear();
    WriteLevel("short", With({"-Ball"}));
    level->LoadLevel("short");
    EXPECT_TRUE(Logged("WARNING: file format error - missing trailing star", 4));
    EXPECT_EQ(level->MapObjects(), 1);
}

TEST_F(LevelTest, CommentsMessagesAndGarbage) {
    WriteLevel("notes", With({"#a comment=with equals", "! hello", "  just words  ", "*"}));
    level->LoadLevel("notes");
    EXPECT_TRUE(Logged(" hello", 3));
    EXPECT_TRUE(Logged("WARNING: file format error - garbage found", 4));
}

TEST_F(LevelTest, ObjectSectionsCreateObjectsAndTakeTheirProperties) {
    WriteLevel("objects", With({"-Ball", "  x = 1.5  ", "player=2", "-System.Ball", "-Dock", "*"}));
    Registry(engine).Register("System.Dock", [](Engine&, engLevel&) {
        return std::make_unique<ProbeObject>("System.Director", "-Director");
    });
    level->LoadLevel("objects");
    ASSERT_EQ(level->MapObjects(), 3);
    EXPECT_EQ(level->MapObjectName(1), "System.Objects.Player.Ball");
    EXPECT_EQ(level->MapObjectName(2), "System.Objects.Player.Ball");
    EXPECT_EQ(level->MapObjectName(3), "System.Director");
    EXPECT_EQ(level->MapObjectName(4), "");
    EXPECT_EQ(level->MapObject(0), nullptr);
    auto* ball = dynamic_cast<ProbeObject*>(level->MapObject(1));
    ASSERT_NE(ball, nullptr);
    // Key trimmed, value taken as it stands after "=" (the line was trimmed).
    ASSERT_EQ(ball->properties.size(), 2u);
    EXPECT_EQ(ball->properties[0], std::make_pair(std::string("x"), std::string(" 1.5")));
    EXPECT_EQ(ball->properties[1], std::make_pair(std::string("player"), std::string("2")));
    EXPECT_EQ(level->CurrentLoadingObject(), 3);
}

TEST_F(LevelTest, TileSectionsPaintAndTheCursorSurvivesSections) {
    WriteLevel("paint", With({"-Wall", "up=z", "sx=0", "sy=0", "sz=0", "dx=3", "-Metal", "dy=2", "-MoveChain", "dy=1", "*"}));
    level->LoadLevel("paint");
    for (int x = 0; x <= 2; ++x) EXPECT_EQ(level->GetMapObject(x, 0, 0, 0, 0, -1), -1) << x;
    // Metal started where the Wall run ended, the move chain where Metal did.
    EXPECT_EQ(level->GetMapObject(3, 0, 0, 0, 0, -1), -2);
    EXPECT_EQ(level->GetMapObject(3, 1, 0, 0, 0, -1), 1);
    EXPECT_EQ(level->GetMapObject(3, 2, 0, 0, 0, -1), 1);
    EXPECT_EQ(level->Cursor().sx, 3);
    EXPECT_EQ(level->Cursor().sy, 1);
}

TEST_F(LevelTest, LightMapIsFreshPerLoadAndReadWhenPresent) {
    WriteLevel("plain", With({"*"}));
    level->LoadLevel("plain");
    ASSERT_NE(level->LightMap(), nullptr);
    EXPECT_EQ(level->LightMap()->count(), 1);  // the default light
    EXPECT_EQ(engine.lightMap.get(), level->LightMap());

    // "lit_lm.tci": signature, version 1, two point lights.
    {
        std::ofstream out(folder / "maps" / "lit_lm.tci", std::ios::binary);
        auto i32 = [&](int32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        auto f32 = [&](float v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        out.write("tcim", 4);
        i32(1);
        i32(2);
        for (int i = 0; i < 2; ++i) {
            out.put(1);
            for (int k = 0; k < 7; ++k) f32(0.5f);
            out.write("\xff\x80\x40\x20", 4);
            out.write("\xff\x10\x10\x10", 4);
        }
    }
    WriteLevel("lit", With({"*"}));
    gfxLightMap* previous = level->LightMap();
    level->LoadLevel("lit");
    ASSERT_NE(level->LightMap(), nullptr);
    EXPECT_NE(level->LightMap(), previous);
    EXPECT_EQ(level->LightMap()->count(), 2);
    EXPECT_EQ(engine.lightMap.get(), level->LightMap());

    level.reset();
    EXPECT_EQ(engine.lightMap, nullptr);  // no lights of a level that is gone
}

TEST_F(LevelTest, ReloadStartsFromAnEmptyLevel) {
    WriteLevel("first", With({"-Ball", "-Wall", "up=z", "dx=3", "*"}));
    level->LoadLevel("first");
    level->Endlevel(2);
    WriteLevel("second", {"", "-World", "x=2", "*"});
    level->LoadLevel("second");
    EXPECT_EQ(level->MapObjects(), 0);
    EXPECT_EQ(level->EndReason(), 0);
    EXPECT_EQ(level->SizeY(), 0);
    EXPECT_EQ(level->Cursor().sx, 0);
}

} // namespace
} // namespace rdv::test
