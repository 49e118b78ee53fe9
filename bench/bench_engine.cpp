// What the engine costs: loading the largest shipped level and each model
// kind, one texel-interpreter instruction, and one level frame (logic and
// draw submission to the recording device) on a 64 x 64 x 16 grid whose
// every floor is a static tile.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/Error.h"
#include "graphics/Core.h"
#include "headless/RecordingEngine.h"
#include "graphics/Shader.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "FullLevel.h"

using namespace rdv;
namespace fs = std::filesystem;

// Every allocation of the program is counted, so a frame can show it makes none.
static std::atomic<uint64_t> gAllocations{0};
void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

const fs::path kGame = RDV_GAME_DIR;

// The largest level file in the program folder's "maps".
std::string LargestLevel() {
    std::string best;
    uintmax_t size = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(kGame / "maps", ec)) {
        if (e.path().extension() != ".tcs" || e.file_size() <= size) continue;
        size = e.file_size();
        best = e.path().stem().string();
    }
    return best;
}

std::unique_ptr<RecordingEngine> GameEngine(const fs::path& folder = kGame) {
    auto t = MakeRecordingEngine(folder);
    LoadSystemClasses(t->engine);
    return t;
}

void BM_LoadLargestLevel(benchmark::State& state) {
    const std::string name = LargestLevel();
    if (name.empty()) return state.SkipWithError("no level in maps");
    auto t = GameEngine();
    for (auto _ : state) {
        engLevel level(t->engine);
        level.LoadLevel(name);
        benchmark::DoNotOptimize(level.SizeX());
        t->log.clear();
    }
    state.SetLabel(name);
}
BENCHMARK(BM_LoadLargestLevel)->Unit(benchmark::kMillisecond);

