#include <gtest/gtest.h>

#include <cerrno>

#include "FaultyHost.h"
#include "TempFolder.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/Subsystems.h"
#include "platform/HeadlessHost.h"

namespace rdv {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// A record whose every byte is its own position, so a field read from the
// wrong place shows.
std::vector<uint8_t> Numbered() {
    std::vector<uint8_t> b(67);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i + 1);
    return b;
}

TEST(SettingsFile, DecodesEveryPosition) {
    std::vector<uint8_t> b = Numbered();
    b[1] = 0x20; b[2] = 0x03;   // width 800
    b[3] = 0x58; b[4] = 0x02;   // height 600
    b[31] = 0xFF; b[32] = 0xFF; // language -1 (signed)
    b[61] = 0x44; b[62] = 0xAC; b[63] = 0; b[64] = 0;  // 44100
    b[65] = 75;                 // music volume
    b[66] = 200;                // second volume
    b[23] = 0;                  // interlacing stored off
    Settings s = DecodeSettings(b);
    EXPECT_EQ(s.deviceKind, 1);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.multisample, 10);
    EXPECT_EQ(s.pos19, 19);
    EXPECT_EQ(s.pos21, 21);
    EXPECT_EQ(s.anisotropy, 29);
    EXPECT_TRUE(s.colour32 && s.fog && s.gammaRamps && s.lighting && s.vertexShaders && s.windowed);
    EXPECT_FALSE(s.interlacing);
    EXPECT_EQ(s.language, -1);
    EXPECT_EQ(s.bindings[0].device, 34);
    EXPECT_EQ(s.bindings[0].code, 35);
    EXPECT_EQ(s.bindings[13].device, 60);
    EXPECT_EQ(s.bindings[13].code, 61);
    EXPECT_EQ(s.bindings[14].device, 0);  // entries past 13 are not in the file
    EXPECT_EQ(s.frequency, 44100);
    EXPECT_FLOAT_EQ(s.musicVolume, 0.75f);
    EXPECT_FLOAT_EQ(s.secondVolume, 2.0f);
}

TEST(SettingsFile, ShortFileReadsZerosPastItsEnd) {
    std::vector<uint8_t> b = Numbered();
    b.resize(63);  // ends inside the frequency
    Settings s = DecodeSettings(b);
    EXPECT_EQ(s.bindings[13].code, 61);
    EXPECT_EQ(s.frequency, 62 | (63 << 8));
    EXPECT_EQ(s.musicVolume, 0.0f);
    Settings empty = DecodeSettings({});
    EXPECT_EQ(empty.width, 0);
    EXPECT_FALSE(empty.windowed);
    EXPECT_EQ(empty.frequency, 0);
}

TEST(SettingsFile, EncodeKeepsThePositionsItDoesNotOwn) {
    std::vector<uint8_t> old = Numbered();
    Settings s = DecodeSettings(old);
    s.musicVolume = 0.75f;
    s.gammaRamps = false;  // not saved: lasts only until the next start
    std::vector<uint8_t> out = EncodeSettings(s, 1024, 768, old);
    ASSERT_EQ(out.size(), 67u);
    for (size_t pos : {6, 8, 11, 13, 18, 19, 20, 21, 25, 26, 28, 30, 31}) {
        EXPECT_EQ(out[pos - 1], old[pos - 1]) << "position " << pos;
    }
    EXPECT_EQ(out[1], 0x00); EXPECT_EQ(out[2], 0x04);  // 1024
    EXPECT_EQ(out[3], 0x00); EXPECT_EQ(out[4], 0x03);  // 768
    EXPECT_EQ(out[6], 1);   // booleans are written as 1
    EXPECT_EQ(out[65], 75);
    EXPECT_EQ(out[33], 34); // bindings written back as read
    EXPECT_EQ(out[60], 61);
}

// Departs from the original: a 16-bit field clamps what it cannot hold
// instead of wrapping (70000 pixels would be stored as 4464).
TEST(SettingsFile, SixteenBitFieldsClampInsteadOfWrapping) {
    Settings s;
    s.language = -40000;
    std::vector<uint8_t> out = EncodeSettings(s, 70000, 480, {});
    ASSERT_EQ(out.size(), 67u);
    EXPECT_EQ(out[1], 0xFF); EXPECT_EQ(out[2], 0x7F);    // 32767
    EXPECT_EQ(out[31], 0x00); EXPECT_EQ(out[32], 0x80);  // -32768
    EXPECT_EQ(DecodeSettings(out).width, 32767);
}

