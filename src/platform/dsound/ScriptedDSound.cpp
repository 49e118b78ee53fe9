#include "platform/dsound/ScriptedDSound.h"

namespace rdv {

class ScriptedDirectSound8::Core final : public dsound::DeviceCore {
public:
    explicit Core(uint32_t granted) : granted_(granted) {}

    HRESULT OpenOutput(const WAVEFORMATEX& requested, WAVEFORMATEX& granted) override {
        requestedRate = requested.nSamplesPerSec;
        if (DSFailed(openResult)) return openResult;
        uint32_t rate = granted_ ? granted_ : requested.nSamplesPerSec;
        granted = MakePcmFormat(rate, requested.nChannels, requested.wBitsPerSample);
        return DS_OK;
    }

    // Scripted rings report the cursors the test set.
    uint32_t WriteLead(const WAVEFORMATEX& f) const override { return f.nBlockAlign; }

    HRESULT openResult = DS_OK;
    uint32_t requestedRate = 0;

private:
    uint32_t granted_;
};

ScriptedSoundBuffer::ScriptedSoundBuffer(std::shared_ptr<dsound::DeviceCore> core, const DSBUFFERDESC& desc)
    : RingBuffer(std::move(core), desc) {}

void ScriptedSoundBuffer::SetCursors(uint32_t play, uint32_t write) {
    std::lock_guard<std::mutex> hold(core_->mutex);
    play_ = play % Size();
    write_ = write % Size();
}

void ScriptedSoundBuffer::Advance(uint32_t bytes) {
    std::lock_guard<std::mutex> hold(core_->mutex);
    play_ = static_cast<uint32_t>((static_cast<uint64_t>(play_) + bytes) % Size());
    write_ = static_cast<uint32_t>((static_cast<uint64_t>(write_) + bytes) % Size());
}

void ScriptedSoundBuffer::CursorsLocked(uint32_t& play, uint32_t& write) {
    play = play_;
    write = write_;
}

ScriptedDirectSound8::ScriptedDirectSound8(uint32_t grantedRate) : core_(std::make_shared<Core>(grantedRate)) {}

HRESULT ScriptedDirectSound8::Initialize() {
    if (DSFailed(initializeResult)) return initializeResult;
    if (core_->initialized) return DSERR_ALREADYINITIALIZED;
    core_->initialized = true;
    return DS_OK;
}

HRESULT ScriptedDirectSound8::SetCooperativeLevel(SDL_Window* w, uint32_t level) {
    if (!core_->initialized) return DSERR_UNINITIALIZED;
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    window = w;
    core_->cooperativeLevel = level;
    return DS_OK;
}

HRESULT ScriptedDirectSound8::CreateSoundBuffer(const DSBUFFERDESC* desc,
                                                std::shared_ptr<IDirectSoundBuffer8>* buffer) {
    std::shared_ptr<ScriptedSoundBuffer> made;
    HRESULT hr = dsound::CreateBuffer<ScriptedSoundBuffer>(core_, primary_, desc, buffer, &made);
    if (made) rings_.push_back(made);
    return hr;
}

std::vector<std::shared_ptr<ScriptedSoundBuffer>> ScriptedDirectSound8::Rings() const {
    std::vector<std::shared_ptr<ScriptedSoundBuffer>> out;
    for (const auto& w : rings_)
        if (auto r = w.lock()) out.push_back(r);
    return out;
}

uint32_t ScriptedDirectSound8::CooperativeLevel() const { return core_->cooperativeLevel; }
void ScriptedDirectSound8::Render(float* out, uint32_t frames, uint32_t rate) { core_->Mix(out, frames, rate); }
void ScriptedDirectSound8::SetOpenResult(HRESULT hr) { core_->openResult = hr; }
uint32_t ScriptedDirectSound8::RequestedRate() const { return core_->requestedRate; }

} // namespace rdv
