#include "headless/Simulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "cameras/View.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/UserFolder.h"
#include "game/Campaign.h"
#include "input/Input.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "objects/Ball.h"
#include "objects/Controllers.h"
#include "objects/Flagpost.h"
#include "packages/Parse.h"
#include "platform/dinput/ScriptedInput.h"

namespace rdv {

namespace {

int32_t Round(float v) { return RoundHalfEven(v); }

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& value, int base = 10) {
    if (text.empty() || text[0] == '+' || text[0] == ' ') return false;
    size_t used = 0;
    try {
        value = std::stoll(text, &used, base);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && value >= low && value <= high;
}

// A scan code as authors write it: 200 or 0xC8.
bool ParseScanCode(const std::string& text, int& code) {
    int64_t v = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!ParseInt(hex ? text.substr(2) : text, 0, 255, v, hex ? 16 : 10)) return false;
    code = static_cast<int>(v);
    return true;
}

std::string TrimSpace(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// A line of a script file without its comment and surrounding blanks.
std::string ScriptLine(const std::string& line) {
    const size_t hash = line.find('#');
    return TrimSpace(hash == std::string::npos ? line : line.substr(0, hash));
}

std::string Fixed2(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(v));
    std::string text = buffer;
    if (text == "-0.00") text = "0.00";
    return text;
}

// The options, one row each: further options are further rows.
struct OptionRow {
    const char* name;
    const char* what;
    int values;
    std::function<bool(SimulationOptions&, const std::vector<std::string>&, std::string&)> apply;
};

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> rows = {
        {"--step", "a whole number of ms from 1", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             int64_t n;
             if (!ParseInt(v[0], 1, 0x7FFFFFFF, n)) return false;
             o.step = static_cast<int32_t>(n);
             return true;
         }},
        {"--ms", "a whole number of ms from 0", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             int64_t n;
             if (!ParseInt(v[0], 0, 0x7FFFFFFF, n)) return false;
             o.total = static_cast<int32_t>(n);
             o.totalGiven = true;
             return true;
         }},
        {"--seed", "a whole number from 0 to 4294967295", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             int64_t n;
             if (!ParseInt(v[0], 0, 0xFFFFFFFFll, n)) return false;
             o.seed = static_cast<uint32_t>(n);
             o.seeded = true;
             return true;
         }},
        {"--views", "", 0,
         [](SimulationOptions& o, const std::vector<std::string>&, std::string&) {
             o.views = true;
             return true;
         }},
        {"--drive", "a player (1 or 2) and a cutscene command", 2,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string& error) {
             int64_t p;
             if (!ParseInt(v[0], 1, 2, p)) return false;
             for (const auto& d : o.drives)
                 if (d.first == p) {
                     error = "--drive " + v[0] + " given twice";
                     return false;
                 }
             o.drives.emplace_back(static_cast<int32_t>(p), v[1]);
             return true;
         }},
        {"--keys", "a key script file", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             o.keysFile = v[0];
             return !v[0].empty();
         }},
        {"--solutions", "a folder of LEVEL.txt, LEVEL.drive or LEVEL.keys files", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             o.solutions = v[0];
             return !v[0].empty();
         }},
        {"--campaign", "a campaign name", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             o.campaign = v[0];
             return !v[0].empty();
         }},
        {"--start", "a level index from 0 (0 continues from the saved progress)", 1,
         [](SimulationOptions& o, const std::vector<std::string>& v, std::string&) {
             int64_t n;
             if (!ParseInt(v[0], 0, 0x7FFFFFFF, n)) return false;
             o.start = static_cast<int32_t>(n);
             o.startGiven = true;
             return true;
         }},
    };
    return rows;
}

constexpr const char* kUsage =
    "usage: rondovar-sim [--step MS] [--ms TOTAL] [--seed N] [--views] [--drive P COMMAND]... [--keys FILE]\n"
    "                    [--solutions DIR] (LEVEL | --campaign NAME [--start N])\n";

// A drive file: "P COMMAND" a line, "#" comments.
std::vector<std::pair<int32_t, std::string>> ReadDriveFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SimulationError("cannot read " + path.string());
    std::vector<std::pair<int32_t, std::string>> drives;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = ScriptLine(line);
        if (text.empty()) continue;
        const size_t blank = text.find_first_of(" \t");
        int64_t p = 0;
        if (blank == std::string::npos || !ParseInt(text.substr(0, blank), 1, 2, p))
            throw SimulationError(path.string() + ":" + std::to_string(number) + ": expected \"P COMMAND\" (P 1 or 2), not \"" +
                                  text + "\"");
        drives.emplace_back(static_cast<int32_t>(p), TrimSpace(text.substr(blank)));
    }
    return drives;
}

