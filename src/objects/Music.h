#pragma once
// Starts the level's music (fading out what played before). With sound off
// it does nothing.
#include <cstdint>
#include <string>

#include "level/Object.h"

namespace rdv {

class Engine;

class objMusic : public LevelObject {
public:
    explicit objMusic(Engine& engine) : engine_(engine) {}
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    std::string GetFullClassName() const override { return "System.Audio.Music"; }

    int32_t handle = 0;   // 0: none
    std::string song;     // as the level gave it (kept with sound off too)

protected:
    std::string HeaderName() const override { return "Music"; }
    std::string ClassName() const override { return "objMusic"; }

private:
    Engine& engine_;
    bool songGiven_ = false;
};

} // namespace rdv
