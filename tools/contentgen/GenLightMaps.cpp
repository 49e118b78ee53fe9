// The light maps of the shipped levels: one "tci" file per level, written
// as maps/LEVEL_lm.tci (the name the level loader looks for).
//
// Each light sits where its entry puts it, so a map places its eight
// lights (the most a device offers) round the level's own box: six key
// lights in a ring above it, 3 units out from its edges (at the corners and
// half way along the long sides), so that floors and the walls facing out
// and in all catch some light, and two fill lights of a second colour off
// opposite corners of the short ends, a cell above a third of its height.
// For a level played upside down the ring sits below the box instead. The
// falloff is 1 + 0.1 d, and the colours are scaled so that the floors of
// every level, small or large, average the same brightness.
//
// Adding a level: add a row to Levels() (name, mood, the -World size in
// cells, and whether the ball plays on the ceilings). A level inside a
// ".pak" gets its map packed beside it by the build (cmake/BuildPacks.cmake).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

struct Light {
    float x, y, z;        // world units
    uint32_t diffuse;     // 0xAARRGGBB
    uint32_t specular;    // 0xAARRGGBB
    float linear;         // attenuation 1
    float range;
};

struct Mood {
    uint32_t key;         // colour of the ring above (or below) the level
    uint32_t fill;        // colour from the ends
};

const Mood kDaylight{0xFFFFF4E0u, 0xFFB0C8FFu};
const Mood kFrost{0xFFE8F4FFu, 0xFFA0C0FFu};
const Mood kWorkshop{0xFFFFE8C8u, 0xFFC8D8FFu};
const Mood kEvening{0xFFFFD8A8u, 0xFFA8B8FFu};

struct LevelLights {
    const char* level;
    Mood mood;
    int x, y, z;          // the level's size in cells
    bool upsideDown = false;
};

const std::vector<LevelLights>& Levels() {
    static const std::vector<LevelLights> levels = {
        {"entry", kEvening, 6, 6, 3},
        {"training1", kDaylight, 5, 7, 2},
        {"training2", kDaylight, 3, 10, 3},
        {"training3", kFrost, 5, 9, 2},
        {"training4", kFrost, 5, 8, 3},
        {"training5", kWorkshop, 3, 8, 3},
        {"training6", kWorkshop, 3, 9, 5},
        {"training7", kDaylight, 3, 6, 2},
        {"training8", kEvening, 5, 8, 3},
        {"journey1", kDaylight, 7, 12, 5},
        {"journey2", kDaylight, 7, 15, 3},
        {"journey3", kEvening, 5, 11, 6},
        {"journey4", kWorkshop, 7, 10, 3},
        {"journey5", kFrost, 7, 11, 2},
        {"journey6", kDaylight, 7, 12, 4},
        {"journey7", kEvening, 5, 10, 7},
        {"journey8", kWorkshop, 5, 12, 6, true},
        {"journey9", kDaylight, 9, 10, 4},
        {"journey10", kWorkshop, 5, 11, 4},
        {"journey11", kDaylight, 5, 14, 6},
        {"journey12", kEvening, 6, 10, 7},
    };
    return levels;
}

constexpr float kCell = 1.5f;
constexpr float kLinear = 0.1f;
constexpr float kOut = 3.0f;       // how far the ring stands off the box
constexpr float kHeight = 4.5f;    // how far above (below) the box
constexpr float kFillShare = 0.6f; // fill lights against the key lights
constexpr float kFloorMean = 0.55f;

struct P {
    float x, y, z;
};

// Diffuse light a face at p with normal n gets from lights of strength w,
// as the device computes it (N.L / (1 + linear d)).
float Received(const P& p, const P& n, const std::vector<P>& at, const std::vector<float>& w) {
    float sum = 0;
    for (size_t i = 0; i < at.size(); ++i) {
        const P d{at[i].x - p.x, at[i].y - p.y, at[i].z - p.z};
        const float dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        if (dist <= 0) continue;
        const float nl = std::max(0.0f, (d.x * n.x + d.y * n.y + d.z * n.z) / dist);
        sum += w[i] * nl / (1 + kLinear * dist);
    }
    return sum;
}

uint32_t Scaled(uint32_t argb, float k) {
    uint32_t out = argb & 0xFF000000u;
    for (int shift : {16, 8, 0}) {
        const float c = static_cast<float>((argb >> shift) & 255) * k;
        out |= static_cast<uint32_t>(std::clamp(std::lround(c), 0L, 255L)) << shift;
    }
    return out;
}

std::vector<Light> Place(const LevelLights& level) {
    // The box of the level's cells: cell centres at 1.5 i, faces 0.75 off.
    const float x0 = -0.75f - kOut, x1 = kCell * level.x - 0.75f + kOut;
    const float y0 = -0.75f - kOut, y1 = kCell * level.y - 0.75f + kOut;
    const float bottom = -0.75f, top = kCell * level.z - 0.75f;
    const float ringZ = level.upsideDown ? bottom - kHeight : top + kHeight;
    const float ym = (y0 + y1) / 2, zm = bottom + (top - bottom) / 3 + kCell;
    const std::vector<P> at = {{x0, y0, ringZ}, {x1, y0, ringZ}, {x0, ym, ringZ}, {x1, ym, ringZ},
                               {x0, y1, ringZ}, {x1, y1, ringZ}, {x0, y0 - kCell, zm}, {x1, y1 + kCell, zm}};
    const std::vector<float> weight = {1, 1, 1, 1, 1, 1, kFillShare, kFillShare};

    // Scale the colours so that the floors the ball rolls on (their tops,
    // or undersides upside down) average kFloorMean.
    const P up{0, 0, level.upsideDown ? -1.0f : 1.0f};
    float sum = 0;
    int faces = 0;
    for (int k = 0; k <= level.z; ++k)
        for (int i = 0; i < level.x; ++i)
            for (int j = 0; j < level.y; ++j, ++faces)
                sum += Received({kCell * i, kCell * j, kCell * k - 0.75f}, up, at, weight);
    const float scale = kFloorMean * static_cast<float>(faces) / sum;

    // Every light reaches the far corner of the box.
    float reach = 0;
    for (const P& l : at)
        for (float cx : {x0, x1})
            for (float cy : {y0, y1})
                for (float cz : {bottom, top})
                    reach = std::max(reach, std::hypot(l.x - cx, l.y - cy, l.z - cz));
    std::vector<Light> lights;
    for (size_t i = 0; i < at.size(); ++i) {
        const bool key = weight[i] == 1;
        lights.push_back({at[i].x, at[i].y, at[i].z, Scaled(key ? level.mood.key : level.mood.fill, scale * weight[i]),
                          key ? 0xFFFFFFFFu : 0xFF808080u, kLinear, std::ceil(reach + kCell)});
    }
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
        Float(out, l.x);
        Float(out, l.y);
        Float(out, l.z);
        Float(out, 1.0f);
        Float(out, l.linear);
        Float(out, 0.0f);
        Float(out, l.range);
        Colour(out, l.diffuse);
        Colour(out, l.specular);
    }
    return out;
}

} // namespace

void GenLightMaps(Output& out) {
    for (const LevelLights& level : Levels())
        out.WriteBytes("maps", std::string(level.level) + "_lm.tci", LightMapBytes(Place(level)));
}

} // namespace rdv::contentgen
