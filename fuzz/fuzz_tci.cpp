// "tci" light maps read from "maps" and applied once.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/LightMap.h"
#include "platform/d3d/Recording.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Engine engine;
    static std::vector<Log::Line> log;
    engine.programFolder = fuzz::ScratchFolder();
    engine.log.SetCapture(&log);
    fuzz::WriteInput(engine.programFolder / "maps", "f.tci", data, size);
    gfxLightMap map;
    try {
        map.LoadLightMap(engine, "f");
    } catch (const EngineError&) {
    }
    for (int32_t i = 1; i <= map.count(); ++i) {
        map.WriteLight(i);
        map.LoadLight(i);
    }
    log.clear();
    return 0;
}