std::vector<KeyEvent> ReadKeyFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SimulationError("cannot read " + path.string());
    std::vector<KeyEvent> events;
    std::string error;
    if (!ParseKeyScript(in, path.string(), events, error)) throw SimulationError(error);
    return events;
}

} // namespace

bool ParseKeyScript(std::istream& in, const std::string& source, std::vector<KeyEvent>& events, std::string& error) {
    std::string line;
    bool first = true;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = ScriptLine(line);
        if (text.empty()) continue;
        // A kept solution heads its key lines with "keys".
        const bool head = first && text == "keys";
        if (first && (text == "cutscene" || text.rfind("loop", 0) == 0)) {
            error = source + ":" + std::to_string(number) + ": a " + text.substr(0, text.find(' ')) +
                    " solution, not key presses (a kept solution plays with --solutions)";
            return false;
        }
        first = false;
        if (head) continue;
        std::istringstream words(text);
        std::string ms, what, code, extra;
        words >> ms >> what >> code;
        KeyEvent e;
        int64_t t = 0;
        const bool ok = !(words >> extra) && ParseInt(ms, 0, 0x7FFFFFFF, t) && (what == "down" || what == "up") &&
                        ParseScanCode(code, e.scanCode);
        if (!ok) {
            error = source + ":" + std::to_string(number) + ": expected \"MS down|up SCANCODE\" (scan code 0 to 255), not \"" +
                    text + "\"";
            return false;
        }
        e.time = static_cast<int32_t>(t);
        e.down = what == "down";
        events.push_back(e);
    }
    return true;
}

bool ReadLevelSolution(const std::filesystem::path& path, LevelSolution& solution, std::string& error) {
    solution = {};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "no solution file " + path.string();
        return false;
    }
    std::vector<std::pair<int, std::string>> lines;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = TrimSpace(line);
        if (!text.empty() && text[0] != '#') lines.emplace_back(number, text);
    }
    auto fail = [&](int number, const std::string& why) {
        error = path.string() + ":" + std::to_string(number) + ": " + why;
        return false;
    };
    if (lines.empty()) return fail(1, "empty solution (cutscene, keys or loop MS expected)");
    std::istringstream head(lines[0].second);
    head >> solution.form;
    if (solution.form == "cutscene") {
        if (lines.size() != 2) return fail(lines[0].first, "a cutscene solution is one command line after \"cutscene\"");
        solution.command = lines[1].second;
    } else if (solution.form == "keys") {
        // The key script reader skips the "keys" head and the comments.
        std::ifstream again(path, std::ios::binary);
        if (!ParseKeyScript(again, path.string(), solution.keys, error)) return false;
    } else if (solution.form == "loop") {
        std::string ms, extra;
        int64_t n = 0;
        if (!(head >> ms) || (head >> extra) || !ParseInt(ms, 1, 0x7FFFFFFF, n) || lines.size() != 1)
            return fail(lines[0].first, "a loop solution is the one line \"loop MS\" (MS from 1)");
        solution.loopMs = static_cast<int32_t>(n);
    } else {
        return fail(lines[0].first, "unknown solution form \"" + lines[0].second + "\" (cutscene, keys or loop MS)");
    }
    return true;
}

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
            if (i + static_cast<size_t>(row->values) >= args.size()) {
                error = a + " needs " + row->what;
                return false;
            }
            std::vector<std::string> values(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                            args.begin() + static_cast<std::ptrdiff_t>(i) + 1 + row->values);
            i += static_cast<size_t>(row->values);
            std::string why;
            if (!row->apply(options, values, why)) {
                std::string given;
                for (const auto& v : values) given += (given.empty() ? "" : " ") + v;
                error = why.empty() ? a + " needs " + row->what + ", not \"" + given + "\"" : why;
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
    if (haveLevel && !options.campaign.empty()) {
        error = "a level and --campaign exclude each other";
        return false;
    }
    if (options.startGiven && options.campaign.empty()) {
        error = "--start needs --campaign";
        return false;
    }
    if (!haveLevel && options.campaign.empty()) {
        error = "no level given";
        return false;
    }
    return true;
}