// The first model of the kind (smallest name) in "models", read afresh each
// time on a new engine's empty model table.
void BM_LoadModel(benchmark::State& state, const std::string& extension) {
    std::string name;
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(kGame / "models", ec))
        if (e.path().extension() == extension) files.push_back(e.path());
    if (files.empty()) return state.SkipWithError(("no " + extension + " model").c_str());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return fs::file_size(a) > fs::file_size(b);
    });
    name = files.front().stem().string();
    for (auto _ : state) {
        state.PauseTiming();
        auto t = MakeRecordingEngine(kGame);
        state.ResumeTiming();
        benchmark::DoNotOptimize(t->gfx().GetModel(name));
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
    state.SetLabel(name + extension);
}
BENCHMARK_CAPTURE(BM_LoadModel, tcm, std::string(".tcm"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadModel, tco, std::string(".tco"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadModel, t3d, std::string(".t3d"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadModel, x, std::string(".x"))->Unit(benchmark::kMicrosecond);

// A texel program of 1000 arithmetic statements; items are instructions.
void BM_TexelInstruction(benchmark::State& state) {
    const fs::path folder = fs::temp_directory_path() / "rdv_bench_texel";
    fs::create_directories(folder / "shaders");
    {
        std::ofstream out(folder / "shaders" / "long.tsh", std::ios::binary);
        out << "TS\nid\nloadtime r9 1000\n";
        const char* ops[] = {"add r0 r9", "mul r1 r9", "sin r2", "cos r3", "sub r4 r9", "neg r5", "mov r6 r0", "ldi r7 0.5"};
        for (int i = 0; i < 1000; ++i) out << ops[i % 8] << "\n";
    }
    auto t = MakeRecordingEngine(folder);
    t->engine.settings.textureTransforms = true;
    gfxShaderObj shader;
    shader.LoadShader(t->engine, t->device(), "long");
    uint32_t clock = 0;
    for (auto _ : state) {
        shader.ExecuteTexelShader(nullptr, clock += 16);
        benchmark::DoNotOptimize(shader.registers);
    }
    state.SetItemsProcessed(state.iterations() * 1002);
    fs::remove_all(folder);
}
BENCHMARK(BM_TexelInstruction);

// The game as the main loop runs it, on the recording device: the library,
// GameStart with `level` as the start file, then BeginFrame, GameFrame and
// Display per iteration, 16 ms of game time apart. The recorded calls are
// dropped after every frame, as a long run would.
struct RecordingGame {
    std::unique_ptr<RecordingEngine> t;
    std::string error, note;

    RecordingGame(const fs::path& folder, const std::string& level) : t(MakeRecordingEngine(folder)) {
        Engine& e = t->engine;
        e.flags.startFile = level;
        // Catalogues and menu models may not all be shipped yet; the level
        // frame is measured either way.
        try {
            LoadLibrary(e);
        } catch (const EngineError&) {
        }
        try {
            GameStart(e);
        } catch (const EngineError&) {
            note = " (without menu models)";
            try {
                if (!Registry(e).tilesLoaded) LoadSystemClasses(e);
                engGame& game = Game(e);
                game.ReplaceLevel(level);
                game.lastTickTime = t->clock->GetTickCount();
                game.SetupViewports();
            } catch (const EngineError& err) {
                error = err.what();
            }
        }
        t->log.clear();
    }
    ~RecordingGame() {
        GameShutdown(t->engine);
    }
    void Frame() {
        Engine& e = t->engine;
        t->clock->Advance(16);
        BeginFrame(e);
        GameFrame(e);
        Display(e);
    }
};

void RunGameFrames(benchmark::State& state, const fs::path& folder, const std::string& level) {
    RecordingGame game(folder, level);
    if (!game.error.empty()) return state.SkipWithError(game.error.c_str());
    RecordingDevice* device = game.t->device();
    // The first frames load what a level loads lazily.
    for (int i = 0; i < 3; ++i) game.Frame();
    device->ClearCalls();
    game.Frame();
    // Draw calls, and the faces they drew (an instanced draw draws one for
    // each of its 16-float world matrices).
    size_t instanced = 0, instances = 0;
    for (const auto& c : device->calls)
        if (c.op == "DrawPrimitiveInstanced") {
            ++instanced;
            instances += c.floats.size() / 16;
        }
    state.counters["draws"] = static_cast<double>(device->Count("DrawPrimitive") + instanced);
    state.counters["instanced"] = static_cast<double>(instanced);
    state.counters["drawn"] = static_cast<double>(device->Count("DrawPrimitive") + instances);
    state.counters["calls"] = static_cast<double>(device->calls.size());
    // Faces in view left out as hidden behind the grid's solid layers.
    if (engLevel* level = Game(game.t->engine).Level())
        state.counters["hidden"] = static_cast<double>(level->GridFacesHidden());
    const uint64_t allocationsBefore = gAllocations;
    for (auto _ : state) {
        device->ClearCalls();
        game.Frame();
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(gAllocations - allocationsBefore),
                                                  benchmark::Counter::kAvgIterations);
    game.t->log.clear();
    state.SetLabel(level + game.note);
}

void BM_GameFrameLargestLevel(benchmark::State& state) {
    const std::string name = LargestLevel();
    if (name.empty()) return state.SkipWithError("no level in maps");
    RunGameFrames(state, kGame, name);
}
BENCHMARK(BM_GameFrameLargestLevel)->Unit(benchmark::kMillisecond);

void BM_GameFrameFullGrid(benchmark::State& state) { RunGameFrames(state, WriteFullLevel(kGame, "rdv_bench_full"), "full"); }
BENCHMARK(BM_GameFrameFullGrid)->Unit(benchmark::kMillisecond);
void BM_GameFrameFullGridOpaque(benchmark::State& state) {
    RunGameFrames(state, WriteFullLevel(kGame, "rdv_bench_full_opaque", true), "full");
}
BENCHMARK(BM_GameFrameFullGridOpaque)->Unit(benchmark::kMillisecond);

// As the editor paints: one face of the opaque grid painted before every
// frame, so that the grid's solid layers are found again each time.
void BM_GameFrameFullGridPainting(benchmark::State& state) {
    RecordingGame game(WriteFullLevel(kGame, "rdv_bench_full_opaque", true), "full");
    if (!game.error.empty()) return state.SkipWithError(game.error.c_str());
    engLevel* level = Game(game.t->engine).Level();
    if (!level) return state.SkipWithError("no level");
    RecordingDevice* device = game.t->device();
    for (int i = 0; i < 3; ++i) game.Frame();
    int32_t n = 0;
    for (auto _ : state) {
        device->ClearCalls();
        // A floor of layer 3 goes and comes back, cell after cell.
        const int32_t x = n % 64, y = (n / 64) % 64;
        level->SetMapObject(x, y, 3, 0, 0, -1, (n / 4096) % 2 ? -10 : 0);
        ++n;
        game.Frame();
    }
    state.counters["hidden"] = static_cast<double>(level->GridFacesHidden());
    game.t->log.clear();
}
BENCHMARK(BM_GameFrameFullGridPainting)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
