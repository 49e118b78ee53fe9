#pragma once
// A DirectSound 8 device without a sound card, for tests: the rate it
// grants is set by the test, and the cursors of its rings move only when
// the test moves them. Every region handed back by Unlock and every volume
// set is recorded.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dsound/DSound8.h"
#include "platform/dsound/RingBuffer.h"

namespace rdv {

class ScriptedSoundBuffer final : public dsound::RingBuffer {
public:
    ScriptedSoundBuffer(std::shared_ptr<dsound::DeviceCore> core, const DSBUFFERDESC& desc);

    // Both cursors, in bytes (taken modulo the ring size).
    void SetCursors(uint32_t play, uint32_t write);
    // Moves both cursors on by `bytes`, keeping their distance.
    void Advance(uint32_t bytes);

    struct Region {
        uint32_t offset;
        uint32_t bytes;
    };
    std::vector<Region> written;          // every Unlock'ed region, in order
    std::vector<int32_t> volumes;         // every SetVolume value, in order

    const std::vector<uint8_t>& Data() const { return data_; }
    bool Playing() const { return playing_; }
    bool Looping() const { return looping_; }
    uint32_t Flags() const { return flags_; }
    int32_t Volume() const { return volume_; }

protected:
    void CursorsLocked(uint32_t& play, uint32_t& write) override;
    void OnUnlocked(uint32_t offset, uint32_t bytes) override { written.push_back({offset, bytes}); }
    void OnVolume(int32_t volume) override { volumes.push_back(volume); }

private:
    uint32_t play_ = 0;
    uint32_t write_ = 0;
};

class ScriptedDirectSound8 final : public IDirectSound8 {
public:
    // grantedRate 0: the device accepts any rate asked for; otherwise it
    // always runs at grantedRate.
    explicit ScriptedDirectSound8(uint32_t grantedRate = 0);

    HRESULT Initialize() override;
    HRESULT SetCooperativeLevel(SDL_Window* window, uint32_t level) override;
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer) override;

    // Results the test can force.
    HRESULT initializeResult = DS_OK;
    void SetOpenResult(HRESULT hr);       // what SetFormat on the primary gives

    SDL_Window* window = nullptr;
    uint32_t RequestedRate() const;       // last rate SetFormat asked for
    std::shared_ptr<IDirectSoundBuffer8> Primary() const { return primary_.lock(); }
    // Rings made so far (kept weakly: a released ring drops out).
    std::vector<std::shared_ptr<ScriptedSoundBuffer>> Rings() const;
    uint32_t CooperativeLevel() const;
    // What the rings would play: mixes `frames` stereo frames at `rate`
    // into `out` (adding, 1.0 = full scale) and moves their mix position on.
    void Render(float* out, uint32_t frames, uint32_t rate);

private:
    class Core;
    std::shared_ptr<Core> core_;
    std::weak_ptr<IDirectSoundBuffer8> primary_;
    std::vector<std::weak_ptr<ScriptedSoundBuffer>> rings_;
};

} // namespace rdv
