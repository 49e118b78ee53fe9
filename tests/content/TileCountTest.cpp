// How many faces of each tile type every shipped level paints, printed as a
// table; every one of the 26 static tiles and the 7 scripted tiles must be
// used somewhere once both campaigns ship.
#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>

#include "content/ContentTestSupport.h"
#include "level/Level.h"
#include "headless/Simulation.h"

namespace rdv::test {
namespace {

// The scripted tiles by full class name, with the section that makes them.
const std::vector<std::pair<std::string, std::string>> kScripted = {
    {"System.Tiles.Special.Marked", "MarkedMetalSpecial"},  {"System.Tiles.Special.Angled", "AngledPad"},
    {"System.Tiles.Special.Moverchain", "MoveChain"},       {"System.Tiles.Special.Dropfloor", "DropFloor"},
    {"System.Tiles.Special.Launchfloor", "LaunchFloor"},    {"System.Tiles.BreakWall", "BreakWallSpecial"},
    {"System.Tiles.Special.Sliderfloor", "SliderFloor"},
};

// Type names in table order: the static tiles by code, then the scripted.
std::vector<std::string> TypeNames() {
    std::vector<std::string> names;
    for (int code = 1; code <= 26; ++code) names.push_back(kTileSectionNames[static_cast<size_t>(code)]);
    for (const auto& s : kScripted) names.push_back(s.second);
    return names;
}

// Faces per type (index as TypeNames) of a loaded level.
std::vector<int> CountFaces(engLevel& level) {
    std::vector<int> counts(26 + kScripted.size(), 0);
    for (int orientation = 0; orientation < 3; ++orientation) {
        for (int32_t face : level.Faces(orientation)) {
            if (face < 0 && face >= -26) {
                ++counts[static_cast<size_t>(-face - 1)];
            } else if (face > 0) {
                const std::string name = level.MapObjectName(face);
                for (size_t i = 0; i < kScripted.size(); ++i)
                    if (name == kScripted[i].first) ++counts[26 + i];
            }
        }
    }
    return counts;
}

TEST(TileCountTest, EveryTileTypeIsUsedInTheShippedLevels) {
    const std::vector<std::string> types = TypeNames();
    std::vector<int> total(types.size(), 0);
    std::ostringstream table;
    table << std::left << std::setw(20) << "level";
    for (size_t i = 0; i < types.size(); ++i) table << ' ' << std::setw(3) << i + 1;
    table << '\n';
    for (const ShippedLevel& shipped : ShippedLevels()) {
        Simulation sim(kGame);
        ASSERT_NO_THROW(sim.Load(shipped.name)) << shipped.name;
        const std::vector<int> counts = CountFaces(*sim.level());
        table << std::setw(20) << shipped.name;
        for (size_t i = 0; i < counts.size(); ++i) {
            table << ' ' << std::setw(3) << counts[i];
            total[i] += counts[i];
        }
        table << '\n';
    }
    std::vector<std::string> unused;
    table << "columns:";
    for (size_t i = 0; i < types.size(); ++i) {
        table << ' ' << i + 1 << '=' << types[i];
        if (total[i] == 0) unused.push_back(types[i]);
    }
    std::cout << table.str() << '\n';

    std::string missing;
    for (const auto& t : unused) missing += " " + t;
    EXPECT_TRUE(unused.empty()) << "tile types no shipped level uses:" << missing;
}

} // namespace
} // namespace rdv::test
