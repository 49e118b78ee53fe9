// The engine on real OpenGL (SDL's offscreen video driver, so Mesa's
// llvmpipe where there is no GPU): frames per second at 800 x 600 on the
// largest shipped level and on the generated 64 x 64 x 16 grid, and the
// start-up of the game up to its first frame.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/HostForms.h"
#include "core/Main.h"
#include "core/Subsystems.h"
#include "game/Game.h"
#include "graphics/Core.h"
#include "headless/ModelSnapshot.h"
#include "level/Registry.h"
#include "platform/Clock.h"
#include "platform/SDLHost.h"
#include "platform/d3d/Factory.h"
#include "platform/dinput/Factory.h"
#include "platform/dsound/Factory.h"
#include "FullLevel.h"

using namespace rdv;
namespace fs = std::filesystem;

namespace {

const fs::path kGame = RDV_GAME_DIR;

// What the GL said it is, for the report.
std::string renderer, version;

// CPU time of the whole process (every thread), in milliseconds.
double ProcessCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

// The largest level file in the program folder's "maps" (content grows, so
// the choice is made when the benchmark runs).
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

// A copy of the program folder's data (settings, catalogues) beside links
// to the rest, so a run writes its settings, progress and log there.
fs::path ScratchProgramFolder() {
    const fs::path folder = fs::temp_directory_path() / "rdv_bench_gl";
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
    fs::copy(kGame / "data", folder / "data", fs::copy_options::recursive, ec);
    for (const char* sub : {"maps", "models", "textures", "shaders", "music"})
        fs::create_directory_symlink(kGame / sub, folder / sub, ec);
    for (const char* file : {"audio.so"})
        if (fs::exists(kGame / file)) fs::create_symlink(kGame / file, folder / file, ec);
    return folder;
}

// Frames of level `name` in `folder`, drawn and presented at 800 x 600. Each
// frame waits for the GL to finish, so the time is what the frame really
// costs.
void RunGLFrames(benchmark::State& state, const fs::path& folder, const std::string& name, const char* pngVariable) {
    Engine engine;
    engine.programFolder = folder;
    auto clock = std::make_shared<ManualClock>(1000);
    engine.platform.clock = clock;
    std::string note;
    {
        ModelSnapshot shot(engine, 800, 600);
        if (!shot.ok()) return state.SkipWithError(shot.error().c_str());
        engine.flags.startFile = name;
        try {
            LoadLibrary(engine);
        } catch (const EngineError&) {
        }
        try {
            GameStart(engine);
        } catch (const EngineError&) {
            // Menu and font models may not be shipped yet; the level is drawn either way.
            note = " (without menu models)";
            try {
                if (!Registry(engine).tilesLoaded) LoadSystemClasses(engine);
                engGame& game = Game(engine);
                game.ReplaceLevel(name);
                game.lastTickTime = clock->GetTickCount();
                game.SetupViewports();
            } catch (const EngineError& e) {
                return state.SkipWithError(e.what());
            }
        }
        auto frame = [&] {
            clock->Advance(8);
            BeginFrame(engine);
            GameFrame(engine);
            Display(engine);
            glFinish();
        };
        for (int i = 0; i < 5; ++i) frame();
        // RDV_BENCH_PNG=FILE (RDV_BENCH_PNG_FULL for the grid) keeps the
        // picture measured, so that a change to the drawing can be checked
        // against it.
        if (const char* png = std::getenv(pngVariable)) {
            if (!shot.Save(png)) return state.SkipWithError("could not write the picture");
        }
        const double cpuBefore = ProcessCpuMs();
        for (auto _ : state) frame();
        const double frames = static_cast<double>(state.iterations());
        state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
        // Every thread's CPU, llvmpipe's rasterizers included: what a frame
        // costs the machine, less swayed by other programs than wall time.
        state.counters["cpu_ms"] = (ProcessCpuMs() - cpuBefore) / std::max(frames, 1.0);
        if (const GLubyte* r = glGetString(GL_RENDERER)) renderer = reinterpret_cast<const char*>(r);
        if (const GLubyte* v = glGetString(GL_VERSION)) version = reinterpret_cast<const char*>(v);
        GameShutdown(engine);
    }
    state.SetLabel(name + note);
}

void BM_GLFramesLargestLevel(benchmark::State& state) {
    const std::string name = LargestLevel();
    if (name.empty()) return state.SkipWithError("no level in maps");
    RunGLFrames(state, kGame, name, "RDV_BENCH_PNG");
}
BENCHMARK(BM_GLFramesLargestLevel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_GLFramesFullGrid(benchmark::State& state) {
    RunGLFrames(state, WriteFullLevel(kGame, "rdv_bench_gl_full"), "full", "RDV_BENCH_PNG_FULL");
}
BENCHMARK(BM_GLFramesFullGrid)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_GLFramesFullGridOpaque(benchmark::State& state) {
    RunGLFrames(state, WriteFullLevel(kGame, "rdv_bench_gl_full_opaque", true), "full", "RDV_BENCH_PNG_FULL_OPAQUE");
}
BENCHMARK(BM_GLFramesFullGridOpaque)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The game from nothing to its first frame of the entry level, as the
// program runs it (SDL host window, GL device, input, sound with SDL's dummy
// audio driver where there is no sound card), then shut down again.
void BM_StartupToFirstFrame(benchmark::State& state) {
    const fs::path folder = ScratchProgramFolder();
    for (auto _ : state) {
        auto engine = std::make_unique<Engine>();
        engine->programFolder = folder;
        engine->commandLine = "-w";
        engine->platform.clock = std::make_shared<SystemClock>();
        engine->platform.host = CreateSDLHost();
        engine->platform.d3d = CreateGLDirect3D8();
        engine->platform.dinput = CreateSDLDirectInput8();
        engine->platform.dsound = CreateSDLDirectSound8();
        std::string error;
        try {
            LoadSettings(*engine);
            DispLoadHostWindow(*engine);
            StartInput(*engine);
            InitGraphics(*engine);
            Loader(*engine);
            SoundStart(*engine);
            LoadLibrary(*engine);
            GameStart(*engine);
            MainLoop(*engine);
            if (engine->gfx && engine->gfx->Device()) glFinish();
        } catch (const EngineError& e) {
            error = e.what();
        }
        state.PauseTiming();
        ShutdownPass(*engine);
        engine.reset();
        state.ResumeTiming();
        if (!error.empty()) return state.SkipWithError(error.c_str());
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    // Real GL without a display; a developer's own choice is kept.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (!renderer.empty()) std::printf("GL_RENDERER: %s\nGL_VERSION: %s\n", renderer.c_str(), version.c_str());
    benchmark::Shutdown();
    return 0;
}
