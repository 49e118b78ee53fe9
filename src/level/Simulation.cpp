#include "level/Simulation.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "core/Error.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "objects/Ball.h"

namespace rdv {

namespace {

int32_t Round(float v) { return static_cast<int32_t>(std::nearbyint(v)); }

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    if (text.empty()) return false;
    size_t used = 0;
    try {
        value = std::stoll(text, &used, 10);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && value >= low && value <= high;
}

// The options, one row each: further options are further rows.
struct OptionRow {
    const char* name;
    const char* what;
    std::function<bool(SimulationOptions&, const std::string&)> apply;
};

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> rows = {
        {"--step", "a whole number of ms from 1",
         [](SimulationOptions& o, const std::string& v) {
             int64_t n;
             if (!ParseInt(v, 1, 0x7FFFFFFF, n)) return false;
             o.step = static_cast<int32_t>(n);
             return true;
         }},
        {"--ms", "a whole number of ms from 0",
         [](SimulationOptions& o, const std::string& v) {
             int64_t n;
             if (!ParseInt(v, 0, 0x7FFFFFFF, n)) return false;
             o.total = static_cast<int32_t>(n);
             return true;
         }},
        {"--seed", "a whole number from 0 to 4294967295",
         [](SimulationOptions& o, const std::string& v) {
             int64_t n;
             if (!ParseInt(v, 0, 0xFFFFFFFFll, n)) return false;
             o.seed = static_cast<uint32_t>(n);
             o.seeded = true;
             return true;
         }},
    };
    return rows;
}

} // namespace

bool ParseSimulationArguments(const std::vector<std::string>& args, SimulationOptions& options, std::string& error) {
    bool haveLevel = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const OptionRow* row = nullptr;
            for (const auto& r : OptionTable())
                if (a == r.name) row = &r;
            if (!row) {
                error = "unknown option " + a;
                return false;
            }
            if (i + 1 >= args.size()) {
                error = a + " needs " + row->what;
                return false;
            }
            const std::string& value = args[++i];
            if (!row->apply(options, value)) {
                error = a + " needs " + row->what + ", not \"" + value + "\"";
                return false;
            }
        } else if (!haveLevel) {
            options.level = a;
            haveLevel = true;
        } else {
            error = "more than one level: " + a;
            return false;
        }
    }
    if (!haveLevel) {
        error = "no level given";
        return false;
    }
    return true;
}

Simulation::Simulation(const std::filesystem::path& programFolder) : rec_(MakeRecordingEngine(programFolder)) {
    LoadSystemClasses(rec_->engine);
}

Simulation::~Simulation() {
    level_.reset();
    UnloadSystemClasses(rec_->engine);
}

void Simulation::Load(const std::string& name) {
    auto level = std::make_unique<engLevel>(rec_->engine);
    level->LoadLevel(name);
    engLevel* raw = level.get();
    // Until campaigns run here, the next-level request is answered as the
    // menu background answers it: the balls start again.
    level->loadNext = [this, raw] {
        pendingLoadNext_.push_back(raw->EndReason() != 0 ? raw->EndReason() : lastReason_);
        for (int32_t n = 1; n <= raw->MapObjects(); ++n)
            if (LevelObject* o = raw->MapObject(n))
                if (IBall* b = o->AsBall()) b->ResetBall();
    };
    level_ = std::move(level);
    last_.clear();
    lastReason_ = 0;
}

std::vector<Simulation::BallState> Simulation::Balls(std::vector<int32_t>* players) {
    std::vector<BallState> states;
    for (int32_t n = 1; n <= level_->MapObjects(); ++n) {
        if (level_->MapObjectName(n).rfind("System.Objects.Player", 0) != 0) continue;
        auto* ball = dynamic_cast<objBall*>(level_->MapObject(n));
        if (!ball) continue;
        BallState s;
        s.phase = ball->phase;
        const float p[3] = {ball->position.x, ball->position.y, ball->position.z};
        const float u[3] = {ball->up.x, ball->up.y, ball->up.z};
        for (int a = 0; a < 3; ++a) {
            s.cell[a] = Round(p[a] / 1.5f);
            s.up[a] = Round(u[a]);
        }
        states.push_back(s);
        if (players) players->push_back(ball->player);
    }
    return states;
}

void Simulation::ReportBalls(int64_t time, bool all, const std::function<void(const std::string&)>& emit) {
    std::vector<int32_t> players;
    const std::vector<BallState> now = Balls(&players);
    for (size_t i = 0; i < now.size(); ++i) {
        if (!all && i < last_.size() && now[i] == last_[i]) continue;
        const BallState& s = now[i];
        emit(std::to_string(time) + " ball " + std::to_string(players[i]) + " phase " + std::to_string(s.phase) +
             " cell " + std::to_string(s.cell[0]) + " " + std::to_string(s.cell[1]) + " " +
             std::to_string(s.cell[2]) + " up " + std::to_string(s.up[0]) + " " + std::to_string(s.up[1]) + " " +
             std::to_string(s.up[2]));
    }
    last_ = now;
}

void Simulation::Run(int32_t step, int32_t total, const std::function<void(const std::string&)>& emit) {
    if (!level_) return;
    if (step < 1) step = 1;
    ReportBalls(0, true, emit);
    int64_t time = 0;
    while (time < total) {
        const int32_t e = static_cast<int32_t>(std::min<int64_t>(step, total - time));
        rec_->clock->Advance(static_cast<uint32_t>(e));
        time += e;
        int32_t elapsed = e;
        pendingLoadNext_.clear();
        const int32_t before = level_->EndReason();
        level_->Tick(elapsed);
        // The recording device keeps every call; a long run needs none of them.
        if (RecordingDevice* device = rec_->device()) device->ClearCalls();
        const int32_t reason = level_->EndReason();
        // An ending that began and ran out within this tick still shows.
        if (reason != 0 && reason != before) {
            emit(std::to_string(time) + " endlevel " + std::to_string(reason));
        }
        for (int32_t status : pendingLoadNext_) emit(std::to_string(time) + " loadnext " + std::to_string(status));
        if (reason != 0) lastReason_ = reason;
        ReportBalls(time, false, emit);
    }
}

int RunSimulator(const std::vector<std::string>& args, const std::filesystem::path& programFolder, std::ostream& out,
                 std::ostream& err, const std::function<void(Simulation&)>& prepare) {
    SimulationOptions options;
    std::string problem;
    if (!ParseSimulationArguments(args, options, problem)) {
        err << "rondovar-sim: " << problem << "\n"
            << "usage: rondovar-sim [--step MS] [--ms TOTAL] [--seed N] LEVEL\n";
        return 2;
    }
    Simulation sim(programFolder);
    if (options.seeded) sim.engine().rng.seed(options.seed);
    if (prepare) prepare(sim);
    try {
        sim.Load(options.level);
    } catch (const EngineError& e) {
        out << "error " << e.number << " in " << e.source << ": " << e.description << "\n";
        out.flush();
        return 1;
    }
    sim.Run(options.step, options.total, [&](const std::string& line) { out << line << "\n"; });
    out.flush();
    return 0;
}

} // namespace rdv
