#include "packages/Parse.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/Engine.h"
#include "platform/FileSearch.h"

namespace rdv {

double Val(const std::string& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    size_t end = i;
    // An exponent counts only when digits follow it.
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && text[j] >= '0' && text[j] <= '9') {
            while (j < n && text[j] >= '0' && text[j] <= '9') ++j;
            end = j;
        }
    }
    // from_chars takes no '+' and never looks at the locale.
    size_t from = start;
    bool negative = false;
    if (text[from] == '+' || text[from] == '-') negative = text[from++] == '-';
    double value = 0.0;
    auto res = std::from_chars(text.data() + from, text.data() + end, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Huge exponents saturate; tiny ones underflow to zero.
        const char* e = text.data() + from;
        while (e < text.data() + end && *e != 'e' && *e != 'E') ++e;
        bool negExp = (e + 1 < text.data() + end) && e[1] == '-';
        value = negExp ? 0.0 : std::numeric_limits<double>::max();
    } else if (res.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

int32_t RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    // The default rounding mode rounds halves to even.
    return static_cast<int32_t>(std::nearbyint(value));
}

int32_t ValLong(const std::string& text) { return RoundHalfEven(Val(text)); }

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
