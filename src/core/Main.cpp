#include "core/Main.h"

#include <exception>
#include <string>

#include "core/CommandLine.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "core/HostForms.h"
#include "core/Subsystems.h"
#include "core/SystemReport.h"
#include "input/Input.h"

namespace rdv {

namespace {

constexpr int kScanF12 = 0x58;

// Any exception that is not an engine error still ends in the report, with
// a number that says it came from outside the engine's own errors.
EngineError AsEngineError(const std::exception& e) {
    // A host failure that came past ShowHostWindow (a window made again
    // later) is still the device error it stands for.
    if (const auto* host = dynamic_cast<const HostError*>(&e)) return HostFailure(*host);
    return EngineError(0, "Main", e.what());
}

void RunPasses(Engine& engine) {
    for (;;) {
        engine.reboot = false;
        LoadSettings(engine);
        DispLoadHostWindow(engine);
        StartInput(engine);
        InitGraphics(engine);
        Loader(engine);
        SoundStart(engine);
        LoadLibrary(engine);
        GameStart(engine);

        engine.running = true;
        while (engine.running) {
            MainLoop(engine);
            DoEvents(engine);
            // A window a person watches gets a frame per refresh, not as
            // many as the processor can draw; game time is unaffected.
            if (engine.platform.host) engine.platform.host->PaceFrame();
        }

        GameShutdown(engine);
        SoundShutdown(engine);
        StopInput(engine);
        ShutdownGraphics(engine);
        UnloadHostForms(engine);
        DoEvents(engine);

        if (!engine.reboot) break;
        engine.log.Write("Full Engine Reboot", 2);
    }
}

}  // namespace

void MainLoop(Engine& engine) {
    PollInput(engine);
    BeginFrame(engine);
    GameFrame(engine);
    SoundUpdate(engine);
    Display(engine);
    if (KeyDown(engine, kScanF12)) engine.running = false;
}

void ShutdownPass(Engine& engine) {
    // Each step on its own: one that fails must not keep the others from
    // releasing what they hold.
    auto step = [&engine](void (*fn)(Engine&), const char* name) {
        try {
            fn(engine);
        } catch (const EngineError& e) {
            engine.log.Write(std::string("WARNING: ") + name + " failed: " + std::to_string(e.number) + " in " +
                                 e.source + ": " + e.description,
                             4);
        } catch (const std::exception& e) {
            engine.log.Write(std::string("WARNING: ") + name + " failed: " + e.what(), 4);
        } catch (...) {
            engine.log.Write(std::string("WARNING: ") + name + " failed", 4);
        }
    };
    step(GameShutdown, "GameShutdown");
    step(SoundShutdown, "SoundShutdown");
    step(StopInput, "StopInput");
    step(ShutdownGraphics, "ShutdownGraphics");
    step(UnloadHostForms, "Unload");
    step(DoEvents, "DoEvents");
}

void Main(Engine& engine) {
    try {
        ParseCommand(engine);
        engine.log.Write("RondovarEngine v" + std::to_string(kReleaseMajor) + "." + std::to_string(kReleaseMinor) +
                             "." + std::to_string(kReleaseRevision),
                         2);
        LogSystemInfo(engine);
        RunPasses(engine);
    } catch (const EngineError& e) {
        FatalErrorReport(engine, e, [&engine] { ShutdownPass(engine); });
        return;
    } catch (const std::exception& e) {
        FatalErrorReport(engine, AsEngineError(e), [&engine] { ShutdownPass(engine); });
        return;
    } catch (...) {
        // Not even a standard exception (a plug-in may throw anything): the
        // report and the closed log still come.
        FatalErrorReport(engine, EngineError(0, "Main", "Unknown exception"), [&engine] { ShutdownPass(engine); });
        return;
    }
    engine.log.CloseLog();
}

} // namespace rdv
