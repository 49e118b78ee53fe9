// The music plug-in on modules other programs wrote: the ProTracker songs of
// Debian's tecnoballz-data and the Impulse Tracker and Scream Tracker 3
// songs of pingus-data. Each loads and plays audibly for its first seconds,
// and a damaged copy of one is refused or plays without fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "SoundTestSupport.h"
#include "sound/Sound.h"

namespace rdv {
namespace {

const std::filesystem::path kModules = "/usr/share/games/tecnoballz/musics";
const std::filesystem::path kTrackerModules = "/usr/share/games/pingus/data/music";

// The songs of one kind (".mod", ".it", ".s3m") in a folder, by name.
std::vector<std::filesystem::path> Modules(const std::filesystem::path& folder = kModules,
                                           const std::string& extension = ".mod") {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == extension) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class RealModules : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(plugin.Load(test::BuiltPlugin(), why)) << why;
        ASSERT_EQ(plugin.init(), 0);
        plugin.setfrequency(22050);
    }
    void TearDown() override {
        if (plugin.Loaded()) plugin.close();
    }
    // The loudness of the first `seconds` of a song, second by second.
    std::vector<double> Loudness(SOUNDINFO* music, int seconds) {
        std::vector<double> rms;
        std::vector<int16_t> pcm(22050 * 2);
        for (int s = 0; s < seconds; ++s) {
            plugin.renderaudio(music, pcm.data(), 22050);
            double sum = 0;
            for (int16_t v : pcm) sum += double(v) * v;
            rms.push_back(std::sqrt(sum / double(pcm.size())));
        }
        return rms;
    }
    sndDLL plugin;
};

TEST_F(RealModules, EverySongLoadsAndPlays) {
    const auto files = Modules();
    ASSERT_GE(files.size(), 10u) << "no modules in " << kModules << ": run scripts/install-deps";
    for (const auto& file : files) {
        SOUNDINFO* music = plugin.loadmusic(file.c_str(), AUDIO_TYPE_MOD);
        ASSERT_NE(music, nullptr) << file;
        const auto rms = Loudness(music, 4);
        EXPECT_GT(*std::max_element(rms.begin(), rms.end()), 200.0) << file.filename() << " is silent";
        plugin.freemusic(music);
    }
}

// Impulse Tracker and Scream Tracker 3 songs, each read as its own type.
TEST_F(RealModules, ImpulseAndScreamTrackerSongsLoadAndPlay) {
    const auto it = Modules(kTrackerModules, ".it");
    const auto s3m = Modules(kTrackerModules, ".s3m");
    ASSERT_GE(it.size(), 10u) << "no .it songs in " << kTrackerModules << ": run scripts/install-deps";
    ASSERT_GE(s3m.size(), 1u);
    for (const auto& [files, type] : {std::pair{it, int(AUDIO_TYPE_IT)}, std::pair{s3m, int(AUDIO_TYPE_S3M)}}) {
        for (const auto& file : files) {
            SOUNDINFO* music = plugin.loadmusic(file.c_str(), type);
            ASSERT_NE(music, nullptr) << file;
            const auto rms = Loudness(music, 6);
            EXPECT_GT(*std::max_element(rms.begin(), rms.end()), 200.0) << file.filename() << " is silent";
            plugin.freemusic(music);
        }
    }
}

// Cut short or with its pattern count and sample lengths overwritten, a
// song is refused or plays; the plug-in survives either way and the intact
// song still loads after.
TEST_F(RealModules, DamagedCopiesAreRefusedOrPlay) {
    const auto files = Modules();
    ASSERT_FALSE(files.empty());
    std::ifstream in(files.front(), std::ios::binary);
    const std::vector<uint8_t> song((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(song.size(), 1084u);
    test::ScratchDir dir("realmodules");
    std::vector<std::vector<uint8_t>> damaged;
    damaged.emplace_back(song.begin(), song.begin() + 1084);          // header only
    damaged.emplace_back(song.begin(), song.begin() + song.size() / 2);  // half the samples
    std::vector<uint8_t> counts = song;
    counts[950] = 0xFF;                                                  // song length
    for (int s = 0; s < 31; ++s) counts[20 + s * 30 + 22] = counts[20 + s * 30 + 23] = 0xFF;  // sample lengths
    damaged.push_back(counts);
    for (size_t i = 0; i < damaged.size(); ++i) {
        const auto path = dir.path() / ("damaged" + std::to_string(i) + ".mod");
        test::WriteBytes(path, damaged[i]);
        if (SOUNDINFO* music = plugin.loadmusic(path.c_str(), AUDIO_TYPE_MOD)) {
            Loudness(music, 2);
            plugin.freemusic(music);
        }
    }
    SOUNDINFO* music = plugin.loadmusic(files.front().c_str(), AUDIO_TYPE_MOD);
    ASSERT_NE(music, nullptr);
    plugin.freemusic(music);
}

} // namespace
} // namespace rdv
