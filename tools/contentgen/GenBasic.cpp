// Textures every model may fall back on, and the test patterns.
#include "ContentGen.h"

namespace rdv::contentgen {

void GenBasicTextures(Output& out) {
    // "none": what untextured models are drawn with; white keeps the vertex
    // and material colours unchanged.
    out.WritePng("textures", "none.png", Image(4, 4, 0xFFFFFFFFu));

    // Four quadrants, so position and orientation of the mapping show:
    // red top left, green top right, blue bottom left, yellow bottom right.
    Image checker(64, 64);
    checker.Fill(0, 0, 32, 32, 0xFFFF0000u);
    checker.Fill(32, 0, 64, 32, 0xFF00FF00u);
    checker.Fill(0, 32, 32, 64, 0xFF0000FFu);
    checker.Fill(32, 32, 64, 64, 0xFFFFFF00u);
    out.WritePng("textures", "test_checker.png", checker);
}

} // namespace rdv::contentgen
