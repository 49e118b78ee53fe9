// rondovar-snapshot as a level author runs it: from the program folder,
// one model in, one PNG out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
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

// Without --state a model is drawn as the game first draws it: the ball
// (a composite whose parts answer state 1) shows, and the flag post's cloth
// reads from the default eye on +x, along the pole's plane.
TEST(SnapshotTool, ModelsShowAsTheGameFirstDrawsThem) {
    if (!fs::exists(kGame / "rondovar-snapshot")) GTEST_SKIP() << "rondovar-snapshot not built";
    fs::path out = OutFile("first");
    auto pixels = [&](long& lit, long& red) {
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(out.c_str(), &w, &h, &n, 4);
        ASSERT_NE(p, nullptr);
        lit = red = 0;
        for (int i = 0; i < w * h; ++i) {
            const unsigned char* q = p + i * 4;
            if (q[0] + q[1] + q[2] > 30) ++lit;
            if (q[0] > 60 && q[0] > 2 * q[1] && q[0] > 2 * q[2]) ++red;
        }
        stbi_image_free(p);
    };
    long lit = 0, red = 0;
    ASSERT_EQ(RunSnapshot("--model ball_y " + out.string()), 0);
    pixels(lit, red);
    EXPECT_GT(lit, 320 * 240 / 10) << "the ball is not drawn";
    ASSERT_EQ(RunSnapshot("--model flagpost " + out.string()), 0);
    pixels(lit, red);
    EXPECT_GT(red, 100) << "the flag's cloth does not show";
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

namespace {

// A program folder of its own: a copy of the tool (which finds its data
// beside itself), the game's models, textures and shaders, and one level.
class LevelSnapshotFolder {
public:
    explicit LevelSnapshotFolder(const std::vector<std::string>& level) {
        root_ = fs::temp_directory_path() / ("rdv_snapshot_dir_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "maps");
        fs::copy_file(kGame / "rondovar-snapshot", root_ / "rondovar-snapshot");
        for (const char* folder : {"models", "textures", "shaders"})
            if (fs::exists(kGame / folder)) fs::create_directory_symlink(kGame / folder, root_ / folder);
        std::ofstream out(root_ / "maps" / "view.tcs", std::ios::binary);
        out << "BTv1\r\n";
        for (const auto& line : level) out << line << "\r\n";
    }
    ~LevelSnapshotFolder() { fs::remove_all(root_); }

    // The picture's pixels (RGBA), empty when the tool failed.
    std::vector<unsigned char> Shoot(const std::string& arguments) {
        const fs::path out = root_ / "shot.png";
        fs::remove(out);
        const std::string command = "cd '" + root_.string() +
                                    "' && SDL_VIDEODRIVER=offscreen ./rondovar-snapshot --size 160x120 --level view " +
                                    arguments + " " + out.string() + " > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load(out.c_str(), &w, &h, &n, 4);
        if (!p) return {};
        std::vector<unsigned char> pixels(p, p + size_t(w) * size_t(h) * 4);
        stbi_image_free(p);
        return pixels;
    }

private:
    fs::path root_;
};

// The share of pixels whose colour differs by more than a little.
double DifferentShare(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    if (a.size() != b.size() || a.empty()) return 1.0;
    size_t different = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(a[i + size_t(c)]) - int(b[i + size_t(c)])) > 8) {
                ++different;
                break;
            }
    return double(different) / double(a.size() / 4);
}

} // namespace

TEST(SnapshotTool, ALevelWithADirectorIsDrawnFromPlayerZerosView) {
    if (!fs::exists(kGame / "rondovar-snapshot")) GTEST_SKIP() << "rondovar-snapshot not built";
    // A floor, a grass wall at the far side and a ball; a point camera at
    // (3, 0, 1.5) looking along +y whatever the ball does, and a director.
    std::vector<std::string> level = {"-World", "x=5", "y=6", "z=4", "-Wall", "up=z", "sz=0"};
    for (int y = 0; y < 6; ++y) {
        level.push_back("sy=" + std::to_string(y));
        level.push_back("sx=0");
        level.push_back("dx=4");
    }
    level.insert(level.end(), {"-Grass", "up=y", "sy=5"});
    for (int z = 0; z < 4; ++z) {
        level.push_back("sz=" + std::to_string(z));
        level.push_back("sx=0");
        level.push_back("dx=4");
    }
    level.insert(level.end(), {"-Ball", "x=2", "y=2", "z=0", "player=1", "up=z", "-PointCamera", "x=2", "y=0", "z=1",
                               "lx=0", "ly=1", "lz=0", "follow=false", "-Director", "player=1"});
    LevelSnapshotFolder folder(level);

    const auto own = folder.Shoot("");
    ASSERT_FALSE(own.empty()) << "rondovar-snapshot failed";
    const auto camera = folder.Shoot("--eye 3,0,1.5 --at 3,1,1.5 --up 0,0,1");
    ASSERT_FALSE(camera.empty());
    // The level's start pose, where player 0's view would be without the director.
    const auto start = folder.Shoot("--eye -2,-2,5 --at 4.5,4.5,3 --up 0,0,1");
    ASSERT_FALSE(start.empty());

    EXPECT_LT(DifferentShare(own, camera), 0.01);
    EXPECT_GT(DifferentShare(own, start), 0.2);
    // Looking straight at the grass wall: the middle of the picture is green.
    const unsigned char* middle = own.data() + (60 * 160 + 80) * 4;
    EXPECT_GT(int(middle[1]), int(middle[0]));
    EXPECT_GT(int(middle[1]), int(middle[2]));
}
