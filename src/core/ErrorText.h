#pragma once
// Readable texts for error numbers: the program's own, the platform's and
// the COM / DirectX 8 result codes.
#include <cstdint>
#include <string>

namespace rdv {

// "Unknown error" for any number it does not know; 1006, 1007 and 1010
// have the empty text.
std::string ErrorText(int32_t code);

} // namespace rdv