Simulation::Simulation(const std::filesystem::path& programFolder) : rec_(MakeRecordingEngine(programFolder)) {
    Engine& e = rec_->engine;
    LoadSystemClasses(e);
    // Keys come from the schedule through a scripted keyboard, read with the
    // shipped bindings so that a solution means the same on every machine.
    keys_ = std::make_shared<ScriptedDirectInput>();
    e.platform.dinput = keys_;
    e.settings.bindings = ShippedSettings().bindings;
    e.input = std::make_shared<inpControl>(e);
    e.input->StartInput();

    campaign_ = std::make_unique<engCampaign>(e);
    campaign_->loadLevel = [this](const std::string& name) {
        Load(name);
        pending_.push_back(std::to_string(time_) + " level " + name);
    };
    campaign_->endLevel = [this](int32_t status) {
        // The game always has a level behind the menu; here, with none yet,
        // the campaign moves on at once.
        if (level_) level_->Endlevel(status);
        else campaign_->LoadNext(status);
    };
    campaign_->resetBalls = [this] {
        if (!level_) return;
        for (int32_t n = 1; n <= level_->MapObjects(); ++n) {
            if (level_->MapObjectName(n).find("System.Objects.Player.Ball") == std::string::npos) continue;
            if (LevelObject* o = level_->MapObject(n))
                if (IBall* b = o->AsBall()) b->ResetBall();
        }
    };
    for (int p = 0; p < 2; ++p) lastViews_[p] = ViewText(p);
}

Simulation::~Simulation() {
    // Balls point to the drivers: levels go first.
    level_.reset();
    retired_.reset();
    drivers_.clear();
    retiredDrivers_.clear();
    campaign_.reset();
    UnloadSystemClasses(rec_->engine);
}

void Simulation::Load(const std::string& name) {
    auto level = std::make_unique<engLevel>(rec_->engine);
    level->LoadLevel(name);
    engLevel* raw = level.get();
    level->loadNext = [this, raw] {
        // The level has cleared its reason before asking; the tick before
        // this one still saw it.
        const int32_t status = raw->EndReason() != 0 ? raw->EndReason() : lastReason_;
        pending_.push_back(std::to_string(time_) + " loadnext " + std::to_string(status));
        // The game reloads a finished campaign's last level; say it was the end.
        const bool done = status == 1 && campaign_->mode == engCampaign::Playing && campaign_->count > 0 &&
                          campaign_->current >= campaign_->count;
        campaign_->LoadNext(status);
        if (done) {
            pending_.push_back(std::to_string(time_) + " campaign done");
            campaignDone_ = true;
        }
    };
    // The old level may be the one whose Tick is asking for this load: it
    // and its drivers live until that Tick is over.
    retired_ = std::move(level_);
    retiredDrivers_ = std::move(drivers_);
    drivers_.clear();
    level_ = std::move(level);
    last_.clear();
    lastReason_ = 0;
    loadTime_ = time_;
    ReleaseKeys();
    schedule_.clear();
    nextKey_ = 0;
    // As the game does on every level change: both views start at the
    // level's start pose until a camera of the level moves them.
    for (int p = 0; p < 2; ++p)
        SetPlayerView(rec_->engine, engLevel::kStartEye, engLevel::kStartLookAt, engLevel::kStartUp, p);
    if (onLevelLoaded) onLevelLoaded(*this, name);
}

void Simulation::BootCampaign(const std::string& name, int32_t start) {
    campaignDone_ = false;
    campaign_->LoadCampaign(name);
    campaign_->Bootcampaign(start);
}

void Simulation::DriveBall(int32_t player, const std::string& cutsceneCommand) {
    if (player != 1 && player != 2) throw SimulationError("a ball to drive is player 1 or 2, not " + std::to_string(player));
    if (!level_) throw SimulationError("no level to drive a ball in");
    const int32_t n = FindPlayerBall(*level_, player - 1);
    auto* ball = n > 0 ? dynamic_cast<objBall*>(level_->MapObject(n)) : nullptr;
    if (!ball)
        throw SimulationError("level " + level_->Reference() + " has no ball for player " + std::to_string(player));
    auto driver = std::make_unique<objCutsceneController>();
    driver->AssignVar("command", cutsceneCommand);
    // The ball ticks it as it ticks its own key handler; the level never
    // sees it, so no object number of the level changes.
    ball->controller = driver.get();
    ball->ownsController = true;
    drivers_.push_back(std::move(driver));
}

