// LoadSettings and SaveSettings: the settings file, the command-line
// overrides and the choice of host window.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/HostForms.h"
#include "core/SettingsFile.h"
#include "core/Subsystems.h"
#include "core/UserFolder.h"

namespace rdv {

namespace {

constexpr const char* kLoadSource = "Init->LoadSettings";

// The whole file; a missing file is created empty (with its folder).
std::vector<uint8_t> ReadOrCreate(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        std::filesystem::create_directories(path.parent_path(), ec);
        std::ofstream create(path, std::ios::binary);
        if (!create) {
            const int32_t code = PlatformErrorCode();
            RaiseError(ErrFileAccess, kLoadSource, "Could not create " + path.string() + ": " + std::strerror(code),
                       code);
        }
        return {};
    }
    if (!std::filesystem::is_regular_file(path, ec)) RaiseError(ErrFileAccess, kLoadSource, path.string() + " is not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int32_t code = PlatformErrorCode();
        RaiseError(ErrFileAccess, kLoadSource, "Could not open " + path.string() + ": " + std::strerror(code), code);
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) RaiseError(ErrFileAccess, kLoadSource, "Could not read " + path.string(), PlatformErrorCode());
    return bytes;
}

std::vector<uint8_t> ReadIfPresent(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

void LoadSettings(Engine& engine) {
    engine.log.Write("Loading Settings...", 2);
    // Every error of the load, the host window's included, leaves with this
    // step's source and its own number, description and platform code.
    try {
        std::vector<uint8_t> bytes = ReadOrCreate(ReadablePath(engine, "data/settings.dat"));
        Settings loaded = DecodeSettings(bytes);
        loaded.interlacing = true;
        engine.settings = loaded;

        const CommandFlags& flags = engine.flags;
        Settings& s = engine.settings;
        if (flags.displayOverrideGiven) s.windowed = flags.displayOverrideWindowed;
        if (s.windowed) {
            ShowHostWindow(engine, HostForm::Windowed);
            engine.mouseCapture = !flags.mouseRelease;
        } else {
            ShowHostWindow(engine, HostForm::Full);
            engine.mouseCapture = true;
        }
        if (flags.languageOverride != 0) s.language = flags.languageOverride == -1 ? 0 : flags.languageOverride;
        if (flags.soundOverride == 1) s.soundOn = false;
        if (flags.soundOverride == 2) s.soundOn = true;
    } catch (const EngineError& e) {
        RethrowWithSource(e, kLoadSource);
    } catch (const std::exception& e) {
        RaiseError(ErrFileAccess, kLoadSource, e.what());
    }
}

void SaveSettings(Engine& engine) {
    // The player's own copy; until the first save that is the shipped one's bytes.
    const std::filesystem::path path = WritablePath(engine, "data/settings.dat");
    int32_t width = engine.settings.width;
    int32_t height = engine.settings.height;
    if (engine.selectedDisplayMode) {
        int w = 0, h = 0;
        if (engine.selectedDisplayMode(w, h)) {
            width = w;
            height = h;
        }
    }
    // Built from the file's own bytes, so the positions not saved keep theirs.
    const std::vector<uint8_t> old = ReadIfPresent(ReadablePath(engine, "data/settings.dat"));
    std::vector<uint8_t> bytes = EncodeSettings(engine.settings, width, height, old);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    WriteFileAtomically(path, bytes, "SaveSettings");
}

} // namespace rdv
