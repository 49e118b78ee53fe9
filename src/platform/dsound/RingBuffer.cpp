#include "platform/dsound/RingBuffer.h"

#include <algorithm>
#include <cmath>

namespace rdv {

float DSVolumeToGain(int32_t volume) {
    if (volume <= DSBVOLUME_MIN) return 0.0f;
    if (volume >= DSBVOLUME_MAX) return 1.0f;
    return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

namespace dsound {

HRESULT CheckPcmFormat(const WAVEFORMATEX* f) {
    if (!f) return DSERR_INVALIDPARAM;
    if (f->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (f->nChannels != 1 && f->nChannels != 2) return DSERR_BADFORMAT;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (f->nSamplesPerSec < 100 || f->nSamplesPerSec > 200000) return DSERR_BADFORMAT;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return DSERR_INVALIDPARAM;
    if (f->nAvgBytesPerSec != f->nSamplesPerSec * f->nBlockAlign) return DSERR_INVALIDPARAM;
    return DS_OK;
}

HRESULT CheckBufferDesc(const DeviceCore& core, const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer) {
    if (!desc || !buffer || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
    if (!core.initialized) return DSERR_UNINITIALIZED;
    if (core.cooperativeLevel == 0) return DSERR_INVALIDCALL;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat || (desc->dwFlags & DSBCAPS_CTRLFREQUENCY))
            return DSERR_INVALIDPARAM;
        return DS_OK;
    }
    HRESULT hr = CheckPcmFormat(desc->lpwfxFormat);
    if (DSFailed(hr)) return hr;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes < desc->lpwfxFormat->nBlockAlign) return DSERR_INVALIDPARAM;
    return DS_OK;
}

void DeviceCore::Mix(float* out, uint32_t frames, uint32_t rate) {
    std::lock_guard<std::mutex> hold(mutex);
    for (RingBuffer* b : buffers) b->MixLocked(out, frames, rate);
}

// ---- primary buffer --------------------------------------------------------

PrimaryBuffer::PrimaryBuffer(std::shared_ptr<DeviceCore> core, uint32_t flags)
    : core_(std::move(core)), flags_(flags), format_(MakePcmFormat(22050, 2, 8)) {}

HRESULT PrimaryBuffer::SetFormat(const WAVEFORMATEX* format) {
    if (core_->cooperativeLevel < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
    HRESULT hr = CheckPcmFormat(format);
    if (DSFailed(hr)) return hr;
    WAVEFORMATEX granted;
    hr = core_->OpenOutput(*format, granted);
    if (DSFailed(hr)) return hr;
    format_ = granted;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetFormat(WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    *format = format_;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    if (play) *play = 0;
    if (write) *write = 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetCurrentPosition(uint32_t) { return DSERR_INVALIDCALL; }

HRESULT PrimaryBuffer::Lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) {
    // Writing the primary needs the write-primary level, which the engine never asks for.
    return DSERR_PRIOLEVELNEEDED;
}

HRESULT PrimaryBuffer::Unlock(void*, uint32_t, void*, uint32_t) { return DSERR_INVALIDCALL; }

HRESULT PrimaryBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
    if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    playing_ = true;
    return DS_OK;
}

HRESULT PrimaryBuffer::Stop() {
    playing_ = false;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetStatus(uint32_t* status) {
    if (!status) return DSERR_INVALIDPARAM;
    *status = playing_ ? (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING) : 0;
    return DS_OK;
}

HRESULT PrimaryBuffer::SetVolume(int32_t volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    volume_ = volume;
    return DS_OK;
}

HRESULT PrimaryBuffer::GetVolume(int32_t* volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (!volume) return DSERR_INVALIDPARAM;
    *volume = volume_;
    return DS_OK;
}

// ---- secondary ring --------------------------------------------------------

RingBuffer::RingBuffer(std::shared_ptr<DeviceCore> core, const DSBUFFERDESC& desc)
    : core_(std::move(core)), flags_(desc.dwFlags), format_(*desc.lpwfxFormat) {
    // A whole number of frames, so the cursors always sit on a frame.
    uint32_t bytes = desc.dwBufferBytes - desc.dwBufferBytes % format_.nBlockAlign;
    data_.assign(bytes, format_.wBitsPerSample == 8 ? 0x80 : 0x00);
    std::lock_guard<std::mutex> hold(core_->mutex);
    core_->buffers.push_back(this);
}

RingBuffer::~RingBuffer() {
    std::lock_guard<std::mutex> hold(core_->mutex);
    auto& list = core_->buffers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

HRESULT RingBuffer::SetFormat(const WAVEFORMATEX*) { return DSERR_INVALIDCALL; }

HRESULT RingBuffer::GetFormat(WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    *format = format_;
    return DS_OK;
}

void RingBuffer::CursorsLocked(uint32_t& play, uint32_t& write) {
    const uint32_t block = format_.nBlockAlign;
    play = static_cast<uint32_t>(position_ >> 32) * block;
    if (!playing_) {
        write = play;
        return;
    }
    uint32_t lead = core_->WriteLead(format_);
    lead += (block - lead % block) % block;
    write = static_cast<uint32_t>((static_cast<uint64_t>(play) + lead) % Size());
}

HRESULT RingBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    std::lock_guard<std::mutex> hold(core_->mutex);
    uint32_t p = 0, w = 0;
    CursorsLocked(p, w);
    if (play) *play = p;
    if (write) *write = w;
    return DS_OK;
}

HRESULT RingBuffer::SetCurrentPosition(uint32_t play) {
    if (play >= Size()) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(core_->mutex);
    position_ = static_cast<uint64_t>(play / format_.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT RingBuffer::Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                         uint32_t* bytes2, uint32_t flags) {
    if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(core_->mutex);
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = Size();
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
        uint32_t play = 0;
        CursorsLocked(play, offset);
    }
    if (offset >= Size() || bytes == 0 || bytes > Size()) return DSERR_INVALIDPARAM;

    Locked l;
    l.part1 = data_.data() + offset;
    l.bytes1 = std::min(bytes, Size() - offset);
    // Without room for a second pointer the lock stops at the ring's end.
    if (bytes > l.bytes1 && part2 && bytes2) {
        l.part2 = data_.data();
        l.bytes2 = bytes - l.bytes1;
    }
    *part1 = l.part1;
    *bytes1 = l.bytes1;
    if (part2) *part2 = l.part2;
    if (bytes2) *bytes2 = l.bytes2;
    locks_.push_back(l);
    return DS_OK;
}

HRESULT RingBuffer::Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) {
    std::lock_guard<std::mutex> hold(core_->mutex);
    auto it = std::find_if(locks_.begin(), locks_.end(), [&](const Locked& l) { return l.part1 == part1; });
    if (it == locks_.end() || bytes1 > it->bytes1 || bytes2 > it->bytes2 || (bytes2 > 0 && part2 != it->part2))
        return DSERR_INVALIDPARAM;
    const uint32_t offset = static_cast<uint32_t>(it->part1 - data_.data());
    locks_.erase(it);
    if (bytes1) OnUnlocked(offset, bytes1);
    if (bytes2) OnUnlocked(0, bytes2);
    return DS_OK;
}

HRESULT RingBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
    std::lock_guard<std::mutex> hold(core_->mutex);
    playing_ = true;
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT RingBuffer::Stop() {
    std::lock_guard<std::mutex> hold(core_->mutex);
    playing_ = false;
    return DS_OK;
}

HRESULT RingBuffer::GetStatus(uint32_t* status) {
    if (!status) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(core_->mutex);
    *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0)) : 0;
    return DS_OK;
}

HRESULT RingBuffer::SetVolume(int32_t volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(core_->mutex);
    volume_ = volume;
    OnVolume(volume);
    return DS_OK;
}

HRESULT RingBuffer::GetVolume(int32_t* volume) {
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (!volume) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> hold(core_->mutex);
    *volume = volume_;
    return DS_OK;
}

float RingBuffer::SampleAt(uint32_t frame, int channel) const {
    const uint32_t block = format_.nBlockAlign;
    if (format_.nChannels == 1) channel = 0;
    const uint8_t* p = data_.data() + static_cast<size_t>(frame) * block;
    if (format_.wBitsPerSample == 8) return (static_cast<int>(p[channel]) - 128) / 128.0f;
    const uint8_t* s = p + channel * 2;
    int16_t v = static_cast<int16_t>(static_cast<uint16_t>(s[0] | (s[1] << 8)));
    return v / 32768.0f;
}

void RingBuffer::MixLocked(float* out, uint32_t frames, uint32_t rate) {
    if (!playing_ || rate == 0) return;
    const float gain = DSVolumeToGain(volume_);
    const uint32_t total = Size() / format_.nBlockAlign;
    const uint64_t end = static_cast<uint64_t>(total) << 32;
    const uint64_t step = (static_cast<uint64_t>(format_.nSamplesPerSec) << 32) / rate;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t frame = static_cast<uint32_t>(position_ >> 32);
        const float frac = static_cast<float>(position_ & 0xFFFFFFFFu) / 4294967296.0f;
        uint32_t next = frame + 1;
        bool haveNext = true;
        if (next >= total) {
            next = 0;
            haveNext = looping_;
        }
        for (int c = 0; c < 2; ++c) {
            float a = SampleAt(frame, c);
            float b = haveNext ? SampleAt(next, c) : 0.0f;
            out[2 * i + c] += (a + (b - a) * frac) * gain;
        }
        position_ += step;
        if (position_ >= end) {
            if (looping_) {
                position_ %= end;
            } else {
                playing_ = false;
                position_ = 0;
                return;
            }
        }
    }
}

} // namespace dsound
} // namespace rdv
