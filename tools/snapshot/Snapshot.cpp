// rondovar-snapshot [options] OUT.png: draws one model offscreen on the real
// OpenGL device with the default light map and writes the picture.
//
//   cd build/game && SDL_VIDEODRIVER=offscreen ./rondovar-snapshot --model test_simple out.png
//
// Options live in the table kOptions below: to add one, add a field to
// SnapshotArgs, a row to the table (name, argument text, help, parser) and,
// if it draws something new, a branch in Render.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "core/Engine.h"
#include "core/Error.h"
#include "headless/ModelSnapshot.h"
#include "level/Level.h"
#include "headless/LevelSnapshot.h"
#include "platform/Clock.h"
#include "platform/FileSearch.h"

namespace {

using rdv::D3DXVECTOR3;

struct SnapshotArgs {
    int width = 320, height = 240;
    // The default eye looks at the front of models facing +x, from the side
    // the default light shines on.
    D3DXVECTOR3 eye{4, 0, 0}, at{0, 0, 0}, up{0, 0, 1};
    // The game draws every model first with state 1: the ball as it rolls,
    // group 1 of a grouped model, the flag post, scenery.
    int state = 1;
    float phase = 0;
    std::string model;
    std::string out;
    // The game clock texel shaders read while the frame is drawn, in ms.
    uint32_t clock = 0;
    // --level: the level to draw, the game time to run it first, and
    // whether --eye or --at chose the view (else the level's overview).
    std::string level;
    int levelMs = 0;
    bool viewGiven = false;
};

bool ParseInt(const std::string& s, int& v) {
    char* end = nullptr;
    long n = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0') return false;
    v = static_cast<int>(n);
    return true;
}

bool ParseFloat(const std::string& s, float& v) {
    char* end = nullptr;
    v = std::strtof(s.c_str(), &end);
    return end != s.c_str() && *end == '\0';
}

bool ParseClock(const std::string& s, uint32_t& v) {
    char* end = nullptr;
    unsigned long long n = std::strtoull(s.c_str(), &end, 10);
    if (end == s.c_str() || *end != '\0' || s[0] == '-' || n > 0xFFFFFFFFull) return false;
    v = static_cast<uint32_t>(n);
    return true;
}

bool ParseSize(const std::string& s, int& w, int& h) {
    auto x = s.find_first_of("xX");
    return x != std::string::npos && ParseInt(s.substr(0, x), w) && ParseInt(s.substr(x + 1), h) && w > 0 && h > 0 &&
           w <= 8192 && h <= 8192;
}

bool ParseVec(const std::string& s, D3DXVECTOR3& v) {
    auto a = s.find(','), b = s.find(',', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos) return false;
    return ParseFloat(s.substr(0, a), v.x) && ParseFloat(s.substr(a + 1, b - a - 1), v.y) &&
           ParseFloat(s.substr(b + 1), v.z);
}

struct Option {
    const char* name;
    const char* argument;
    const char* help;
    std::function<bool(SnapshotArgs&, const std::string&)> parse;
};

const std::vector<Option> kOptions = {
    {"--size", "WxH", "picture size (320x240)", [](SnapshotArgs& a, const std::string& v) { return ParseSize(v, a.width, a.height); }},
    {"--eye", "X,Y,Z", "camera position (4,0,0)", [](SnapshotArgs& a, const std::string& v) { a.viewGiven = true; return ParseVec(v, a.eye); }},
    {"--at", "X,Y,Z", "point looked at (0,0,0)", [](SnapshotArgs& a, const std::string& v) { a.viewGiven = true; return ParseVec(v, a.at); }},
    {"--up", "X,Y,Z", "up direction (0,0,1)", [](SnapshotArgs& a, const std::string& v) { return ParseVec(v, a.up); }},
    {"--state", "N", "state: the group of a mode-3 model, the parts of a composite (1, as the game first draws it)",
     [](SnapshotArgs& a, const std::string& v) { return ParseInt(v, a.state); }},
    {"--phase", "P", "animation phase of a composite, radians (0)",
     [](SnapshotArgs& a, const std::string& v) { return ParseFloat(v, a.phase); }},
    {"--clock", "MS", "game clock in milliseconds that animated shaders read (0)",
     [](SnapshotArgs& a, const std::string& v) { return ParseClock(v, a.clock); }},
    {"--level", "NAME", "a level of the maps folder, drawn from --eye/--at or an overview",
     [](SnapshotArgs& a, const std::string& v) { a.level = v; return !v.empty(); }},
    {"--ms", "N", "game time in milliseconds the level runs before the picture (0)",
     [](SnapshotArgs& a, const std::string& v) { return ParseInt(v, a.levelMs) && a.levelMs >= 0; }},
    {"--model", "NAME", "the model to draw, as in the models folder",
     [](SnapshotArgs& a, const std::string& v) { a.model = v; return !v.empty(); }},
};

void Usage() {
    std::cerr << "usage: rondovar-snapshot [options] OUT.png\n";
    for (const auto& o : kOptions) std::cerr << "  " << o.name << " " << o.argument << "\t" << o.help << "\n";
}

bool ParseArgs(int argc, char** argv, SnapshotArgs& args) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--", 0) != 0) {
            if (!args.out.empty()) return false;
            args.out = a;
            continue;
        }
        const Option* found = nullptr;
        for (const auto& o : kOptions)
            if (a == o.name) found = &o;
        if (!found || i + 1 >= argc) {
            std::cerr << "rondovar-snapshot: " << (found ? "missing value for " : "unknown option ") << a << "\n";
            return false;
        }
        if (!found->parse(args, argv[++i])) {
            std::cerr << "rondovar-snapshot: bad value for " << a << ": " << argv[i] << "\n";
            return false;
        }
    }
    return !args.out.empty();
}

// Draws what the arguments ask for; false with a message on stderr.
bool Render(rdv::Engine& engine, rdv::ModelSnapshot& shot, const SnapshotArgs& args) {
    if (!args.level.empty()) {
        const rdv::LevelSnapshotView view{args.eye, args.at, args.up};
        rdv::DrawLevelSnapshot(engine, args.level, args.levelMs, args.viewGiven ? &view : nullptr);
        return true;
    }
    if (args.model.empty()) {
        std::cerr << "rondovar-snapshot: nothing to draw (give --model NAME or --level NAME)\n";
        return false;
    }
    shot.DrawModel(args.model, args.state, args.phase);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    SnapshotArgs args;
    if (!ParseArgs(argc, argv, args)) {
        Usage();
        return 2;
    }
    rdv::Engine engine;
    engine.programFolder = rdv::ProgramFolder();
    // A fixed clock, so that a snapshot of an animated shader is reproducible.
    engine.platform.clock = std::make_shared<rdv::ManualClock>(args.clock);
    try {
        rdv::ModelSnapshot shot(engine, args.width, args.height);
        if (!shot.ok()) {
            std::cerr << "rondovar-snapshot: " << shot.error() << "\n";
            return 1;
        }
        shot.Begin(args.eye, args.at, args.up);
        if (!Render(engine, shot, args)) return 1;
        if (!shot.Save(args.out)) {
            std::cerr << "rondovar-snapshot: could not write " << args.out << "\n";
            return 1;
        }
    } catch (const rdv::EngineError& e) {
        std::cerr << "rondovar-snapshot: error " << e.number << " in " << e.source << ": " << e.description << "\n";
        return 1;
    }
    return 0;
}
