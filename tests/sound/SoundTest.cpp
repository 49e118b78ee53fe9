// Sound start-up, the ring refill, music loading and the change-over, on
// the scripted DirectSound device with a manual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SoundTestSupport.h"
#include "core/Engine.h"
#include "core/Error.h"
#include "packages/Package.h"
#include "platform/Clock.h"
#include "platform/dsound/ScriptedDSound.h"
#include "sound/Sound.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t kChunk = sndCore::kChunkBytes;

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program.path() / "music");
        fs::copy_file(test::GeneratedMusic("theme"), program.path() / "music" / "theme.xm");
        fs::copy_file(test::GeneratedMusic("meadow"), program.path() / "music" / "Meadow.XM");
        fs::copy_file(test::BuiltPlugin(), program.path() / "audio.so");
        engine.programFolder = program.path();
        engine.settings.soundOn = true;
        engine.settings.frequency = 44100;
        engine.settings.musicVolume = 1.0f;
        engine.platform.clock = clock;
        UseDevice(std::make_shared<ScriptedDirectSound8>());
        engine.log.SetCapture(&lines);
        fs::current_path(program.path());
    }
    void TearDown() override { SoundShutdown(engine); }

    void UseDevice(std::shared_ptr<ScriptedDirectSound8> d) {
        device = d;
        engine.platform.dsound = d;
    }

    sndCore& Sound() { return *engine.sound; }
    std::shared_ptr<ScriptedSoundBuffer> Ring() {
        auto rings = device->Rings();
        return rings.empty() ? nullptr : rings.front();
    }
    bool Logged(const std::string& text, int colour) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const Log::Line& l) { return l.message == text && l.colour == colour; });
    }
    int CountLinesStartingWith(const std::string& prefix) const {
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const Log::Line& l) {
            return l.message.rfind(prefix, 0) == 0;
        }));
    }
    EngineError StartError() {
        try {
            SoundStart(engine);
        } catch (const EngineError& e) {
            return e;
        }
        ADD_FAILURE() << "SoundStart raised nothing";
        return EngineError(0, "", "");
    }
    EngineError LoadError(const std::string& name) {
        try {
            LoadMusic(engine, name);
        } catch (const EngineError& e) {
            return e;
        }
        ADD_FAILURE() << "LoadMusic(" << name << ") raised nothing";
        return EngineError(0, "", "");
    }
    // The first `frames` frames of a module as a fresh load renders them.
    std::vector<uint8_t> FreshRender(const std::string& file, uint32_t frames) {
        SOUNDINFO* m = Sound().plugin.loadmusic(file.c_str(), AUDIO_TYPE_XM);
        EXPECT_NE(m, nullptr);
        std::vector<uint8_t> pcm(frames * 4);
        Sound().plugin.renderaudio(m, pcm.data(), static_cast<int>(frames));
        Sound().plugin.freemusic(m);
        return pcm;
    }
    std::vector<uint8_t> ChunkData(uint32_t chunk) {
        const auto& d = Ring()->Data();
        return std::vector<uint8_t>(d.begin() + chunk * kChunk, d.begin() + (chunk + 1) * kChunk);
    }

    test::ScratchDir program{"program"};
    test::KeepCurrentDir keepCurrent;
    Engine engine;
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(5000);
    std::shared_ptr<ScriptedDirectSound8> device;
    std::vector<Log::Line> lines;
};

