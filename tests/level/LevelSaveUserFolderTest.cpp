// The editor's level under a read-only program folder: saved into the
// player's maps folder and found there before the program folder's.
#include <filesystem>
#include <sys/stat.h>

#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

class UserFolderSaveTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        user = folder / "home";
        fs::remove_all(user);
        engine.userFolder = user;
    }
    void TearDown() override {
        ::chmod((folder / "maps").c_str(), 0755);
        LevelTest::TearDown();
    }
    fs::path user;
};

TEST_F(UserFolderSaveTest, SavedLevelGoesToThePlayersMapsAndIsReadFromThereFirst) {
    WriteLevel("base", {"", "-World", "x=2", "y=1", "z=1", "-Wall", "up=z", "sx=0", "sy=0", "sz=0", "dx=1", "*"});
    WriteLevel("save", {"", "-World", "x=1", "y=1", "z=1", "*"});  // a shipped "save": never replaced
    const auto shipped = ReadLines("save");
    ::chmod((folder / "maps").c_str(), 0555);

    level->LoadLevel("base");
    level->SaveLevel("save");
    ASSERT_TRUE(fs::exists(user / "maps" / "save.tcs")) << "the player's maps folder is made on the first save";
    EXPECT_EQ(ReadLines("save"), shipped);

    engLevel again(engine);
    again.LoadLevel("save");
    EXPECT_EQ(again.GetMapObject(1, 0, 0, 0, 0, -1), -1) << "the player's two-cell level, not the shipped one";

    // A second save replaces the player's copy.
    level->SetMapObject(1, 0, 0, 0, 0, -1, 0);
    level->SaveLevel("save");
    engLevel third(engine);
    third.LoadLevel("save");
    EXPECT_EQ(third.GetMapObject(1, 0, 0, 0, 0, -1), 0);
}

TEST_F(UserFolderSaveTest, APlayersFolderThatCannotBeMadeFailsTheSave) {
    std::ofstream(folder / "blocker") << "x";
    engine.userFolder = folder / "blocker" / "rondovar";
    WriteLevel("base", {"", "-World", "x=1", "y=1", "z=1", "*"});
    level->LoadLevel("base");
    try {
        level->SaveLevel("save");
        FAIL() << "the save reported success";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.source, "Engine->Savelevel");
    }
}

}  // namespace
}  // namespace rdv::test
