// "t3d" models through the device-free reader: malformed text ends in an
// engine error, never in a crash or a runaway allocation.
#include <cstdint>

#include "FuzzSupport.h"
#include "core/Error.h"
#include "graphics/ModelData.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelData model;
    fuzz::IndexHost host;
    host.blendOp = size % 2 == 0;
    try {
        ReadT3d(model, LinesFrom(fuzz::Lines(data, size)), "fuzz", host);
    } catch (const EngineError&) {
    }
    return 0;
}
