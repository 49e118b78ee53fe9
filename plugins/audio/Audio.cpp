// The music plug-in: tracker modules decoded by libopenmpt into 16-bit
// stereo PCM. The interface is plain C so the engine can resolve it by name.
//
// The interface has no context argument, so the output rate and the ready
// flag are this library's own state; each loaded module keeps its own
// position.
#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "sound/AudioPluginApi.h"

struct SOUNDINFO {
    openmpt_module* module = nullptr;
};

namespace {

struct PluginState {
    bool ready = false;
    int32_t rate = 44100;
};

PluginState& State() {
    static PluginState state;
    return state;
}

bool ReadWholeFile(const char* path, std::vector<char>& data) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return ok;
}

} // namespace

#define AUDIO_EXPORT extern "C" __attribute__((visibility("default")))

AUDIO_EXPORT int init(void) {
    State().ready = true;
    return 0;
}

// Exported as "close"; the C++ name keeps clear of the POSIX close(int).
AUDIO_EXPORT void AudioClose(void) __asm__("close");
void AudioClose(void) { State().ready = false; }

AUDIO_EXPORT SOUNDINFO* loadmusic(const char* path, int type) {
    if (!State().ready || !path) return nullptr;
    if (type < AUDIO_TYPE_MOD || type > AUDIO_TYPE_IT) return nullptr;
    std::vector<char> data;
    if (!ReadWholeFile(path, data)) return nullptr;

    int error = 0;
    const char* errorMessage = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(
        data.data(), data.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, &error,
        &errorMessage, nullptr);
    if (errorMessage) openmpt_free_string(errorMessage);
    if (!module) return nullptr;
    // Music plays behind the game until something else is asked for.
    openmpt_module_set_repeat_count(module, -1);
    // No dither: the same module renders the same samples on every run.
    openmpt_module_ctl_set_integer(module, "dither", 0);

    auto* info = new (std::nothrow) SOUNDINFO;
    if (!info) {
        openmpt_module_destroy(module);
        return nullptr;
    }
    info->module = module;
    return info;
}

AUDIO_EXPORT void freemusic(SOUNDINFO* music) {
    if (!music) return;
    if (music->module) openmpt_module_destroy(music->module);
    delete music;
}

AUDIO_EXPORT void renderaudio(SOUNDINFO* music, void* buffer, int frames) {
    if (!buffer || frames <= 0) return;
    auto* out = static_cast<int16_t*>(buffer);
    size_t left = static_cast<size_t>(frames);
    while (music && music->module && left > 0) {
        size_t got = openmpt_module_read_interleaved_stereo(music->module, State().rate, left, out);
        if (got == 0) break;  // a module with nothing left to play
        out += got * 2;
        left -= got;
    }
    if (left > 0) std::memset(out, 0, left * 2 * sizeof(int16_t));
}

AUDIO_EXPORT void setfrequency(int rate) {
    // libopenmpt renders 8 kHz to 192 kHz; other requests keep the last rate.
    if (rate >= 8000 && rate <= 192000) State().rate = rate;
}
