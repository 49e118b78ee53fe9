// Start-up, the per-tick refill of the streaming ring, music loading and
// the change-over between songs.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "packages/Package.h"
#include "platform/Clock.h"
#include "platform/FileSearch.h"
#include "platform/dsound/DSound8.h"
#include "platform/dsound/Factory.h"
#include "sound/Sound.h"

namespace rdv {

namespace fs = std::filesystem;

namespace {

constexpr int kWarningColour = 4;

fs::path ProgramFolderOf(const Engine& engine) {
    return engine.programFolder.empty() ? ProgramFolder() : engine.programFolder;
}

uint32_t Now(Engine& engine) { return engine.platform.clock ? engine.platform.clock->GetTickCount() : 0; }

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<uint32_t>(hr));
    return text;
}

std::string UpperCase(std::string text) {
    for (auto& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Releases everything the sound module holds, in shutdown order.
void ReleaseAll(sndCore& s) {
    s.ready = false;
    s.musicPlaying = false;
    for (auto& entry : s.musicTable) {
        if (entry.handle && s.plugin.freemusic) s.plugin.freemusic(entry.handle);
        entry.handle = nullptr;
    }
    s.musicTable.clear();
    if (s.plugin.Loaded() && s.plugin.close) s.plugin.close();
    s.plugin.Unload();
    if (s.stream) s.stream->Stop();
    s.stream.reset();
    if (s.primary) s.primary->Stop();
    s.primary.reset();
    s.device.reset();
    s.currentMusic = 0;
    s.change = sndCore::Change::None;
    s.nextMusic = 0;
}

// The game plays on without music when there is no output to play into.
void NoDevice(Engine& engine, sndCore& s, const std::string& step, HRESULT hr) {
    engine.log.Write("WARNING: no sound output (" + step + " failed, code " + Hex(hr) + "), music is off",
                     kWarningColour);
    ReleaseAll(s);
}

uint32_t ChunkOf(uint32_t position) { return (position / sndCore::kChunkBytes) % sndCore::kChunks; }

bool InChunk(uint32_t position, uint32_t chunk) {
    return position >= chunk * sndCore::kChunkBytes && position < (chunk + 1) * sndCore::kChunkBytes;
}

// Amplitude falls linearly to silence over the fade, starting from the
// attenuation the volume setting gives.
int32_t FadeAttenuation(int32_t base, uint32_t elapsed, int32_t fadeTime) {
    double gain = 1.0 - static_cast<double>(elapsed) / fadeTime;
    if (gain <= 0.0) return DSBVOLUME_MIN;
    double att = base + 2000.0 * std::log10(gain);
    return static_cast<int32_t>(std::lround(std::clamp(att, -10000.0, 0.0)));
}

void StartFade(Engine& engine, sndCore& s, int32_t index, int32_t fadeTime) {
    s.nextMusic = index;
    s.fadeTime = engine.platform.clock ? std::max(fadeTime, 0) : 0;
    s.fadeStart = Now(engine);
    s.change = sndCore::Change::Fading;
}

// The fade has run out: from now on the ring is written with the next
// music, which stays silent until the play cursor reaches it.
void SwitchMusic(sndCore& s, uint32_t write) {
    s.currentMusic = s.nextMusic;
    s.nextMusic = 0;
    ++s.generation;
    s.change = sndCore::Change::Switching;
    s.stream->SetVolume(DSBVOLUME_MIN);
    // The quarters past the write cursor still hold the old music; write
    // them again so the new one starts as soon as it can.
    s.chunkIndex = (ChunkOf(write) + 1) % sndCore::kChunks;
}

// Music that starts now is written from the quarter after the write
// cursor, so it is heard within a quarter instead of after a whole ring.
void StartFillingAfterWriteCursor(sndCore& s) {
    uint32_t play = 0, write = 0;
    if (DSSucceeded(s.stream->GetCurrentPosition(&play, &write))) s.chunkIndex = (ChunkOf(write) + 1) % sndCore::kChunks;
}

void RenderChunk(sndCore& s, int16_t* pcm) {
    const int32_t index = s.currentMusic;
    if (index >= 1 && index <= s.MusicCount() && s.musicTable[index - 1].handle && s.plugin.renderaudio)
        s.plugin.renderaudio(s.musicTable[index - 1].handle, pcm, static_cast<int>(sndCore::kChunkFrames));
    else
        std::memset(pcm, 0, sndCore::kChunkBytes);
}

bool WriteChunk(sndCore& s, uint32_t chunk, const int16_t* pcm) {
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    if (DSFailed(s.stream->Lock(chunk * sndCore::kChunkBytes, sndCore::kChunkBytes, &p1, &n1, &p2, &n2, 0)))
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm);
    std::memcpy(p1, bytes, n1);
    if (p2 && n2) std::memcpy(p2, bytes + n1, std::min(n2, sndCore::kChunkBytes - n1));
    s.stream->Unlock(p1, n1, p2, n2);
    return true;
}

} // namespace

sndCore::~sndCore() { ReleaseAll(*this); }

