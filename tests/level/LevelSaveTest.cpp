#include <filesystem>

#include "level/LevelTestSupport.h"

namespace rdv::test {
namespace {

class SaveTest : public LevelTest {
protected:
    // Loads a fresh copy of `name` into a second level.
    std::unique_ptr<engLevel> Reload(const std::string& name) {
        auto copy = std::make_unique<engLevel>(engine);
        copy->LoadLevel(name);
        return copy;
    }
};

TEST_F(SaveTest, WaterInsideAWallRunKeepsTheRunWhole) {
    // Pass 3 runs along y.
    WriteLevel("base2", {"", "-World", "x=1", "y=5", "z=1", "*"});
    level->LoadLevel("base2");
    for (int y = 0; y < 5; ++y) level->SetMapObject(0, y, 0, 0, 0, -1, -1);
    level->SetMapObject(0, 2, 0, 0, 0, -1, -26);
    level->SaveLevel("water");
    EXPECT_EQ(ReadLines("water"),
              (std::vector<std::string>{"BTv1", "#Created with RondovarII v1.0.29", "-World", "x=1", "y=5", "z=1",
                                        "-Wall", "up=z", "sx=0", "sy=0", "sz=0", "dy=4", "-Water", "sy=2", "dy=2",
                                        "*"}));
    auto copy = Reload("water");
    for (int y = 0; y < 5; ++y) EXPECT_EQ(copy->GetMapObject(0, y, 0, 0, 0, -1), y == 2 ? -26 : -1) << y;
}

TEST_F(SaveTest, RunsCloseOnEmptyFacesAndEarlierCodes) {
    // The Wall run at y 3 goes on over the MarkedMetal painted after it; the
    // MarkedMetal runs stop at the empty face and at the earlier Wall.
    WriteLevel("base", {"", "-World", "x=1", "y=6", "z=1", "*"});
    level->LoadLevel("base");
    const int32_t row[6] = {-5, 0, -5, -1, -5, -5};
    for (int y = 0; y < 6; ++y) level->SetMapObject(0, y, 0, 0, 0, -1, row[y]);
    level->SaveLevel("runs");
    EXPECT_EQ(ReadLines("runs"),
              (std::vector<std::string>{"BTv1", "#Created with RondovarII v1.0.29", "-World", "x=1", "y=6", "z=1",
                                        "-Wall", "up=z", "sx=0", "sy=3", "sz=0", "dy=5", "-MarkedMetal", "sy=0",
                                        "dy=0", "sy=2", "dy=2", "sy=4", "dy=5", "*"}));
}

TEST_F(SaveTest, ObjectsAreWrittenByKind) {
    WriteLevel("objects", {"", "-World", "x=2", "y=2", "z=2", "-Ball", "-MoveChain", "up=x", "sx=1", "dy=1",
                           "-MoveChain", "-PointCamera", "-Director", "*"});
    level->LoadLevel("objects");
    level->SaveLevel("objects");
    const auto lines = ReadLines("objects");
    // The painted move chain with its paint, then the ball and director; the
    // unpainted move chain is dropped, the camera writes nothing of itself.
    EXPECT_EQ(lines, (std::vector<std::string>{"BTv1", "#Created with RondovarII v1.0.29", "-World", "x=2", "y=2",
                                               "z=2", "-MoveChain", "up=x", "sx=1", "sy=0", "sz=0", "dy=1", "-Ball",
                                               "-Director", "*"}));
    // The file was replaced whole, with nothing left beside it.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "maps")) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SaveTest, RandomGridsComeBackFaceForFace) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 40; ++round) {
        const int32_t X = 1 + static_cast<int32_t>(rng() % 5), Y = 1 + static_cast<int32_t>(rng() % 5),
                      Z = 1 + static_cast<int32_t>(rng() % 4);
        const int chains = static_cast<int>(rng() % 4);
        std::vector<std::string> lines = {"", "-World", "x=" + std::to_string(X), "y=" + std::to_string(Y),
                                          "z=" + std::to_string(Z), "-Ball"};
        for (int c = 0; c < chains; ++c) lines.push_back("-MoveChain");
        lines.push_back("*");
        WriteLevel("random", lines);
        level->LoadLevel("random");
        // Object 1 is the ball; 2.. are the move chains.
        for (int o = 0; o < 3; ++o) {
            const auto count = level->Faces(o).size() - 1;
            for (size_t i = 0; i < count; ++i) {
                const uint32_t pick = rng() % 10;
                int32_t v = 0;
                if (pick >= 3 && pick < 8) v = -static_cast<int32_t>(1 + rng() % 26);
                else if (pick >= 8 && chains > 0) v = 2 + static_cast<int32_t>(rng() % static_cast<uint32_t>(chains));
                const_cast<std::vector<int32_t>&>(level->Faces(o))[i] = v;
            }
        }
        level->SaveLevel("random");
        auto copy = Reload("random");
        ASSERT_EQ(copy->SizeX(), X);
        ASSERT_EQ(copy->SizeY(), Y);
        ASSERT_EQ(copy->SizeZ(), Z);
        for (int o = 0; o < 3; ++o) {
            const auto& a = level->Faces(o);
            const auto& b = copy->Faces(o);
            ASSERT_EQ(a.size(), b.size());
            for (size_t i = 0; i + 1 < a.size(); ++i) {
                // Move chains that painted nothing are not saved, so later
                // ones come back with a lower number; compare through names.
                if (a[i] > 0) {
                    ASSERT_GT(b[i], 0) << "round " << round << " orientation " << o << " face " << i;
                    EXPECT_EQ(copy->MapObjectName(b[i]), level->MapObjectName(a[i]));
                } else {
                    ASSERT_EQ(a[i], b[i]) << "round " << round << " orientation " << o << " face " << i;
                }
            }
        }
    }
}

TEST_F(SaveTest, ExactNumbersSurviveWhenEveryChainIsPainted) {
    WriteLevel("three", {"", "-World", "x=3", "y=3", "z=3", "-MoveChain", "-MoveChain", "-MoveChain", "*"});
    level->LoadLevel("three");
    level->SetMapObject(0, 0, 0, 0, 0, -1, 3);
    level->SetMapObject(1, 0, 0, 0, 0, -1, 1);
    level->SetMapObject(2, 0, 0, 0, 0, -1, 2);
    level->SetMapObject(0, 1, 0, 0, 0, -1, 2);
    level->SaveLevel("three");
    auto copy = Reload("three");
    for (int o = 0; o < 3; ++o) EXPECT_EQ(copy->Faces(o), level->Faces(o)) << o;
}

} // namespace
} // namespace rdv::test
