#include "platform/LinuxSystem.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace rdv {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

SystemInfo ParseCpuInfo(const std::string& cpuinfo, const std::string& machine) {
    SystemInfo info;
    int family = -1;
    std::istringstream in(cpuinfo);
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (key == "processor") ++info.processorCount;
        if (key == "cpu family" && family < 0) family = std::atoi(value.c_str());
    }
    if (info.processorCount == 0) info.processorCount = 1;
    if (machine == "x86_64" || machine == "amd64") {
        info.processorType = 8664;
    } else if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
        info.processorType = family == 3 ? 386 : family == 4 ? 486 : 586;
    }
    return info;
}

SystemInfo ReadSystemInfo() {
    std::ifstream in("/proc/cpuinfo");
    std::stringstream text;
    text << in.rdbuf();
    utsname u{};
    std::string machine = ::uname(&u) == 0 ? u.machine : "";
    SystemInfo info = ParseCpuInfo(text.str(), machine);
    if (text.str().empty()) {
        long n = ::sysconf(_SC_NPROCESSORS_ONLN);
        if (n > 0) info.processorCount = static_cast<uint32_t>(n);
    }
    return info;
}

OSVersionInfo LinuxVersion(const std::string& release, const std::string& version) {
    OSVersionInfo v;
    v.systemName = "Linux";
    v.release = release;
    v.csdVersion = version;
    uint32_t parts[3] = {0, 0, 0};
    size_t i = 0;
    for (int k = 0; k < 3 && i < release.size(); ++k) {
        if (release[i] < '0' || release[i] > '9') break;
        uint32_t n = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9') n = n * 10 + (release[i++] - '0');
        parts[k] = n;
        if (i < release.size() && release[i] == '.') ++i;
        else break;
    }
    v.majorVersion = parts[0];
    v.minorVersion = parts[1];
    v.buildNumber = parts[2];
    return v;
}

OSVersionInfo ReadVersion() {
    utsname u{};
    if (::uname(&u) != 0) return LinuxVersion("", "");
    return LinuxVersion(u.release, u.version);
}

} // namespace rdv
