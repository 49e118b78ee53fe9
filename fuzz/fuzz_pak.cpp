// ".pak" archives: the directory check, and every entry read through the
// package layer as the engine opens it.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/Engine.h"
#include "packages/Package.h"
#include "packages/PakFile.h"

using namespace rdv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<PakEntry> entries;
    std::string error;
    const bool valid = ReadPakDirectory(bytes, entries, error);

    static Engine engine;
    static std::vector<Log::Line> log;
    engine.programFolder = fuzz::ScratchFolder();
    engine.log.SetCapture(&log);
    fuzz::WriteInput(engine.programFolder / "data", "f.pak", data, size);
    std::vector<std::string> names = {"x"};
    if (valid)
        for (size_t i = 0; i < entries.size() && i < 8; ++i) names.push_back(entries[i].name);
    for (const auto& name : names) {
        std::string type = "any";
        const int32_t h = OpenPackage(engine, "f#" + name, "data", type);
        if (h == 0) continue;
        const int64_t length = Packages(engine).PackageLength(h);
        for (int i = 0; i < 64 && !Packages(engine).PackageEOF(h); ++i) ReadPackageLine(engine, h);
        Packages(engine).PackageSeek(h, length / 2);
        ReadPackageLong(engine, h);
        ReadPackageColor(engine, h);
        Packages(engine).ReadPackageBytes(h, 16);
        ClosePackage(engine, h);
    }
    log.clear();
    return 0;
}