void Simulation::ScheduleKey(int32_t timeMs, int scanCode, bool down) {
    if (scanCode < 0 || scanCode > 255)
        throw SimulationError("a scan code is 0 to 255, not " + std::to_string(scanCode));
    if (timeMs < 0) throw SimulationError("a key time is 0 ms or later, not " + std::to_string(timeMs));
    // Events of the same time keep the order they were given in.
    const auto from = schedule_.begin() + static_cast<std::ptrdiff_t>(nextKey_);
    const auto at = std::upper_bound(from, schedule_.end(), timeMs,
                                     [](int32_t t, const KeyEvent& e) { return t < e.time; });
    schedule_.insert(at, KeyEvent{timeMs, scanCode, down});
}

void Simulation::ApplyKeys(int64_t until) {
    while (nextKey_ < schedule_.size() && loadTime_ + schedule_[nextKey_].time <= until) {
        const KeyEvent& e = schedule_[nextKey_++];
        if (e.down) keys_->KeyDown(static_cast<uint8_t>(e.scanCode));
        else keys_->KeyUp(static_cast<uint8_t>(e.scanCode));
    }
}

void Simulation::ReleaseKeys() { keys_->ReleaseAll(); }

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
        // Players as the level file and --drive number them, from 1.
        emit(std::to_string(time) + " ball " + std::to_string(players[i] + 1) + " phase " + std::to_string(s.phase) +
             " cell " + std::to_string(s.cell[0]) + " " + std::to_string(s.cell[1]) + " " +
             std::to_string(s.cell[2]) + " up " + std::to_string(s.up[0]) + " " + std::to_string(s.up[1]) + " " +
             std::to_string(s.up[2]));
    }
    last_ = now;
}

std::string Simulation::ViewText(int32_t player) const {
    const auto& v = rec_->engine.playerViews[static_cast<size_t>(player)];
    return "view " + std::to_string(player + 1) + " eye " + Fixed2(v.eye.x) + " " + Fixed2(v.eye.y) + " " +
           Fixed2(v.eye.z) + " at " + Fixed2(v.lookAt.x) + " " + Fixed2(v.lookAt.y) + " " + Fixed2(v.lookAt.z);
}

void Simulation::ReportViews(int64_t time, const std::function<void(const std::string&)>& emit) {
    // A change below the printed precision is no change: the lines would
    // read the same.
    for (int32_t p = 0; p < 2; ++p) {
        std::string now = ViewText(p);
        if (now == lastViews_[p]) continue;
        emit(std::to_string(time) + " " + now);
        lastViews_[p] = std::move(now);
    }
}

void Simulation::Run(int32_t step, int32_t total, const std::function<void(const std::string&)>& emit) {
    auto flush = [&] {
        std::vector<std::string> lines;
        lines.swap(pending_);
        for (const auto& l : lines) emit(l);
    };
    flush();
    if (!level_) return;
    if (step < 1) step = 1;
    ReportBalls(time_, true, emit);
    if (reportViews)
        for (int32_t p = 0; p < 2; ++p) {
            lastViews_[p] = ViewText(p);
            emit(std::to_string(time_) + " " + lastViews_[p]);
        }
    const int64_t end = time_ + std::max(total, 0);
    Engine& engine = rec_->engine;
    while (time_ < end) {
        const int32_t e = static_cast<int32_t>(std::min<int64_t>(step, end - time_));
        ApplyKeys(time_ + e);
        engine.input->PollInput();
        rec_->clock->Advance(static_cast<uint32_t>(e));
        time_ += e;
        int32_t elapsed = e;
        engLevel* running = level_.get();
        const int32_t before = running->EndReason();
        if (before != 0) lastReason_ = before;
        // The grid is drawn in the order player 0's view needs, as the game does.
        const auto& view = engine.playerViews[0];
        running->viewDirection = view.lookAt - view.eye;
        try {
            running->Tick(elapsed);
        } catch (...) {
            flush();
            throw;
        }
        // The recording device keeps every call; a long run needs none of them.
        if (RecordingDevice* device = rec_->device()) device->ClearCalls();
        const int32_t reason = running->EndReason();
        // An ending that began and ran out within this tick still shows.
        if (reason != 0 && reason != before) emit(std::to_string(time_) + " endlevel " + std::to_string(reason));
        if (reason != 0 && running == level_.get()) lastReason_ = reason;
        flush();
        retired_.reset();
        retiredDrivers_.clear();
        // The campaign's end is the run's last line.
        if (stopAtCampaignEnd && campaignDone_) break;
        ReportBalls(time_, false, emit);
        if (reportViews) ReportViews(time_, emit);
    }
}

