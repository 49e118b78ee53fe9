// Saving a level never damages the level file already there: the write is
// cut short at every byte of the new text, and each time the old file is
// found as it was, with nothing left beside it that a "name.*" lookup finds.
#include <filesystem>

#include "core/FileSizeLimit.h"
#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(LevelTest, SavingOverALevelSurvivesAWriteCutShortAtEveryByte) {
    WriteLevel("old", {"", "-World", "x=2", "y=2", "z=1", "*"});
    const fs::path target = folder / "maps" / "old.tcs";
    const std::vector<uint8_t> oldBytes = Bytes(target);

    // The level to save differs from the file: a painted face.
    level->LoadLevel("old");
    level->SetMapObject(1, 1, 0, 0, 0, -1, -5);
    level->SaveLevel("new");
    const std::vector<uint8_t> newBytes = Bytes(folder / "maps" / "new.tcs");
    ASSERT_NE(newBytes, oldBytes);
    fs::remove(folder / "maps" / "new.tcs");

    for (size_t cut = 0; cut < newBytes.size(); ++cut) {
        {
            FileSizeLimit limit(cut);
            ASSERT_TRUE(limit.ok());
            level->SaveLevel("old");
        }
        ASSERT_EQ(Bytes(target), oldBytes) << "cut at byte " << cut;
        size_t files = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder / "maps")) ++files;
        ASSERT_EQ(files, 1u) << "cut at byte " << cut;
    }
    EXPECT_TRUE(Logged("WARNING: could not write " + target.string(), 4));

    level->SaveLevel("old");
    EXPECT_EQ(Bytes(target), newBytes);
}

} // namespace
} // namespace rdv::test
