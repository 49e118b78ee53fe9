#pragma once
// Music: the audio plug-in, the streaming ring and what plays in it.
//
// The game has no sound effects. Modules are decoded by the plug-in
// (audio.so) into 16-bit stereo PCM, a quarter of the 65536-byte ring at a
// time, from the main loop. Every call is a no-op while sound is not ready
// (sound switched off in the settings), so callers need no checks.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sound/AudioPluginApi.h"

namespace rdv {

class Engine;
class IDirectSound8;
class IDirectSoundBuffer8;

// The plug-in file in the current folder or the program folder.
inline constexpr const char* kAudioPluginFile = "audio.so";

// The plug-in's functions, resolved by name from the shared library.
class sndDLL {
public:
    sndDLL() = default;
    ~sndDLL();
    sndDLL(const sndDLL&) = delete;
    sndDLL& operator=(const sndDLL&) = delete;

    // dlopen and dlsym of all six functions; false with the reason in
    // `error` when the file does not load or a function is missing.
    bool Load(const std::filesystem::path& file, std::string& error);
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }

    AudioInitFn init = nullptr;
    AudioCloseFn close = nullptr;
    AudioLoadMusicFn loadmusic = nullptr;
    AudioFreeMusicFn freemusic = nullptr;
    AudioRenderFn renderaudio = nullptr;
    AudioSetFrequencyFn setfrequency = nullptr;

private:
    void* handle_ = nullptr;
};

class sndCore {
public:
    static constexpr uint32_t kRingBytes = 65536;
    static constexpr uint32_t kChunkBytes = 16384;
    static constexpr uint32_t kChunkFrames = kChunkBytes / 4;
    static constexpr uint32_t kChunks = kRingBytes / kChunkBytes;

    sndCore() = default;
    ~sndCore();
    sndCore(const sndCore&) = delete;
    sndCore& operator=(const sndCore&) = delete;

    struct MusicEntry {
        std::string name;            // lower case, as looked up
        SOUNDINFO* handle = nullptr;
        int type = 0;                // module type handed to loadmusic (3 MOD ... 6 IT)
    };

    // Change-over from the current music to the next one.
    enum class Change {
        None,       // the current music plays at the set volume
        Fading,     // fading the current music out towards nextMusic
        Switching,  // nextMusic is being written; silent until it reaches the play cursor
    };

    bool ready = false;
    bool musicPlaying = false;
    int32_t currentMusic = 0;              // index into the music table, 1-based; 0 = none
    std::vector<MusicEntry> musicTable;    // entry i is index i + 1
    uint32_t acquiredFrequency = 0;
    uint32_t chunkIndex = 0;               // next quarter of the ring to fill

    std::shared_ptr<IDirectSound8> device;
    std::shared_ptr<IDirectSoundBuffer8> primary;
    std::shared_ptr<IDirectSoundBuffer8> stream;
    sndDLL plugin;

    Change change = Change::None;
    int32_t nextMusic = 0;
    int32_t fadeTime = 0;                  // ms
    uint32_t fadeStart = 0;                // clock ms when the fade began
    // Which music each quarter of the ring holds: generation counts the
    // switches, so the volume returns only once the new music is heard.
    uint32_t generation = 0;
    uint32_t chunkGeneration[kChunks] = {};

    int32_t MusicCount() const { return static_cast<int32_t>(musicTable.size()); }
};

// Start-up with every check of the plug-in and the device; loads and plays
// "theme". With sound off in the settings nothing is loaded.
void SoundStart(Engine& engine);
// Fills every quarter of the ring neither cursor is in; runs the change-over.
void SoundUpdate(Engine& engine);
// Frees every music, closes the plug-in, releases the buffers and device.
void SoundShutdown(Engine& engine);

// The index of the music loaded under `name` (any letter case), loading
// "music/<name>.*" on first use. 0 while sound is not ready.
int32_t LoadMusic(Engine& engine, const std::string& name);
// Makes `index` the music that plays. While another music plays, that one
// fades out over `fadeTime` ms first (music objects pass 2000).
void PlayMusic(Engine& engine, int32_t index, int32_t fadeTime);
// Applies the settings' music volume to the streaming buffer at once.
void SetMusicVolume(Engine& engine);

// round(10000 * v^(1/10) - 10000), v limited to 0..1: hundredths of a
// decibel for the streaming buffer.
int32_t MusicVolumeToAttenuation(float volume);

} // namespace rdv