int32_t MusicVolumeToAttenuation(float volume) {
    double v = std::isnan(volume) ? 0.0 : std::clamp(static_cast<double>(volume), 0.0, 1.0);
    return static_cast<int32_t>(std::lround(10000.0 * std::pow(v, 0.1) - 10000.0));
}

void SoundStart(Engine& engine) {
    if (!engine.sound) engine.sound = std::make_shared<sndCore>();
    sndCore& s = *engine.sound;
    ReleaseAll(s);  // music count 0, nothing left from an earlier pass
    s.chunkIndex = 0;
    s.generation = 0;
    std::fill(std::begin(s.chunkGeneration), std::end(s.chunkGeneration), 0u);
    if (!engine.settings.soundOn) return;

    // The plug-in: the current folder first, then the program folder.
    std::error_code ec;
    fs::path plugin = ResolveNoCase(fs::current_path(ec), kAudioPluginFile);
    if (ec || !IsFile(plugin)) {
        const fs::path folder = ProgramFolderOf(engine);
        fs::current_path(folder, ec);
        plugin = ResolveNoCase(folder, kAudioPluginFile);
        if (!IsFile(plugin)) RaiseError(ErrDllMissing, "Init->Sound->Initialize->CheckDLL", "Audio.so could not be found");
        engine.log.Write("WARNING: Bad execute path, had to change", kWarningColour);
    }

    s.device = engine.platform.dsound ? engine.platform.dsound : CreateSDLDirectSound8();
    HRESULT hr = s.device ? s.device->Initialize() : DSERR_NODRIVER;
    // A device handed over by the platform may already be open from an earlier pass.
    if (DSFailed(hr) && hr != DSERR_ALREADYINITIALIZED) return NoDevice(engine, s, "DirectSoundCreate8", hr);
    hr = s.device->SetCooperativeLevel(engine.hostWindowHandle, DSSCL_PRIORITY);
    if (DSFailed(hr)) return NoDevice(engine, s, "SetCooperativeLevel", hr);

    std::string why;
    // The DLL code: the plug-in's own answer from init, or the system's code
    // when it could not be loaded.
    int32_t code = 0;
    errno = 0;
    if (!s.plugin.Load(plugin, why)) code = PlatformErrorCode();
    else code = s.plugin.init();
    if (!s.plugin.init || code != 0) {
        if (!why.empty()) engine.log.Write("WARNING: " + plugin.string() + ": " + why, kWarningColour);
        s.plugin.Unload();
        s.device.reset();
        RaiseError(ErrDllStart, "Init->Sound->Initialize->LoadPlugin", "Could not load decoders", code);
    }

    DSBUFFERDESC primaryDesc;
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    hr = s.device->CreateSoundBuffer(&primaryDesc, &s.primary);
    if (DSFailed(hr)) return NoDevice(engine, s, "CreateSoundBuffer (primary)", hr);

    const int32_t requested = engine.settings.frequency;
    // A rate no output runs at (a damaged settings file) asks for the
    // usual one; the warning below still names what the settings said.
    const uint32_t ask = (requested >= 8000 && requested <= 192000) ? static_cast<uint32_t>(requested) : 44100u;
    WAVEFORMATEX format = MakePcmFormat(ask, 2, 16);
    hr = s.primary->SetFormat(&format);
    if (DSFailed(hr)) return NoDevice(engine, s, "SetFormat", hr);
    WAVEFORMATEX granted;
    hr = s.primary->GetFormat(&granted);
    if (DSFailed(hr)) return NoDevice(engine, s, "GetFormat", hr);
    s.acquiredFrequency = granted.nSamplesPerSec;
    if (static_cast<int64_t>(s.acquiredFrequency) != requested)
        engine.log.Write("WARNING: requested " + std::to_string(requested) + "Hz, but acquired " +
                             std::to_string(s.acquiredFrequency) + "Hz",
                         kWarningColour);

    s.plugin.setfrequency(static_cast<int>(s.acquiredFrequency));
    s.primary->Play(0, 0, DSBPLAY_LOOPING);

    // The ring runs at the rate the plug-in renders at, so music keeps its
    // pitch and tempo when the output grants another rate than was asked.
    WAVEFORMATEX streamFormat = MakePcmFormat(s.acquiredFrequency, 2, 16);
    DSBUFFERDESC streamDesc;
    streamDesc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    streamDesc.dwBufferBytes = sndCore::kRingBytes;
    streamDesc.lpwfxFormat = &streamFormat;
    hr = s.device->CreateSoundBuffer(&streamDesc, &s.stream);
    if (DSFailed(hr)) return NoDevice(engine, s, "CreateSoundBuffer (stream)", hr);
    s.ready = true;
    s.stream->Play(0, 0, DSBPLAY_LOOPING);
    StartFillingAfterWriteCursor(s);

    s.currentMusic = LoadMusic(engine, "theme");
    s.musicPlaying = true;
    SetMusicVolume(engine);
}

