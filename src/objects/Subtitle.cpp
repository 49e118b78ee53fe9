#include "objects/Subtitle.h"

#include "core/Engine.h"
#include "level/Level.h"
#include "objects/Flagpost.h"
#include "packages/Parse.h"

namespace rdv {

objSubtitleText::~objSubtitleText() {
    if (!engine_.CurrentSubtitle.empty() && engine_.CurrentSubtitle == text) engine_.CurrentSubtitle.clear();
}

void objSubtitleText::AssignVar(const std::string& key, const std::string& value) {
    auto flag = [&](const char* name) {
        bool ok = false;
        const bool v = ParseLevelBool(value, ok);
        if (!ok)
            RaisePropertyError(ClassName(), std::string("Invalid property value for 'Subtitle.") + name +
                                                "', must be 'true' or 'false': " + value);
        return v;
    };
    if (key == "x") cell.x = static_cast<float>(Val(value)) * kWorldScale;
    else if (key == "y") cell.y = static_cast<float>(Val(value)) * kWorldScale;
    else if (key == "z") cell.z = static_cast<float>(Val(value)) * kWorldScale;
    else if (key == "text") text = value;
    else if (key == "time") duration = timeLeft = ValLong(value);
    else if (key == "active") startActive = active = flag("active");
    else if (key == "onceonly") onceonly = flag("onceonly");
    else if (key == "player") {
        player = ValIndex(value);
        ballIndex = -1;
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
}

void objSubtitleText::Tick(int32_t& elapsed) {
    std::string& line = engine_.CurrentSubtitle;
    if (active) {
        if (line.empty()) line = text;
        if (line == text && timeLeft > 0) {
            timeLeft -= elapsed;
            if (timeLeft < 1) {
                used = onceonly;
                active = false;
                timeLeft = duration;
                line.clear();
            }
        }
    }
    if (ballIndex == -1) {
        const int32_t found = FindPlayerBall(level_, player);
        if (found > 0) ballIndex = found;
    }
    if (ballIndex >= 1) {
        LevelObject* ball = level_.MapObject(ballIndex);
        if (!ball || !ball->AsBall()) {
            ballIndex = -1;
            return;
        }
        ball->WriteTile();
        if (VectorEquals(engine_.ParsedVector, cell)) Trigger();
    }
}

void objSubtitleText::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Subtitle");
    out.WriteLine("text=" + text);
    out.WriteLine("x=" + GridValueText(cell.x));
    out.WriteLine("y=" + GridValueText(cell.y));
    out.WriteLine("z=" + GridValueText(cell.z));
    out.WriteLine("time=" + std::to_string(duration));
    out.WriteLine(std::string("active=") + (startActive ? "true" : "false"));
    out.WriteLine(std::string("onceonly=") + (onceonly ? "true" : "false"));
    // Only a subtitle given a player is shown by a ball reaching its cell.
    if (ballIndex != -2) out.WriteLine("player=" + std::to_string(player + 1));
}

void objSubtitleText::WriteTile() { engine_.ParsedVector = cell; }

void objSubtitleText::Trigger() {
    if (used) return;
    active = true;
    timeLeft = duration;
}

} // namespace rdv
