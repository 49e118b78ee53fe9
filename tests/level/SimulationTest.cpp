#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/Error.h"
#include "level/Level.h"
#include "headless/Simulation.h"
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
    // Runs the level and returns every line; `steer` runs after the load.
    std::vector<std::string> Simulate(const std::string& name, int32_t step, int32_t total,
                                      const std::function<void(Simulation&)>& steer = {}) {
        Simulation sim(folder);
        sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        sim.Load(name);
        if (steer) steer(sim);
        std::vector<std::string> lines;
        sim.Run(step, total, [&](const std::string& l) { lines.push_back(l); });
        return lines;
    }
    // rondovar-sim as a shell runs it, with file-less models.
    int Tool(const std::vector<std::string>& args, std::string& out, std::string& err) {
        std::ostringstream o, e;
        const int status = RunSimulator(args, folder, o, e, [](Simulation& sim) {
            sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
        });
        out = o.str();
        err = e.str();
        return status;
    }
    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream out(folder / name, std::ios::binary);
        out << text;
    }
    // A row of floor from (1, 0) to (1, 3), the ball at its start and the
    // ball's flag post two cells ahead (+y is the ball's first heading).
    void WriteGoalLevel(const std::string& name) {
        WriteLevel(name, {"-World", "x=3", "y=5", "z=3", "-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3", "-Ball",
                          "x=1", "y=0", "z=1", "player=1", "up=z", "-Flagpost", "x=1", "y=2", "z=1", "player=1"});
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
        "0 ball 1 phase 1 cell 1 1 1 up 0 0 1",    "1 ball 1 phase 3 cell 1 1 1 up 0 0 1",
        "500 ball 1 phase 2 cell 1 1 1 up 0 0 1",  "900 ball 1 phase 1 cell 1 1 1 up 0 0 1",
        "1300 ball 1 phase 3 cell 1 1 1 up 0 0 1", "1800 ball 1 phase 2 cell 1 1 1 up 0 0 1",
        "2200 ball 1 phase 1 cell 1 1 1 up 0 0 1", "2600 ball 1 phase 3 cell 1 1 1 up 0 0 1"};
    EXPECT_EQ(lines, want);
}

