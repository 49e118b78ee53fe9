// The light maps of the shipped levels: one "tci" file per level, written
// as maps/LEVEL_lm.tci (the name the level loader looks for).
//
// The engine puts every light of a map at the one point (-2, 0, 0), beside
// the grid's origin, with the falloff 1 / (1 + d + a2 d^2) and a range of
// 100, whatever the entry says; what a map chooses is how many lights there
// are, their colours and a2. Lights at one point add up to one light of
// their summed colour, so each map uses the eight lights a device offers,
// at full strength and with a2 = 0, the least falloff the engine allows:
// the faces far from the origin are what needs the light (those near it
// only reach their texture's own colour). Six key lights of the level's
// mood colour and two fill lights of a second colour tint the sum. The
// entries also say (-2, 0, 0), 1, 1 and 100, so that a map reads as what
// the engine does with it.
//
// Adding a level: add a row to Levels() (name and mood). A level inside a
// ".pak" gets its map packed beside it by the build (cmake/BuildPacks.cmake).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

struct Light {
    uint32_t diffuse;   // 0xAARRGGBB
    uint32_t specular;  // 0xAARRGGBB
};

struct Mood {
    uint32_t key;   // colour of the six key lights
    uint32_t fill;  // colour of the two fill lights
};

const Mood kDaylight{0xFFFFF4E0u, 0xFFB0C8FFu};
const Mood kFrost{0xFFE8F4FFu, 0xFFA0C0FFu};
const Mood kWorkshop{0xFFFFE8C8u, 0xFFC8D8FFu};
const Mood kEvening{0xFFFFD8A8u, 0xFFA8B8FFu};

struct LevelLights {
    const char* level;
    Mood mood;
};

const std::vector<LevelLights>& Levels() {
    static const std::vector<LevelLights> levels = {
        {"entry", kEvening},       {"training1", kDaylight}, {"training2", kDaylight}, {"training3", kFrost},
        {"training4", kFrost},     {"training5", kWorkshop}, {"training6", kWorkshop}, {"training7", kDaylight},
        {"training8", kEvening},   {"journey1", kDaylight},  {"journey2", kDaylight},  {"journey3", kEvening},
        {"journey4", kWorkshop},   {"journey5", kFrost},     {"journey6", kDaylight},  {"journey7", kEvening},
        {"journey8", kWorkshop},   {"journey9", kDaylight},  {"journey10", kWorkshop}, {"journey11", kDaylight},
        {"journey12", kEvening},
    };
    return levels;
}

// Where the engine puts every light, and the falloff and range it gives it.
constexpr float kPosition[3] = {-2.0f, 0.0f, 0.0f};
constexpr float kAttenuation0 = 1.0f;
constexpr float kAttenuation1 = 1.0f;
constexpr float kAttenuation2 = 0.0f;  // the map's own choice: no more falloff than the engine's
constexpr float kRange = 100.0f;
constexpr int kKeyLights = 6;
constexpr int kFillLights = 2;  // eight in all, the most a device offers

std::vector<Light> Place(const Mood& mood) {
    std::vector<Light> lights;
    for (int i = 0; i < kKeyLights; ++i) lights.push_back({mood.key, 0xFFFFFFFFu});
    for (int i = 0; i < kFillLights; ++i) lights.push_back({mood.fill, 0xFF808080u});
    return lights;
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
        for (float p : kPosition) Float(out, p);
        Float(out, kAttenuation0);
        Float(out, kAttenuation1);
        Float(out, kAttenuation2);
        Float(out, kRange);
        Colour(out, l.diffuse);
        Colour(out, l.specular);
    }
    return out;
}

} // namespace

void GenLightMaps(Output& out) {
    for (const LevelLights& level : Levels())
        out.WriteBytes("maps", std::string(level.level) + "_lm.tci", LightMapBytes(Place(level.mood)));
}

} // namespace rdv::contentgen
