#include "tiles/GravityPad.h"

#include <cctype>

#include "core/Engine.h"
#include "level/Level.h"
#include "packages/Parse.h"

namespace rdv {

namespace {

constexpr float kPiF = 3.14159f;
constexpr float kHalfPiF = 3.14159f / 2;

// "rotation" 1..8 to the index 0..7, or the class's error.
int32_t ParseRotation(const std::string& className, const std::string& header, const std::string& key,
                      const std::string& value) {
    const int32_t r = ValLong(value);
    if (r < 1 || r > 8) RaiseInvalidValue(className, header, "rotation", "a number between 1 and 8", value);
    (void)key;
    return r - 1;
}

} // namespace

float PadRoll(int32_t rotation) {
    static const float kRoll[8] = {0, 0, -kHalfPiF, -kHalfPiF, kPiF, kPiF, kHalfPiF, kHalfPiF};
    return kRoll[rotation & 7];
}

scrGravPad::scrGravPad(Engine& engine, engLevel& level) : scrScriptedTile(engine, level) {
    modelIndex = LoadModel("discpad");
    initialised_ = true;
}

void scrGravPad::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, false)) return;
    if (key == "rotation" || key == "rot") {
        rotation = ParseRotation(ClassName(), HeaderName(), key, value);
    } else if (key == "pullimpact") {
        pullImpact = BoolValue(key, value);
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrGravPad::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    DrawOnFace(modelIndex, Group(), {float(x), float(y), float(z)}, orientation, {0, 0, 0}, PadRoll(rotation));
}

scrDirectionalPad::scrDirectionalPad(Engine& engine, engLevel& level) : scrScriptedTile(engine, level) {
    modelIndex = LoadModel("anglepad");
    initialised_ = true;
    LoadForcedDir();
}

void scrDirectionalPad::LoadForcedDir() {
    static const D3DXVECTOR3 kForced[8] = {{-1, 0, 0}, {-1, 1, 0}, {0, 1, 0},  {1, 1, 0},
                                           {1, 0, 0},  {1, -1, 0}, {0, -1, 0}, {-1, -1, 0}};
    dirZ = kForced[rotation & 7];
}

void scrDirectionalPad::AssignVar(const std::string& key, const std::string& value) {
    if (HandlePaintKey(key, value, false)) return;
    if (key == "rotation" || key == "rot") {
        rotation = ParseRotation(ClassName(), HeaderName(), key, value);
        LoadForcedDir();
    } else if (key == "style" || key == "type") {
        // Names give all five styles, numbers only the first three; anything
        // else keeps the style the pad has.
        static const char* const kNames[5] = {"Wall", "Metal", "Grass", "Ice", "Snow"};
        bool named = false;
        for (int i = 0; i < 5; ++i)
            if (value == kNames[i]) {
                style = i + 1;
                named = true;
            }
        const std::string t = Trim(value);
        const bool numeric = !t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '.' ||
                                            t[0] == '-' || t[0] == '+');
        if (!named && numeric) {
            const int32_t n = ValLong(value);
            if (n >= 1 && n <= 3) style = n;
        }
    } else {
        RaiseInvalidProperty(ClassName(), HeaderName(), key);
    }
    lastKeyWasPaint_ = false;
}

void scrDirectionalPad::GetDirectionVector(float& x, float& y, float& z) {
    if (z != 0) engine_.ParsedVector = z == 1 ? dirZ : -dirZ;
    else if (x != 0) engine_.ParsedVector = x == 1 ? dirX : -dirX;
    else engine_.ParsedVector = y == 1 ? dirY : -dirY;
}

void scrDirectionalPad::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    DrawOnFace(modelIndex, Group(), {float(x), float(y), float(z)}, orientation, {0, 0, 0}, PadRoll(rotation));
}

void scrGravPad::WriteHeader(LevelWriter& out) {
    out.WriteLine("-MarkedMetalSpecial");
    out.WriteLine("rotation=" + std::to_string(rotation + 1));
    out.WriteLine(std::string("pullimpact=") + (pullImpact ? "true" : "false"));
}

void scrDirectionalPad::WriteHeader(LevelWriter& out) {
    out.WriteLine("-AngledPad");
    out.WriteLine("rotation=" + std::to_string(rotation + 1));
    // By name: numbers reach only the first three styles.
    static const char* const kNames[5] = {"Wall", "Metal", "Grass", "Ice", "Snow"};
    if (style >= 1 && style <= 5) out.WriteLine(std::string("style=") + kNames[style - 1]);
}

} // namespace rdv
