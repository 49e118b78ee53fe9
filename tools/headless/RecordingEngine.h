#pragma once
// A whole engine drawing on the recording device, for unit tests of
// anything that draws (models, shaders, levels, tiles, ball, cameras).
//
//   auto t = MakeRecordingEngine();             // InitGraphics already run
//   int32_t m = Graphics(t->engine).GetModel("ball");
//   t->device()->ClearCalls();
//   ... draw ...
//   EXPECT_EQ(t->device()->Count("DrawPrimitive"), 1u);
//
// The engine gets a headless host (message boxes answer their default
// button unless t->host->answers says otherwise), a manual clock, every log
// line in t->log, and settings a 1024 x 768 desktop honours: 640 x 480
// windowed, 32-bit, hardware device, every feature switch on. Its registry
// holds every level class of the game (tests may put doubles in).
#include <filesystem>
#include <memory>
#include <vector>

#include "core/Engine.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"
#include "platform/Clock.h"
#include "platform/HeadlessHost.h"
#include "platform/d3d/Recording.h"

namespace rdv {

struct RecordingEngine {
    Engine engine;
    std::shared_ptr<RecordingDirect3D8> adapter;
    std::shared_ptr<HeadlessHost> host;
    std::shared_ptr<ManualClock> clock;
    std::vector<Log::Line> log;

    RecordingDevice* device() const { return adapter->LastDevice(); }
    gfxCore& gfx() { return Graphics(engine); }
    // True when some log line equals text exactly.
    bool Logged(const std::string& text) const;
    // The colour of the first log line equal to text (-1 when none).
    int ColourOf(const std::string& text) const;
};

// programFolder: where "textures", "models" and "shaders" are looked up
// (empty: no folder). script: the adapter's answers. init: run InitGraphics.
std::unique_ptr<RecordingEngine> MakeRecordingEngine(const std::filesystem::path& programFolder = {},
                                                     RecordingScript script = RecordingScript::Default(),
                                                     bool init = true);

// Settings that the default recording adapter honours without repairs.
Settings RecordingSettings();

} // namespace rdv
