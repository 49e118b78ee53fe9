// The player's files under a read-only program folder: which folders count
// as writable (root included), where the player's folder is, and settings
// and the log going there while the shipped settings stay the default.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "TempFolder.h"
#include "core/CommandLine.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/Subsystems.h"
#include "core/UserFolder.h"
#include "platform/HeadlessHost.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// Sets an environment variable for one test and puts the old value back.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

void ReadOnly(const fs::path& p) { ::chmod(p.c_str(), 0555); }
void Writable(const fs::path& p) { ::chmod(p.c_str(), 0755); }

TEST(UserFolder, FolderWritableFollowsThePermissionBitsForEveryone) {
    TempFolder folder("rdv_writable");
    EXPECT_TRUE(FolderWritable(folder.path()));
    ReadOnly(folder.path());
    // Root could write here, but the bits say no, so the game treats it as
    // read-only whoever runs it.
    EXPECT_FALSE(FolderWritable(folder.path()));
    Writable(folder.path());
    EXPECT_FALSE(FolderWritable(folder.path() / "missing"));
    WriteBytes(folder.path() / "file", {1});
    EXPECT_FALSE(FolderWritable(folder.path() / "file")) << "a file is no folder";
}

TEST(UserFolder, PlayerDataFolderFollowsTheBaseDirectoryRules) {
    EnvVar home("HOME", "/home/player");
    {
        EnvVar xdg("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(PlayerDataFolder(), fs::path("/home/player/.local/share/rondovar"));
    }
    {
        EnvVar xdg("XDG_DATA_HOME", "/var/games/data");
        EXPECT_EQ(PlayerDataFolder(), fs::path("/var/games/data/rondovar"));
    }
    {
        EnvVar xdg("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(PlayerDataFolder(), fs::path("/home/player/.local/share/rondovar")) << "a relative path is ignored";
    }
    {
        EnvVar xdg("XDG_DATA_HOME", "");
        EXPECT_EQ(PlayerDataFolder(), fs::path("/home/player/.local/share/rondovar"));
    }
}

TEST(UserFolder, ChosenOnlyWhenTheProgramFolderOrItsDataFoldersAreReadOnly) {
    TempFolder program("rdv_choose");
    EnvVar xdg("XDG_DATA_HOME", "/nowhere/data");
    EXPECT_TRUE(ChooseUserFolder(program.path()).empty()) << "an empty writable program folder keeps its files";
    fs::create_directories(program.path() / "Data");
    fs::create_directories(program.path() / "maps");
    EXPECT_TRUE(ChooseUserFolder(program.path()).empty());

    ReadOnly(program.path() / "Data");
    EXPECT_EQ(ChooseUserFolder(program.path()), fs::path("/nowhere/data/rondovar")) << "data found whatever its case";
    Writable(program.path() / "Data");
    ReadOnly(program.path() / "maps");
    EXPECT_EQ(ChooseUserFolder(program.path()), fs::path("/nowhere/data/rondovar"));
    Writable(program.path() / "maps");
    ReadOnly(program.path());
    EXPECT_EQ(ChooseUserFolder(program.path()), fs::path("/nowhere/data/rondovar"));
    Writable(program.path());
    EXPECT_TRUE(ChooseUserFolder(fs::path()).empty());

    // An installed program folder is never the player's, writable or not.
    WriteBytes(program.path() / "Installed", {});
    EXPECT_EQ(ChooseUserFolder(program.path()), fs::path("/nowhere/data/rondovar"));
}

TEST(UserFolder, ReadsThePlayersCopyFirstAndWritesOnlyThere) {
    TempFolder program("rdv_paths_program"), user("rdv_paths_user");
    Engine engine;
    engine.programFolder = program.path();
    EXPECT_EQ(WritablePath(engine, "data/settings.dat"), program.path() / "data/settings.dat");
    EXPECT_EQ(ReadablePath(engine, "data/settings.dat"), program.path() / "data/settings.dat");

    engine.userFolder = user.path();
    EXPECT_EQ(WritablePath(engine, "log.txt"), user.path() / "log.txt");
    EXPECT_EQ(ReadablePath(engine, "data/progress.dat"), user.path() / "data/progress.dat")
        << "in neither folder: where it will be written";
    WriteBytes(program.path() / "data" / "progress.dat", {1});
    EXPECT_EQ(ReadablePath(engine, "data/progress.dat"), program.path() / "data/progress.dat");
    WriteBytes(user.path() / "Data" / "Progress.DAT", {2});
    EXPECT_EQ(ReadablePath(engine, "data/progress.dat"), user.path() / "Data/Progress.DAT");
    EXPECT_EQ(WritablePath(engine, "data/progress.dat"), user.path() / "Data/Progress.DAT");
}

struct ReadOnlyProgramFolder : ::testing::Test {
    TempFolder program{"rdv_ro_program"};
    TempFolder home{"rdv_ro_home"};
    Engine engine;
    std::shared_ptr<HeadlessHost> host = std::make_shared<HeadlessHost>();
    std::vector<Log::Line> lines;
    std::vector<uint8_t> shipped;

    void SetUp() override {
        Settings s = ShippedSettings();
        s.multipass = false;  // a position SaveSettings never writes
        s.pos19 = 7;
        shipped = EncodeWholeRecord(s);
        WriteBytes(program.path() / "data" / "settings.dat", shipped);
        fs::create_directories(program.path() / "maps");
        for (const char* f : {"data", "maps", ""}) ReadOnly(program.path() / f);
        engine.programFolder = program.path();
        engine.platform.host = host;
        engine.log.SetCapture(&lines);
    }
    void TearDown() override {
        for (const char* f : {"", "data", "maps"}) Writable(program.path() / f);
    }
    fs::path UserFolder() const { return home.path() / ".local/share/rondovar"; }
};

TEST_F(ReadOnlyProgramFolder, ShippedSettingsAreTheDefaultUntilThePlayerSaves) {
    EnvVar homeVar("HOME", home.path().c_str());
    EnvVar xdg("XDG_DATA_HOME", nullptr);
    engine.userFolder = ChooseUserFolder(engine.programFolder);
    ASSERT_EQ(engine.userFolder, UserFolder());

    LoadSettings(engine);
    EXPECT_EQ(engine.settings.frequency, 44100);
    EXPECT_FALSE(fs::exists(UserFolder())) << "reading creates nothing";

    engine.settings.musicVolume = 0.25f;
    SaveSettings(engine);
    const std::vector<uint8_t> own = ReadBytes(UserFolder() / "data" / "settings.dat");
    ASSERT_EQ(own.size(), kSettingsFileSize);
    EXPECT_EQ(own[65], 25);
    EXPECT_EQ(own[12], shipped[12]) << "positions not saved keep the shipped bytes";
    EXPECT_EQ(own[18], 7);
    EXPECT_EQ(ReadBytes(program.path() / "data" / "settings.dat"), shipped);

    engine.settings = Settings{};
    LoadSettings(engine);
    EXPECT_FLOAT_EQ(engine.settings.musicVolume, 0.25f) << "the player's copy is read first";
}

TEST_F(ReadOnlyProgramFolder, MissingSettingsAreCreatedEmptyInThePlayersFolder) {
    Writable(program.path() / "data");
    fs::remove(program.path() / "data" / "settings.dat");
    ReadOnly(program.path() / "data");
    engine.userFolder = UserFolder();
    LoadSettings(engine);
    EXPECT_TRUE(fs::exists(UserFolder() / "data" / "settings.dat"));
    EXPECT_EQ(fs::file_size(UserFolder() / "data" / "settings.dat"), 0u);
}

TEST_F(ReadOnlyProgramFolder, APlayersFolderThatCannotBeMadeFailsTheSaveLikeAnyWriteFailure) {
    // Below a regular file no folder can be made.
    WriteBytes(home.path() / "blocker", {1});
    engine.userFolder = home.path() / "blocker" / "rondovar";
    LoadSettings(engine);
    try {
        SaveSettings(engine);
        FAIL() << "the save reported success";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, ErrFileAccess);
        EXPECT_EQ(e.source, "SaveSettings");
    }
    EXPECT_EQ(ReadBytes(program.path() / "data" / "settings.dat"), shipped);
}

TEST_F(ReadOnlyProgramFolder, TheLogGoesToThePlayersFolder) {
    engine.userFolder = UserFolder();
    engine.commandLine = "-l";
    ParseCommand(engine);
    engine.log.Write("hello", 0);
    engine.log.CloseLog();
    const std::vector<uint8_t> log = ReadBytes(UserFolder() / "log.txt");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("hello\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Log closing\r\n"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(program.path() / "log.txt"));
}

}  // namespace
}  // namespace rdv
