// An engine on the recording device, for tests of anything that draws.
#include "headless/RecordingEngine.h"

#include "core/Subsystems.h"
#include "game/BuiltClasses.h"

namespace rdv {

Settings RecordingSettings() {
    Settings s;
    s.deviceKind = 1;
    s.width = 640;
    s.height = 480;
    s.colour32 = true;
    s.windowed = true;
    s.multisample = 1;
    s.anisotropy = 1;
    s.fog = s.lighting = s.specular = s.localViewer = true;
    s.multipass = s.textureTransforms = s.pixelShaders = s.vertexShaders = s.gammaRamps = true;
    return s;
}

bool RecordingEngine::Logged(const std::string& text) const { return ColourOf(text) >= 0; }

int RecordingEngine::ColourOf(const std::string& text) const {
    for (const auto& l : log)
        if (l.message == text) return l.colour;
    return -1;
}

std::unique_ptr<RecordingEngine> MakeRecordingEngine(const std::filesystem::path& programFolder,
                                                     RecordingScript script, bool init) {
    auto t = std::make_unique<RecordingEngine>();
    t->adapter = std::make_shared<RecordingDirect3D8>(std::move(script));
    t->host = std::make_shared<HeadlessHost>();
    t->clock = std::make_shared<ManualClock>();
    Engine& e = t->engine;
    e.programFolder = programFolder;
    e.platform.d3d = t->adapter;
    e.platform.host = t->host;
    e.platform.clock = t->clock;
    e.settings = RecordingSettings();
    e.log.SetCapture(&t->log);
    InstallBuiltClasses(e);
    if (init) InitGraphics(e);
    return t;
}

} // namespace rdv
