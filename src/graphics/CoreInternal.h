#pragma once
// What the graphics core's source files share.
#include <cstdint>
#include <string>

namespace rdv {

inline constexpr const char* kTitle = "Rondovar II";

std::string Size(int32_t w, int32_t h, const char* between);

} // namespace rdv
