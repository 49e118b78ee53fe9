#include "core/UserFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "core/Engine.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace fs = std::filesystem;

namespace {

bool InGroup(gid_t gid) {
    if (::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == gid) return true;
    return false;
}

} // namespace

bool FolderWritable(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY)) return false;
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;
    // access() answers yes to root whatever the mode says; the class bits
    // decide for everyone alike.
    mode_t bit = S_IWOTH;
    if (::geteuid() == st.st_uid) bit = S_IWUSR;
    else if (InGroup(st.st_gid)) bit = S_IWGRP;
    return (st.st_mode & bit) != 0;
}

fs::path PlayerDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory
    // rules say.
    if (xdg && xdg[0] == '/') return fs::path(xdg) / "rondovar";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] != '\0') home = h;
    if (home.empty())
        if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) home = pw->pw_dir;
    if (home.empty()) return {};
    return fs::path(home) / ".local" / "share" / "rondovar";
}

fs::path ChooseUserFolder(const fs::path& programFolder) {
    if (programFolder.empty()) return {};
    bool writable = FolderWritable(programFolder) && !ExistsNoCase(programFolder, kInstalledMarker);
    for (const char* sub : {"data", "maps"}) {
        if (!writable) break;
        std::error_code ec;
        const fs::path p = ResolveNoCase(programFolder, sub);
        if (fs::exists(p, ec)) writable = FolderWritable(p);
    }
    return writable ? fs::path() : PlayerDataFolder();
}

const fs::path& WriteFolder(const Engine& engine) {
    return engine.userFolder.empty() ? engine.programFolder : engine.userFolder;
}

fs::path WritablePath(const Engine& engine, const std::string& relative) {
    return ResolveNoCase(WriteFolder(engine), relative);
}

fs::path ReadablePath(const Engine& engine, const std::string& relative) {
    std::error_code ec;
    if (!engine.userFolder.empty()) {
        fs::path own = ResolveNoCase(engine.userFolder, relative);
        if (fs::exists(own, ec)) return own;
    }
    fs::path shipped = ResolveNoCase(engine.programFolder, relative);
    if (engine.userFolder.empty() || fs::exists(shipped, ec)) return shipped;
    return WritablePath(engine, relative);
}

} // namespace rdv
