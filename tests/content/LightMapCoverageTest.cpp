// Every painted face of every shipped level catches light from the level's
// own light map: the diffuse light that reaches its centre (the device's
// point-light falloff and N.L, from the better lit of its two sides) lifts
// it visibly above the ambient grey, however far it lies from the lights.
//
// Every light of a map sits at (-2, 0, 0), beside the grid's origin, with
// the falloff 1 / (1 + d + a2 d^2): walls facing that point get plenty, but
// a floor gets the light only at a slant (it sits 0.75 above the lowest
// floors and below every other), so the far floors of a large level get
// little. The maps put all the light the rule allows on them (eight lights
// at full strength, a2 = 0); with less, the far floors of the largest
// levels fall below kLeast.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "content/ContentTestSupport.h"
#include "graphics/LightMap.h"
#include "level/Level.h"
#include "headless/Simulation.h"

namespace rdv::test {
namespace {

// Two steps of a colour channel (of 255) over what the ambient light alone
// gives. The darkest shipped face, a far floor of journey2, gets about 0.01.
constexpr float kLeast = 2.0f / 255.0f;

struct Vec {
    float x, y, z;
};

// Diffuse light from `map` on a face at `p` with normal `n` (grey level).
float Received(const gfxLightMap& map, const Vec& p, const Vec& n) {
    float sum = 0;
    for (int32_t i = 1; i <= map.count(); ++i) {
        const D3DLIGHT8& l = map.light(i);
        if (l.Type != D3DLIGHT_POINT) continue;
        const Vec d{l.Position.x - p.x, l.Position.y - p.y, l.Position.z - p.z};
        const float dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        if (dist <= 0 || dist > l.Range) continue;
        const float nl = std::max(0.0f, (d.x * n.x + d.y * n.y + d.z * n.z) / dist);
        const float a = l.Attenuation0 + l.Attenuation1 * dist + l.Attenuation2 * dist * dist;
        const float grey = (l.Diffuse.r + l.Diffuse.g + l.Diffuse.b) / 3;
        sum += grey * nl * (a > 0 ? 1 / a : 1);
    }
    return sum;
}

TEST(LightMapCoverageTest, EveryPaintedFaceOfEveryShippedLevelIsLit) {
    for (const ShippedLevel& shipped : ShippedLevels()) {
        SCOPED_TRACE(shipped.name);
        Simulation sim(kGame);
        ASSERT_NO_THROW(sim.Load(shipped.name));
        engLevel& level = *sim.level();
        const gfxLightMap* map = level.LightMap();
        ASSERT_NE(map, nullptr);
        ASSERT_GT(map->count(), 0);

        int faces = 0, dark = 0;
        float least = 1e9f;
        std::ostringstream darkest;
        // Each cell's faces towards -x, -y and -z; one more plane on each
        // axis reaches the far walls, floor and ceiling of the grid.
        for (int32_t k = 0; k <= level.SizeZ(); ++k) {
            for (int32_t j = 0; j <= level.SizeY(); ++j) {
                for (int32_t i = 0; i <= level.SizeX(); ++i) {
                    const Vec centre{1.5f * i, 1.5f * j, 1.5f * k};
                    const struct {
                        Vec dir;
                        Vec at;
                    } sides[3] = {{{-1, 0, 0}, {centre.x - 0.75f, centre.y, centre.z}},
                                  {{0, -1, 0}, {centre.x, centre.y - 0.75f, centre.z}},
                                  {{0, 0, -1}, {centre.x, centre.y, centre.z - 0.75f}}};
                    for (const auto& s : sides) {
                        if (level.GetMapObject(i, j, k, int32_t(s.dir.x), int32_t(s.dir.y), int32_t(s.dir.z)) == 0)
                            continue;
                        ++faces;
                        const float lit = std::max(Received(*map, s.at, s.dir),
                                                   Received(*map, s.at, {-s.dir.x, -s.dir.y, -s.dir.z}));
                        if (lit < kLeast) ++dark;
                        if (lit < least) {
                            least = lit;
                            darkest.str("");
                            darkest << "cell (" << i << ", " << j << ", " << k << ") towards (" << s.dir.x << ", "
                                    << s.dir.y << ", " << s.dir.z << ")";
                        }
                    }
                }
            }
        }
        ASSERT_GT(faces, 0);
        EXPECT_EQ(dark, 0) << dark << " of " << faces << " faces get less than " << kLeast
                           << " light; the darkest, " << least << ", is the face of " << darkest.str();
    }
}

} // namespace
} // namespace rdv::test
