#pragma once
// The two steering sources of a ball: the key handler (a human player's
// bindings) and the cutscene controller (a scripted command text, one
// segment per decision of the ball).
#include <cstdint>
#include <string>

#include "level/Object.h"

namespace rdv {

class Engine;
class engLevel;

class objKeyhandler : public LevelObject, public IController {
public:
    explicit objKeyhandler(Engine& engine);

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Keyhandler"; }
    IController* AsController() override { return this; }

    // 1 or 2; anything else raises 380 and keeps the old player.
    void SetPlayerID(int32_t id);
    int32_t PlayerID() const { return playerIndex_; }

    float kMove() override { return move_; }
    float kRot() override { return turn_; }
    bool kJump() override { return jump_; }
    bool kBreak() override { return break_; }

protected:
    std::string HeaderName() const override { return "Keyhandler"; }
    std::string ClassName() const override { return "objKeyhandler"; }

private:
    Engine& engine_;
    int32_t playerIndex_ = 0;
    // One copy of the input module's control record, in its order.
    float move_ = 0;
    float turn_ = 0;
    bool jump_ = false;
    bool break_ = false;
    bool buttonB_ = false;
    bool buttonC_ = false;
};

class objCutsceneController : public LevelObject, public IController {
public:
    objCutsceneController() = default;

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    // The segment chosen by the last decision becomes current.
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.CutsceneController"; }
    IController* AsController() override { return this; }

    // Reading kMove is the ball's decision: it picks the next segment.
    float kMove() override;
    // A segment starts at most one turn.
    float kRot() override;
    bool kJump() override;
    bool kBreak() override;

    const std::string& Command() const { return command_; }
    // The current segment's text (dots included).
    std::string Segment() const;

protected:
    std::string HeaderName() const override { return "CutsceneController"; }
    std::string ClassName() const override { return "objCutsceneController"; }

private:
    // 1-based position of the first "." at or after `from`, or 0.
    int32_t FindDot(int32_t from) const;

    std::string command_;
    int32_t rotRead_ = 0;
    int32_t segStart_ = 1, segEnd_ = 0;
    int32_t nextStart_ = 1, nextEnd_ = 0;
};

} // namespace rdv
