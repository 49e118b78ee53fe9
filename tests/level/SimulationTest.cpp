#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "level/Simulation.h"
#include "objects/BallTestSupport.h"

namespace rdv::test {
namespace {

class SimulationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::path(RDV_BINARY_DIR) / "test-sim" / info->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "maps");
    }
    void WriteLevel(const std::string& name, const std::vector<std::string>& lines) {
        std::ofstream out(folder / "maps" / (name + ".tcs"), std::ios::binary);
        out << "BTv1\r\n";
        for (const auto& line : lines) out << line << "\r\n";
    }
    // Runs the level and returns every line.
    std::vector<std::string> Simulate(const std::string& name, int32_t step, int32_t total) {
        Simulation sim(folder);
        sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        sim.Load(name);
        std::vector<std::string> lines;
        sim.Run(step, total, [&](const std::string& l) { lines.push_back(l); });
        return lines;
    }
    std::filesystem::path folder;
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(SimulationTest, ABallOnAFloorBouncesOnTheSpotAtTheExactMilliseconds) {
    WriteLevel("rest", {"-World", "x=4", "y=4", "z=3", "-Wall", "up=z", "sx=1", "sy=1", "sz=1", "dx=1", "-Ball", "x=1",
                        "y=1", "z=1", "player=1", "up=z"});
    const std::vector<std::string> lines = Simulate("rest", 1, 3000);
    const std::vector<std::string> want = {
        "0 ball 0 phase 1 cell 1 1 1 up 0 0 1",    "1 ball 0 phase 3 cell 1 1 1 up 0 0 1",
        "500 ball 0 phase 2 cell 1 1 1 up 0 0 1",  "900 ball 0 phase 1 cell 1 1 1 up 0 0 1",
        "1300 ball 0 phase 3 cell 1 1 1 up 0 0 1", "1800 ball 0 phase 2 cell 1 1 1 up 0 0 1",
        "2200 ball 0 phase 1 cell 1 1 1 up 0 0 1", "2600 ball 0 phase 3 cell 1 1 1 up 0 0 1"};
    EXPECT_EQ(lines, want);
}

TEST_F(SimulationTest, AScriptedBallRollsAlongTheRowFallsOffAndStartsAgain) {
    WriteLevel("row", {"-World", "x=3", "y=6", "z=3", "-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3",
                       "-CutsceneController", "command=f.", "-Ball", "x=1", "y=0", "z=1", "player=1", "up=z",
                       "controller=1"});
    const std::vector<std::string> lines = Simulate("row", 10, 12000);
    // 1300 ms a cell: 3 (500), 37 (210), 36 (190), step, 5 (400).
    EXPECT_TRUE(Has(lines, "900 ball 0 phase 5 cell 1 1 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "2200 ball 0 phase 5 cell 1 2 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "3500 ball 0 phase 5 cell 1 3 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "4800 ball 0 phase 5 cell 1 4 1 up 0 0 1"));
    // Nothing under the fifth cell: it falls out of the world.
    EXPECT_TRUE(Has(lines, "5200 ball 0 phase 10 cell 1 4 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "5800 ball 0 phase 10 cell 1 4 0 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "6400 ball 0 phase 10 cell 1 4 -1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "6400 endlevel 2"));
    // After the lost ball's countdown the level asks for the next one and
    // the ball is put back at its start.
    auto at = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find(" loadnext ") != std::string::npos; });
    ASSERT_NE(at, lines.end());
    const std::string time = at->substr(0, at->find(' '));
    EXPECT_EQ(*at, time + " loadnext 2");
    EXPECT_GE(std::stoi(time), 11400);
    EXPECT_LE(std::stoi(time), 11410);
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), time + " ball 0 phase 1 cell 1 0 1 up 0 0 1");
}

TEST_F(SimulationTest, CommandLineOptionsAndLoadErrors) {
    SimulationOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimulationArguments({"--step", "1", "--ms", "3000", "--seed", "7", "lvl"}, o, error));
    EXPECT_EQ(o.step, 1);
    EXPECT_EQ(o.total, 3000);
    EXPECT_TRUE(o.seeded);
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.level, "lvl");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"--step", "0", "l"}, {"--step"}, {"--ms", "x", "l"}, {"--views", "l"}, {"a", "b"}}) {
        SimulationOptions p;
        EXPECT_FALSE(ParseSimulationArguments(bad, p, error));
        EXPECT_FALSE(error.empty());
    }

    std::ostringstream out, err;
    EXPECT_EQ(RunSimulator({"missing"}, folder, out, err), 1);
    EXPECT_EQ(out.str().rfind("error 1002 in Engine->LoadLevel", 0), 0u) << out.str();
    WriteLevel("bad", {"-World", "x=2", "y=2", "z=2", "-Ball", "player=3"});
    std::ostringstream out2;
    auto quiet = [](Simulation& sim) { sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); }; };
    EXPECT_EQ(RunSimulator({"bad"}, folder, out2, err, quiet), 1);
    EXPECT_EQ(out2.str(), "error 1005 in Engine->LoadLevel->ReadLevelFile->AssignProperty->objBall.AssignVar: "
                          "Invalid property value for 'Ball.player', must be 1 or 2: 3\n");
    std::ostringstream err2;
    EXPECT_EQ(RunSimulator({"--nope", "bad"}, folder, out2, err2), 2);
}

} // namespace
} // namespace rdv::test
