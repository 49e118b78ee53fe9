#pragma once
// The engine's one number parser for text: level properties, catalogues,
// model options and the command line all read numbers through it.
#include <cstdint>
#include <string>

namespace rdv {

// Lenient decimal prefix: leading blanks, sign, digits, one ".", exponent;
// the rest is ignored; text that does not start with a number gives 0.
double Val(const std::string& text);
// Val rounded half to even and clamped to the 32-bit range (integer fields).
int32_t ValLong(const std::string& text);
// Round half to even, clamped to the 32-bit range.
int32_t RoundHalfEven(double value);

} // namespace rdv
