// Saving settings never damages the file already there: the write is cut
// short at every byte of the record, or cannot start, and each time the old
// file is found as it was, with no temporary file left beside it.
#include <gtest/gtest.h>

#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/FileSizeLimit.h"
#include "core/TempFolder.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

size_t FilesIn(const fs::path& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
}

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

} // namespace
} // namespace rdv::test
