#pragma once
// The level simulator: a whole engine with no window (the recording device,
// a manual clock, no sound, scripted keys) that loads one level, or plays a
// campaign as the game does, and advances it in fixed steps, reporting every
// change of a ball's phase, cell or up, the level's endings, its requests
// for the next level, the levels loaded and, when asked, the players' views,
// one line each. rondovar-sim is its command line; tests drive it
// in-process. Level authors try their solutions here: a ball steered by a
// cutscene command (DriveBall) or by keys pressed at set times (ScheduleKey).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "headless/RecordingEngine.h"

namespace rdv {

class engLevel;
class engCampaign;
class objCutsceneController;
class ScriptedDirectInput;

// A request the loaded level cannot serve (a ball to drive that the level
// does not have, a scan code out of range).
class SimulationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One scheduled key change: at `time` ms of game time after the level's
// load, scan code `scanCode` goes down or up.
struct KeyEvent {
    int32_t time = 0;
    int scanCode = 0;
    bool down = false;
    bool operator==(const KeyEvent&) const = default;
};

// Reads a key script: one event a line, "MS down|up SCANCODE" (the scan
// code in decimal or 0x hex, DirectInput numbering), blank lines and "#"
// comments skipped; a first line "keys" (the head of a kept solution) is
// skipped too. False for the first bad line, with `error` naming `source`
// and the line number.
bool ParseKeyScript(std::istream& in, const std::string& source, std::vector<KeyEvent>& events, std::string& error);

// A level's kept solution, LEVEL.txt, named by its first line:
//   cutscene   the next line is a cutscene command steering player 1's ball
//   keys       timed key presses follow, as in a key script
//   loop MS    the level steers itself; it runs MS ms without ending
// Blank lines and "#" comments are skipped.
struct LevelSolution {
    std::string form;            // "cutscene", "keys" or "loop"
    std::string command;         // cutscene
    std::vector<KeyEvent> keys;  // keys
    int32_t loopMs = 0;          // loop
};
// False for a missing or bad file, with `error` saying why.
bool ReadLevelSolution(const std::filesystem::path& path, LevelSolution& solution, std::string& error);

struct SimulationOptions {
    int32_t step = 10;       // ms per tick
    int32_t total = 10000;   // ms of game time
    bool totalGiven = false; // --ms given (else a campaign played with
                             // --solutions runs until it is done)
    bool seeded = false;
    uint32_t seed = 0;
    std::string level;
    bool views = false;      // --views
    // --drive P COMMAND, at most one a player.
    std::vector<std::pair<int32_t, std::string>> drives;
    std::string keysFile;    // --keys
    std::string campaign;    // --campaign
    int32_t start = 1;       // --start (1 New game, 0 Continue)
    bool startGiven = false;
    std::string solutions;   // --solutions: per-level NAME.txt / NAME.drive / NAME.keys
};

class Simulation {
public:
    // programFolder: where maps, models and textures are found.
    explicit Simulation(const std::filesystem::path& programFolder);
    ~Simulation();

    Engine& engine() { return rec_->engine; }
    RecordingEngine& recording() { return *rec_; }
    engLevel* level() { return level_.get(); }
    engCampaign& campaign() { return *campaign_; }

    // Loads the level as the game loads its start file and makes it current;
    // errors leave as the loader raised them (the old level stays). Every
    // key is released, the key schedule emptied and onLevelLoaded runs.
    void Load(const std::string& name);
    // Reads a campaign and boots it as the menu's New game (start 1) or
    // Continue (start 0) does. With no level running the first level loads
    // at once; a running level first plays its 500 ms ending.
    void BootCampaign(const std::string& name, int32_t start);

    // From now on player `player`'s ball (1 or 2, as the level's "player"
    // key numbers balls) is steered by a cutscene controller with that
    // command instead of its key handler. SimulationError when the level
    // has no such ball.
    void DriveBall(int32_t player, const std::string& cutsceneCommand);
    // Holds (down) or releases a keyboard scan code (0..255, DirectInput
    // numbering as in the key bindings) at `timeMs` of game time after the
    // current level's load; it applies before the tick that reaches that
    // time and the key handlers see it as a player's key. The bindings are
    // the shipped ones: player 1 on the arrows, space, Page Up/Down.
    void ScheduleKey(int32_t timeMs, int scanCode, bool down);

    // Runs `total` ms more in ticks of `step` ms (the last one shorter when
    // step does not divide total), handing each event line to `emit`.
    void Run(int32_t step, int32_t total, const std::function<void(const std::string&)>& emit);

    // Also report "T view P eye X Y Z at X Y Z" when a player's view (as
    // printed, two decimals) changed in a tick.
    bool reportViews = false;
    // Runs after every level load (the first too), with the level's name:
    // the place to apply a level's solution.
    std::function<void(Simulation&, const std::string& level)> onLevelLoaded;
    // Game time since the simulation started, ms.
    int64_t Time() const { return time_; }
    // The campaign's last level has been won ("T campaign done" was
    // reported); with stopAtCampaignEnd Run returns at that tick.
    bool CampaignDone() const { return campaignDone_; }
    bool stopAtCampaignEnd = false;

private:
    struct BallState {
        int32_t phase = 0;
        int32_t cell[3] = {0, 0, 0};
        int32_t up[3] = {0, 0, 0};
        bool operator==(const BallState&) const = default;
    };
    std::vector<BallState> Balls(std::vector<int32_t>* players = nullptr);
    void ReportBalls(int64_t time, bool all, const std::function<void(const std::string&)>& emit);
    void ReportViews(int64_t time, const std::function<void(const std::string&)>& emit);
    std::string ViewText(int32_t player) const;
    void ApplyKeys(int64_t until);
    void ReleaseKeys();

    std::unique_ptr<RecordingEngine> rec_;
    std::shared_ptr<ScriptedDirectInput> keys_;
    std::unique_ptr<engCampaign> campaign_;
    // Controllers made by DriveBall for the current level; they live as
    // long as the level whose balls point to them.
    std::vector<std::unique_ptr<objCutsceneController>> drivers_;
    std::unique_ptr<engLevel> level_;
    // A level replaced from inside its own Tick lives until that Tick is
    // over, with its drivers.
    std::vector<std::unique_ptr<objCutsceneController>> retiredDrivers_;
    std::unique_ptr<engLevel> retired_;

    std::vector<BallState> last_;
    std::string lastViews_[2];
    // Lines raised inside a tick (next-level requests, loads), in order.
    std::vector<std::string> pending_;
    int32_t lastReason_ = 0;
    bool campaignDone_ = false;
    int64_t time_ = 0;
    int64_t loadTime_ = 0;
    std::vector<KeyEvent> schedule_;
    size_t nextKey_ = 0;
};

// Parses the command line into options; false (with a message in `error`)
// for an unknown option, a missing or bad value, no level (nor campaign).
bool ParseSimulationArguments(const std::vector<std::string>& args, SimulationOptions& options, std::string& error);

// The whole tool: parse, load from programFolder, run, print. Returns the
// exit status (1 for a level that fails to load, 2 for a bad command line,
// key script or solution, a level with no solution in the --solutions
// folder, or a ball to drive that a level lacks). A campaign played with
// --solutions stops when its last level is won.
// `prepare` runs on the engine before the load (tests substitute models).
int RunSimulator(const std::vector<std::string>& args, const std::filesystem::path& programFolder, std::ostream& out,
                 std::ostream& err, const std::function<void(Simulation&)>& prepare = {});

} // namespace rdv