TEST_F(SimulationTest, AScriptedBallRollsAlongTheRowFallsOffAndStartsAgain) {
    WriteLevel("row", {"-World", "x=3", "y=6", "z=3", "-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=3",
                       "-CutsceneController", "command=f.", "-Ball", "x=1", "y=0", "z=1", "player=1", "up=z",
                       "controller=1"});
    const std::vector<std::string> lines = Simulate("row", 10, 12000);
    // 1300 ms a cell: 3 (500), 37 (210), 36 (190), step, 5 (400).
    EXPECT_TRUE(Has(lines, "900 ball 1 phase 5 cell 1 1 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "2200 ball 1 phase 5 cell 1 2 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "3500 ball 1 phase 5 cell 1 3 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "4800 ball 1 phase 5 cell 1 4 1 up 0 0 1"));
    // Nothing under the fifth cell: it falls out of the world.
    EXPECT_TRUE(Has(lines, "5200 ball 1 phase 10 cell 1 4 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "5800 ball 1 phase 10 cell 1 4 0 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "6400 ball 1 phase 10 cell 1 4 -1 up 0 0 1"));
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
    EXPECT_EQ(*(at + 1), time + " ball 1 phase 1 cell 1 0 1 up 0 0 1");
}

TEST_F(SimulationTest, CommandLineOptionsAndLoadErrors) {
    SimulationOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimulationArguments({"--step", "1", "--views", "--ms", "3000", "--drive", "2", "ff.>", "--seed",
                                          "7", "--keys", "k.txt", "--drive", "1", "f.", "lvl"},
                                         o, error));
    EXPECT_TRUE(o.views);
    EXPECT_EQ(o.keysFile, "k.txt");
    EXPECT_EQ(o.drives, (std::vector<std::pair<int32_t, std::string>>{{2, "ff.>"}, {1, "f."}}));
    EXPECT_EQ(o.step, 1);
    EXPECT_EQ(o.total, 3000);
    EXPECT_TRUE(o.seeded);
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.level, "lvl");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"--step", "0", "l"}, {"--step"}, {"--ms", "x", "l"}, {"--views"}, {"a", "b"}, {"--drive", "3", "f.", "l"},
             {"--drive", "1", "f.", "--drive", "1", "b.", "l"}, {"--drive", "1"}, {"--start", "0", "l"},
             {"--campaign", "c", "l"}, {"--campaign", "c", "--start", "-1"}}) {
        SimulationOptions p;
        EXPECT_FALSE(ParseSimulationArguments(bad, p, error)) << ::testing::PrintToString(bad);
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


// The time of the first line that ends with `what`, or -1.
int64_t TimeOf(const std::vector<std::string>& lines, const std::string& what) {
    for (const auto& l : lines)
        if (l.size() > what.size() && l.compare(l.size() - what.size(), what.size(), what) == 0 &&
            l[l.size() - what.size() - 1] == ' ')
            return std::stoll(l.substr(0, l.find(' ')));
    return -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST_F(SimulationTest, ADrivenBallRollsOntoItsFlagPostAndWins) {
    WriteGoalLevel("goal");
    // Left alone the ball only bounces on its start cell.
    EXPECT_EQ(TimeOf(Simulate("goal", 10, 6000), "endlevel 1"), -1);

    const std::vector<std::string> lines = Simulate("goal", 10, 6000, [](Simulation& sim) { sim.DriveBall(1, "f."); });
    EXPECT_TRUE(Has(lines, "900 ball 1 phase 5 cell 1 1 1 up 0 0 1"));
    EXPECT_TRUE(Has(lines, "2200 ball 1 phase 5 cell 1 2 1 up 0 0 1"));
    const int64_t won = TimeOf(lines, "endlevel 1");
    EXPECT_GE(won, 2200);
    EXPECT_LE(won, 2210);
    EXPECT_EQ(TimeOf(lines, "endlevel 2"), -1);
    // Three seconds later the level asks for the next one.
    EXPECT_EQ(TimeOf(lines, "loadnext 1"), won + 3000);

    Simulation sim(folder);
    sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
    sim.Load("goal");
    try {
        sim.DriveBall(2, "f.");
        ADD_FAILURE() << "a ball the level does not have was driven";
    } catch (const SimulationError& e) {
        EXPECT_EQ(std::string(e.what()), "level goal has no ball for player 2");
    }
    EXPECT_THROW(sim.DriveBall(0, "f."), SimulationError);
    EXPECT_THROW(sim.ScheduleKey(0, 256, true), SimulationError);
    EXPECT_THROW(sim.ScheduleKey(-1, 1, true), SimulationError);
}

TEST_F(SimulationTest, KeysPressedAtSetTimesSteerTheBallAsAPlayersKeysDo) {
    WriteGoalLevel("goal");
    constexpr int kUp = 0xC8;
    // Held from the start: the same roll as the cutscene command.
    std::vector<std::string> lines = Simulate("goal", 10, 4000, [](Simulation& sim) { sim.ScheduleKey(0, kUp, true); });
    EXPECT_TRUE(Has(lines, "900 ball 1 phase 5 cell 1 1 1 up 0 0 1"));
    EXPECT_GE(TimeOf(lines, "endlevel 1"), 2200);
    EXPECT_LE(TimeOf(lines, "endlevel 1"), 2210);

    // Held only while the first move is chosen (at 500 ms, when the first
    // bounce ends), the ball stops one cell on.
    lines = Simulate("goal", 10, 6000, [](Simulation& sim) {
        sim.ScheduleKey(600, kUp, false);
        sim.ScheduleKey(400, kUp, true);
    });
    EXPECT_TRUE(Has(lines, "900 ball 1 phase 5 cell 1 1 1 up 0 0 1"));
    EXPECT_EQ(TimeOf(lines, "endlevel 1"), -1);
    for (const auto& l : lines) EXPECT_EQ(l.find("cell 1 2 1"), std::string::npos) << l;

    // The same solution from the shell; the times in the file need no order.
    WriteFile("solution.keys", "# hold the up arrow\n\n  4000 up 0xC8   # let go\n0 down 200\n");
    std::string out, err;
    ASSERT_EQ(Tool({"--ms", "4000", "--keys", (folder / "solution.keys").string(), "goal"}, out, err), 0) << err;
    EXPECT_GE(TimeOf(Lines(out), "endlevel 1"), 2200);
    ASSERT_EQ(Tool({"--ms", "4000", "--drive", "1", "f.", "goal"}, out, err), 0) << err;
    EXPECT_GE(TimeOf(Lines(out), "endlevel 1"), 2200);

    // What an author gets wrong is named with its line.
    WriteFile("bad.keys", "0 down 200\n# fine\n100 press 200\n");
    EXPECT_EQ(Tool({"--keys", (folder / "bad.keys").string(), "goal"}, out, err), 2);
    EXPECT_EQ(err, "rondovar-sim: " + (folder / "bad.keys").string() +
                       ":3: expected \"MS down|up SCANCODE\" (scan code 0 to 255), not \"100 press 200\"\n");
    EXPECT_EQ(out, "");
    for (const char* line : {"-5 down 1", "5 down 256", "5 down 0x", "5 down", "5 up 1 2", "x up 1"}) {
        std::istringstream in(line);
        std::vector<KeyEvent> events;
        std::string error;
        EXPECT_FALSE(ParseKeyScript(in, "k", events, error)) << line;
        EXPECT_EQ(error.rfind("k:1: ", 0), 0u) << error;
    }
    EXPECT_EQ(Tool({"--keys", (folder / "none.keys").string(), "goal"}, out, err), 2);
    EXPECT_EQ(Tool({"--drive", "2", "f.", "goal"}, out, err), 2);
    EXPECT_EQ(err, "rondovar-sim: level goal has no ball for player 2\n");
}


// One "T view P eye X Y Z at X Y Z" line.
struct ViewLine {
    int64_t time = 0;
    int player = 0;
    float eye[3] = {0, 0, 0};
    float at[3] = {0, 0, 0};
};

std::vector<ViewLine> Views(const std::vector<std::string>& lines) {
    std::vector<ViewLine> views;
    for (const auto& l : lines) {
        std::istringstream in(l);
        ViewLine v;
        std::string word, eye, at;
        if (!(in >> v.time >> word) || word != "view") continue;
        in >> v.player >> eye >> v.eye[0] >> v.eye[1] >> v.eye[2] >> at >> v.at[0] >> v.at[1] >> v.at[2];
        EXPECT_TRUE(in && eye == "eye" && at == "at") << l;
        views.push_back(v);
    }
    return views;
}

TEST_F(SimulationTest, TheViewsFollowTheDirectorFromCameraToCamera) {
    // A row of eight cells along +y; one camera beside each end, each seeing
    // the ball within five cells of it (7.5 units): the first sees cells 0
    // to 4, the second 3 to 7.
    WriteLevel("cams", {"-World", "x=3", "y=8", "z=4", "-Wall", "up=z", "sx=1", "sy=0", "sz=1", "dy=7", "-Ball", "x=1",
                        "y=0", "z=1", "player=1", "up=z", "-PointCamera", "x=3", "y=0", "z=3", "d=5", "-PointCamera",
                        "x=3", "y=7", "z=3", "d=5", "-Director", "player=1"});
    std::string out, err;
    ASSERT_EQ(Tool({"--views", "--ms", "12000", "--drive", "1", "f.", "cams"}, out, err), 0) << err;
    const std::vector<std::string> lines = Lines(out);
    const std::vector<ViewLine> views = Views(lines);
    ASSERT_GE(views.size(), 3u);
    // Both views as the level starts them, at time 0.
    EXPECT_EQ(lines[1], "0 view 1 eye -2.00 -2.00 5.00 at 4.50 4.50 3.00");
    EXPECT_EQ(lines[2], "0 view 2 eye -2.00 -2.00 5.00 at 4.50 4.50 3.00");
    // The first tick puts player 1's eye on the camera that sees the ball.
    EXPECT_EQ(views[2].time, 10);
    EXPECT_EQ(views[2].player, 1);
    EXPECT_FLOAT_EQ(views[2].eye[0], 4.5f);
    EXPECT_FLOAT_EQ(views[2].eye[1], 0.0f);
    EXPECT_FLOAT_EQ(views[2].eye[2], 4.5f);

    // The director looks at the ball as drawn: in cell 4 its bounce takes it
    // out of the first camera's reach, and by cell 5 it is out for good.
    // Within one visibility check (250 ms) the eye leaves for the second
    // camera.
    const int64_t atFour = TimeOf(lines, "ball 1 phase 5 cell 1 4 1 up 0 0 1");
    const int64_t atFive = TimeOf(lines, "ball 1 phase 5 cell 1 5 1 up 0 0 1");
    ASSERT_GT(atFour, 0);
    ASSERT_GT(atFive, atFour);
    int64_t leaves = -1, arrives = -1;
    float lastY = 0;
    int between = 0;
    for (const ViewLine& v : views) {
        if (v.time == 0) continue;
        EXPECT_EQ(v.player, 1) << "player 2 has no director";
        if (leaves < 0 && v.eye[1] != 0.0f) leaves = v.time;
        if (leaves >= 0 && arrives < 0) {
            EXPECT_GE(v.eye[1], lastY) << "the glide goes one way at " << v.time;
            if (v.eye[1] > 0 && v.eye[1] < 10.5f) ++between;
            if (v.eye[1] == 10.5f) arrives = v.time;
        }
        lastY = v.eye[1];
        // Whichever camera it is at, the view looks from x = 4.5 towards
        // the row at x = 1.5.
        EXPECT_LT(v.at[0], v.eye[0]) << v.time;
    }
    ASSERT_GT(leaves, 0);
    // Before that the eye stays put and turns after the rolling ball.
    float turned = 0;
    for (const ViewLine& v : views)
        if (v.time > 0 && v.time < leaves) {
            EXPECT_FLOAT_EQ(v.eye[1], 0.0f);
            turned = std::max(turned, v.at[1]);
        }
    EXPECT_GT(turned, 0.5f);
    EXPECT_GT(leaves, atFour);
    EXPECT_LE(leaves, atFive + 260);
    // A glide of about a second, drawn in many steps.
    ASSERT_GT(arrives, leaves);
    EXPECT_GE(arrives - leaves, 700);
    EXPECT_LE(arrives - leaves, 1300);
    EXPECT_GT(between, 20);
    EXPECT_FLOAT_EQ(views.back().eye[0], 4.5f);
    EXPECT_FLOAT_EQ(views.back().eye[2], 4.5f);
}


TEST_F(SimulationTest, ACampaignIsPlayedThroughLevelByLevelAndItsProgressKept) {
    for (const char* name : {"l1", "l2", "l3"}) WriteGoalLevel(name);
    std::filesystem::create_directories(folder / "data");
    WriteFile("data/camp.dat", "N=3\n1=l1\n2=l2\n3=l3\n");
    // Each level's own solution: a cutscene command or keys.
    std::filesystem::create_directories(folder / "solutions");
    WriteFile("solutions/l1.drive", "# roll ahead\n1 f.\n");
    WriteFile("solutions/l2.keys", "0 down 0xC8\n");
    WriteFile("solutions/l3.drive", "1 f.\n");
    const std::string solutions = (folder / "solutions").string();

    std::string out, err;
    ASSERT_EQ(Tool({"--campaign", "camp", "--solutions", solutions, "--ms", "17000"}, out, err), 0) << err;
    std::vector<std::string> lines = Lines(out);
    std::vector<std::string> levels;
    for (const auto& l : lines)
        if (l.find(" level ") != std::string::npos) levels.push_back(l);
    // New game: the first level at once; each won level (flag post at about
    // 2200 ms, then its 3000 ms ending) brings the next.
    ASSERT_GE(levels.size(), 3u) << out;
    EXPECT_EQ(levels[0], "0 level l1");
    EXPECT_EQ(lines[0], "0 level l1");
    EXPECT_EQ(levels[1].substr(levels[1].find(' ')), " level l2");
    EXPECT_EQ(levels[2].substr(levels[2].find(' ')), " level l3");
    const int64_t second = std::stoll(levels[1]);
    EXPECT_GE(second, 5200);
    EXPECT_LE(second, 5220);
    EXPECT_TRUE(Has(lines, std::to_string(second) + " loadnext 1"));
    EXPECT_TRUE(Has(lines, std::to_string(second) + " ball 1 phase 1 cell 1 0 1 up 0 0 1"));
    EXPECT_EQ(TimeOf(lines, "endlevel 2"), -1);
    // Reaching level 3 is saved: one record, the name right-aligned.
    auto progress = [&] {
        std::ifstream in(folder / "data" / "progress.dat", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string saved = progress();
    EXPECT_EQ(saved, std::string("        camp\x03\0\0\0", 16));

    // Continue starts where the progress says; steered backwards off the
    // row the ball is lost and the level is loaded again, progress untouched.
    ASSERT_EQ(Tool({"--campaign", "camp", "--start", "0", "--drive", "1", "b.", "--ms", "13000"}, out, err), 0) << err;
    lines = Lines(out);
    EXPECT_EQ(lines[0], "0 level l3");
    const int64_t lost = TimeOf(lines, "endlevel 2");
    ASSERT_GT(lost, 0);
    const int64_t again = TimeOf(lines, "level l3");
    EXPECT_EQ(again, 0);
    int reloads = 0;
    for (const auto& l : lines)
        if (l == std::to_string(lost + 5000) + " loadnext 2" || l == std::to_string(lost + 5000) + " level l3") ++reloads;
    EXPECT_EQ(reloads, 2) << out;
    EXPECT_EQ(progress(), saved);

    // A level that does not load leaves the one being played in place; the
    // tool reports the error after what it printed.
    WriteFile("data/broken.dat", "N=2\n1=l1\n2=missing\n");
    Simulation sim(folder);
    sim.recording().gfx().makeModel = [] { return std::make_shared<QuietModel>(); };
    sim.BootCampaign("broken", 1);
    ASSERT_NE(sim.level(), nullptr);
    EXPECT_EQ(sim.level()->Reference(), "l1");
    sim.DriveBall(1, "f.");
    std::vector<std::string> seen;
    EXPECT_THROW(sim.Run(10, 8000, [&](const std::string& l) { seen.push_back(l); }), EngineError);
    EXPECT_EQ(sim.level()->Reference(), "l1");
    EXPECT_NE(TimeOf(seen, "loadnext 1"), -1);
    ASSERT_EQ(Tool({"--campaign", "broken", "--drive", "1", "f.", "--ms", "8000"}, out, err), 1);
    EXPECT_NE(out.find(" loadnext 1\nerror 1002 in Engine->LoadLevel"), std::string::npos) << out;
    EXPECT_EQ(Tool({"--campaign", "nosuch"}, out, err), 1);
    EXPECT_EQ(out, "error 1002 in Engine->Game->LoadCampaign: Couldn't open package: nosuch\n");
}

// The solutions the project keeps, LEVEL.txt, serve the tool as they are:
// --solutions plays a campaign through with them and stops when its last
// level is won, a level with none is named (status 2) instead of standing
// still, and --keys takes a kept key solution with its "keys" head.
TEST_F(SimulationTest, KeptSolutionFilesPlayACampaignThroughAndAMissingOneIsNamed) {
    for (const char* name : {"l1", "l2", "l3"}) WriteGoalLevel(name);
    std::filesystem::create_directories(folder / "data");
    WriteFile("data/camp.dat", "N=3\n1=l1\n2=l2\n3=l3\n");
    std::filesystem::create_directories(folder / "solutions");
    WriteFile("solutions/l1.txt", "# straight on\ncutscene\nf.\n");
    WriteFile("solutions/l2.txt", "# Up held\nkeys\n0 down 0xC8\n");
    const std::string solutions = (folder / "solutions").string();

    std::string out, err;
    EXPECT_EQ(Tool({"--campaign", "camp", "--solutions", solutions, "--ms", "60000"}, out, err), 2);
    EXPECT_EQ(err, "rondovar-sim: no solution for level l3 in " + solutions + " (l3.txt, l3.drive or l3.keys)\n");
    // What was played up to there is printed.
    EXPECT_NE(TimeOf(Lines(out), "level l2"), -1) << out;

    WriteFile("solutions/l3.txt", "cutscene\nf.\n");
    ASSERT_EQ(Tool({"--campaign", "camp", "--solutions", solutions, "--ms", "60000"}, out, err), 0) << err;
    std::vector<std::string> lines = Lines(out);
    ASSERT_FALSE(lines.empty());
    // l1 and l2 take 5200 ms each with their endings; l3's ending runs out
    // at 15600 and the run stops there instead of replaying l3.
    EXPECT_EQ(lines.back(), "15600 campaign done") << out;
    EXPECT_TRUE(Has(lines, "15600 loadnext 1"));
    EXPECT_EQ(TimeOf(lines, "endlevel 2"), -1);

    // A bad kept solution is named with its line.
    WriteFile("solutions/l1.txt", "cutscene\nf.\nf.\n");
    EXPECT_EQ(Tool({"--campaign", "camp", "--solutions", solutions}, out, err), 2);
    EXPECT_NE(err.find("l1.txt:1: a cutscene solution is one command line"), std::string::npos) << err;
    WriteFile("solutions/l1.txt", "walk\n");
    EXPECT_EQ(Tool({"--campaign", "camp", "--solutions", solutions}, out, err), 2);
    EXPECT_NE(err.find("l1.txt:1: unknown solution form"), std::string::npos) << err;

    // --keys reads the kept key solution; its balls are numbered as
    // --drive numbers them.
    ASSERT_EQ(Tool({"--ms", "4000", "--keys", (folder / "solutions" / "l2.txt").string(), "l2"}, out, err), 0) << err;
    lines = Lines(out);
    EXPECT_GE(TimeOf(lines, "endlevel 1"), 2200);
    EXPECT_TRUE(Has(lines, "900 ball 1 phase 5 cell 1 1 1 up 0 0 1")) << out;
    // "keys" heads only the first line; later it is a bad line.
    // A cutscene solution is no key script; the tool says which it is.
    WriteFile("cut.txt", "# straight on\ncutscene\nf.\n");
    EXPECT_EQ(Tool({"--keys", (folder / "cut.txt").string(), "l2"}, out, err), 2);
    EXPECT_NE(err.find("cut.txt:2: a cutscene solution, not key presses"), std::string::npos) << err;
    WriteFile("twice.keys", "keys\nkeys\n");
    EXPECT_EQ(Tool({"--keys", (folder / "twice.keys").string(), "l2"}, out, err), 2);
    EXPECT_NE(err.find("twice.keys:2: expected"), std::string::npos) << err;

    LevelSolution solution;
    std::string error;
    WriteFile("loop.txt", "loop 180000\n");
    ASSERT_TRUE(ReadLevelSolution(folder / "loop.txt", solution, error)) << error;
    EXPECT_EQ(solution.form, "loop");
    EXPECT_EQ(solution.loopMs, 180000);
    WriteFile("loop.txt", "loop 0\n");
    EXPECT_FALSE(ReadLevelSolution(folder / "loop.txt", solution, error));
    EXPECT_FALSE(ReadLevelSolution(folder / "nosuch.txt", solution, error));
    EXPECT_EQ(error, "no solution file " + (folder / "nosuch.txt").string());
}

} // namespace
} // namespace rdv::test
