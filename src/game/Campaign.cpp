#include "game/Campaign.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "core/UserFolder.h"
#include "packages/Package.h"
#include "packages/Parse.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace {

constexpr const char* kSource = "Engine->Game->LoadCampaign";
constexpr int32_t kMaxLevels = 65535;

std::vector<char> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int32_t ReadInt(const char* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return static_cast<int32_t>(v);
}

void WriteInt(char* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

std::string engCampaign::KeyOf(const std::string& name) {
    if (name.size() >= kKeyLength) return name.substr(0, kKeyLength);
    return std::string(kKeyLength - name.size(), ' ') + name;
}

void engCampaign::LoadCampaign(const std::string& name) {
    levels.assign(1, "");
    count = 0;
    MaxLevel = 0;
    if (name.size() > kKeyLength) RaiseError(ErrFormat, kSource, "Campaign name too long: " + name);
    key = KeyOf(name);

    std::string type = "dat";
    const int32_t handle = OpenPackage(engine_, name, "data", type);
    if (handle == 0) RaiseError(ErrFileAccess, kSource, "Couldn't open package: " + name);
    try {
        if (type != "dat") RaiseError(ErrFileType, kSource, "Invalid type: " + name);
        engPackage& packages = Packages(engine_);
        while (!packages.PackageEOF(handle)) {
            const std::string line = packages.ReadPackageLine(handle);
            if (line.empty() || line == "*") break;
            const size_t eq = line.find('=');
            if (eq == std::string::npos) RaiseError(ErrFormat, kSource, "Invalid line in " + name);
            const std::string k = line.substr(0, eq), value = line.substr(eq + 1);
            if (Val(k) <= 0) {
                if (k == "N") {
                    // A count no campaign could fill is a damaged file, not
                    // a reason to allocate billions of names.
                    if (ValLong(value) > kMaxLevels) RaiseError(ErrFormat, kSource, "Invalid line in " + name);
                    count = MaxLevel = std::max(ValLong(value), 0);
                    levels.assign(size_t(count) + 1, "");
                } else if (k == "MaxLevel") {
                    MaxLevel = ValLong(value);
                } else {
                    RaiseError(ErrFormat, kSource, "Invalid line in " + name);
                }
            } else {
                const int32_t index = ValLong(k);
                if (index < 1 || index > count) RaiseError(ErrSubscript, kSource, "Subscript out of range");
                levels[index] = value;
            }
        }
    } catch (...) {
        ClosePackage(engine_, handle);
        throw;
    }
    ClosePackage(engine_, handle);
}

void engCampaign::Bootcampaign(int32_t start) {
    current = start == 0 ? LoadProgress() : start;
    // Continue on a campaign never saved would boot the empty entry 0 and
    // end the game on a load error: start it from its first level instead.
    if (current < 1) current = 1;
    mode = Booted;
    if (endLevel) endLevel(3);
}

void engCampaign::LoadNext(int32_t status) {
    auto levelName = [&]() -> std::string {
        return current >= 0 && current < int32_t(levels.size()) ? levels[current] : std::string();
    };
    switch (mode) {
    case Playing:
        if (status == 1) {
            if (current < count) ++current;
            if (current <= MaxLevel) SaveProgress(current);
        }
        Load(levelName());
        break;
    case MenuBackground:
    // In the editor a level that ended would otherwise keep its ball on the
    // flag post and fade to black every few seconds; put the balls back
    // instead, as behind the menu, and keep the level being edited.
    case Editor:
        if (resetBalls) resetBalls();
        break;
    case Booted:
        mode = Playing;
        Load(levelName());
        break;
    default:
        break;
    }
}

std::string engCampaign::ProgressPath() const {
    return ReadablePath(engine_, "data/progress.dat").string();
}

int32_t engCampaign::LoadProgress() {
    const std::filesystem::path path = ProgressPath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // A first look at the progress leaves the empty file behind.
        std::filesystem::create_directories(path.parent_path(), ec);
        std::ofstream create(path, std::ios::binary);
        if (!create) engine_.log("WARNING: could not create progress.dat", 4);
        return 0;
    }
    const std::vector<char> bytes = ReadAll(path);
    // Only whole records count: a cut-off record at the end is no progress.
    for (size_t p = 0; p + kRecordLength <= bytes.size(); p += kRecordLength) {
        if (std::memcmp(bytes.data() + p, key.data(), kKeyLength) == 0) return ReadInt(bytes.data() + p + kKeyLength);
    }
    return 0;
}

void engCampaign::SaveProgress(int32_t level) {
    // Read where it stands (perhaps the read-only program folder), written
    // where the player's files go.
    const std::filesystem::path path = WritablePath(engine_, "data/progress.dat");
    std::vector<char> bytes = ReadAll(ProgressPath());
    bytes.resize(bytes.size() - bytes.size() % kRecordLength);
    bool found = false;
    for (size_t p = 0; p < bytes.size(); p += kRecordLength) {
        if (std::memcmp(bytes.data() + p, key.data(), kKeyLength) == 0) {
            WriteInt(bytes.data() + p + kKeyLength, level);
            found = true;
            break;
        }
    }
    if (!found) {
        const size_t p = bytes.size();
        bytes.resize(p + kRecordLength);
        std::memcpy(bytes.data() + p, key.data(), kKeyLength);
        WriteInt(bytes.data() + p + kKeyLength, level);
    }
    // A new file replaces the old only when complete and on the disk, so a
    // crash while saving never loses the other campaigns' records.
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    try {
        WriteFileAtomically(path, std::vector<uint8_t>(bytes.begin(), bytes.end()), "Engine->Game->SaveProgress");
    } catch (const EngineError&) {
        engine_.log("WARNING: could not write progress.dat", 4);
    }
}

} // namespace rdv
