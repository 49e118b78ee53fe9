#pragma once
// The settings record as held in memory (file layout: core/SettingsFile.cpp).
#include <array>
#include <cstdint>
#include <string>

namespace rdv {

// One key binding: device kind and code (see input/Bindings).
struct Binding {
    uint8_t device = 0;
    uint8_t code = 0;
};

struct Settings {
    uint8_t deviceKind = 0;        // 0 reference, 1 hardware, 2 software plug-in
    int32_t width = 0;
    int32_t height = 0;
    bool pos6 = false;             // read only; no user
    bool colour32 = false;
    bool pos8 = false;             // read only; no user
    bool fog = false;
    uint8_t multisample = 0;
    bool gammaRamps = false;
    bool lighting = false;
    bool multipass = false;
    bool pos14 = false;            // kept and written back
    bool textureTransforms = false;
    bool pixelShaders = false;
    bool specular = false;
    bool localViewer = false;
    uint8_t pos19 = 0, pos20 = 0, pos21 = 0;  // read only; no user
    bool windowed = false;
    bool pageFlipping = false;
    bool interlacing = false;
    bool soundOn = false;
    uint8_t anisotropy = 0;
    bool vertexShaders = false;
    int32_t language = 0;          // 0 = none chosen yet
    std::array<Binding, 20> bindings{};
    int32_t frequency = 0;
    float musicVolume = 0.0f;
    float secondVolume = 0.0f;
};

// Flags set by the command line.
struct CommandFlags {
    bool editor = false;
    std::string startFile;
    bool meshDrawingOff = false;
    bool mouseRelease = false;
    bool displayOverrideGiven = false;
    bool displayOverrideWindowed = false;
    int32_t languageOverride = 0;
    uint8_t soundOverride = 0;     // 1 = -s (off), 2 = -S (on)
};

} // namespace rdv
