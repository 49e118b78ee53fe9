#include "packages/Parse.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/Engine.h"
#include "platform/FileSearch.h"

namespace rdv {

int32_t ValIndex(const std::string& text) {
    const int32_t n = ValLong(text);
    return n == std::numeric_limits<int32_t>::min() ? n : n - 1;
}

std::string Trim(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    return text.substr(b, e - b);
}

namespace {
bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
} // namespace

float ParseAngle(const std::string& text) {
    const std::string t = LowerCase(Trim(text));
    if (t == "pi") return static_cast<float>(kPi);
    if (t == "-pi") return static_cast<float>(-kPi);
    if (EndsWith(t, "pi")) return static_cast<float>(Val(t.substr(0, t.size() - 2)) * kPi);
    if (EndsWith(t, "deg")) return static_cast<float>(Val(t.substr(0, t.size() - 3)) * kPi / 180.0);
    return static_cast<float>(Val(t));
}

bool ParseVector(Engine& engine, const std::string& text) {
    std::string t = Trim(text);
    const std::string lower = LowerCase(t);
    D3DXVECTOR3& v = engine.ParsedVector;
    if (lower == "x") return v = {1, 0, 0}, true;
    if (lower == "-x") return v = {-1, 0, 0}, true;
    if (lower == "y") return v = {0, 1, 0}, true;
    if (lower == "-y") return v = {0, -1, 0}, true;
    if (lower == "z") return v = {0, 0, 1}, true;
    if (lower == "-z") return v = {0, 0, -1}, true;

    if (t.size() >= 2 && t.front() == '(' && t.back() == ')') t = t.substr(1, t.size() - 2);
    auto separator = [](const std::string& s) {
        size_t p = s.find(',');
        return p != std::string::npos ? p : s.find(' ');
    };
    size_t p = separator(t);
    if (p == std::string::npos) return false;
    v.x = static_cast<float>(Val(t.substr(0, p)));
    t = t.substr(p + 1);
    p = separator(t);
    if (p == std::string::npos) return false;
    v.y = static_cast<float>(Val(t.substr(0, p)));
    t = t.substr(p + 1);
    v.z = static_cast<float>(Val(t));
    return true;
}

bool ParseVectorValue(Engine& engine, const std::string& text, bool normalise) {
    const bool ok = ParseVector(engine, text);
    D3DXVECTOR3& v = engine.ParsedVector;
    v *= kWorldScale;
    if (ok && normalise) {
        const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        // A zero vector has no direction; it stays zero rather than NaN.
        if (len > 0.0f) v *= 1.0f / len;
    }
    return ok;
}

std::string AxisName(const D3DXVECTOR3& v) {
    if (v == D3DXVECTOR3(0, 0, 1)) return "z";
    if (v == D3DXVECTOR3(0, 0, -1)) return "-z";
    if (v == D3DXVECTOR3(0, 1, 0)) return "y";
    if (v == D3DXVECTOR3(0, -1, 0)) return "-y";
    if (v == D3DXVECTOR3(1, 0, 0)) return "x";
    if (v == D3DXVECTOR3(-1, 0, 0)) return "-x";
    return {};
}

std::string GetOption(const std::string& text, const std::string& key, const std::string& defaultValue) {
    const size_t p = text.find(key + "=");
    if (p == std::string::npos) return defaultValue;
    const size_t start = p + key.size() + 1;
    const size_t end = text.find(' ', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool HasFlags(uint32_t value, uint32_t mask) { return (value & mask) == mask; }

D3DXVECTOR3 MakeVector(float x, float y, float z) { return {x, y, z}; }

FloatColor MakeColor(float r, float g, float b, float a) { return {r, g, b, a}; }

bool VectorEquals(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

D3DXVECTOR3 VectorAbs(const D3DXVECTOR3& v) { return {std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}; }

D3DXVECTOR3 MaskVectorNonZero(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return {b.x != 0 ? a.x : 0.0f, b.y != 0 ? a.y : 0.0f, b.z != 0 ? a.z : 0.0f};
}

D3DXVECTOR3 MaskVectorZero(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return {b.x == 0 ? a.x : 0.0f, b.y == 0 ? a.y : 0.0f, b.z == 0 ? a.z : 0.0f};
}

} // namespace rdv
