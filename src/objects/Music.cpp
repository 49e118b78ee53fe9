#include "objects/Music.h"

#include "core/Engine.h"
#include "sound/Sound.h"

namespace rdv {

void objMusic::AssignVar(const std::string& key, const std::string& value) {
    if (key != "song") RaiseInvalidProperty(ClassName(), HeaderName(), key);
    // One song a music object, whether or not sound is on to play it.
    if (songGiven_) RaisePropertyError(ClassName(), "Couldn't load music: already loaded a song");
    songGiven_ = true;
    song = value;
    handle = LoadMusic(engine_, value);
    // Nothing loaded (sound off): keep whatever plays.
    if (handle != 0) PlayMusic(engine_, handle, 2000);
}

void objMusic::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Music");
    if (!song.empty()) out.WriteLine("song=" + song);
}

} // namespace rdv