TEST_F(SoundTest, StartUpOpensTheDeviceAndPlaysTheme) {
    SoundStart(engine);
    EXPECT_TRUE(Sound().ready);
    EXPECT_TRUE(Sound().musicPlaying);
    EXPECT_EQ(device->CooperativeLevel(), DSSCL_PRIORITY);
    EXPECT_EQ(device->RequestedRate(), 44100u);
    EXPECT_EQ(Sound().acquiredFrequency, 44100u);
    uint32_t status = 0;
    ASSERT_NE(device->Primary(), nullptr);
    device->Primary()->GetStatus(&status);
    EXPECT_TRUE(status & DSBSTATUS_PLAYING);

    auto ring = Ring();
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->Size(), 65536u);
    EXPECT_TRUE(ring->Flags() & DSBCAPS_CTRLVOLUME);
    EXPECT_TRUE(ring->Playing());
    EXPECT_TRUE(ring->Looping());
    EXPECT_EQ(ring->Format().nChannels, 2);
    EXPECT_EQ(ring->Format().wBitsPerSample, 16);
    EXPECT_EQ(ring->Format().nBlockAlign, 4);
    EXPECT_EQ(ring->Format().nAvgBytesPerSec, 4u * 44100u);
    EXPECT_EQ(ring->Volume(), 0);

    ASSERT_EQ(Sound().MusicCount(), 1);
    EXPECT_EQ(Sound().currentMusic, 1);
    EXPECT_EQ(Sound().musicTable[0].name, "theme");
    EXPECT_EQ(Sound().musicTable[0].type, AUDIO_TYPE_XM);
    EXPECT_TRUE(Logged("Loading: theme", 0));
    EXPECT_EQ(CountLinesStartingWith("WARNING"), 0);

    // The first update fills the three quarters the cursors are not in.
    SoundUpdate(engine);
    ASSERT_EQ(ring->written.size(), 3u);
    EXPECT_EQ(ring->written[0].offset, kChunk);
    EXPECT_EQ(ring->written[2].offset, 3 * kChunk);
}

TEST_F(SoundTest, DamagedFrequencySettingAsksForTheUsualRate) {
    engine.settings.frequency = 0;
    SoundStart(engine);
    EXPECT_EQ(device->RequestedRate(), 44100u);
    EXPECT_TRUE(Logged("WARNING: requested 0Hz, but acquired 44100Hz", 4));
    EXPECT_TRUE(Sound().ready);
}

TEST_F(SoundTest, WithSoundOffNothingIsLoadedAndNoPluginIsNeeded) {
    fs::remove(program.path() / "audio.so");
    engine.settings.soundOn = false;
    SoundStart(engine);
    EXPECT_FALSE(Sound().ready);
    EXPECT_EQ(LoadMusic(engine, "theme"), 0);
    EXPECT_EQ(Sound().MusicCount(), 0);
    PlayMusic(engine, 3, 2000);
    EXPECT_EQ(Sound().currentMusic, 3);
    SetMusicVolume(engine);
    SoundUpdate(engine);
    SoundShutdown(engine);
    EXPECT_EQ(device->Primary(), nullptr);
    EXPECT_TRUE(device->Rings().empty());
}

TEST_F(SoundTest, MissingPluginRaises1009) {
    fs::remove(program.path() / "audio.so");
    test::ScratchDir elsewhere("elsewhere");
    fs::current_path(elsewhere.path());
    EngineError e = StartError();
    EXPECT_EQ(e.number, 1009);
    EXPECT_EQ(e.source, "Init->Sound->Initialize->CheckDLL");
    EXPECT_EQ(e.description, "Audio.so could not be found");
    EXPECT_FALSE(Sound().ready);
}

TEST_F(SoundTest, PluginFoundOnlyInTheProgramFolderWarnsAndMovesThere) {
    test::ScratchDir elsewhere("elsewhere");
    fs::current_path(elsewhere.path());
    SoundStart(engine);
    EXPECT_TRUE(Logged("WARNING: Bad execute path, had to change", 4));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), program.path()));
    EXPECT_TRUE(Sound().ready);
}

TEST_F(SoundTest, PluginWhoseInitFailsRaises1011) {
    fs::copy_file(test::FailingPlugin(), program.path() / "audio.so", fs::copy_options::overwrite_existing);
    EngineError e = StartError();
    EXPECT_EQ(e.number, 1011);
    EXPECT_EQ(e.source, "Init->Sound->Initialize->LoadPlugin");
    EXPECT_EQ(e.description, "Could not load decoders");
    EXPECT_EQ(e.dllCode, 1);  // the plug-in's own answer from init
    EXPECT_FALSE(Sound().ready);
    EXPECT_FALSE(Sound().plugin.Loaded());
    EXPECT_TRUE(device->Rings().empty());
}

