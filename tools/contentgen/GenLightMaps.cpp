// The light maps of the shipped levels: one "tci" file per level, written
// as maps/LEVEL_lm.tci (the name the level loader looks for).
//
// The engine places every light of a map at the same point beside the
// grid's origin with a fixed falloff (1 + d); a map chooses how many lights
// there are, their colours and the quadratic falloff. Lights add up, so a
// map of several lights is what lifts the faces far from the origin out of
// the ambient grey. Positions are written as the author meant them (above
// the level) for the day the engine places lights by the file.
//
// Adding a level: add a row to kLevels (name, lights). A level inside a
// ".pak" gets its map packed beside it by the build (cmake/BuildPacks.cmake).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

struct Light {
    float x, y, z;        // where the author means it (world units)
    uint32_t diffuse;     // 0xAARRGGBB
    uint32_t specular;    // 0xAARRGGBB
    float falloff = 0.0f; // quadratic attenuation
};

struct LevelLights {
    const char* level;
    std::vector<Light> lights;
};

// A mood: `key` lights of one colour from above the start, `fill` lights
// of another from the far side. Eight lights in all, the most a device
// offers, so that faces across the level stay readable.
std::vector<Light> Mood(uint32_t keyColour, uint32_t fillColour, int key = 6, int fill = 2) {
    std::vector<Light> lights;
    for (int i = 0; i < key; ++i) lights.push_back({6, -6, 12, keyColour, 0xFFFFFFFFu});
    for (int i = 0; i < fill; ++i) lights.push_back({-6, 12, 9, fillColour, 0xFF808080u});
    return lights;
}

const std::vector<Light> kDaylight = Mood(0xFFFFF4E0u, 0xFFB0C8FFu);
const std::vector<Light> kFrost = Mood(0xFFE8F4FFu, 0xFFA0C0FFu);
const std::vector<Light> kWorkshop = Mood(0xFFFFE8C8u, 0xFFC8D8FFu);
const std::vector<Light> kEvening = Mood(0xFFFFD8A8u, 0xFFA8B8FFu);

const std::vector<LevelLights>& Levels() {
    static const std::vector<LevelLights> levels = {
        {"entry", kEvening},
        {"training1", kDaylight},
        {"training2", kDaylight},
        {"training3", kFrost},
        {"training4", kFrost},
        {"training5", kWorkshop},
        {"training6", kWorkshop},
        {"training7", kDaylight},
        {"training8", kEvening},
        {"journey1", kDaylight},
        {"journey2", kDaylight},
        {"journey3", kEvening},
        {"journey4", kWorkshop},
        {"journey5", kFrost},
        {"journey6", kDaylight},
        {"journey7", kEvening},
        {"journey8", kWorkshop},
        {"journey9", kDaylight},
        {"journey10", kWorkshop},
        {"journey11", kDaylight},
        {"journey12", kEvening},
    };
    return levels;
}

void Long(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Float(std::vector<uint8_t>& out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    Long(out, v);
}

// Colours are stored alpha, red, green, blue.
void Colour(std::vector<uint8_t>& out, uint32_t argb) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(argb >> shift));
}

std::vector<uint8_t> LightMapBytes(const std::vector<Light>& lights) {
    std::vector<uint8_t> out;
    for (char c : {'t', 'c', 'i', 'm'}) out.push_back(static_cast<uint8_t>(c));
    Long(out, 1);
    Long(out, static_cast<uint32_t>(lights.size()));
    for (const Light& l : lights) {
        out.push_back(1);  // point light
        Float(out, l.x);
        Float(out, l.y);
        Float(out, l.z);
        Float(out, 1.0f);
        Float(out, 1.0f);
        Float(out, l.falloff);
        Float(out, 100.0f);
        Colour(out, l.diffuse);
        Colour(out, l.specular);
    }
    return out;
}

} // namespace

void GenLightMaps(Output& out) {
    for (const LevelLights& level : Levels())
        out.WriteBytes("maps", std::string(level.level) + "_lm.tci", LightMapBytes(level.lights));
}

} // namespace rdv::contentgen
