#pragma once
// The DirectSound 8 operations the engine calls, as an interface: the SDL
// audio stand-in (Factory.h) plays through the sound card, the scripted
// device (ScriptedDSound.h) lets tests move the cursors by hand.
//
// Ownership follows shared_ptr instead of AddRef/Release: dropping the last
// reference releases the object.
#include <cstdint>
#include <memory>

struct SDL_Window;

namespace rdv {

using HRESULT = int32_t;

inline constexpr bool DSSucceeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool DSFailed(HRESULT hr) { return hr < 0; }

// Result codes, with the values DirectSound gives them.
inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
inline constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
inline constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
inline constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
inline constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
inline constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082u);
inline constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
inline constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);

// Cooperative levels.
inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;
inline constexpr uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

// Buffer capabilities.
inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr uint32_t DSBCAPS_STATIC = 0x00000002;
inline constexpr uint32_t DSBCAPS_LOCSOFTWARE = 0x00000008;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x00000040;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x00008000;
inline constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

// Play, lock and status flags.
inline constexpr uint32_t DSBPLAY_LOOPING = 0x00000001;
inline constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x00000001;
inline constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x00000002;
inline constexpr uint32_t DSBSTATUS_PLAYING = 0x00000001;
inline constexpr uint32_t DSBSTATUS_LOOPING = 0x00000004;

inline constexpr int32_t DSBVOLUME_MIN = -10000;
inline constexpr int32_t DSBVOLUME_MAX = 0;
inline constexpr uint32_t DSBSIZE_MIN = 4;
inline constexpr uint32_t DSBSIZE_MAX = 0x0FFFFFFF;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

struct DSBUFFERDESC {
    uint32_t dwSize = sizeof(DSBUFFERDESC);
    uint32_t dwFlags = 0;
    uint32_t dwBufferBytes = 0;
    uint32_t dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
};

// A PCM format record filled in the way the engine asks for it.
inline WAVEFORMATEX MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class IDirectSoundBuffer8 {
public:
    virtual ~IDirectSoundBuffer8() = default;

    // Primary buffer only: the output format. SetFormat asks for a rate,
    // GetFormat tells what the device granted.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT GetFormat(WAVEFORMATEX* format) = 0;

    // Byte offsets into the ring. Play is where the mixer reads; data from
    // play up to write may already be on its way to the device.
    virtual HRESULT GetCurrentPosition(uint32_t* play, uint32_t* write) = 0;
    virtual HRESULT SetCurrentPosition(uint32_t play) = 0;

    // A writable window of `bytes` from `offset`; when it runs past the end
    // of the ring, the rest is the second region at the ring's start.
    virtual HRESULT Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                         uint32_t* bytes2, uint32_t flags) = 0;
    virtual HRESULT Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) = 0;

    virtual HRESULT Play(uint32_t reserved, uint32_t priority, uint32_t flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetStatus(uint32_t* status) = 0;

    // Hundredths of a decibel, -10000 (silent) to 0 (as written).
    virtual HRESULT SetVolume(int32_t volume) = 0;
    virtual HRESULT GetVolume(int32_t* volume) = 0;
};

class IDirectSound8 {
public:
    virtual ~IDirectSound8() = default;

    // Opens the default device; every other call needs it first.
    virtual HRESULT Initialize() = 0;
    virtual HRESULT SetCooperativeLevel(SDL_Window* window, uint32_t level) = 0;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, std::shared_ptr<IDirectSoundBuffer8>* buffer) = 0;
};

// Attenuation in hundredths of a decibel as a linear gain (0 at -10000).
float DSVolumeToGain(int32_t volume);

} // namespace rdv
