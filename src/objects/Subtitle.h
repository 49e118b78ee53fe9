#pragma once
// A subtitle: one line of text on screen (engine.CurrentSubtitle) for a
// while, at level start or when its player's ball reaches its cell. Only one
// line shows at a time; the others wait until it has gone.
#include <cstdint>
#include <string>

#include "level/Object.h"
#include "platform/d3dx/D3DX8Math.h"

namespace rdv {

class Engine;
class engLevel;

class objSubtitleText : public LevelObject {
public:
    objSubtitleText(Engine& engine, engLevel& level) : engine_(engine), level_(level) {}
    ~objSubtitleText() override;

    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Tick(int32_t& elapsed) override;
    std::string GetFullClassName() const override { return "System.Graphics.Subtitle"; }
    void WriteTile() override;
    // Shows the subtitle again for its full time, unless it was once-only
    // and has been shown.
    void Trigger();

    std::string text;
    bool active = true;
    bool startActive = true;  // as the level gave it; showing clears `active`
    bool onceonly = false;
    bool used = false;
    int32_t timeLeft = -1;   // -1: until someone else clears the line
    int32_t duration = -1;
    int32_t player = 0;
    int32_t ballIndex = -2;  // -2: no ball triggers it; -1: not found yet
    D3DXVECTOR3 cell{0, 0, 0};

protected:
    std::string HeaderName() const override { return "Subtitle"; }
    std::string ClassName() const override { return "objSubtitleText"; }

private:
    Engine& engine_;
    engLevel& level_;
};

} // namespace rdv
