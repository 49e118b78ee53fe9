// ".x" meshes (text, binary and compressed) read from "models" through the
// importer the model loader uses.
#include <cstdint>
#include <filesystem>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "graphics/ModelX.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path models = fuzz::ScratchFolder() / "models";
    fuzz::WriteInput(models, "f.x", data, size);
    ModelData model;
    fuzz::IndexHost host;
    try {
        LoadXMesh(model, models / "f.x", host);
    } catch (const EngineError&) {
    }
    return 0;
}
