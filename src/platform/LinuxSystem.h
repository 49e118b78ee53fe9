#pragma once
// Processor and operating-system facts of a Linux machine, in the shape of
// the records the engine logs at start-up.
#include <string>

#include "platform/Host.h"

namespace rdv {

// From the text of /proc/cpuinfo and the machine name of uname: the count
// of "processor" entries (at least 1) and the type number: 8664 for x86-64,
// 386/486/586 by "cpu family" for 32-bit x86, 0 for other processors.
SystemInfo ParseCpuInfo(const std::string& cpuinfo, const std::string& machine);

// SystemInfo of this machine.
SystemInfo ReadSystemInfo();

// From uname release ("6.1.0-18-amd64") and version ("#1 SMP ..."): name
// "Linux", major.minor.build from the release's leading numbers.
OSVersionInfo LinuxVersion(const std::string& release, const std::string& version);

// OSVersionInfo of this machine.
OSVersionInfo ReadVersion();

} // namespace rdv
