// settingsgen OUT: writes the settings the game ships with to OUT, unless a
// whole settings record is already there (a player's own settings survive
// rebuilds; an empty or cut-off file, left by a game started before the
// first build finished, is replaced).
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/Error.h"
#include "core/SettingsFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settingsgen OUT\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::error_code ec;
    rdv::Settings s = rdv::ShippedSettings();
    const std::vector<uint8_t> record = rdv::EncodeWholeRecord(s);
    const auto present = std::filesystem::file_size(out, ec);
    if (!ec && present >= record.size()) return 0;
    std::filesystem::create_directories(out.parent_path(), ec);
    try {
        rdv::WriteFileAtomically(out, record, "settingsgen");
    } catch (const rdv::EngineError& e) {
        std::fprintf(stderr, "settingsgen: %s\n", e.description.c_str());
        return 1;
    }
    return 0;
}
