// The build's settings writer: it ships the default settings, never
// overwrites a player's own, and repairs a file a crashed first run left
// empty or cut off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/SettingsFile.h"

#ifdef RDV_SETTINGSGEN_TOOL
namespace rdv::test {
namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

int RunTool(const std::filesystem::path& out) {
    return std::system((std::string(RDV_SETTINGSGEN_TOOL) + " " + out.string()).c_str());
}

TEST(SettingsGen, WritesDefaultsKeepsAPlayersFileAndRepairsAnEmptyOne) {
    const auto folder = std::filesystem::path(RDV_BINARY_DIR) / "test-settingsgen";
    std::filesystem::remove_all(folder);
    const auto file = folder / "data" / "settings.dat";
    const std::vector<uint8_t> shipped = EncodeWholeRecord(ShippedSettings());

    ASSERT_EQ(RunTool(file), 0);
    EXPECT_EQ(ReadAll(file), shipped);

    Settings mine = ShippedSettings();
    mine.width = 1024;
    mine.height = 768;
    mine.musicVolume = 0.3f;
    const std::vector<uint8_t> own = EncodeWholeRecord(mine);
    WriteAll(file, own);
    ASSERT_EQ(RunTool(file), 0);
    EXPECT_EQ(ReadAll(file), own);

    for (size_t cut : {size_t(0), shipped.size() / 2}) {
        WriteAll(file, std::vector<uint8_t>(own.begin(), own.begin() + std::ptrdiff_t(cut)));
        ASSERT_EQ(RunTool(file), 0);
        EXPECT_EQ(ReadAll(file), shipped) << "a " << cut << "-byte file";
    }
}

} // namespace
} // namespace rdv::test
#endif
