// A plug-in whose decoders never start: init reports failure. Used by the
// tests of the sound start-up; it is not part of the game folder.
#include <cstring>

#include "sound/AudioPluginApi.h"

#define AUDIO_EXPORT extern "C" __attribute__((visibility("default")))

AUDIO_EXPORT int init(void) { return 1; }
AUDIO_EXPORT void AudioClose(void) __asm__("close");
void AudioClose(void) {}
AUDIO_EXPORT SOUNDINFO* loadmusic(const char*, int) { return nullptr; }
AUDIO_EXPORT void freemusic(SOUNDINFO*) {}
AUDIO_EXPORT void renderaudio(SOUNDINFO*, void* buffer, int frames) {
    if (buffer && frames > 0) std::memset(buffer, 0, static_cast<size_t>(frames) * 4);
}
AUDIO_EXPORT void setfrequency(int) {}
