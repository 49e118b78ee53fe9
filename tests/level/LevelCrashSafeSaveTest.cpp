// Saving a level never damages the level file already there: the disk is
// made to fill up at every byte of the new text, and each time the old file
// is found as it was, with nothing left beside it that a "name.*" lookup finds.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Error.h"
#include "core/FileSizeLimit.h"
#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t FilesIn(const fs::path& folder) {
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++files;
    return files;
}

TEST_F(LevelTest, SavingOverALevelSurvivesAFullDiskAtEveryByte) {
    WriteLevel("old", {"", "-World", "x=2", "y=2", "z=1", "*"});
    const fs::path target = folder / "maps" / "old.tcs";
    const std::vector<uint8_t> oldBytes = Bytes(target);

    // The level to save differs from the file: a painted face.
    level->LoadLevel("old");
    level->SetMapObject(1, 1, 0, 0, 0, -1, -5);

    size_t cut = 0;
    for (; cut < 4096; ++cut) {
        {
            FileSizeLimit limit(cut);
            ASSERT_TRUE(limit.ok());
            try {
                level->SaveLevel("old");
            } catch (const EngineError&) {
                // A refused save may raise; it must not damage the old file.
            }
        }
        if (Bytes(target) != oldBytes) break;   // the save went through whole
        ASSERT_EQ(FilesIn(folder / "maps"), 1u) << "full disk at byte " << cut;
    }
    ASSERT_GT(cut, 0u);
    ASSERT_LT(cut, 4096u);
    EXPECT_EQ(FilesIn(folder / "maps"), 1u);

    // What went through under the tightest limit is the complete text: a
    // save with room writes the same bytes.
    const std::vector<uint8_t> saved = Bytes(target);
    level->SaveLevel("old");
    EXPECT_EQ(Bytes(target), saved);
    level->LoadLevel("old");
    EXPECT_EQ(level->GetMapObject(1, 1, 0, 0, 0, -1), -5);
}

} // namespace
} // namespace rdv::test
