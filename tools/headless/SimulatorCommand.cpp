// rondovar-sim's command line: its options, the key scripts, drive files
// and kept solutions it reads, and the run they ask for.
#include "headless/Simulation.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "core/UserFolder.h"

namespace rdv {

namespace {

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
