// The music plug-in through its C interface, on the modules the build
// generates.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "SoundTestSupport.h"
#include "sound/Sound.h"

namespace rdv {
namespace {

using test::GeneratedMusic;

double Rms(const std::vector<int16_t>& pcm, size_t fromFrame, size_t frames) {
    double sum = 0;
    for (size_t i = fromFrame * 2; i < (fromFrame + frames) * 2; ++i) sum += double(pcm[i]) * pcm[i];
    return std::sqrt(sum / (frames * 2));
}

// How long one pass of the module lasts, asked of the decoder itself.
double SongSeconds(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), {});
    openmpt_module* m = openmpt_module_create_from_memory2(data.data(), data.size(), nullptr, nullptr, nullptr,
                                                           nullptr, nullptr, nullptr, nullptr);
    if (!m) return 0;
    double seconds = openmpt_module_get_duration_seconds(m);
    openmpt_module_destroy(m);
    return seconds;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(plugin.Load(test::BuiltPlugin(), why)) << why;
        ASSERT_EQ(plugin.init(), 0);
    }
    void TearDown() override {
        if (plugin.Loaded()) plugin.close();
    }

    std::vector<int16_t> Render(SOUNDINFO* music, size_t frames) {
        std::vector<int16_t> pcm(frames * 2, 12345);
        plugin.renderaudio(music, pcm.data(), static_cast<int>(frames));
        return pcm;
    }

    sndDLL plugin;
};

struct Case {
    const char* song;
    int rate;
};

class PluginSongTest : public PluginTest, public ::testing::WithParamInterface<Case> {};

// Every second of a pass and past the loop point has music in it.
TEST_P(PluginSongTest, RendersAudibleMusicThatLoops) {
    const Case c = GetParam();
    const auto file = GeneratedMusic(c.song);
    const double seconds = SongSeconds(file);
    ASSERT_GT(seconds, 20.0) << file;
    if (std::string(c.song) == "theme") {
        EXPECT_GE(seconds, 30.0);
    }

    plugin.setfrequency(c.rate);
    SOUNDINFO* music = plugin.loadmusic(file.c_str(), AUDIO_TYPE_XM);
    ASSERT_NE(music, nullptr);
    const size_t total = static_cast<size_t>((seconds + 6.0) * c.rate);
    // Rendered in chunk-sized calls, as the engine does.
    std::vector<int16_t> pcm;
    for (size_t done = 0; done < total; done += 4096) {
        auto part = Render(music, 4096);
        pcm.insert(pcm.end(), part.begin(), part.end());
    }
    int peak = 0;
    for (int16_t s : pcm) peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 4000);
    EXPECT_LT(peak, 32767) << "clipped";
    const size_t second = static_cast<size_t>(c.rate);
    for (size_t s = 0; s + 1 < pcm.size() / 2 / second; ++s)
        EXPECT_GT(Rms(pcm, s * second, second), 500.0) << c.song << " second " << s << " at " << c.rate;
    plugin.freemusic(music);
}

INSTANTIATE_TEST_SUITE_P(GeneratedSongs, PluginSongTest,
                         ::testing::Values(Case{"theme", 11025}, Case{"theme", 22050}, Case{"theme", 44100},
                                           Case{"meadow", 11025}, Case{"meadow", 22050}, Case{"meadow", 44100},
                                           Case{"caverns", 11025}, Case{"caverns", 22050},
                                           Case{"caverns", 44100}));

// Split calls continue exactly where the last one stopped.
TEST_F(PluginTest, RenderContinuesWhereTheLastCallStopped) {
    const auto file = GeneratedMusic("theme");
    plugin.setfrequency(22050);
    SOUNDINFO* a = plugin.loadmusic(file.c_str(), AUDIO_TYPE_XM);
    SOUNDINFO* b = plugin.loadmusic(file.c_str(), AUDIO_TYPE_XM);
    ASSERT_TRUE(a && b);
    auto whole = Render(a, 30000);
    auto first = Render(b, 12345);
    auto second = Render(b, 30000 - 12345);
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_LE(test::MaxSampleDifference(whole, first), 1);
    EXPECT_GE(test::MaxSampleDifference(whole, first), 0);
    plugin.freemusic(a);
    plugin.freemusic(b);
}

