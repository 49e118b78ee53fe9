#pragma once
// A throw-away program folder with the seven data folders, and an engine
// whose log lines are captured.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/Engine.h"
#include "packages/Package.h"

namespace rdv::test {

inline std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline void PutLong(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

class ProgramFolder {
public:
    ProgramFolder() {
        static std::atomic<int> counter{0};
        root_ = std::filesystem::temp_directory_path() /
                ("rdv-pkg-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(root_);
        for (const char* f : kDataFolders) std::filesystem::create_directories(root_ / f);
    }
    ~ProgramFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    const std::filesystem::path& Root() const { return root_; }

    void Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
        auto p = root_ / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void Write(const std::string& relative, const std::string& text) const { Write(relative, Bytes(text)); }

    std::string Read(const std::string& relative) const {
        std::ifstream in(root_ / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path root_;
};

struct PackageEngine {
    ProgramFolder folder;
    Engine engine;
    std::vector<Log::Line> lines;

    PackageEngine() {
        engine.programFolder = folder.Root();
        engine.log.SetCapture(&lines);
    }
    engPackage& pk() { return Packages(engine); }
};

} // namespace rdv::test