void SoundUpdate(Engine& engine) {
    if (!engine.sound) return;
    sndCore& s = *engine.sound;
    if (!s.ready || !s.musicPlaying || !s.stream) return;

    uint32_t play = 0, write = 0;
    if (DSFailed(s.stream->GetCurrentPosition(&play, &write))) return;

    if (s.change == sndCore::Change::Fading) {
        const uint32_t elapsed = Now(engine) - s.fadeStart;
        if (s.fadeTime <= 0 || elapsed >= static_cast<uint32_t>(s.fadeTime))
            SwitchMusic(s, write);
        else
            s.stream->SetVolume(
                FadeAttenuation(MusicVolumeToAttenuation(engine.settings.musicVolume), elapsed, s.fadeTime));
    }

    int16_t pcm[sndCore::kChunkBytes / 2];
    // At most every quarter once, whatever the cursors say.
    for (uint32_t n = 0; n < sndCore::kChunks; ++n) {
        if (InChunk(play, s.chunkIndex) || InChunk(write, s.chunkIndex)) break;
        RenderChunk(s, pcm);
        if (!WriteChunk(s, s.chunkIndex, pcm)) break;
        s.chunkGeneration[s.chunkIndex] = s.generation;
        s.chunkIndex = (s.chunkIndex + 1) % sndCore::kChunks;
    }

    if (s.change == sndCore::Change::Switching && s.chunkGeneration[ChunkOf(play)] == s.generation) {
        s.change = sndCore::Change::None;
        SetMusicVolume(engine);
    }
}

void SoundShutdown(Engine& engine) {
    if (!engine.sound || !engine.sound->ready) return;
    ReleaseAll(*engine.sound);
}

int32_t LoadMusic(Engine& engine, const std::string& name) {
    if (!engine.sound || !engine.sound->ready) return 0;
    sndCore& s = *engine.sound;
    const std::string key = LowerCase(name);
    for (size_t i = 0; i < s.musicTable.size(); ++i)
        if (s.musicTable[i].name == key) return static_cast<int32_t>(i + 1);

    BeginLoadStep(engine, name);
    // The load step ends on every way out, so a failed load leaves the
    // nesting of later log lines intact.
    struct StepEnd {
        Engine& engine;
        ~StepEnd() { EndLoadStep(engine); }
    } stepEnd{engine};

    const fs::path folder = ResolveNoCase(ProgramFolderOf(engine), "music");
    const auto matches = FindStemMatches(folder, name);
    if (matches.empty()) RaiseError(ErrFileAccess, "System->LoadMusic->FindFile", "Couldn't find Music: " + name);
    const fs::path& file = matches.front();

    const std::string fileName = file.filename().string();
    const size_t dot = fileName.rfind('.');
    const std::string extension = UpperCase(dot == std::string::npos ? std::string() : fileName.substr(dot + 1));
    int type = 0;
    if (extension == "MOD") type = AUDIO_TYPE_MOD;
    else if (extension == "S3M") type = AUDIO_TYPE_S3M;
    else if (extension == "XM") type = AUDIO_TYPE_XM;
    else if (extension == "IT") type = AUDIO_TYPE_IT;
    else
        RaiseError(ErrFileType, "System->LoadMusic->GetFileType", "File has an unknown file extension: " + extension);

    SOUNDINFO* handle = s.plugin.loadmusic(file.string().c_str(), type);
    if (!handle)
        RaiseError(ErrFormat, "System->LoadMusic->Audio.LoadMusicFile", "The requested file could not be loaded");
    // Only a loaded music enters the table, so a failed name is never
    // cached with nothing behind it.
    s.musicTable.push_back({key, handle, type});
    return s.MusicCount();
}

void PlayMusic(Engine& engine, int32_t index, int32_t fadeTime) {
    if (!engine.sound) return;
    sndCore& s = *engine.sound;
    if (!s.ready) {
        s.currentMusic = index;
        return;
    }
    if (index < 1 || index > s.MusicCount()) return;  // nothing loaded under it
    if (!s.musicPlaying) {
        s.stream->Play(0, 0, DSBPLAY_LOOPING);
        StartFillingAfterWriteCursor(s);
        s.musicPlaying = true;
        s.currentMusic = index;
        s.change = sndCore::Change::None;
        SetMusicVolume(engine);
        return;
    }
    switch (s.change) {
    case sndCore::Change::None:
        if (index != s.currentMusic) StartFade(engine, s, index, fadeTime);
        break;
    case sndCore::Change::Fading:
        if (index == s.currentMusic) {
            // Asked back for what is still playing: stop fading it.
            s.change = sndCore::Change::None;
            s.nextMusic = 0;
            SetMusicVolume(engine);
        } else {
            s.nextMusic = index;
        }
        break;
    case sndCore::Change::Switching:
        // The old music is still draining silently; switch again at once.
        if (index != s.currentMusic) StartFade(engine, s, index, 0);
        break;
    }
}

void SetMusicVolume(Engine& engine) {
    if (!engine.sound) return;
    sndCore& s = *engine.sound;
    // During a change-over the fade owns the volume; it comes back to the
    // setting once the new music is heard.
    if (!s.ready || !s.stream || s.change != sndCore::Change::None) return;
    s.stream->SetVolume(MusicVolumeToAttenuation(engine.settings.musicVolume));
}

} // namespace rdv
