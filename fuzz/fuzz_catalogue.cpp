// The library's three catalogues read from "data": the first byte picks
// what the rest of the input is (language catalogue, language file or
// campaign catalogue); the shipped catalogues lie beside it, so a language
// catalogue that names them goes on to load them.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "game/Library.h"
#include "headless/RecordingEngine.h"

using namespace rdv;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const fs::path folder = [] {
        fs::path p = fuzz::ScratchFolder() / "catalogue";
        fs::create_directories(p / "data");
        std::error_code ec;
        // Copies, not a link: the input replaces files of the same name.
        for (const auto& e : fs::directory_iterator(fs::path(RDV_CONTENT_DIR) / "data", ec))
            if (e.path().extension() == ".dat") fs::copy_file(e.path(), p / "data" / e.path().filename(), ec);
        for (const char* sub : {"models", "textures", "shaders"})
            fs::create_directory_symlink(fs::path(RDV_CONTENT_DIR) / sub, p / sub, ec);
        return p;
    }();
    static std::unique_ptr<RecordingEngine> t = MakeRecordingEngine(folder);
    Engine& engine = t->engine;
    engLibrary& lib = Library(engine);
    const uint8_t kind = data[0] % 3;
    const char* file = kind == 0 ? "langfiles.dat" : kind == 1 ? "fuzzlang.dat" : "campaignlist.dat";
    fuzz::WriteInput(folder / "data", file, data + 1, size - 1);
    try {
        if (kind == 0) {
            LoadLanguageCatalog(engine);
            for (size_t n = 1; n < lib.languageFiles.size() && n <= 3; ++n) {
                engine.settings.language = static_cast<int32_t>(n);
                try {
                    LoadLanguage(engine);
                } catch (const EngineError&) {
                }
            }
        } else if (kind == 1) {
            lib.languageNames = {"", "fuzz"};
            lib.languageFiles = {"", "fuzzlang"};
            engine.settings.language = 1;
            LoadLanguage(engine);
        } else {
            LoadCampaignCatalog(engine);
        }
    } catch (const EngineError&) {
    }
    t->log.clear();
    return 0;
}
