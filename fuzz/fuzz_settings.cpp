// settings.dat of any length decoded, and encoded again over itself.
#include <cstdint>
#include <vector>

#include "core/SettingsFile.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Settings s = DecodeSettings(bytes);
    std::vector<uint8_t> out = EncodeSettings(s, s.width, s.height, bytes);
    if (out.size() < kSettingsFileSize) __builtin_trap();
    EncodeWholeRecord(DecodeSettings(out));
    return 0;
}
