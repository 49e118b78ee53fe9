// Every shipped level is winnable: its solution, kept in
// tests/content/solutions/LEVEL.txt (LEVEL = the level's file name without
// the pack), is played through the level simulator until the flag post ends
// the level with "endlevel 1". A level without a solution file fails. All
// the way, every ball stays inside its player's picture.
//
// A solution file is one of three forms, named by its first line:
//
//   cutscene                 the next line is a cutscene command that
//   f.f.<f.+f.               steers player 1's ball ("f" forward, "b" back,
//                            "<" ">" turn, "+" jump; "." ends a decision)
//
//   keys                     timed key presses for player 1's key handler,
//   0 down 0xC8              one "MS down|up SCANCODE" line each (MS of
//   1300 up 0xC8             game time after the load, DirectInput scan
//                            codes in decimal or hex: 0xC8 Up, 0xD0 Down,
//                            0xCB Left, 0xCD Right, 0x39 Space), the
//                            format of rondovar-sim --keys
//
//   loop 180000              the level steers itself (the entry level): it
//                            runs for that many ms without ending, and the
//                            ball keeps coming back to where it started
//
// Lines starting with "#" are comments.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <sstream>

#include "content/ContentTestSupport.h"
#include "core/Error.h"
#include "level/Level.h"
#include "level/Simulation.h"
#include "objects/Ball.h"

