// Every shipped level is winnable: its solution, kept in
// tests/content/solutions/LEVEL.txt (LEVEL = the level's file name without
// the pack), is played through the level simulator until the flag post ends
// the level with "endlevel 1". A level without a solution file fails. All
// the way, every ball stays inside its player's picture, and no painted face
// that hides what lies behind it stands between the player's eye and the
// ball for more than half a second. Every subtitle of the level shows on the
// way, soon after it is due and long enough to be read.
//
// A solution file is one of three forms, named by its first line (the
// simulator's ReadLevelSolution reads them, as rondovar-sim --solutions does):
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
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "content/ContentTestSupport.h"
#include "core/Error.h"
#include "level/Level.h"
#include "headless/Simulation.h"
#include "objects/Ball.h"
#include "objects/BallTestSupport.h"
#include "objects/Subtitle.h"
#include "tiles/SliderFloor.h"

namespace rdv::test {
namespace {

constexpr int32_t kStep = 10;
// A training level takes well under a minute; none may take more than this.
constexpr int32_t kTimeLimit = 180000;

struct Solution : LevelSolution {
    std::string error;   // why the file does not parse
};

Solution ReadSolution(const std::filesystem::path& path) {
    Solution s;
    if (!ReadLevelSolution(path, s, s.error) && s.error.empty()) s.error = "unreadable solution " + path.string();
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

// Tiles the ball shows through: drawn with alpha (ice, force fields,
// water, the laser's beam), drawn as a thin ring, or not drawn at all. A
// slider floor's track shows only where a pad stands (or is heading, face
// cell in cells); the other scripted tiles are solid slabs.
bool SeeThrough(engLevel& level, int32_t reference, const D3DXVECTOR3& faceCell) {
    if (reference == 0) return true;
    if (reference > 0) {
        auto* slider = dynamic_cast<scrSliderFloor*>(level.MapObject(reference));
        if (!slider) return false;
        for (const SliderPad& pad : slider->pads)
            if (pad.position == faceCell || pad.target == faceCell) return false;
        return true;
    }
    switch (-reference) {
    case 4: case 6: case 7: case 8: case 9: case 11: case 15: case 17: case 20: case 21: case 22: case 26: return true;
    default: return false;
    }
}

// The first face that hides what lies behind it on the straight line from
// `from` to `to` (world units), walked cell by cell through the grid; 0
// when the line is clear. Cell i spans i ± 0.5 in cell units.
int32_t FaceBetween(engLevel& level, const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
    const float p[3] = {from.x / 1.5f, from.y / 1.5f, from.z / 1.5f};
    const float q[3] = {to.x / 1.5f, to.y / 1.5f, to.z / 1.5f};
    int32_t cell[3], step[3];
    float next[3], delta[3];
    for (int a = 0; a < 3; ++a) {
        const float d = q[a] - p[a];
        cell[a] = static_cast<int32_t>(std::floor(p[a] + 0.5f));
        step[a] = d > 0 ? 1 : (d < 0 ? -1 : 0);
        if (step[a] == 0) {
            next[a] = delta[a] = std::numeric_limits<float>::infinity();
            continue;
        }
        const float boundary = static_cast<float>(cell[a]) + 0.5f * static_cast<float>(step[a]);
        next[a] = (boundary - p[a]) / d;
        delta[a] = 1.0f / std::abs(d);
    }
    // A level is at most a few hundred cells across; the bound only stops a
    // walk that would not end.
    for (int guard = 0; guard < 1000; ++guard) {
        const int a = next[0] <= next[1] && next[0] <= next[2] ? 0 : (next[1] <= next[2] ? 1 : 2);
        if (next[a] >= 1.0f) return 0;
        int32_t d[3] = {0, 0, 0};
        d[a] = step[a];
        const int32_t reference = level.GetMapObject(cell[0], cell[1], cell[2], d[0], d[1], d[2]);
        // The face belongs to the cell on its + side.
        D3DXVECTOR3 face{float(cell[0]), float(cell[1]), float(cell[2])};
        if (step[a] > 0) (a == 0 ? face.x : a == 1 ? face.y : face.z) += 1;
        if (!SeeThrough(level, reference, face)) return reference;
        cell[a] += step[a];
        next[a] += delta[a];
    }
    return 0;
}

// Cells walled in on every side, where no camera can see the ball and the
// view check does not count: the passage under Training 5's downward fan
// (the fan above, walls round it, the fan door ahead) and Journey 7's lift
// shaft, open only at the top, while the lift's pad stands above the ball.
struct Enclosed {
    std::string level;
    int x, y, z;
};
const std::vector<Enclosed> kEnclosedCells = {{"training5", 1, 6, 0}, {"journey7", 2, 2, 0},
                                              {"journey7", 2, 2, 1}};

bool InEnclosedCell(const std::string& level, const D3DXVECTOR3& at) {
    for (const Enclosed& e : kEnclosedCells)
        if (e.level == level && std::lround(at.x / 1.5f) == e.x && std::lround(at.y / 1.5f) == e.y &&
            std::lround(at.z / 1.5f) == e.z)
            return true;
    return false;
}

// How long a line takes to read: two seconds, and 50 ms a character
// beyond 40.
int32_t ReadingTime(const std::string& text) {
    return 2000 + 50 * std::max(0, static_cast<int32_t>(text.size()) - 40);
}
// A tip that waits longer than this behind another has come too late.
constexpr int32_t kLongestWait = 1500;
// The ball may pass behind a face for this long.
constexpr int32_t kLongestHidden = 500;

// The view check itself: a wall between eye and ball is found, from inside
// the world and from outside it, and ice (drawn with alpha) is seen through.
TEST(ViewCheckTest, FindsTheWallBetweenEyeAndBallAndSeesThroughIce) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(RDV_BINARY_DIR) / "test-content" / "viewcheck";
    fs::remove_all(folder);
    fs::create_directories(folder / "maps");
    {
        std::ofstream out(folder / "maps" / "box.tcs", std::ios::binary);
        for (const char* line : {"BTv1", "-World", "x=4", "y=4", "z=4", "-Wall", "up=x", "sx=1", "sy=0", "sz=0",
                                 "dy=3", "-Ice", "up=x", "sx=2", "sy=0", "sz=0", "dy=3", "*"})
            out << line << "\r\n";
    }
    Simulation sim(folder);
    sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
    sim.Load("box");
    engLevel& level = *sim.level();
    auto at = [](float x, float y, float z) { return D3DXVECTOR3(x * 1.5f, y * 1.5f, z * 1.5f); };
    EXPECT_EQ(FaceBetween(level, at(0, 1, 0), at(1, 1, 0)), -1);      // the wall at x = 0.5
    EXPECT_EQ(FaceBetween(level, at(1, 1, 0), at(0, 1, 0)), -1);      // from its other side
    EXPECT_EQ(FaceBetween(level, at(-3, 1, 0.2f), at(1, 1, 0)), -1);  // from outside the world
    EXPECT_EQ(FaceBetween(level, at(1, 1, 0), at(2, 1, 0)), 0);       // the ice at x = 1.5
    EXPECT_EQ(FaceBetween(level, at(0, 1, 3), at(0, 2, 0)), 0);       // nothing painted there
    EXPECT_EQ(FaceBetween(level, at(0, 1, 2), at(1, 1, 1.2f)), 0);    // over the wall's top
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
    for (const auto& k : solution.keys) sim.ScheduleKey(k.time, k.scanCode, k.down);

    const int32_t limit = solution.form == "loop" ? solution.loopMs : kTimeLimit;
    objBall* ball = PlayerOneBall(*sim.level());
    ASSERT_NE(ball, nullptr) << level.name << ": no ball for player 1";
    const D3DXVECTOR3 start = ball->position;

    // The level's subtitles: how long each was on screen, when it last
    // became due, and its longest wait from due to shown.
    struct Tip {
        objSubtitleText* subtitle;
        int32_t shown = 0;
        bool due = false;
        int32_t dueSince = 0;
        bool shownSinceDue = false;
        int32_t longestWait = 0;
    };
    std::vector<Tip> tips;
    for (int32_t n = 1; n <= sim.level()->MapObjects(); ++n)
        if (auto* subtitle = dynamic_cast<objSubtitleText*>(sim.level()->MapObject(n)))
            if (!subtitle->text.empty()) tips.push_back({subtitle});

    std::string lastLine;   // the last subtitle seen on screen
    std::vector<std::string> endings;
    int32_t returns = 0;
    bool away = false;
    std::set<std::tuple<int, int, int>> cells;
    int32_t time = 0;
    // Every ball is in its player's picture all the way; counted in ms.
    std::array<int32_t, 2> outOfView{0, 0};
    std::array<int32_t, 2> firstOut{-1, -1};
    // Spans of time a face stands between a player's eye and the ball.
    std::array<int32_t, 2> hidden{0, 0}, longestHidden{0, 0}, longestHiddenEnd{0, 0}, hiddenBy{0, 0};
    std::array<std::string, 2> hiddenWhere;
    // In short slices, so that a won level stops at once and a tip's time
    // on screen is measured finely.
    while (time < limit && endings.empty()) {
        const int32_t slice = std::min(20, limit - time);
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
        if (!endings.empty()) break;
        for (int32_t n = 1; n <= sim.level()->MapObjects(); ++n) {
            auto* b = dynamic_cast<objBall*>(sim.level()->MapObject(n));
            if (!b || b->player < 0 || b->player > 1) continue;
            const size_t p = static_cast<size_t>(b->player);
            if (!BallInView(sim.engine(), *b)) {
                outOfView[p] += slice;
                if (firstOut[p] < 0) firstOut[p] = time;
            }
            b->WritePos();
            const D3DXVECTOR3 at = sim.engine().ParsedVector;
            const int32_t face = InEnclosedCell(level.name, at) ? 0 : FaceBetween(*sim.level(), sim.engine().playerViews[p].eye, at);
            hidden[p] = face != 0 ? hidden[p] + slice : 0;
            if (hidden[p] > longestHidden[p]) {
                longestHidden[p] = hidden[p];
                longestHiddenEnd[p] = time;
                hiddenBy[p] = face;
                const D3DXVECTOR3& eye = sim.engine().playerViews[p].eye;
                std::ostringstream where;
                where << "ball at (" << at.x / 1.5f << ", " << at.y / 1.5f << ", " << at.z / 1.5f << "), eye at ("
                      << eye.x / 1.5f << ", " << eye.y / 1.5f << ", " << eye.z / 1.5f << ") in cells";
                hiddenWhere[p] = where.str();
            }
        }
        const std::string& line = sim.engine().CurrentSubtitle;
        if (!line.empty()) lastLine = line;
        for (Tip& tip : tips) {
            const bool showing = !line.empty() && line == tip.subtitle->text && tip.subtitle->active;
            if (showing) tip.shown += slice;
            if (tip.subtitle->active && !tip.due) {
                tip.due = true;
                tip.dueSince = time - slice;
                tip.shownSinceDue = false;
            }
            if (tip.due && !tip.shownSinceDue) {
                if (showing) tip.shownSinceDue = true;
                else tip.longestWait = std::max(tip.longestWait, time - tip.dueSince);
            }
            if (!tip.subtitle->active) tip.due = false;
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

    for (size_t p = 0; p < 2; ++p) {
        EXPECT_EQ(outOfView[p], 0) << level.name << ": player " << p + 1 << "'s ball is out of the picture for "
                                   << outOfView[p] << " ms, first at " << firstOut[p] << " ms";
        EXPECT_LE(longestHidden[p], kLongestHidden)
            << level.name << ": player " << p + 1 << "'s ball is behind a face (object reference " << hiddenBy[p]
            << ") for " << longestHidden[p] << " ms, until " << longestHiddenEnd[p] << " ms; " << hiddenWhere[p];
    }
    // The level that steers itself shows its lines as it likes.
    if (solution.form != "loop") {
        for (const Tip& tip : tips) {
            const std::string& text = tip.subtitle->text;
            EXPECT_GT(tip.shown, 0) << level.name << ": the tip \"" << text << "\" never shows";
            if (tip.shown == 0) continue;
            EXPECT_GE(tip.shown, ReadingTime(text))
                << level.name << ": the tip \"" << text << "\" shows for " << tip.shown << " ms, too short to read";
            EXPECT_LE(tip.longestWait, kLongestWait)
                << level.name << ": the tip \"" << text << "\" waits " << tip.longestWait << " ms behind another";
        }
    }

    if (solution.form == "loop") {
        EXPECT_TRUE(endings.empty()) << level.name << " ended: " << (endings.empty() ? "" : endings[0]);
        EXPECT_GE(cells.size(), 8u) << level.name << ": the ball hardly moves";
        EXPECT_GE(returns, 2) << level.name << ": the ball does not come round to its start again";
        return;
    }
    ASSERT_FALSE(endings.empty()) << level.name << ": the solution does not reach the flag within " << limit
                                  << " ms";
    EXPECT_NE(endings[0].find("endlevel 1"), std::string::npos) << level.name << ": " << endings[0];

    // A campaign's last level closes it: the game only reloads that level
    // after its flag, so the last line the player reads on the way says the
    // campaign is complete and that the menu (Esc) leads on.
    for (const Campaign& campaign : ShippedCampaigns()) {
        if (campaign.levels.empty() || campaign.levels.back() != level.name) continue;
        std::string lower = lastLine;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(lower.find("complete") != std::string::npos && lower.find("esc") != std::string::npos &&
                    lower.find("menu") != std::string::npos)
            << level.name << " ends the " << campaign.file
            << " campaign, but its last line does not say it is complete and how to go on: \"" << lastLine << "\"";
    }
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
        for (const auto& k : solution.keys) s.ScheduleKey(k.time, k.scanCode, k.down);
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
