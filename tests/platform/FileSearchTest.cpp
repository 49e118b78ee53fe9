#include <gtest/gtest.h>

#include <fstream>

#include "platform/FileSearch.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("rdv_fs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "music");
        fs::create_directories(root / "models");
    }
    void TearDown() override { fs::remove_all(root); }
    void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
    fs::path root;
};

TEST_F(FileSearchTest, ResolvesEveryComponentIgnoringCase) {
    Touch(root / "models" / "font.tcm");
    EXPECT_EQ(ResolveNoCase(root, "\\Models\\FONT.tcm"), root / "models" / "font.tcm");
    EXPECT_TRUE(ExistsNoCase(root, "MUSIC"));
    // Missing parts keep the spelling asked for, so the file can be created.
    EXPECT_EQ(ResolveNoCase(root, "\\Data\\settings.dat"), root / "Data" / "settings.dat");
}

TEST_F(FileSearchTest, StemMatchesAreInByteOrderOfNames) {
    Touch(root / "music" / "Track.xm");
    Touch(root / "music" / "track.mod");
    Touch(root / "music" / "tracker.mod");  // another stem
    Touch(root / "music" / "track");        // no extension
    auto found = FindStemMatches(root / "music", "TRACK");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].filename(), "Track.xm");  // 'T' sorts before 't'
    EXPECT_EQ(found[1].filename(), "track");     // "track.*" takes the bare name too
    EXPECT_EQ(found[2].filename(), "track.mod");
    EXPECT_EQ(ExtensionLower(found[0]), "xm");
    EXPECT_EQ(ExtensionLower(found[1]), "");
}

} // namespace
} // namespace rdv