namespace rdv::test {
namespace {

constexpr int32_t kStep = 10;
// A training level takes well under a minute; none may take more than this.
constexpr int32_t kTimeLimit = 180000;

struct Solution {
    std::string form;               // "cutscene", "keys" or "loop"
    std::string command;            // cutscene
    struct Key {
        int32_t ms;
        int scanCode;
        bool down;
    };
    std::vector<Key> keys;          // keys
    int32_t loopMs = 0;             // loop
    std::string error;              // why the file does not parse
};

Solution ReadSolution(const std::filesystem::path& path) {
    Solution s;
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(path))
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    if (lines.empty()) {
        s.error = "no solution file " + path.string();
        return s;
    }
    std::istringstream head(lines[0]);
    head >> s.form;
    if (s.form == "cutscene") {
        if (lines.size() != 2 || lines[1].empty()) s.error = "a cutscene solution is one command line";
        else s.command = lines[1];
    } else if (s.form == "keys") {
        for (size_t i = 1; i < lines.size(); ++i) {
            std::istringstream in(lines[i]);
            Solution::Key k{};
            std::string dir, code;
            size_t used = 0;
            // Scan codes in decimal or 0x hex, as rondovar-sim --keys reads them.
            try {
                if (in >> k.ms >> dir >> code) k.scanCode = std::stoi(code, &used, 0);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != code.size() || (dir != "down" && dir != "up") || k.scanCode < 1 ||
                k.scanCode > 255) {
                s.error = "bad key line: " + lines[i];
                return s;
            }
            k.down = dir == "down";
            s.keys.push_back(k);
        }
    } else if (s.form == "loop") {
        if (!(head >> s.loopMs) || s.loopMs <= 0) s.error = "loop needs a time in ms";
    } else {
        s.error = "unknown solution form: " + lines[0];
    }
    return s;
}

// The ball of player 0.
objBall* PlayerOneBall(engLevel& level) {
    for (int32_t n = 1; n <= level.MapObjects(); ++n)
        if (auto* ball = dynamic_cast<objBall*>(level.MapObject(n)))
            if (ball->player == 0) return ball;
    return nullptr;
}

// Whether the ball's drawn centre is inside its player's picture: the
// game's projection spans ±0.5 of the depth vertically and ±0.5 × aspect
// across; 4:3 is the narrowest picture the display page offers.
bool BallInView(Engine& engine, objBall& ball) {
    ball.WritePos();
    const D3DXVECTOR3 world = engine.ParsedVector;
    D3DXVECTOR3 v;
    D3DXVec3TransformCoord(&v, &world, &engine.playerViews[static_cast<size_t>(ball.player)].view);
    if (v.z < 0.1f) return false;
    return std::abs(v.x / v.z) <= 0.5f * 4.0f / 3.0f && std::abs(v.y / v.z) <= 0.5f;
}

class SolutionTest : public ::testing::TestWithParam<ShippedLevel> {};

TEST_P(SolutionTest, SolutionWinsTheLevel) {
    const ShippedLevel& level = GetParam();
    const Solution solution = ReadSolution(kSource / "tests" / "content" / "solutions" / (level.fileStem + ".txt"));
    ASSERT_TRUE(solution.error.empty()) << level.name << ": " << solution.error;

    Simulation sim(kGame);
    sim.engine().rng.seed(1);
    try {
        sim.Load(level.name);
    } catch (const EngineError& e) {
        FAIL() << level.name << ": error " << e.number << " in " << e.source << ": " << e.description;
    }
    if (solution.form == "cutscene") sim.DriveBall(1, solution.command);
    for (const auto& k : solution.keys) sim.ScheduleKey(k.ms, k.scanCode, k.down);

    const int32_t limit = solution.form == "loop" ? solution.loopMs : kTimeLimit;
    objBall* ball = PlayerOneBall(*sim.level());
    ASSERT_NE(ball, nullptr) << level.name << ": no ball for player 1";
    const D3DXVECTOR3 start = ball->position;

    std::vector<std::string> endings;
    int32_t returns = 0;
    bool away = false;
    std::set<std::tuple<int, int, int>> cells;
    int32_t time = 0;
    // Every ball is in its player's picture all the way; counted in ms.
    std::array<int32_t, 2> outOfView{0, 0};
    std::array<int32_t, 2> firstOut{-1, -1};
    // In slices, so that a won level stops at once.
    while (time < limit && endings.empty()) {
        const int32_t slice = std::min(100, limit - time);
        try {
            sim.Run(kStep, slice, [&](const std::string& line) {
                std::istringstream in(line);
                std::string at, what;
                in >> at >> what;
                if (what == "endlevel") endings.push_back(line);
            });
        } catch (const EngineError& e) {
            FAIL() << level.name << " at " << time << " ms: error " << e.number << " in " << e.source << ": "
                   << e.description;
        }
        time += slice;
        for (int32_t n = 1; n <= sim.level()->MapObjects(); ++n) {
            auto* b = dynamic_cast<objBall*>(sim.level()->MapObject(n));
            if (!b || b->player < 0 || b->player > 1 || !endings.empty()) continue;
            if (!BallInView(sim.engine(), *b)) {
                outOfView[static_cast<size_t>(b->player)] += slice;
                if (firstOut[static_cast<size_t>(b->player)] < 0) firstOut[static_cast<size_t>(b->player)] = time;
            }
        }
        // The ball may be replaced by a restart; look it up each slice.
        ball = PlayerOneBall(*sim.level());
        if (!ball) break;
        const D3DXVECTOR3 p = ball->position;
        cells.insert({static_cast<int>(std::lround(p.x / 1.5f)), static_cast<int>(std::lround(p.y / 1.5f)),
                      static_cast<int>(std::lround(p.z / 1.5f))});
        const bool atStart = p == start;
        if (atStart && away) ++returns;
        away = !atStart;
    }

    for (size_t p = 0; p < 2; ++p)
        EXPECT_EQ(outOfView[p], 0) << level.name << ": player " << p + 1 << "'s ball is out of the picture for "
                                   << outOfView[p] << " ms, first at " << firstOut[p] << " ms";

    if (solution.form == "loop") {
        EXPECT_TRUE(endings.empty()) << level.name << " ended: " << (endings.empty() ? "" : endings[0]);
        EXPECT_GE(cells.size(), 8u) << level.name << ": the ball hardly moves";
        EXPECT_GE(returns, 2) << level.name << ": the ball does not come round to its start again";
        return;
    }
    ASSERT_FALSE(endings.empty()) << level.name << ": the solution does not reach the flag within " << limit
                                  << " ms";
    EXPECT_NE(endings[0].find("endlevel 1"), std::string::npos) << level.name << ": " << endings[0];
}

std::string LevelName(const ::testing::TestParamInfo<ShippedLevel>& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shipped, SolutionTest, ::testing::ValuesIn(ShippedLevels()), LevelName);

// Each campaign played as the game plays it, from New game to the last
// level's flag: the campaign file leads from level to level (the pack's
// level included) and each level's solution is applied as it loads. The
// game folder is borrowed read-only; progress.dat goes to a scratch copy of
// the data folder.
class CampaignPlaythroughTest : public ::testing::TestWithParam<Campaign> {};

std::filesystem::path ScratchProgramFolder(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(RDV_BINARY_DIR) / "test-content" / name;
    fs::remove_all(folder);
    fs::create_directories(folder / "data");
    for (const char* sub : {"maps", "models", "textures", "music", "shaders", "save"})
        if (fs::exists(kGame / sub)) fs::create_directory_symlink(kGame / sub, folder / sub);
    for (const auto& e : fs::directory_iterator(kGame / "data"))
        if (e.path().filename() != "progress.dat") fs::copy_file(e.path(), folder / "data" / e.path().filename());
    return folder;
}

TEST_P(CampaignPlaythroughTest, SolutionsLeadThroughEveryLevelToTheEnd) {
    const Campaign& campaign = GetParam();
    ASSERT_FALSE(campaign.levels.empty());
    Simulation sim(ScratchProgramFolder(campaign.file));
    sim.engine().rng.seed(1);
    std::string problem;
    sim.onLevelLoaded = [&](Simulation& s, const std::string& level) {
        const std::string stem = level.substr(level.find('#') + 1);
        const Solution solution = ReadSolution(kSource / "tests" / "content" / "solutions" / (stem + ".txt"));
        if (!solution.error.empty()) problem = level + ": " + solution.error;
        if (solution.form == "cutscene") s.DriveBall(1, solution.command);
        for (const auto& k : solution.keys) s.ScheduleKey(k.ms, k.scanCode, k.down);
    };
    std::vector<std::string> loaded;
    std::vector<std::string> endings;
    auto emit = [&](const std::string& line) {
        std::istringstream in(line);
        std::string at, what, rest;
        in >> at >> what >> rest;
        if (what == "level") loaded.push_back(rest);
        if (what == "endlevel") endings.push_back(rest + " in " + (loaded.empty() ? "?" : loaded.back()));
    };
    sim.BootCampaign(campaign.file, 1);
    const int64_t limit = kTimeLimit * static_cast<int64_t>(campaign.levels.size());
    // Done when the last level has been won and comes round again.
    while (sim.Time() < limit && loaded.size() <= campaign.levels.size() && problem.empty()) sim.Run(kStep, 1000, emit);
    ASSERT_TRUE(problem.empty()) << problem;
    for (const std::string& e : endings) EXPECT_EQ(e.substr(0, 1), "1") << campaign.file << ": endlevel " << e;
    std::vector<std::string> want = campaign.levels;
    want.push_back(campaign.levels.back());
    loaded.resize(std::min(loaded.size(), want.size()));
    EXPECT_EQ(loaded, want) << campaign.file << ": the levels loaded";
}

std::string CampaignName(const ::testing::TestParamInfo<Campaign>& info) { return info.param.file; }

INSTANTIATE_TEST_SUITE_P(Shipped, CampaignPlaythroughTest, ::testing::ValuesIn(ShippedCampaigns()), CampaignName);

// The list itself: every level a campaign names is shipped (and so tested
// above), every shipped level but the entry belongs to a campaign, and
// every solution file belongs to a shipped level.
TEST(ShippedLevelsTest, CampaignsAndSolutionsCoverTheShippedLevels) {
    const std::vector<ShippedLevel> shipped = ShippedLevels();
    std::set<std::string> names, stems;
    for (const auto& l : shipped) {
        names.insert(l.name);
        EXPECT_TRUE(stems.insert(l.fileStem).second) << "two shipped levels share the file name " << l.fileStem;
    }
    ASSERT_TRUE(names.count("entry")) << "no entry level";

    std::set<std::string> inCampaigns;
    for (const Campaign& c : ShippedCampaigns()) {
        EXPECT_FALSE(c.levels.empty()) << "campaign " << c.file << " has no levels (or no file)";
        for (const std::string& level : c.levels) {
            EXPECT_TRUE(names.count(level)) << "campaign " << c.file << " names " << level << ", which is not shipped";
            inCampaigns.insert(level);
        }
    }
    for (const auto& l : shipped) {
        if (l.name == "entry") continue;
        EXPECT_TRUE(inCampaigns.count(l.name)) << l.name << " is in no campaign";
    }

    for (const auto& e : std::filesystem::directory_iterator(kSource / "tests" / "content" / "solutions"))
        EXPECT_TRUE(stems.count(e.path().stem().string())) << "solution for a level that is not shipped: " << e.path();
}

} // namespace
} // namespace rdv::test
