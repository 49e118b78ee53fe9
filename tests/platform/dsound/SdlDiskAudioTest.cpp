// The SDL stand-in end to end: SDL's disk driver writes what the device
// callback mixed, so the file shows the ring's music at the set volume.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/dsound/DSound8.h"
#include "platform/dsound/Factory.h"

namespace rdv {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

uintmax_t FileSize(const fs::path& p) {
    std::error_code ec;
    auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

// Waits (up to 10 s) for the audio thread to have written `bytes` bytes.
uintmax_t WaitForSize(const fs::path& p, uintmax_t bytes) {
    for (int i = 0; i < 1000 && FileSize(p) < bytes; ++i) SDL_Delay(10);
    return FileSize(p);
}

double Rms(const std::vector<int16_t>& s, size_t fromByte, size_t toByte) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = fromByte / 2; i < toByte / 2 && i < s.size(); ++i, ++n) sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / n) : 0.0;
}

TEST(SdlDirectSound, DiskDriverWritesTheRingFollowingItsVolume) {
    const fs::path out = fs::temp_directory_path() / ("rdv_disk_audio_" + std::to_string(::getpid()) + ".raw");
    fs::remove(out);
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", out.string());

    uint32_t rate = 0;
    uintmax_t loudEnd = 0, silentEnd = 0, quietEnd = 0;
    uint32_t playBefore = 0, playAfter = 0;
    {
        auto ds = CreateSDLDirectSound8();
        ASSERT_NE(ds, nullptr);
        ASSERT_EQ(ds->Initialize(), DS_OK) << SDL_GetError();
        ASSERT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
        DSBUFFERDESC pd;
        pd.dwFlags = DSBCAPS_PRIMARYBUFFER;
        std::shared_ptr<IDirectSoundBuffer8> primary;
        ASSERT_EQ(ds->CreateSoundBuffer(&pd, &primary), DS_OK);
        WAVEFORMATEX want = MakePcmFormat(44100, 2, 16);
        ASSERT_EQ(primary->SetFormat(&want), DS_OK) << SDL_GetError();
        WAVEFORMATEX got;
        ASSERT_EQ(primary->GetFormat(&got), DS_OK);
        rate = got.nSamplesPerSec;
        ASSERT_GT(rate, 0u);
        ASSERT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

        WAVEFORMATEX f = MakePcmFormat(rate, 2, 16);
        DSBUFFERDESC rd;
        rd.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
        rd.dwBufferBytes = 65536;
        rd.lpwfxFormat = &f;
        std::shared_ptr<IDirectSoundBuffer8> ring;
        ASSERT_EQ(ds->CreateSoundBuffer(&rd, &ring), DS_OK);
        void *p1, *p2;
        uint32_t n1, n2;
        ASSERT_EQ(ring->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        auto* s = static_cast<int16_t*>(p1);
        // 64 whole periods in the ring, at half of full scale.
        for (uint32_t i = 0; i < n1 / 4; ++i) {
            s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 64 * i / (n1 / 4.0)));
        }
        ASSERT_EQ(ring->Unlock(p1, n1, p2, n2), DS_OK);

        const uintmax_t quarterSecond = rate;  // bytes: rate * 4 / 4
        const uintmax_t start = FileSize(out);
        ASSERT_EQ(ring->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        loudEnd = WaitForSize(out, start + quarterSecond + 16384);
        // The play cursor moves on while the ring plays.
        ring->GetCurrentPosition(&playBefore, nullptr);
        playAfter = playBefore;
        for (int i = 0; i < 200 && playAfter == playBefore; ++i) {
            SDL_Delay(5);
            ring->GetCurrentPosition(&playAfter, nullptr);
        }
        loudEnd = FileSize(out);
        ASSERT_EQ(ring->SetVolume(-10000), DS_OK);
        silentEnd = WaitForSize(out, loudEnd + quarterSecond);
        ASSERT_EQ(ring->SetVolume(-600), DS_OK);
        quietEnd = WaitForSize(out, silentEnd + quarterSecond);
        ring->Stop();
    }  // the device closes here

    std::ifstream in(out, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    fs::remove(out);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    ASSERT_GE(bytes.size(), quietEnd);

    EXPECT_NE(playBefore, playAfter);
    EXPECT_EQ(playBefore % 4, 0u);
    // Skip what the callback may have mixed before each change reached it.
    const size_t settle = 16384;
    const double loud = Rms(pcm, loudEnd - 8192, loudEnd);
    const double silent = Rms(pcm, loudEnd + settle, silentEnd);
    const double quiet = Rms(pcm, silentEnd + settle, quietEnd);
    EXPECT_NEAR(loud, 16384 / std::sqrt(2.0), 300.0);
    EXPECT_LT(silent, 1.0);
    EXPECT_NEAR(quiet / loud, 0.501, 0.02);
}

} // namespace
} // namespace rdv
