#include "objects/Controllers.h"

#include "core/Engine.h"
#include "core/Error.h"
#include "input/Input.h"
#include "packages/Parse.h"

namespace rdv {

// ------------------------------------------------------------ key handler

objKeyhandler::objKeyhandler(Engine& engine) : engine_(engine) {}

void objKeyhandler::AssignVar(const std::string& key, const std::string& value) {
    if (key == "player") {
        SetPlayerID(ValLong(value));
        return;
    }
    RaiseInvalidProperty(ClassName(), HeaderName(), key);
}

void objKeyhandler::WriteHeader(LevelWriter& out) {
    out.WriteLine("-Keyhandler");
    out.WriteLine("player=" + std::to_string(playerIndex_ + 1));
}

void objKeyhandler::SetPlayerID(int32_t id) {
    if (id != 1 && id != 2) RaiseError(380, "objKeyhandler->playerID(Set)", "given player ID out of range");
    playerIndex_ = id - 1;
}

void objKeyhandler::Tick(int32_t& elapsed) {
    (void)elapsed;
    const ControlRecord c = GetControls(engine_, playerIndex_);
    move_ = c.X;
    turn_ = c.Y;
    jump_ = c.ButtonA;
    break_ = c.Unused;
    buttonB_ = c.ButtonB;
    buttonC_ = c.ButtonC;
}

// ------------------------------------------------------------ cutscene controller

int32_t objCutsceneController::FindDot(int32_t from) const {
    if (from < 1) from = 1;
    const auto at = command_.find('.', static_cast<size_t>(from - 1));
    return at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1;
}

void objCutsceneController::WriteHeader(LevelWriter& out) {
    out.WriteLine("-CutsceneController");
    // A controller that was never given a script has none to write.
    if (!command_.empty()) out.WriteLine("command=" + command_);
}

void objCutsceneController::AssignVar(const std::string& key, const std::string& value) {
    if (key != "command") RaiseInvalidProperty(ClassName(), HeaderName(), key);
    command_ = value;
    const int32_t length = static_cast<int32_t>(command_.size());
    segStart_ = 1;
    nextStart_ = 1;
    nextEnd_ = FindDot(2);
    segEnd_ = nextEnd_ != 0 ? nextEnd_ : length;
    // A script with no dot after its first character is one segment that
    // repeats; leaving the next end at 0 would make every later segment empty.
    if (nextEnd_ == 0) nextEnd_ = length;
    rotRead_ = 0;
}

void objCutsceneController::Tick(int32_t& elapsed) {
    (void)elapsed;
    segStart_ = nextStart_;
    segEnd_ = nextEnd_;
}

std::string objCutsceneController::Segment() const {
    const int32_t length = static_cast<int32_t>(command_.size());
    const int32_t from = std::max(segStart_, 1);
    const int32_t to = std::min(segEnd_, length);
    if (to < from) return {};
    return command_.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
}

float objCutsceneController::kMove() {
    const std::string seg = Segment();
    float v = 0;
    if (seg.find('f') != std::string::npos) v += 1;
    if (seg.find('b') != std::string::npos) v -= 1;
    const int32_t length = static_cast<int32_t>(command_.size());
    nextStart_ = segEnd_;
    if (nextStart_ >= length) nextStart_ = 1;   // the script starts over
    const int32_t dot = FindDot(nextStart_ + 1);
    nextEnd_ = dot != 0 ? dot : length;
    rotRead_ = 0;
    return v;
}

float objCutsceneController::kRot() {
    if (rotRead_ == 1) return 0;
    const std::string seg = Segment();
    float v = 0;
    if (seg.find('<') != std::string::npos) v -= 1;
    if (seg.find('>') != std::string::npos) v += 1;
    rotRead_ = 1;
    return v;
}

bool objCutsceneController::kJump() { return Segment().find('+') != std::string::npos; }

bool objCutsceneController::kBreak() { return Segment().find('-') != std::string::npos; }

} // namespace rdv
