// Both campaigns played through by rondovar-sim, run as the README shows it
// (from the source folder, the built tool and the kept solutions):
//
//   build/game/rondovar-sim --campaign NAME --solutions tests/content/solutions
//
// It plays every level of the campaign in order with its solution, wins
// each, and stops with "campaign done" once the last level is won. The run
// writes the game folder's progress.dat, as the game does; the file is put
// back as it was afterwards.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <optional>
#include <sstream>

#include "content/ContentTestSupport.h"

namespace rdv::test {
namespace {

// The file's bytes, or nothing when it is not there.
std::optional<std::string> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a shell command; its standard output, and its exit status.
std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::string Quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

class SimToolCampaignTest : public ::testing::TestWithParam<Campaign> {};

TEST_P(SimToolCampaignTest, TheReadmeCommandPlaysTheCampaignThroughWithTheKeptSolutions) {
    const Campaign& campaign = GetParam();
    const std::filesystem::path progress = kGame / "data" / "progress.dat";
    const std::optional<std::string> before = FileBytes(progress);
    int status = 0;
    const std::string out = RunCommand("cd " + Quoted(kSource) + " && " + Quoted(kGame / "rondovar-sim") + " --campaign " +
                                    campaign.file + " --solutions tests/content/solutions 2>&1",
                                status);
    if (before) {
        std::ofstream back(progress, std::ios::binary | std::ios::trunc);
        back << *before;
    } else {
        std::filesystem::remove(progress);
    }

    ASSERT_EQ(status, 0) << out;
    std::vector<std::string> loaded;
    std::vector<std::string> endings;
    std::string last;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        last = line;
        std::istringstream words(line);
        std::string at, what, rest;
        words >> at >> what >> rest;
        if (what == "level") loaded.push_back(rest);
        if (what == "endlevel") endings.push_back(rest);
    }
    // Each level once, in the campaign's order; the last one's reload is
    // not played.
    std::vector<std::string> want = campaign.levels;
    want.push_back(campaign.levels.back());
    EXPECT_EQ(loaded, want) << out.substr(0, 2000);
    EXPECT_EQ(endings, std::vector<std::string>(campaign.levels.size(), "1"));
    EXPECT_EQ(last.substr(last.find(' ') + 1), "campaign done");
}

std::string CampaignName(const ::testing::TestParamInfo<Campaign>& info) { return info.param.file; }

INSTANTIATE_TEST_SUITE_P(Shipped, SimToolCampaignTest, ::testing::ValuesIn(ShippedCampaigns()), CampaignName);

} // namespace
} // namespace rdv::test
