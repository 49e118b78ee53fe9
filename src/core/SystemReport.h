#pragma once
// The system-information lines of the start-up log and the fatal error
// report that ends every unhandled engine error.
#include <functional>
#include <string>

#include "core/Error.h"
#include "platform/Host.h"

namespace rdv {

class Engine;

// Windows records are named by platform id and version ("Windows XP"),
// then " v" platform.major.minor.build " (" service pack ")". Records of
// other systems carry their own name: "Linux 6.1.0 (#1 SMP ...)".
std::string GetOSName(const OSVersionInfo& version);
// The name of the system the engine runs on (from the host).
std::string GetOSName(Engine& engine);

// "Processor type:", "Processor Count:" and "Operating System:" lines.
void LogSystemInfo(Engine& engine);

// Logs the error (three lines, colour 4), clears the running flag, runs
// `shutdown` (the subsystems and host forms, in Main's order; it must cope
// with subsystems that never started), closes the log and offers the
// details in a dialog. Never raises.
// The text of an error's DLL code: ErrorText, or the platform's own
// description of a platform error number ErrorText does not know.
std::string DllCodeText(int32_t code);

void FatalErrorReport(Engine& engine, const EngineError& error, const std::function<void()>& shutdown);

} // namespace rdv