TEST(SettingsFile, EncodePadsAShortFile) {
    Settings s;
    s.frequency = 22050;
    std::vector<uint8_t> out = EncodeSettings(s, 640, 480, {9, 9, 9, 9, 9, 7});
    ASSERT_EQ(out.size(), 67u);
    EXPECT_EQ(out[5], 7);   // position 6 kept
    EXPECT_EQ(out[7], 0);   // position 8 padded
    EXPECT_EQ(DecodeSettings(out).frequency, 22050);
}

struct SettingsRun : ::testing::Test {
    TempFolder folder{"rdv_settings"};
    Engine engine;
    std::shared_ptr<HeadlessHost> host = std::make_shared<HeadlessHost>();
    std::vector<Log::Line> lines;
    void SetUp() override {
        engine.programFolder = folder.path();
        engine.platform.host = host;
        engine.log.SetCapture(&lines);
    }
    std::filesystem::path File() const { return folder.path() / "data" / "settings.dat"; }
};

TEST_F(SettingsRun, MissingFileIsCreatedEmpty) {
    LoadSettings(engine);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].message, "Loading Settings...");
    EXPECT_EQ(lines[0].colour, 2);
    ASSERT_TRUE(std::filesystem::exists(File()));
    EXPECT_EQ(std::filesystem::file_size(File()), 0u);
    EXPECT_TRUE(engine.settings.interlacing);
    EXPECT_FALSE(engine.settings.windowed);
    EXPECT_EQ(engine.settings.width, 0);
    // Not windowed: the full-screen host, mouse captured.
    EXPECT_EQ(engine.hostWindow, HostForm::Full);
    EXPECT_TRUE(engine.mouseCapture);
    EXPECT_EQ(host->calls, std::vector<std::string>{"Show Full"});
}

TEST_F(SettingsRun, FileIsFoundWhateverItsCase) {
    std::vector<uint8_t> b(67, 0);
    b[21] = 1;  // windowed
    WriteBytes(folder.path() / "Data" / "SETTINGS.DAT", b);
    LoadSettings(engine);
    EXPECT_TRUE(engine.settings.windowed);
    EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(SettingsRun, CommandLineOverrides) {
    std::vector<uint8_t> b(67, 0);
    b[26] = 1;  // sound on
    b[31] = 4;  // language 4
    WriteBytes(File(), b);
    engine.flags.displayOverrideGiven = true;
    engine.flags.displayOverrideWindowed = true;
    engine.flags.mouseRelease = true;
    engine.flags.soundOverride = 1;
    engine.flags.languageOverride = -1;
    LoadSettings(engine);
    EXPECT_TRUE(engine.settings.windowed);
    EXPECT_EQ(engine.hostWindow, HostForm::Windowed);
    EXPECT_FALSE(engine.mouseCapture);
    EXPECT_FALSE(engine.settings.soundOn);
    EXPECT_EQ(engine.settings.language, 0);
    // The overrides never reach the file.
    EXPECT_EQ(ReadBytes(File()), b);

    engine.flags = {};
    engine.flags.languageOverride = 3;
    engine.flags.soundOverride = 2;
    b[26] = 0;
    b[21] = 1;
    WriteBytes(File(), b);
    LoadSettings(engine);
    EXPECT_EQ(engine.settings.language, 3);
    EXPECT_TRUE(engine.settings.soundOn);
    EXPECT_TRUE(engine.mouseCapture);  // windowed without -m
}

TEST_F(SettingsRun, SaveReplacesTheFileAndKeepsUnsavedBytes) {
    std::vector<uint8_t> old = Numbered();
    old.resize(40);
    WriteBytes(File(), old);
    LoadSettings(engine);
    engine.settings.windowed = false;
    engine.settings.musicVolume = 0.8f;
    engine.selectedDisplayMode = [](int& w, int& h) {
        w = 1280;
        h = 1024;
        return true;
    };
    SaveSettings(engine);
    std::vector<uint8_t> saved = ReadBytes(File());
    ASSERT_EQ(saved.size(), 67u);
    EXPECT_EQ(saved[5], 6);
    EXPECT_EQ(saved[29], 30);
    EXPECT_EQ(saved[21], 0);
    EXPECT_EQ(saved[23], 1);  // interlacing was forced on at load
    EXPECT_EQ(saved[65], 80);
    Settings again = DecodeSettings(saved);
    EXPECT_EQ(again.width, 1280);
    EXPECT_EQ(again.height, 1024);
    // Nothing but the file itself is left in the folder.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(File().parent_path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(SettingsRun, AFailedSaveRaisesAndKeepsTheFile) {
    std::vector<uint8_t> old = Numbered();
    WriteBytes(File(), old);
    // Something in the way of the temporary file makes the write fail.
    std::filesystem::create_directories(folder.path() / "data" / "settings.dat.tmp" / "x");
    try {
        SaveSettings(engine);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, 1002);
    }
    EXPECT_EQ(ReadBytes(File()), old);
}