int RunSimulator(const std::vector<std::string>& args, const std::filesystem::path& programFolder, std::ostream& out,
                 std::ostream& err, const std::function<void(Simulation&)>& prepare) {
    SimulationOptions options;
    std::string problem;
    if (!ParseSimulationArguments(args, options, problem)) {
        err << "rondovar-sim: " << problem << "\n" << kUsage;
        return 2;
    }
    std::vector<KeyEvent> keys;
    try {
        if (!options.keysFile.empty()) keys = ReadKeyFile(options.keysFile);
        if (!options.solutions.empty() && !std::filesystem::is_directory(options.solutions))
            throw SimulationError("no solutions folder " + options.solutions);
    } catch (const SimulationError& e) {
        err << "rondovar-sim: " << e.what() << "\n";
        return 2;
    }

    Simulation sim(programFolder);
    // progress.dat goes where the game would put it.
    sim.engine().userFolder = ChooseUserFolder(programFolder);
    if (options.seeded) sim.engine().rng.seed(options.seed);
    sim.reportViews = options.views;
    if (prepare) prepare(sim);
    // Each level as it loads gets its own solution when the solutions
    // folder is given: NAME.drive or NAME.keys when there, else the kept
    // NAME.txt. A level with none stops the run (exit 2), naming it, rather
    // than standing still until the time runs out.
    sim.stopAtCampaignEnd = !options.solutions.empty();
    // A campaign played through needs no --ms: it runs until it is done,
    // bounded by half an hour of game time.
    constexpr int32_t kCampaignBound = 30 * 60 * 1000;
    const int32_t total =
        !options.totalGiven && sim.stopAtCampaignEnd && !options.campaign.empty() ? kCampaignBound : options.total;
    sim.onLevelLoaded = [&](Simulation& s, const std::string& name) {
        auto drives = options.drives;
        auto events = keys;
        if (!options.solutions.empty()) {
            // An archive entry "pack#level" is found under its level name.
            const size_t hash = name.rfind('#');
            const std::string file = hash == std::string::npos ? name : name.substr(hash + 1);
            const std::filesystem::path base = std::filesystem::path(options.solutions) / file;
            std::filesystem::path drive = base, keyFile = base, kept = base;
            drive += ".drive";
            keyFile += ".keys";
            kept += ".txt";
            const bool ownFiles = std::filesystem::exists(drive) || std::filesystem::exists(keyFile);
            if (std::filesystem::exists(drive)) drives = ReadDriveFile(drive);
            if (std::filesystem::exists(keyFile)) events = ReadKeyFile(keyFile);
            if (!ownFiles) {
                if (!std::filesystem::exists(kept))
                    throw SimulationError("no solution for level " + name + " in " + options.solutions + " (" +
                                          file + ".txt, " + file + ".drive or " + file + ".keys)");
                LevelSolution solution;
                std::string why;
                if (!ReadLevelSolution(kept, solution, why)) throw SimulationError(why);
                drives.clear();
                events = solution.keys;
                if (solution.form == "cutscene") drives.emplace_back(1, solution.command);
            }
        }
        for (const auto& [player, command] : drives) s.DriveBall(player, command);
        for (const KeyEvent& e : events) s.ScheduleKey(e.time, e.scanCode, e.down);
    };
    auto print = [&](const std::string& line) { out << line << "\n"; };
    try {
        if (!options.campaign.empty()) sim.BootCampaign(options.campaign, options.start);
        else sim.Load(options.level);
        sim.Run(options.step, total, print);
    } catch (const EngineError& e) {
        out << "error " << e.number << " in " << e.source << ": " << e.description << "\n";
        out.flush();
        return 1;
    } catch (const SimulationError& e) {
        out.flush();
        err << "rondovar-sim: " << e.what() << "\n";
        return 2;
    }
    out.flush();
    return 0;
}

} // namespace rdv
