#include "core/SystemReport.h"

#include <cstdio>
#include <cstring>

#include "core/Engine.h"
#include "core/ErrorText.h"

namespace rdv {

std::string GetOSName(const OSVersionInfo& v) {
    std::string servicePack = v.csdVersion.substr(0, v.csdVersion.find('\0'));
    if (!v.systemName.empty()) {
        std::string name = v.systemName;
        if (!v.release.empty()) name += " " + v.release;
        if (!servicePack.empty()) name += " (" + servicePack + ")";
        return name;
    }
    std::string name;
    switch (v.platformId) {
    case 1:
        if (v.minorVersion == 0) name = "Windows 95";
        else if (v.minorVersion == 10) name = "Windows 98";
        else if (v.minorVersion == 90) name = "Windows ME";
        break;
    case 2:
        if (v.majorVersion == 3) name = "Windows NT 3.51";
        else if (v.majorVersion == 4) name = "Windows NT 4.0";
        else if (v.majorVersion == 5) name = v.minorVersion == 0 ? "Windows 2000" : "Windows XP";
        break;
    default:
        name = "Unknown";
    }
    return name + " v" + std::to_string(v.platformId) + "." + std::to_string(v.majorVersion) + "." +
           std::to_string(v.minorVersion) + "." + std::to_string(v.buildNumber) + " (" + servicePack + ")";
}

std::string GetOSName(Engine& engine) {
    if (!engine.platform.host) return GetOSName(OSVersionInfo{});
    return GetOSName(engine.platform.host->GetVersion());
}

void LogSystemInfo(Engine& engine) {
    SystemInfo info;
    if (engine.platform.host) info = engine.platform.host->GetSystemInfo();
    engine.log.Write("Processor type:" + std::to_string(info.processorType), 0);
    engine.log.Write("Processor Count:" + std::to_string(info.processorCount), 0);
    engine.log.Write("Operating System:" + GetOSName(engine), 0);
}

std::string DllCodeText(int32_t code) {
    std::string text = ErrorText(code);
    // A platform code the table does not know (an errno) is explained by the
    // platform, so the line says what failed.
    if (text == "Unknown error" && code > 0 && code < 4096) {
        const char* platform = std::strerror(code);
        if (platform && *platform) text = platform;
    }
    return text;
}

void FatalErrorReport(Engine& engine, const EngineError& error, const std::function<void()>& shutdown) {
    try {
        engine.log.Write("FATAL ERROR: " + std::to_string(error.number) + "(" + std::to_string(error.dllCode) +
                             ")" + " in " + error.source + ": " + error.description,
                         4);
        engine.log.Write("Error Code: " + ErrorText(error.number), 4);
        engine.log.Write("DLL Code: " + DllCodeText(error.dllCode), 4);
    } catch (...) {
    }
    const std::string explained = error.number != 0 ? ErrorText(error.number) : DllCodeText(error.dllCode);

    engine.running = false;
    // A second error while taking things down must not hide the first, nor
    // stop the rest of the shutdown: it is logged and the report goes on.
    try {
        if (shutdown) shutdown();
    } catch (const EngineError& e) {
        engine.log.Write("WARNING: shutdown after the error failed: " + std::to_string(e.number) + " in " +
                             e.source + ": " + e.description,
                         4);
    } catch (const std::exception& e) {
        engine.log.Write(std::string("WARNING: shutdown after the error failed: ") + e.what(), 4);
    } catch (...) {
    }
    engine.log.CloseLog();

    IHost* host = engine.platform.host.get();
    if (!host) {
        std::fprintf(stderr, "Rondovar II: Error %d in %s: %s (%s)\n", error.number, error.source.c_str(),
                     error.description.c_str(), explained.c_str());
        return;
    }
    try {
        MsgResult answer = host->MessageBox(
            "Rondovar II has encountered an error and has closed. Do you want to see the details?", "Rondovar II",
            MsgButtons::YesNo, MsgIcon::Critical, 2);
        if (answer == MsgResult::Yes) {
            host->MessageBox("Error " + std::to_string(error.number) + " in " + error.source + ":\r\n" +
                                 error.description + "\r\n(" + explained + ")",
                             "Rondovar II", MsgButtons::OK, MsgIcon::Information, 1);
        }
    } catch (...) {
    }
}

} // namespace rdv
