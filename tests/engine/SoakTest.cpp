// The engine with no window (recording device, scripted keyboard and
// mouse, manual clock, no sound) runs the real main loop for 100 000 frames
// of random play over the shipped levels: levels are won and lost, both
// campaigns are started in turn, and half-way the engine is taken down and
// brought up again as a full reboot does. Nothing may fail, and once every
// level has been seen the resource tables and the heap stop growing.
#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Error.h"
#include "core/HostForms.h"
#include "core/Main.h"
#include "core/SettingsFile.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"
#include "level/Level.h"
#include "platform/dinput/ScriptedInput.h"

// Present when the program runs under AddressSanitizer, whose allocator
// glibc's malloc statistics do not see.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace rdv {
namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 100000;
constexpr int kFramesPerPass = kFrames / 2;
// Every level is won or lost after this many frames of play, so that the
// run goes through many level ends whatever the random keys do.
constexpr int kFramesPerLevel = 500;
constexpr int kFramesPerCampaign = 12500;

size_t HeapInUse() {
    if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    // Blocks the allocator mapped apart count as much as those in its heap.
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Sample {
    int32_t models = 0, textures = 0, shaders = 0;
    size_t liveTextures = 0;
    size_t heap = 0;
};

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("rdv_soak_" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "data");
        const fs::path game(RDV_GAME_DIR);
        for (const char* sub : {"models", "textures", "shaders", "maps", "music"})
            fs::create_directory_symlink(game / sub, folder / sub);
        // The data folder is written to (settings, progress): copies.
        for (const auto& e : fs::directory_iterator(game / "data")) {
            const std::string name = e.path().filename().string();
            if (name != "settings.dat" && name != "progress.dat") fs::copy_file(e.path(), folder / "data" / name);
        }
        // The shipped campaigns, and one more of every shipped level (the
        // loose files in maps and the levels the campaigns name in their
        // archives), so that the run changes campaigns as a player
        // choosing in the menu does.
        const std::vector<std::pair<std::string, std::string>> list = Entries(game / "data" / "campaignlist.dat");
        std::set<std::string> all;
        for (const auto& [key, value] : list) {
            if (key.empty() || !std::isdigit(static_cast<unsigned char>(key[0]))) continue;
            campaigns.push_back(value);
            for (const auto& [k, level] : Entries(game / "data" / (value + ".dat")))
                if (!k.empty() && std::isdigit(static_cast<unsigned char>(k[0]))) all.insert(level);
        }
        for (const auto& e : fs::directory_iterator(game / "maps"))
            // tiletest is the snapshot tools' picture of every tile, not a level to play.
            if (e.path().extension() == ".tcs" && e.path().stem() != "tiletest") all.insert(e.path().stem().string());
        levels.assign(all.begin(), all.end());
        ASSERT_FALSE(campaigns.empty());
        ASSERT_GE(levels.size(), 2u);
        std::ofstream soak(folder / "data" / "soak.dat", std::ios::binary);
        soak << "N=" << levels.size() << "\n";
        for (size_t i = 0; i < levels.size(); ++i) soak << i + 1 << "=" << levels[i] << "\n";
        std::ofstream out(folder / "data" / "campaignlist.dat", std::ios::binary | std::ios::trunc);
        for (const auto& [key, value] : list) {
            if (key == "N") out << "N=" << campaigns.size() + 1 << "\n";
            else out << key << "=" << value << "\n";
        }
        out << campaigns.size() + 1 << "=soak\ncaption=Everything\n";
        campaigns.insert(campaigns.begin(), "soak");
        out.close();

        Settings s = RecordingSettings();
        s.soundOn = false;
        s.language = 1;
        s.bindings = ShippedSettings().bindings;
        WriteBytes(folder / "data" / "settings.dat", EncodeWholeRecord(s));

        t = MakeRecordingEngine(folder, RecordingScript::Default(), false);
        input = std::make_shared<ScriptedDirectInput>();
        t->engine.platform.dinput = input;
    }
    void TearDown() override {
        t.reset();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // The key=value lines of a catalogue up to its end.
    static std::vector<std::pair<std::string, std::string>> Entries(const fs::path& file) {
        std::vector<std::pair<std::string, std::string>> entries;
        std::ifstream in(file, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line == "*") break;
            const size_t eq = line.find('=');
            if (eq != std::string::npos) entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
        return entries;
    }
    static void WriteBytes(const fs::path& p, const std::vector<uint8_t>& bytes) {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    }

    // One pass of the reboot loop, in the order the program runs them.
    void StartPass() {
        Engine& e = t->engine;
        e.reboot = false;
        LoadSettings(e);
        DispLoadHostWindow(e);
        StartInput(e);
        InitGraphics(e);
        Loader(e);
        SoundStart(e);
        LoadLibrary(e);
        GameStart(e);
        e.running = true;
    }
    void EndPass() {
        Engine& e = t->engine;
        GameShutdown(e);
        SoundShutdown(e);
        StopInput(e);
        ShutdownGraphics(e);
        UnloadHostForms(e);
        DoEvents(e);
    }

    // Random keys: each bound key of both players flips now and then, so
    // the balls roll, turn, jump and the cameras change; Esc opens and
    // closes the menu once in a while; the mouse wanders.
    void RandomInput() {
        static const uint8_t keys[] = {0xC8, 0xD0, 0xCB, 0xCD, 0x39, 0xC9, 0xD1,
                                       0x11, 0x1F, 0x1E, 0x20, 0x1D, 0x10, 0x12};
        for (uint8_t k : keys) {
            if (rng() % 40 != 0) continue;
            if (held.count(k)) {
                input->KeyUp(k);
                held.erase(k);
            } else {
                input->KeyDown(k);
                held.insert(k);
            }
        }
        if (escHeld) {
            input->KeyUp(0x01);
            escHeld = false;
        } else if (rng() % 2500 == 0) {
            input->KeyDown(0x01);
            escHeld = true;
        }
        input->MoveMouse(static_cast<int32_t>(rng() % 21) - 10, static_cast<int32_t>(rng() % 21) - 10);
    }

    void StartCampaign(engGame& game) {
        // Each pass begins with the campaign of every level, so that all of
        // them have been loaded long before the middle of the pass.
        const std::string name = campaigns[size_t(campaignTurn) % campaigns.size()];
        game.campaign->LoadCampaign(name);
        // Every other start continues from the stored progress.
        game.campaign->Bootcampaign(campaignTurn % 3 == 2 ? 0 : 1);
        ++campaignTurn;
        ++campaignStarts;
    }

    Sample Measure() {
        gfxCore& gfx = Graphics(t->engine);
        Sample s;
        s.models = gfx.models.Highest();
        s.textures = gfx.textures.Highest();
        s.shaders = gfx.shaders.Highest();
        s.liveTextures = t->device() ? t->device()->LiveTextures() : 0;
        // The recording device's call list keeps the room of the busiest
        // frame so far; that is the harness's memory, not the engine's.
        if (RecordingDevice* d = t->device()) d->calls.Release();
        std::vector<std::string>().swap(t->host->calls);
        s.heap = HeapInUse();
        return s;
    }

    // Plays `frames` frames of the current pass, sampling at the middle.
    void Play(int frames, Sample& middle) {
        Engine& e = t->engine;
        engGame& game = Game(e);
        levelFrame = 0;
        campaignTurn = 0;
        lastLevel = nullptr;
        lastName.clear();
        StartCampaign(game);
        for (int f = 1; f <= frames; ++f) {
            RandomInput();
            t->clock->Advance(5 + rng() % 26);
            MainLoop(e);
            DoEvents(e);
            ASSERT_TRUE(e.running) << "the main loop was ended at frame " << f;
            // The recording device and the headless host keep every call;
            // the run needs none of them.
            if (RecordingDevice* d = t->device()) d->ClearCalls();
            t->host->calls.clear();

            engLevel* now = game.Level();
            ASSERT_NE(now, nullptr);
            if (now != lastLevel) {
                if (game.currentLevelName == lastName) ++restarts;
                else ++levelChanges;
                visited.insert(game.currentLevelName);
                lastLevel = now;
                lastName = game.currentLevelName;
                levelFrame = f;
            }
            if (f - levelFrame >= kFramesPerLevel && now->EndReason() == 0) {
                // The goal reached or the ball lost, in turn.
                now->Endlevel(++endings % 4 == 0 ? 2 : 1);
                levelFrame = f;
            }
            if (f % kFramesPerCampaign == 0) StartCampaign(game);
            if (f == frames / 2) middle = Measure();
            for (const auto& line : t->log) {
                if (line.colour == 4) warnings.push_back(line.message);
            }
            t->log.clear();
        }
    }

    fs::path folder;
    std::unique_ptr<RecordingEngine> t;
    std::shared_ptr<ScriptedDirectInput> input;
    std::vector<std::string> levels;
    std::vector<std::string> campaigns;  // the soak campaign first
    std::mt19937 rng{20240601};
    std::set<uint8_t> held;
    bool escHeld = false;
    int campaignTurn = 0, campaignStarts = 0, restarts = 0, levelChanges = 0, endings = 0;
    int levelFrame = 0;
    engLevel* lastLevel = nullptr;
    std::string lastName;
    std::set<std::string> visited;
    std::vector<std::string> warnings;
};

