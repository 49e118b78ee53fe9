// Level files loaded with the engine's own classes on the recording device,
// the game's models, textures and shaders beside them; a level that loads
// is drawn once and saved again.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "headless/RecordingEngine.h"
#include "level/Level.h"
#include "level/Registry.h"

using namespace rdv;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path folder = [] {
        fs::path p = fuzz::ScratchFolder() / "level";
        fs::create_directories(p / "maps");
        std::error_code ec;
        for (const char* sub : {"models", "textures", "shaders", "data"})
            fs::create_directory_symlink(fs::path(RDV_CONTENT_DIR) / sub, p / sub, ec);
        return p;
    }();
    static std::unique_ptr<RecordingEngine> t = [] {
        auto e = MakeRecordingEngine(folder);
        LoadSystemClasses(e->engine);
        return e;
    }();
    fuzz::WriteInput(folder / "maps", "f.tcs", data, size);
    {
        engLevel level(t->engine);
        try {
            level.LoadLevel("f");
            level.SaveLevel("g");
        } catch (const EngineError&) {
        }
    }
    t->device()->ClearCalls();
    t->log.clear();
    return 0;
}
