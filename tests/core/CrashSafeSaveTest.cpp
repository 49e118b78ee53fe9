// Saving settings never damages the file already there: the write is cut
// short at every byte of the record, or cannot start, and each time the old
// file is found as it was, with no temporary file left beside it.
#include <gtest/gtest.h>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/FileSizeLimit.h"
#include "core/Subsystems.h"
#include "core/TempFolder.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

size_t FilesIn(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

// Departs from the original: saves go through a temporary file, a sync and a rename.
TEST(CrashSafeSave, SettingsSurviveAWriteCutShortAtEveryByte) {
    TempFolder folder("rdv_crashsafe_settings");
    const fs::path path = folder.path() / "settings.dat";
    const std::vector<uint8_t> old = EncodeWholeRecord(ShippedSettings());
    WriteBytes(path, old);
    Settings changed = ShippedSettings();
    changed.width = 1024;
    changed.height = 768;
    changed.fog = !changed.fog;
    const std::vector<uint8_t> next = EncodeWholeRecord(changed);
    ASSERT_NE(next, old);

    for (size_t cut = 0; cut < next.size(); ++cut) {
        bool raised = false;
        {
            FileSizeLimit limit(cut);
            ASSERT_TRUE(limit.ok());
            try {
                WriteFileAtomically(path, next, "Engine->SaveSettings");
            } catch (const EngineError& e) {
                raised = true;
                EXPECT_EQ(e.number, ErrFileAccess);
                EXPECT_EQ(e.source, "Engine->SaveSettings");
            }
        }
        EXPECT_TRUE(raised) << "a save cut at byte " << cut << " was reported as done";
        EXPECT_EQ(ReadBytes(path), old) << "cut at byte " << cut;
        EXPECT_EQ(FilesIn(folder.path()), 1u) << "cut at byte " << cut;
    }

    // The temporary file cannot even be created.
    fs::create_directory(fs::path(path.string() + ".tmp"));
    EXPECT_THROW(WriteFileAtomically(path, next, "Engine->SaveSettings"), EngineError);
    EXPECT_EQ(ReadBytes(path), old);
    fs::remove(fs::path(path.string() + ".tmp"));

    // With room for the whole record the new one replaces the old.
    WriteFileAtomically(path, next, "Engine->SaveSettings");
    EXPECT_EQ(ReadBytes(path), next);
    EXPECT_EQ(FilesIn(folder.path()), 1u);
}

// The options menu's save, as the engine makes it: the old file survives a
// cut at every byte, and each failed save is reported, not taken as done.
// Departs from the original: saves go through a temporary file, a sync and a rename.
TEST(CrashSafeSave, SaveSettingsKeepsTheOldFileAtEveryCut) {
    TempFolder folder("rdv_crashsafe_savesettings");
    const fs::path path = folder.path() / "data" / "settings.dat";
    std::vector<uint8_t> old = EncodeWholeRecord(ShippedSettings());
    old[5] = 0x5A;   // a byte SaveSettings never writes: it must come through
    WriteBytes(path, old);

    Engine engine;
    engine.programFolder = folder.path();
    engine.settings = ShippedSettings();
    engine.settings.musicVolume = 0.25f;
    engine.settings.language = 2;
    size_t cut = 0;
    for (; cut <= old.size(); ++cut) {
        bool raised = false;
        {
            FileSizeLimit limit(cut);
            ASSERT_TRUE(limit.ok());
            try {
                SaveSettings(engine);
            } catch (const EngineError& e) {
                raised = true;
                EXPECT_EQ(e.number, ErrFileAccess);
            }
        }
        if (!raised) break;
        ASSERT_EQ(ReadBytes(path), old) << "cut at byte " << cut;
        ASSERT_EQ(FilesIn(path.parent_path()), 1u) << "cut at byte " << cut;
    }
    EXPECT_EQ(cut, old.size()) << "a save with room for the whole record went through";
    const std::vector<uint8_t> saved = ReadBytes(path);
    ASSERT_EQ(saved.size(), old.size());
    EXPECT_EQ(saved[5], 0x5A);
    EXPECT_EQ(DecodeSettings(saved).language, 2);
    EXPECT_EQ(saved[65], 25);
}

} // namespace
} // namespace rdv::test