TEST_F(SoundTest, FileThatIsNoLibraryRaises1011WithTheReasonLogged) {
    test::WriteBytes(program.path() / "audio.so", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    EXPECT_EQ(StartError().number, 1011);
    EXPECT_GE(CountLinesStartingWith("WARNING: "), 1);
}

TEST_F(SoundTest, NoSoundOutputLeavesTheGameSilentInsteadOfFailing) {
    device->SetOpenResult(DSERR_NODRIVER);
    SoundStart(engine);
    EXPECT_FALSE(Sound().ready);
    EXPECT_EQ(CountLinesStartingWith("WARNING: no sound output"), 1);
    EXPECT_EQ(LoadMusic(engine, "theme"), 0);
    SoundUpdate(engine);
}

TEST_F(SoundTest, RateTheDeviceRefusesIsLoggedAndRenderedAtTheGrantedRate) {
    UseDevice(std::make_shared<ScriptedDirectSound8>(22050));
    SoundStart(engine);
    EXPECT_TRUE(Logged("WARNING: requested 44100Hz, but acquired 22050Hz", 4));
    EXPECT_EQ(Sound().acquiredFrequency, 22050u);
    // The ring plays at the rate the music is rendered at.
    EXPECT_EQ(Ring()->Format().nSamplesPerSec, 22050u);

    // The music starts in the quarter after the write cursor.
    Ring()->SetCursors(8, 12);
    SoundUpdate(engine);
    const auto file = (program.path() / "music" / "theme.xm").string();
    EXPECT_EQ(ChunkData(1), FreshRender(file, sndCore::kChunkFrames));
    Sound().plugin.setfrequency(44100);
    EXPECT_NE(ChunkData(1), FreshRender(file, sndCore::kChunkFrames));
    Sound().plugin.setfrequency(22050);
}

TEST_F(SoundTest, VolumeIsTenthRootInHundredthsOfADecibel) {
    EXPECT_EQ(MusicVolumeToAttenuation(1.0f), 0);
    EXPECT_EQ(MusicVolumeToAttenuation(0.5f), -670);
    EXPECT_EQ(MusicVolumeToAttenuation(0.0f), -10000);
    EXPECT_EQ(MusicVolumeToAttenuation(0.75f), -284);
    // Out of range and damaged values stay within what the buffer accepts.
    EXPECT_EQ(MusicVolumeToAttenuation(2.55f), 0);
    EXPECT_EQ(MusicVolumeToAttenuation(-0.5f), -10000);
    EXPECT_EQ(MusicVolumeToAttenuation(std::nanf("")), -10000);

    SoundStart(engine);
    engine.settings.musicVolume = 0.5f;
    SetMusicVolume(engine);
    EXPECT_EQ(Ring()->Volume(), -670);
    engine.settings.musicVolume = 0.0f;
    SetMusicVolume(engine);
    EXPECT_EQ(Ring()->Volume(), -10000);
}

TEST_F(SoundTest, TheSameNameInAnyCaseLoadsOnce) {
    SoundStart(engine);
    EXPECT_EQ(LoadMusic(engine, "Theme"), 1);
    EXPECT_EQ(LoadMusic(engine, "THEME"), 1);
    EXPECT_EQ(LoadMusic(engine, "meadow"), 2);
    EXPECT_EQ(LoadMusic(engine, "MEADOW"), 2);
    EXPECT_EQ(Sound().MusicCount(), 2);
    EXPECT_EQ(CountLinesStartingWith("Loading: "), 2);
}

TEST_F(SoundTest, TheExtensionDecidesTheModuleType) {
    const fs::path music = program.path() / "music";
    test::WriteBytes(music / "track.mod", test::TinyProTrackerModule());
    test::WriteBytes(music / "other.wav", test::TinyProTrackerModule());
    // Two candidates: the first in byte order of the names wins.
    test::WriteBytes(music / "pair.mod", test::TinyProTrackerModule());
    test::WriteBytes(music / "pair.IT", test::TinyProTrackerModule());
    test::WriteBytes(music / "broken.xm", std::vector<uint8_t>(300, 0x33));
    SoundStart(engine);

    const int32_t track = LoadMusic(engine, "track");
    ASSERT_EQ(track, 2);
    EXPECT_EQ(Sound().musicTable[1].type, AUDIO_TYPE_MOD);
    EXPECT_NE(Sound().musicTable[1].handle, nullptr);
    EXPECT_EQ(LoadMusic(engine, "TRACK"), track);
    EXPECT_EQ(Sound().musicTable[LoadMusic(engine, "pair") - 1].type, AUDIO_TYPE_IT);

    EngineError wav = LoadError("other");
    EXPECT_EQ(wav.number, 1004);
    EXPECT_EQ(wav.source, "System->LoadMusic->GetFileType");
    EXPECT_EQ(wav.description, "File has an unknown file extension: WAV");

    EngineError missing = LoadError("nothing");
    EXPECT_EQ(missing.number, 1002);
    EXPECT_EQ(missing.source, "System->LoadMusic->FindFile");
    EXPECT_EQ(missing.description, "Couldn't find Music: nothing");

    EngineError broken = LoadError("broken");
    EXPECT_EQ(broken.number, 1005);
    EXPECT_EQ(broken.source, "System->LoadMusic->Audio.LoadMusicFile");
    EXPECT_EQ(broken.description, "The requested file could not be loaded");

    // Failed loads leave no entry behind and the load nesting balanced.
    EXPECT_EQ(Sound().MusicCount(), 3);
    EXPECT_EQ(Packages(engine).Depth(), 0);
    EXPECT_EQ(LoadError("other").number, 1004);
}

// Departs from the original: new music is written from the quarter after the play cursor.
TEST_F(SoundTest, UpdateFillsEveryQuarterNoCursorIsIn) {
    SoundStart(engine);
    auto ring = Ring();
    std::vector<uint8_t> stream;  // what was written, in writing order
    uint32_t play = 0;
    for (int step = 0; step < 300; ++step) {
        play = (play + engine.rng() % 24000) % 65536;
        const uint32_t write = (play + 4 + engine.rng() % 6000) % 65536;
        ring->SetCursors(play, write);
        const size_t before = ring->written.size();
        SoundUpdate(engine);
        for (size_t i = before; i < ring->written.size(); ++i) {
            const auto r = ring->written[i];
            ASSERT_EQ(r.bytes, kChunk);
            ASSERT_EQ(r.offset % kChunk, 0u);
            ASSERT_FALSE(play >= r.offset && play < r.offset + r.bytes) << "step " << step;
            ASSERT_FALSE(write >= r.offset && write < r.offset + r.bytes) << "step " << step;
            stream.insert(stream.end(), ring->Data().begin() + r.offset, ring->Data().begin() + r.offset + r.bytes);
        }
        // It stopped only at a quarter a cursor is in.
        const uint32_t next = Sound().chunkIndex;
        ASSERT_TRUE(play / kChunk == next || write / kChunk == next) << "step " << step;
    }
    ASSERT_GT(stream.size(), 50u * kChunk);
    // The chunks carry the music on without a gap or a repeat.
    const auto fresh = FreshRender((program.path() / "music" / "theme.xm").string(),
                                   static_cast<uint32_t>(stream.size() / 4));
    const int difference = test::MaxSampleDifference(stream, fresh);
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, 2);
}

