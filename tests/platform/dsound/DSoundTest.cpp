// The DirectSound stand-in's buffers: argument checks, locks across the
// ring's end, volume and the mixer, on the scripted device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/ScriptedDSound.h"

namespace rdv {
namespace {

class DSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ds.Initialize(), DS_OK);
        ASSERT_EQ(ds.SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    }

    std::shared_ptr<ScriptedSoundBuffer> MakeRing(uint32_t bytes, uint32_t rate = 44100, uint32_t flags = DSBCAPS_CTRLVOLUME,
                                                  uint16_t channels = 2) {
        WAVEFORMATEX f = MakePcmFormat(rate, channels, 16);
        DSBUFFERDESC d;
        d.dwFlags = flags;
        d.dwBufferBytes = bytes;
        d.lpwfxFormat = &f;
        std::shared_ptr<IDirectSoundBuffer8> b;
        EXPECT_EQ(ds.CreateSoundBuffer(&d, &b), DS_OK);
        return std::dynamic_pointer_cast<ScriptedSoundBuffer>(b);
    }

    // Fills the ring with frame i = (i, -i) through a lock of the whole ring.
    static void FillRamp(IDirectSoundBuffer8& b) {
        void *p1, *p2;
        uint32_t n1, n2;
        ASSERT_EQ(b.Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        auto* s = static_cast<int16_t*>(p1);
        for (uint32_t i = 0; i < n1 / 4; ++i) {
            s[2 * i] = static_cast<int16_t>(i * 100);
            s[2 * i + 1] = static_cast<int16_t>(-static_cast<int>(i) * 100);
        }
        ASSERT_EQ(b.Unlock(p1, n1, p2, n2), DS_OK);
    }

    ScriptedDirectSound8 ds;
};

TEST_F(DSoundTest, CallsInTheWrongOrderOrWithBadArgumentsFail) {
    ScriptedDirectSound8 fresh;
    DSBUFFERDESC primary;
    primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<IDirectSoundBuffer8> b;
    EXPECT_EQ(fresh.SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_UNINITIALIZED);
    EXPECT_EQ(fresh.CreateSoundBuffer(&primary, &b), DSERR_UNINITIALIZED);
    ASSERT_EQ(fresh.Initialize(), DS_OK);
    EXPECT_EQ(fresh.Initialize(), DSERR_ALREADYINITIALIZED);
    EXPECT_EQ(fresh.SetCooperativeLevel(nullptr, 9), DSERR_INVALIDPARAM);
    ASSERT_EQ(fresh.SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
    ASSERT_EQ(fresh.CreateSoundBuffer(&primary, &b), DS_OK);
    // Setting the output format needs the priority level.
    WAVEFORMATEX f = MakePcmFormat(44100, 2, 16);
    EXPECT_EQ(b->SetFormat(&f), DSERR_PRIOLEVELNEEDED);

    // A primary has no size or format of its own; a secondary needs both.
    primary.dwBufferBytes = 100;
    EXPECT_EQ(ds.CreateSoundBuffer(&primary, &b), DSERR_INVALIDPARAM);
    DSBUFFERDESC ring;
    ring.dwBufferBytes = 65536;
    EXPECT_EQ(ds.CreateSoundBuffer(&ring, &b), DSERR_INVALIDPARAM);
    WAVEFORMATEX odd = MakePcmFormat(44100, 6, 16);
    ring.lpwfxFormat = &odd;
    EXPECT_EQ(ds.CreateSoundBuffer(&ring, &b), DSERR_BADFORMAT);
    WAVEFORMATEX wrongAlign = MakePcmFormat(44100, 2, 16);
    wrongAlign.nBlockAlign = 3;
    ring.lpwfxFormat = &wrongAlign;
    EXPECT_EQ(ds.CreateSoundBuffer(&ring, &b), DSERR_INVALIDPARAM);
    ring.lpwfxFormat = &f;
    ring.dwBufferBytes = 2;
    EXPECT_EQ(ds.CreateSoundBuffer(&ring, &b), DSERR_INVALIDPARAM);
    ring.dwSize = 12;
    EXPECT_EQ(ds.CreateSoundBuffer(&ring, &b), DSERR_INVALIDPARAM);
}

TEST_F(DSoundTest, PrimaryFormatReportsTheRateTheDeviceGrants) {
    ScriptedDirectSound8 picky(22050);
    ASSERT_EQ(picky.Initialize(), DS_OK);
    ASSERT_EQ(picky.SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
    DSBUFFERDESC primary;
    primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<IDirectSoundBuffer8> p, again;
    ASSERT_EQ(picky.CreateSoundBuffer(&primary, &p), DS_OK);
    ASSERT_EQ(picky.CreateSoundBuffer(&primary, &again), DS_OK);
    EXPECT_EQ(p, again);  // one primary per device

    WAVEFORMATEX f = MakePcmFormat(44100, 2, 16);
    ASSERT_EQ(p->SetFormat(&f), DS_OK);
    WAVEFORMATEX got;
    ASSERT_EQ(p->GetFormat(&got), DS_OK);
    EXPECT_EQ(picky.RequestedRate(), 44100u);
    EXPECT_EQ(got.nSamplesPerSec, 22050u);
    EXPECT_EQ(got.nAvgBytesPerSec, 22050u * 4);
    EXPECT_EQ(p->Play(0, 0, 0), DSERR_INVALIDPARAM);  // a primary only plays looping
    EXPECT_EQ(p->Play(0, 0, DSBPLAY_LOOPING), DS_OK);

    WAVEFORMATEX bad = f;
    bad.wFormatTag = 3;
    EXPECT_EQ(p->SetFormat(&bad), DSERR_BADFORMAT);
    picky.SetOpenResult(DSERR_NODRIVER);
    EXPECT_EQ(p->SetFormat(&f), DSERR_NODRIVER);
}

TEST_F(DSoundTest, LockAcrossTheEndGivesTwoRegions) {
    auto ring = MakeRing(65536);
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(ring->Lock(60000, 16384, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - ring->Data().data(), 60000);
    EXPECT_EQ(n1, 5536u);
    EXPECT_EQ(p2, ring->Data().data());
    EXPECT_EQ(n2, 10848u);
    std::memset(p1, 0x11, n1);
    std::memset(p2, 0x22, n2);
    ASSERT_EQ(ring->Unlock(p1, n1, p2, n2), DS_OK);
    ASSERT_EQ(ring->written.size(), 2u);
    EXPECT_EQ(ring->written[0].offset, 60000u);
    EXPECT_EQ(ring->written[1].offset, 0u);
    EXPECT_EQ(ring->Data()[65535], 0x11);
    EXPECT_EQ(ring->Data()[10847], 0x22);
    EXPECT_EQ(ring->Data()[10848], 0x00);

    // Within the ring: one region.
    ASSERT_EQ(ring->Lock(16384, 16384, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 16384u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(ring->Unlock(p2, 0, nullptr, 0), DSERR_INVALIDPARAM);  // not what was locked
    EXPECT_EQ(ring->Unlock(p1, n1 + 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ring->Unlock(p1, n1, nullptr, 0), DS_OK);
    EXPECT_EQ(ring->Unlock(p1, n1, nullptr, 0), DSERR_INVALIDPARAM);  // only once

    EXPECT_EQ(ring->Lock(65536, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ring->Lock(0, 65540, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(ring->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);

    // From the write cursor.
    ring->SetCursors(1000, 50000);
    ASSERT_EQ(ring->Lock(0, 20000, &p1, &n1, &p2, &n2, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - ring->Data().data(), 50000);
    EXPECT_EQ(n1 + n2, 20000u);
    EXPECT_EQ(ring->Unlock(p1, n1, p2, n2), DS_OK);
}

TEST_F(DSoundTest, VolumeIsCheckedAndAppliedAsDecibels) {
    auto fixed = MakeRing(4096, 44100, 0);
    EXPECT_EQ(fixed->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    auto ring = MakeRing(4096);
    EXPECT_EQ(ring->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(ring->SetVolume(-10001), DSERR_INVALIDPARAM);

    EXPECT_FLOAT_EQ(DSVolumeToGain(0), 1.0f);
    EXPECT_NEAR(DSVolumeToGain(-600), 0.501f, 0.001f);
    EXPECT_NEAR(DSVolumeToGain(-2000), 0.1f, 1e-6f);
    EXPECT_EQ(DSVolumeToGain(-10000), 0.0f);

    FillRamp(*ring);
    ASSERT_EQ(ring->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<float> out(2 * 8, 0.0f);
    ds.Render(out.data(), 8, 44100);
    EXPECT_FLOAT_EQ(out[2 * 5], 500 / 32768.0f);
    EXPECT_FLOAT_EQ(out[2 * 5 + 1], -500 / 32768.0f);

    ASSERT_EQ(ring->SetVolume(-600), DS_OK);
    std::fill(out.begin(), out.end(), 0.0f);
    ds.Render(out.data(), 8, 44100);  // frames 8..15
    EXPECT_NEAR(out[2 * 2], 1000 / 32768.0f * 0.501f, 1e-5f);
    ASSERT_EQ(ring->SetVolume(-10000), DS_OK);
    std::fill(out.begin(), out.end(), 0.0f);
    ds.Render(out.data(), 8, 44100);
    for (float v : out) EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(ring->volumes, (std::vector<int32_t>{-600, -10000}));
}

TEST_F(DSoundTest, MixerLoopsStopsAndConvertsTheRate) {
    auto looping = MakeRing(16);  // four frames
    FillRamp(*looping);
    looping->Play(0, 0, DSBPLAY_LOOPING);
    std::vector<float> out(2 * 10, 0.0f);
    ds.Render(out.data(), 10, 44100);
    const float expected[10] = {0, 100, 200, 300, 0, 100, 200, 300, 0, 100};
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(out[2 * i] * 32768.0f, expected[i]) << i;
    looping->Stop();

    auto once = MakeRing(16);
    FillRamp(*once);
    once->Play(0, 0, 0);
    std::fill(out.begin(), out.end(), 0.0f);
    ds.Render(out.data(), 10, 44100);
    EXPECT_FLOAT_EQ(out[2 * 3] * 32768.0f, 300.0f);
    for (int i = 4; i < 10; ++i) EXPECT_EQ(out[2 * i], 0.0f);
    uint32_t status = 1;
    once->GetStatus(&status);
    EXPECT_EQ(status, 0u);

    // A 22050 Hz ring into a 44100 Hz output: every other frame is halfway.
    auto slow = MakeRing(64, 22050);
    FillRamp(*slow);
    slow->Play(0, 0, DSBPLAY_LOOPING);
    std::fill(out.begin(), out.end(), 0.0f);
    ds.Render(out.data(), 6, 44100);
    const float halves[6] = {0, 50, 100, 150, 200, 250};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[2 * i] * 32768.0f, halves[i], 0.01f) << i;

    // Mono plays on both sides.
    slow->Stop();
    auto mono = MakeRing(8, 44100, DSBCAPS_CTRLVOLUME, 1);
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(mono->Lock(0, 8, &p1, &n1, &p2, &n2, 0), DS_OK);
    const int16_t values[4] = {1000, 2000, 3000, 4000};
    std::memcpy(p1, values, 8);
    mono->Unlock(p1, n1, p2, n2);
    mono->Play(0, 0, DSBPLAY_LOOPING);
    std::fill(out.begin(), out.end(), 0.0f);
    ds.Render(out.data(), 2, 44100);
    EXPECT_FLOAT_EQ(out[2] * 32768.0f, 2000.0f);
    EXPECT_FLOAT_EQ(out[3] * 32768.0f, 2000.0f);
}

TEST_F(DSoundTest, ScriptedCursorsMoveOnlyWhenTold) {
    auto ring = MakeRing(65536);
    uint32_t play = 1, write = 1;
    ring->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(write, 0u);
    ring->SetCursors(65000, 65536 + 700);
    ring->Advance(1000);
    ring->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, (65000u + 1000u) % 65536u);
    EXPECT_EQ(write, 1700u);
}

} // namespace
} // namespace rdv
