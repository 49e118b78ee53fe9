// rondovar-snapshot as a level author runs it: from the program folder,
// one model in, one PNG out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <stb_image.h>

namespace fs = std::filesystem;

namespace {

const fs::path kGame = RDV_GAME_DIR;

int RunSnapshot(const std::string& arguments) {
    std::string command = "cd '" + kGame.string() + "' && SDL_VIDEODRIVER=offscreen ./rondovar-snapshot " + arguments +
                          " > /dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path OutFile(const std::string& name) {
    return fs::temp_directory_path() / ("rdv_snapshot_" + std::to_string(::getpid()) + "_" + name + ".png");
}

} // namespace

TEST(SnapshotTool, WritesAPictureThatShowsTheModel) {
    if (!fs::exists(kGame / "rondovar-snapshot")) GTEST_SKIP() << "rondovar-snapshot not built";
    fs::path out = OutFile("simple");
    ASSERT_EQ(RunSnapshot("--size 160x120 --model test_textured " + out.string()), 0);
    int w = 0, h = 0, n = 0;
    unsigned char* p = stbi_load(out.c_str(), &w, &h, &n, 4);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    // The texture's red quarter lies up and left of the centre; the corner is background.
    const unsigned char* red = p + ((120 / 2 - 15) * 160 + (160 / 2 - 15)) * 4;
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[1], 40);
    EXPECT_EQ(p[0] + p[1] + p[2], 0);
    stbi_image_free(p);
    fs::remove(out);
}

TEST(SnapshotTool, ViewAndStateOptions) {
    if (!fs::exists(kGame / "rondovar-snapshot")) GTEST_SKIP() << "rondovar-snapshot not built";
    fs::path out = OutFile("groups");
    auto sums = [&](long& left, long& right) {
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(out.c_str(), &w, &h, &n, 4);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(w, 320);
        left = right = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned char* q = p + (y * w + x) * 4;
                (x < w / 2 ? left : right) += q[0] + q[1] + q[2];
            }
        stbi_image_free(p);
    };
    long left = 0, right = 0;
    // State 1 is the blue square on the right (seen from +x, +y is left).
    ASSERT_EQ(RunSnapshot("--state 1 --phase 0 --model test_groups " + out.string()), 0);
    sums(left, right);
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 0);
    // From behind every face is culled.
    ASSERT_EQ(RunSnapshot("--eye -4,0,0 --at 0,0,0 --up 0,0,1 --state 1 --model test_groups " + out.string()), 0);
    sums(left, right);
    EXPECT_EQ(left + right, 0);
    fs::remove(out);
}

TEST(SnapshotTool, RefusesBadArgumentsAndMissingModels) {
    if (!fs::exists(kGame / "rondovar-snapshot")) GTEST_SKIP() << "rondovar-snapshot not built";
    fs::path out = OutFile("bad");
    EXPECT_EQ(RunSnapshot("--size 0x10 --model test_simple " + out.string()), 2);
    EXPECT_EQ(RunSnapshot("--frobnicate 3 " + out.string()), 2);
    EXPECT_EQ(RunSnapshot("--model test_simple"), 2);   // no output file
    EXPECT_EQ(RunSnapshot("--model no_such_model " + out.string()), 1);
    EXPECT_FALSE(fs::exists(out));
}