TEST_F(Soak, HundredThousandRandomFramesWithARebootStayWithinTheirMemory) {
    Sample firstMiddle, firstEnd, secondMiddle, secondEnd;
    try {
        StartPass();
        Play(kFramesPerPass, firstMiddle);
        if (HasFatalFailure()) return;
        firstEnd = Measure();
        EndPass();
        // The full engine reboot: every subsystem down and up again.
        t->engine.log.Write("Full Engine Reboot", 2);
        StartPass();
        Play(kFramesPerPass, secondMiddle);
        if (HasFatalFailure()) return;
        secondEnd = Measure();
        EndPass();
    } catch (const EngineError& e) {
        FAIL() << "engine error " << e.number << " in " << e.source << ": " << e.description;
    }

    EXPECT_TRUE(warnings.empty()) << warnings.size() << " warnings, the first: " << warnings.front();
    for (const auto& level : levels) EXPECT_TRUE(visited.count(level)) << level << " was never played";
    EXPECT_GE(levelChanges, 30);
    EXPECT_GE(restarts, 10);
    EXPECT_GE(campaignStarts, 10);

    // Once every level has been seen (by the middle of each pass) nothing
    // new is loaded: the tables of both halves of a pass are the same, and
    // the second pass needs what the first did.
    EXPECT_EQ(firstMiddle.models, firstEnd.models);
    EXPECT_EQ(firstMiddle.textures, firstEnd.textures);
    EXPECT_EQ(firstMiddle.shaders, firstEnd.shaders);
    EXPECT_EQ(secondMiddle.models, secondEnd.models);
    EXPECT_EQ(secondMiddle.textures, secondEnd.textures);
    EXPECT_EQ(secondMiddle.shaders, secondEnd.shaders);
    EXPECT_EQ(firstEnd.models, secondEnd.models);
    EXPECT_EQ(firstEnd.textures, secondEnd.textures);
    EXPECT_EQ(firstEnd.liveTextures, secondEnd.liveTextures);
    // The heap may move by what one level more or less holds, but it must
    // not climb with the frames played: a leak of a few bytes a frame would
    // show as hundreds of kilobytes here.
    constexpr long long kSlack = 512 * 1024;
    const auto growth = [](const Sample& a, const Sample& b) {
        return static_cast<long long>(b.heap) - static_cast<long long>(a.heap);
    };
    EXPECT_LT(growth(firstMiddle, firstEnd), kSlack) << firstMiddle.heap << " -> " << firstEnd.heap;
    EXPECT_LT(growth(secondMiddle, secondEnd), kSlack) << secondMiddle.heap << " -> " << secondEnd.heap;
    EXPECT_LT(growth(firstEnd, secondEnd), kSlack) << firstEnd.heap << " -> " << secondEnd.heap;
}

// The loading screen's texture is kept only while loads draw it: put away
// once a level is in, read from its file again by the next loading screen.
TEST_F(Soak, TheLoadingScreenTextureIsPutAwayBetweenLoads) {
    try {
        StartPass();
        Engine& e = t->engine;
        gfxCore& g = *e.gfx;
        const auto& names = g.textures.names;
        const auto it = std::find(names.begin(), names.end(), "loader");
        ASSERT_NE(it, names.end());
        const int32_t loader = static_cast<int32_t>(it - names.begin());
        EXPECT_TRUE(g.Parked(loader));
        EXPECT_EQ(g.textures.objects[loader], nullptr);

        DrawLoadingScreen(e);
        ASSERT_NE(g.textures.objects[loader], nullptr);
        EXPECT_FALSE(g.Parked(loader));
        EXPECT_GT(g.TextureSize(loader).first, 1);
        Game(e).ReplaceLevel(levels.front());
        EXPECT_TRUE(g.Parked(loader));
        EXPECT_EQ(g.textures.counts[loader], 1);
        EndPass();
    } catch (const EngineError& err) {
        FAIL() << "engine error " << err.number << " in " << err.source << ": " << err.description;
    }
}

} // namespace
} // namespace rdv
