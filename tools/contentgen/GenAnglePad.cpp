// The angled pad's model: a floor slab in group 0 (diagonal push) and in the
// five styles of groups 1..5 (Wall, Metal, Grass, Ice, Snow), each with an
// arrow along -x, the push of rotation 0, just above its top. The level
// turns the model for the other directions.
#include <string>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;
constexpr float kHalf = 0.75f;
constexpr uint32_t kWhite = 0xFFFFFF;

// A square of half size `half` on plane z, facing +z, then facing -z.
void Square(TcmWriter& w, float half, float z, const std::string& kind, const std::string& texture, int group,
            bool bothSides) {
    V a{-half, half, z, kWhite, 0, 0}, b{half, half, z, kWhite, 1, 0}, c{half, -half, z, kWhite, 1, 1},
        d{-half, -half, z, kWhite, 0, 1};
    w.Quad(a, b, c, d, kind, texture, group);
    if (bothSides) w.Quad(a, d, c, b, kind, texture, group);
}

std::string AnglePad() {
    TcmWriter w(3);
    const char* styles[6] = {"tile_metal", "tile_wall", "tile_metal", "tile_grass", "tile_ice", "tile_snow"};
    for (int group = 0; group <= 5; ++group) {
        Square(w, kHalf, 0.03f, group == 4 ? "TA" : "T", styles[group], group, true);
        Square(w, kHalf, -0.03f, "T", styles[group], group, true);
        Square(w, kHalf * 0.8f, 0.04f, "T", group == 0 ? "tile_arrow_diag" : "tile_arrow", group, true);
    }
    return w.Text();
}

} // namespace

void GenAnglePad(Output& out) { out.WriteText("models", "anglepad.tcm", AnglePad()); }

} // namespace rdv::contentgen