TEST_F(SoundTest, ChangeOverFadesOutThenSwitches) {
    SoundStart(engine);
    const int32_t meadow = LoadMusic(engine, "meadow");
    ASSERT_EQ(meadow, 2);
    auto ring = Ring();
    ring->SetCursors(0, 4);
    SoundUpdate(engine);

    // Asking for what already plays changes nothing.
    const size_t volumeWrites = ring->volumes.size();
    PlayMusic(engine, 1, 2000);
    SoundUpdate(engine);
    EXPECT_EQ(ring->volumes.size(), volumeWrites);
    EXPECT_EQ(Sound().change, sndCore::Change::None);

    PlayMusic(engine, meadow, 2000);
    EXPECT_EQ(Sound().currentMusic, 1);
    EXPECT_EQ(Sound().nextMusic, meadow);
    EXPECT_EQ(Sound().fadeTime, 2000);

    clock->Advance(1000);
    SoundUpdate(engine);
    EXPECT_EQ(ring->Volume(), -602);  // half the amplitude
    // A volume change during the fade sets where the fade starts from.
    engine.settings.musicVolume = 0.5f;
    SetMusicVolume(engine);
    EXPECT_EQ(ring->Volume(), -602);
    clock->Advance(500);
    SoundUpdate(engine);
    EXPECT_EQ(ring->Volume(), -670 - 1204);
    EXPECT_EQ(Sound().currentMusic, 1);

    ring->SetCursors(kChunk + 100, kChunk + 104);
    clock->Advance(500);
    SoundUpdate(engine);
    EXPECT_EQ(Sound().currentMusic, meadow);
    EXPECT_EQ(ring->Volume(), -10000);
    // Every quarter but the one being played now holds the new music.
    const auto fresh = FreshRender((program.path() / "music" / "Meadow.XM").string(), 3 * sndCore::kChunkFrames);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.begin() + kChunk, ChunkData(2).begin()));
    EXPECT_TRUE(std::equal(fresh.begin() + kChunk, fresh.begin() + 2 * kChunk, ChunkData(3).begin()));
    EXPECT_TRUE(std::equal(fresh.begin() + 2 * kChunk, fresh.end(), ChunkData(0).begin()));

    // The volume comes back once the play cursor reaches the new music.
    ring->SetCursors(2 * kChunk + 8, 2 * kChunk + 12);
    SoundUpdate(engine);
    EXPECT_EQ(Sound().change, sndCore::Change::None);
    EXPECT_EQ(ring->Volume(), -670);
}

