#include "core/Number.h"

#include <charconv>
#include <cmath>
#include <limits>

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

} // namespace rdv
