#pragma once
// What the SDL and the scripted DirectSound stand-ins share: format checks,
// the primary buffer, and the secondary ring buffer with its cursors, locks,
// volume and the mixer that reads it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dsound/DSound8.h"

namespace rdv::dsound {

// DS_OK for a PCM format the mixer can read (8 or 16 bits, 1 or 2 channels,
// 100 Hz to 200 kHz, block align and byte rate matching), else the error.
HRESULT CheckPcmFormat(const WAVEFORMATEX* format);

class RingBuffer;

// The device side: one lock shared by the buffers and the mixer, the list
// of buffers that play into it and the granted output format.
class DeviceCore : public std::enable_shared_from_this<DeviceCore> {
public:
    virtual ~DeviceCore() = default;

    // Asks the output for `requested`; on success `granted` holds what the
    // output really runs at.
    virtual HRESULT OpenOutput(const WAVEFORMATEX& requested, WAVEFORMATEX& granted) = 0;

    // Bytes of a buffer that the mixer may read before the next chance to
    // write: the distance from its play to its write cursor.
    virtual uint32_t WriteLead(const WAVEFORMATEX& bufferFormat) const = 0;

    // Adds every playing buffer into `out` (interleaved stereo floats at
    // `rate`, 1.0 = full scale). Takes the lock.
    void Mix(float* out, uint32_t frames, uint32_t rate);

    std::mutex mutex;
    std::vector<RingBuffer*> buffers;
    uint32_t cooperativeLevel = 0;
    bool initialized = false;
};

class PrimaryBuffer final : public IDirectSoundBuffer8 {
public:
    PrimaryBuffer(std::shared_ptr<DeviceCore> core, uint32_t flags);

    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT GetFormat(WAVEFORMATEX* format) override;
    HRESULT GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    HRESULT SetCurrentPosition(uint32_t play) override;
    HRESULT Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2, uint32_t* bytes2,
                 uint32_t flags) override;
    HRESULT Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override;
    HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    HRESULT Stop() override;
    HRESULT GetStatus(uint32_t* status) override;
    HRESULT SetVolume(int32_t volume) override;
    HRESULT GetVolume(int32_t* volume) override;

private:
    std::shared_ptr<DeviceCore> core_;
    uint32_t flags_;
    WAVEFORMATEX format_;
    bool playing_ = false;
    int32_t volume_ = 0;
};

// A secondary buffer: the ring the engine writes and the mixer drains.
class RingBuffer : public IDirectSoundBuffer8 {
public:
    RingBuffer(std::shared_ptr<DeviceCore> core, const DSBUFFERDESC& desc);
    ~RingBuffer() override;

    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT GetFormat(WAVEFORMATEX* format) override;
    HRESULT GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    HRESULT SetCurrentPosition(uint32_t play) override;
    HRESULT Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2, uint32_t* bytes2,
                 uint32_t flags) override;
    HRESULT Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override;
    HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    HRESULT Stop() override;
    HRESULT GetStatus(uint32_t* status) override;
    HRESULT SetVolume(int32_t volume) override;
    HRESULT GetVolume(int32_t* volume) override;

    uint32_t Size() const { return static_cast<uint32_t>(data_.size()); }
    const WAVEFORMATEX& Format() const { return format_; }

    // Mixer side, called with the device lock held: adds up to `frames`
    // output frames at `rate` and moves the play cursor on.
    void MixLocked(float* out, uint32_t frames, uint32_t rate);

protected:
    // Cursor positions with the lock held; the scripted ring overrides them.
    virtual void CursorsLocked(uint32_t& play, uint32_t& write);
    // Called once a locked region has been handed back.
    virtual void OnUnlocked(uint32_t /*offset*/, uint32_t /*bytes*/) {}
    virtual void OnVolume(int32_t /*volume*/) {}

    std::shared_ptr<DeviceCore> core_;
    uint32_t flags_;
    WAVEFORMATEX format_;
    std::vector<uint8_t> data_;
    bool playing_ = false;
    bool looping_ = false;
    int32_t volume_ = 0;
    // Read position in frames, with a 32-bit fraction for rate conversion.
    uint64_t position_ = 0;

    struct Locked {
        uint8_t* part1 = nullptr;
        uint32_t bytes1 = 0;
        uint8_t* part2 = nullptr;
        uint32_t bytes2 = 0;
    };
    std::vector<Locked> locks_;

private:
    float SampleAt(uint32_t frame, int channel) const;
};

// CreateSoundBuffer for both stand-ins: checks the description and makes
// the primary (one per device) or a ring made by `makeRing`.
template <class Ring>
HRESULT CreateBuffer(const std::shared_ptr<DeviceCore>& core, std::weak_ptr<IDirectSoundBuffer8>& primary,
                     const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer,
                     std::shared_ptr<Ring>* made = nullptr);

HRESULT CheckBufferDesc(const DeviceCore& core, const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer);

template <class Ring>
HRESULT CreateBuffer(const std::shared_ptr<DeviceCore>& core, std::weak_ptr<IDirectSoundBuffer8>& primary,
                     const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer,
                     std::shared_ptr<Ring>* made) {
    HRESULT hr = CheckBufferDesc(*core, desc, buffer);
    if (DSFailed(hr)) return hr;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        auto existing = primary.lock();
        if (!existing) {
            existing = std::make_shared<PrimaryBuffer>(core, desc->dwFlags);
            primary = existing;
        }
        *buffer = existing;
        return DS_OK;
    }
    auto ring = std::make_shared<Ring>(core, *desc);
    if (made) *made = ring;
    *buffer = ring;
    return DS_OK;
}

} // namespace rdv::dsound