TEST_F(SettingsRun, UnreadableSettingsPathRaisesFromLoadSettings) {
    // A folder where the file should be cannot be read as one.
    std::filesystem::create_directories(File());
    try {
        LoadSettings(engine);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.source, "Init->LoadSettings");
        EXPECT_EQ(e.number, 1002);
    }
}

TEST_F(SettingsRun, AFileThatCannotBeCreatedCarriesThePlatformsCode) {
    // "data" is a file, so the settings file cannot be made below it.
    WriteBytes(folder.path() / "data", {1});
    try {
        LoadSettings(engine);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.source, "Init->LoadSettings");
        EXPECT_EQ(e.number, 1002);
        EXPECT_EQ(e.dllCode, ENOTDIR);
    }
}

TEST_F(SettingsRun, AHostWindowThatCannotBeShownIsALoadSettingsError) {
    // A display that refuses the host window, as a missing X server does.
    auto refusing = std::make_shared<test::FaultyHost>();
    refusing->onShow = [] { RaiseError(ErrDevice, "frmHost.Show", "Could not create the host window: no display", 111); };
    engine.platform.host = refusing;
    try {
        LoadSettings(engine);
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.source, "Init->LoadSettings");
        EXPECT_EQ(e.number, 1001);
        EXPECT_EQ(e.description, "Could not create the host window: no display");
        EXPECT_EQ(e.dllCode, 111);
    }
}

}  // namespace
}  // namespace rdv

namespace rdv {
namespace {

TEST(ShippedSettings, RecordBytes) {
    Settings s = ShippedSettings();
    std::vector<uint8_t> b = EncodeWholeRecord(s);
    ASSERT_EQ(b.size(), 67u);
    // Read back, the record is the same settings.
    Settings back = DecodeSettings(b);
    EXPECT_EQ(EncodeWholeRecord(back), b);
    auto at = [&](size_t pos) { return int(b[pos - 1]); };
    EXPECT_EQ(at(1), 1);                       // hardware device
    EXPECT_EQ(at(2) | at(3) << 8, 800);
    EXPECT_EQ(at(4) | at(5) << 8, 600);
    EXPECT_EQ(at(7), 1);                       // 32-bit colour
    EXPECT_EQ(at(9), 1);                       // fog
    EXPECT_EQ(at(12), 1);                      // lighting
    EXPECT_EQ(at(13), 1);                      // multipass
    EXPECT_EQ(at(30), 0);                      // vertex shaders off
    EXPECT_EQ(at(11), 0);                      // gamma ramps off
    EXPECT_EQ(at(15), 1);
    EXPECT_EQ(at(16), 1);
    EXPECT_EQ(at(17), 1);
    EXPECT_EQ(at(22), 1);                      // windowed
    EXPECT_EQ(at(27), 1);                      // sound on
    EXPECT_EQ(at(29), 1);                      // anisotropy 1
    EXPECT_EQ(at(32) | at(33) << 8, 0);        // no language yet
    EXPECT_EQ(at(62) | at(63) << 8 | at(64) << 16 | at(65) << 24, 44100);
    EXPECT_EQ(at(66), 80);
    // Player 1: up, down, right, left, space, Page Up, Page Down.
    const int p1[7] = {0xC8, 0xD0, 0xCD, 0xCB, 0x39, 0xC9, 0xD1};
    // Player 2: W, S, D, A, left Ctrl, Q, E.
    const int p2[7] = {0x11, 0x1F, 0x20, 0x1E, 0x1D, 0x10, 0x12};
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(at(34 + 2 * i), 0) << i;     // keyboard
        EXPECT_EQ(at(35 + 2 * i), p1[i]) << i;
        EXPECT_EQ(at(34 + 2 * (7 + i)), 0) << i;
        EXPECT_EQ(at(35 + 2 * (7 + i)), p2[i]) << i;
    }
}

}  // namespace
}  // namespace rdv
