#include "platform/dsound/Factory.h"
// DirectSound 8 on SDL2 audio: the primary buffer's format opens the SDL
// device (the rate SDL grants is what GetFormat reports), and the device's
// callback mixes the playing ring buffers into 16-bit stereo.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/dsound/RingBuffer.h"

namespace rdv {

namespace {

class SdlDevice final : public dsound::DeviceCore {
public:
    ~SdlDevice() override {
        CloseDevice();
        if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    HRESULT Start() {
        if (sdlStarted_) return DSERR_ALREADYINITIALIZED;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
        sdlStarted_ = true;
        initialized = true;
        return DS_OK;
    }

    HRESULT OpenOutput(const WAVEFORMATEX& requested, WAVEFORMATEX& granted) override {
        CloseDevice();
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(requested.nSamplesPerSec);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        // About 23 ms a callback, whatever the rate.
        Uint16 samples = 256;
        while (samples < 4096 && samples * 86u <= requested.nSamplesPerSec) samples = static_cast<Uint16>(samples * 2);
        want.samples = samples;
        want.callback = &SdlDevice::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device_ == 0) return DSERR_NODRIVER;
        {
            std::lock_guard<std::mutex> hold(mutex);
            rate_ = static_cast<uint32_t>(have.freq);
            period_ = have.samples;
        }
        scratch_.assign(static_cast<size_t>(std::max<Uint16>(have.samples, 256)) * 2, 0.0f);
        // The output mixes the player's format into its own; what the
        // engine reads back is the rate it really runs at.
        granted = MakePcmFormat(rate_, requested.nChannels, requested.wBitsPerSample);
        SDL_PauseAudioDevice(device_, 0);
        return DS_OK;
    }

    uint32_t WriteLead(const WAVEFORMATEX& f) const override {
        // What the next callback may read, plus one frame of interpolation.
        if (rate_ == 0) return f.nBlockAlign;
        uint64_t frames = (static_cast<uint64_t>(period_) * f.nSamplesPerSec + rate_ - 1) / rate_ + 1;
        return static_cast<uint32_t>(frames * f.nBlockAlign);
    }

private:
    void CloseDevice() {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        device_ = 0;
    }

    static void Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<SdlDevice*>(user);
        auto* out = reinterpret_cast<int16_t*>(stream);
        size_t frames = static_cast<size_t>(len) / 4;
        const size_t chunk = self->scratch_.size() / 2;
        while (frames > 0) {
            const size_t n = std::min(frames, chunk);
            std::fill(self->scratch_.begin(), self->scratch_.begin() + n * 2, 0.0f);
            self->Mix(self->scratch_.data(), static_cast<uint32_t>(n), self->rate_);
            for (size_t i = 0; i < n * 2; ++i) {
                float v = std::clamp(self->scratch_[i] * 32768.0f, -32768.0f, 32767.0f);
                out[i] = static_cast<int16_t>(std::lrint(v));
            }
            out += n * 2;
            frames -= n;
        }
    }

    SDL_AudioDeviceID device_ = 0;
    bool sdlStarted_ = false;
    uint32_t rate_ = 0;
    uint32_t period_ = 0;
    std::vector<float> scratch_;
};

class SdlDirectSound8 final : public IDirectSound8 {
public:
    SdlDirectSound8() : core_(std::make_shared<SdlDevice>()) {}

    HRESULT Initialize() override { return core_->Start(); }

    HRESULT SetCooperativeLevel(SDL_Window*, uint32_t level) override {
        if (!core_->initialized) return DSERR_UNINITIALIZED;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        core_->cooperativeLevel = level;
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer) override {
        return dsound::CreateBuffer<dsound::RingBuffer>(core_, primary_, desc, buffer);
    }

private:
    std::shared_ptr<SdlDevice> core_;
    std::weak_ptr<IDirectSoundBuffer8> primary_;
};

} // namespace

std::shared_ptr<IDirectSound8> CreateSDLDirectSound8() { return std::make_shared<SdlDirectSound8>(); }

} // namespace rdv
