// settingsgen OUT: writes the settings the game ships with to OUT, unless a
// file is already there (a player's own settings survive rebuilds).
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/Error.h"
#include "core/SettingsFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: settingsgen OUT\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::error_code ec;
    if (std::filesystem::exists(out, ec)) return 0;
    std::filesystem::create_directories(out.parent_path(), ec);
    rdv::Settings s = rdv::ShippedSettings();
    try {
        rdv::WriteFileAtomically(out, rdv::EncodeWholeRecord(s), "settingsgen");
    } catch (const rdv::EngineError& e) {
        std::fprintf(stderr, "settingsgen: %s\n", e.description.c_str());
        return 1;
    }
    return 0;
}