TEST_F(SoundTest, AskingBackForTheFadingMusicKeepsIt) {
    SoundStart(engine);
    const int32_t meadow = LoadMusic(engine, "meadow");
    PlayMusic(engine, meadow, 2000);
    clock->Advance(1500);
    SoundUpdate(engine);
    EXPECT_LT(Ring()->Volume(), -1000);
    PlayMusic(engine, 1, 2000);
    EXPECT_EQ(Sound().change, sndCore::Change::None);
    EXPECT_EQ(Ring()->Volume(), 0);
    clock->Advance(5000);
    SoundUpdate(engine);
    EXPECT_EQ(Sound().currentMusic, 1);
    // An index nothing was loaded under is ignored.
    PlayMusic(engine, 9, 2000);
    PlayMusic(engine, 0, 2000);
    EXPECT_EQ(Sound().change, sndCore::Change::None);
}

TEST_F(SoundTest, ShutdownReleasesEverythingAndAStartAfterItBeginsAfresh) {
    SoundStart(engine);
    LoadMusic(engine, "meadow");
    SoundShutdown(engine);
    EXPECT_FALSE(Sound().ready);
    EXPECT_FALSE(Sound().musicPlaying);
    EXPECT_EQ(Sound().MusicCount(), 0);
    EXPECT_FALSE(Sound().plugin.Loaded());
    EXPECT_TRUE(device->Rings().empty());
    SoundShutdown(engine);

    // As after a full engine reboot: the platform device is handed over again.
    SoundStart(engine);
    EXPECT_TRUE(Sound().ready);
    EXPECT_EQ(Sound().MusicCount(), 1);
    EXPECT_EQ(LoadMusic(engine, "meadow"), 2);
}

} // namespace
} // namespace rdv
