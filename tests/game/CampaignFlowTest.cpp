// A campaign played through the game flow itself: the game starts in the
// entry level, a campaign is booted as the menu's New game does, a ball that
// reaches its flag post leads on to the next level (saving the progress) and
// a ball that falls out of the world restarts its level.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "headless/RecordingEngine.h"
#include "level/Level.h"
#include "objects/BallTestSupport.h"

namespace rdv::test {
namespace {

class CampaignFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::path(RDV_BINARY_DIR) / "test-campaign-flow" / info->name();
        std::filesystem::remove_all(folder);
        for (const char* sub : {"data", "maps", "models"}) std::filesystem::create_directories(folder / sub);
        // A floor row along y; the ball starts at its first cell.
        const std::string floor = "-World\nx=3\ny=5\nz=3\n-Grass\nup=z\nsx=1\nsy=0\nsz=0\ndy=4\n";
        Write("maps/entry.tcs", "BTv1\n" + floor + "-Ball\nx=1\ny=0\nz=1\nup=z\nplayer=1\n");
        // Level one: rolls two cells ahead onto the flag post.
        Write("maps/one.tcs", "BTv1\n" + floor +
                                  "-CutsceneController\ncommand=f.\n-Ball\nx=1\ny=0\nz=1\nup=z\nplayer=1\ncontroller=1\n"
                                  "-Flagpost\nx=1\ny=2\nz=0\nup=z\nplayer=1\n");
        // Level two: the flag post stands beside the row, out of reach; the
        // ball rolls off the end of the floor and is lost.
        Write("maps/two.tcs", "BTv1\n" + floor +
                                  "-CutsceneController\ncommand=f.\n-Ball\nx=1\ny=0\nz=1\nup=z\nplayer=1\ncontroller=1\n"
                                  "-Flagpost\nx=0\ny=2\nz=0\nup=z\nplayer=1\n");
        Write("data/trip.dat", "N=2\n1=one\n2=two\n");

        rec = MakeRecordingEngine(folder);
        rec->gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        engine().flags.startFile.clear();
        GameStart(engine());
        game = &Game(engine());
        game->readInput = [] { return MenuInput{}; };
    }
    void TearDown() override { GameShutdown(engine()); }

    Engine& engine() { return rec->engine; }
    void Write(const std::string& relative, const std::string& text) {
        std::ofstream out(folder / relative, std::ios::binary);
        out << text;
    }
    std::string Progress() {
        std::ifstream in(folder / "data" / "progress.dat", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Runs frames of `step` ms until `done` holds or `limit` ms have passed;
    // returns the game time it took.
    template <class F>
    int32_t RunUntil(F&& done, int32_t limit, int32_t step = 10) {
        for (int32_t t = 0; t < limit; t += step) {
            if (done()) return t;
            rec->clock->Advance(uint32_t(step));
            game->Frame();
        }
        return done() ? limit : -1;
    }
    int32_t LevelValue() {
        const std::string bytes = Progress();
        if (bytes.size() < 16) return -1;
        return int32_t(uint8_t(bytes[12])) | int32_t(uint8_t(bytes[13])) << 8;
    }

    std::filesystem::path folder;
    std::unique_ptr<RecordingEngine> rec;
    engGame* game = nullptr;
};

TEST_F(CampaignFlowTest, WinningLeadsToTheNextLevelAndSavesLosingReplaysWithoutSaving) {
    ASSERT_EQ(game->currentLevelName, "entry");
    engLevel* entry = game->Level();
    ASSERT_NE(entry, nullptr);

    // What the campaign page's button does.
    game->campaign->LoadCampaign("trip");
    game->campaign->Bootcampaign(1);
    ASSERT_GE(RunUntil([&] { return game->currentLevelName == "one"; }, 2000), 0);
    EXPECT_EQ(game->campaign->mode, engCampaign::Playing);
    EXPECT_FALSE(std::filesystem::exists(folder / "data" / "progress.dat"));

    // Two cells at 1300 ms each, then the level's end countdown.
    ASSERT_GE(RunUntil([&] { return game->currentLevelName == "two"; }, 20000), 0);
    const std::string record = Progress();
    ASSERT_EQ(record.size(), 16u);
    EXPECT_EQ(record.substr(0, 12), std::string(8, ' ') + "trip");
    EXPECT_EQ(LevelValue(), 2);

    // Level two is lost: the same level comes back, progress untouched.
    engLevel* firstTry = game->Level();
    ASSERT_GE(RunUntil([&] { return game->Level() != firstTry; }, 30000), 0);
    EXPECT_EQ(game->currentLevelName, "two");
    EXPECT_EQ(Progress(), record);

    // Continue boots the saved level.
    game->campaign->LoadCampaign("trip");
    game->campaign->Bootcampaign(0);
    engLevel* before = game->Level();
    ASSERT_GE(RunUntil([&] { return game->Level() != before; }, 2000), 0);
    EXPECT_EQ(game->currentLevelName, "two");
}

TEST_F(CampaignFlowTest, TheEntryLevelOnlyPutsItsBallBackWhenItEnds) {
    engLevel* entry = game->Level();
    entry->Endlevel(1);
    RunUntil([] { return false; }, 6000);
    EXPECT_EQ(game->Level(), entry);
    EXPECT_EQ(game->currentLevelName, "entry");
    EXPECT_FALSE(std::filesystem::exists(folder / "data" / "progress.dat"));
}

} // namespace
} // namespace rdv::test