// The loudness over time follows the song, not the sample count: at 11025 Hz
// the same stretch of music takes a quarter of the frames it takes at 44100.
TEST_F(PluginTest, RendersAtTheSetFrequency) {
    const auto file = GeneratedMusic("theme");
    auto envelope = [&](int rate) {
        plugin.setfrequency(rate);
        SOUNDINFO* m = plugin.loadmusic(file.c_str(), AUDIO_TYPE_XM);
        auto pcm = Render(m, static_cast<size_t>(rate) * 12);
        plugin.freemusic(m);
        std::vector<double> e;
        const size_t block = static_cast<size_t>(rate) / 20;
        for (size_t i = 0; i + block <= pcm.size() / 2; i += block) e.push_back(Rms(pcm, i, block));
        return e;
    };
    auto slow = envelope(11025), fast = envelope(44100);
    ASSERT_EQ(slow.size(), fast.size());
    double ma = 0, mb = 0;
    for (size_t i = 0; i < slow.size(); ++i) ma += slow[i], mb += fast[i];
    ma /= slow.size();
    mb /= fast.size();
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < slow.size(); ++i) {
        sab += (slow[i] - ma) * (fast[i] - mb);
        saa += (slow[i] - ma) * (slow[i] - ma);
        sbb += (fast[i] - mb) * (fast[i] - mb);
    }
    EXPECT_GT(sab / std::sqrt(saa * sbb), 0.9);
}

TEST_F(PluginTest, RefusesWhatItCannotLoad) {
    test::ScratchDir dir("plugin");
    test::WriteBytes(dir.path() / "junk.xm", std::vector<uint8_t>(500, 0x5A));
    test::WriteBytes(dir.path() / "tiny.mod", test::TinyProTrackerModule());
    EXPECT_EQ(plugin.loadmusic((dir.path() / "junk.xm").c_str(), AUDIO_TYPE_XM), nullptr);
    EXPECT_EQ(plugin.loadmusic((dir.path() / "absent.xm").c_str(), AUDIO_TYPE_XM), nullptr);
    EXPECT_EQ(plugin.loadmusic((dir.path() / "tiny.mod").c_str(), 7), nullptr);
    EXPECT_EQ(plugin.loadmusic(nullptr, AUDIO_TYPE_MOD), nullptr);

    SOUNDINFO* tiny = plugin.loadmusic((dir.path() / "tiny.mod").c_str(), AUDIO_TYPE_MOD);
    ASSERT_NE(tiny, nullptr);
    plugin.setfrequency(22050);
    EXPECT_GT(Rms(Render(tiny, 22050), 0, 22050), 100.0);
    plugin.freemusic(tiny);

    // After close the decoders are gone until the next init.
    plugin.close();
    EXPECT_EQ(plugin.loadmusic(GeneratedMusic("theme").c_str(), AUDIO_TYPE_XM), nullptr);
    ASSERT_EQ(plugin.init(), 0);
}

// The generator writes the same modules on every run, with a band of
// instruments and a drum part.
TEST(GeneratedMusic, IsReproducibleAndFullyScored) {
    test::ScratchDir dir("musicgen");
    const std::string tool = std::string(RDV_BINARY_DIR) + "/tools/musicgen/musicgen";
    ASSERT_EQ(std::system((tool + " " + dir.path().string()).c_str()), 0);
    for (const char* song : {"theme", "meadow", "caverns"}) {
        auto read = [](const std::filesystem::path& p) {
            std::ifstream in(p, std::ios::binary);
            return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
        };
        const auto built = read(GeneratedMusic(song));
        EXPECT_EQ(read(dir.path() / (std::string(song) + ".xm")), built) << song;
        openmpt_module* m = openmpt_module_create_from_memory2(built.data(), built.size(), nullptr, nullptr, nullptr,
                                                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m, nullptr) << song;
        auto text = [](const char* owned) {
            std::string copy = owned ? owned : "";
            openmpt_free_string(owned);
            return copy;
        };
        EXPECT_EQ(text(openmpt_module_get_metadata(m, "type")), "xm");
        EXPECT_EQ(openmpt_module_get_num_channels(m), 8);
        std::vector<std::string> names;
        for (int i = 0; i < openmpt_module_get_num_instruments(m); ++i)
            names.push_back(text(openmpt_module_get_instrument_name(m, i)));
        EXPECT_GE(names.size(), 8u);
        EXPECT_NE(std::find(names.begin(), names.end(), "kick"), names.end());
        EXPECT_NE(std::find(names.begin(), names.end(), "snare"), names.end());
        openmpt_module_destroy(m);
    }
}

TEST(PluginLoad, ReportsWhyAFileIsNoPlugin) {
    test::ScratchDir dir("noplugin");
    test::WriteBytes(dir.path() / "audio.so", {1, 2, 3});
    sndDLL plugin;
    std::string why;
    EXPECT_FALSE(plugin.Load(dir.path() / "audio.so", why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(plugin.Loaded());
    EXPECT_EQ(plugin.renderaudio, nullptr);
}

} // namespace
} // namespace rdv
