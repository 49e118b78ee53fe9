// Campaign files and progress.dat. The first byte picks the kind: a
// campaign file that is played through a fixed run of level ends, or a
// progress file under a known campaign, whose saved level must read back.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "game/Campaign.h"

using namespace rdv;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static Engine engine;
    static std::vector<Log::Line> log;
    static const fs::path folder = [] {
        fs::path p = fuzz::ScratchFolder() / "campaign";
        fs::create_directories(p / "data");
        std::ofstream(p / "data" / "known.dat", std::ios::binary) << "N=3\n1=a\n2=b\n3=c\n";
        return p;
    }();
    engine.programFolder = folder;
    engine.log.SetCapture(&log);

    std::vector<std::string> loaded;
    engCampaign c(engine);
    c.loadLevel = [&](const std::string& name) { loaded.push_back(name); };
    c.endLevel = [&](int32_t status) { c.LoadNext(status); };
    if (data[0] % 2 == 0) {
        fs::remove(folder / "data" / "progress.dat");
        fuzz::WriteInput(folder / "data", "fuzzcamp.dat", data + 1, size - 1);
        try {
            c.LoadCampaign("fuzzcamp");
            c.Bootcampaign(data[0] / 2 % 4);
            for (int32_t status : {1, 2, 1, 1, 3, 1, 1, 1}) c.LoadNext(status);
            c.Bootcampaign(0);
        } catch (const EngineError&) {
        }
    } else {
        fuzz::WriteInput(folder / "data", "progress.dat", data + 1, size - 1);
        c.LoadCampaign("known");
        c.LoadProgress();
        const int32_t level = static_cast<int32_t>(size);
        c.SaveProgress(level);
        if (c.LoadProgress() != level) __builtin_trap();
        if (fs::file_size(folder / "data" / "progress.dat") % engCampaign::kRecordLength != 0) __builtin_trap();
    }
    log.clear();
    return 0;
}
