#pragma once
// The C interface of the music plug-in audio.so. The engine resolves these
// names with dlsym; plugins/audio implements them. SOUNDINFO is the
// plug-in's own record and is only ever handled through pointers.
extern "C" {

typedef struct SOUNDINFO SOUNDINFO;

// Module types loadmusic understands.
enum { AUDIO_TYPE_MOD = 3, AUDIO_TYPE_S3M = 4, AUDIO_TYPE_XM = 5, AUDIO_TYPE_IT = 6 };

// 0 = decoders ready, anything else = failure.
typedef int (*AudioInitFn)(void);
// Releases the decoders.
typedef void (*AudioCloseFn)(void);
// Loads a module file (path in the ANSI code page); null on failure.
typedef SOUNDINFO* (*AudioLoadMusicFn)(const char* path, int type);
typedef void (*AudioFreeMusicFn)(SOUNDINFO* music);
// Writes frames x 4 bytes of 16-bit stereo PCM at the set frequency,
// continuing where the previous call stopped; modules loop forever.
typedef void (*AudioRenderFn)(SOUNDINFO* music, void* buffer, int frames);
// The output rate renderaudio uses from now on.
typedef void (*AudioSetFrequencyFn)(int rate);

}
