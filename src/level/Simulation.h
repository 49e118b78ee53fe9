#pragma once
// The level simulator: a whole engine with no window (the recording device,
// a manual clock, no sound, no key held) that loads one level and advances
// it in fixed steps, reporting every change of a ball's phase, cell or up,
// the level's endings and its requests for the next level, one line each.
// rondovar-sim is its command line; tests drive it in-process.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "graphics/CoreTesting.h"

namespace rdv {

class engLevel;

struct SimulationOptions {
    int32_t step = 10;       // ms per tick
    int32_t total = 10000;   // ms of game time
    bool seeded = false;
    uint32_t seed = 0;
    std::string level;
};

class Simulation {
public:
    // programFolder: where maps, models and textures are found.
    explicit Simulation(const std::filesystem::path& programFolder);
    ~Simulation();

    Engine& engine() { return rec_->engine; }
    RecordingEngine& recording() { return *rec_; }
    engLevel* level() { return level_.get(); }

    // Loads the level as the game loads its start file; errors leave as the
    // loader raised them.
    void Load(const std::string& name);
    // Runs `total` ms in ticks of `step` ms (the last one shorter when step
    // does not divide total), handing each event line to `emit`.
    void Run(int32_t step, int32_t total, const std::function<void(const std::string&)>& emit);

private:
    struct BallState {
        int32_t phase = 0;
        int32_t cell[3] = {0, 0, 0};
        int32_t up[3] = {0, 0, 0};
        bool operator==(const BallState&) const = default;
    };
    std::vector<BallState> Balls(std::vector<int32_t>* players = nullptr);
    void ReportBalls(int64_t time, bool all, const std::function<void(const std::string&)>& emit);

    std::unique_ptr<RecordingEngine> rec_;
    std::unique_ptr<engLevel> level_;
    std::vector<BallState> last_;
    std::vector<int32_t> pendingLoadNext_;
    int32_t lastReason_ = 0;
};

// Parses the command line into options; false (with a message in `error`)
// for an unknown option, a missing or bad value or no level.
bool ParseSimulationArguments(const std::vector<std::string>& args, SimulationOptions& options, std::string& error);

// The whole tool: parse, load from programFolder, run, print. Returns the
// exit status (1 for a level that fails to load, 2 for a bad command line).
// `prepare` runs on the engine before the load (tests substitute models).
int RunSimulator(const std::vector<std::string>& args, const std::filesystem::path& programFolder, std::ostream& out,
                 std::ostream& err, const std::function<void(Simulation&)>& prepare = {});

} // namespace rdv
