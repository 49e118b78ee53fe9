// pak create OUT.pak FILE...   pack files (entry = file name without its
//                              extension, type = the extension)
// pak list FILE.pak            print name, type, offset and length per entry
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "packages/PakFile.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: pak create OUT.pak FILE...\n       pak list FILE.pak\n");
    return 2;
}

bool ReadFile(const std::filesystem::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Create(const std::string& outPath, const std::vector<std::string>& files) {
    std::vector<rdv::PakSource> sources;
    for (const auto& file : files) {
        std::filesystem::path p(file);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(p, ec)) {
            std::fprintf(stderr, "pak: %s: not a file\n", file.c_str());
            return 1;
        }
        rdv::PakSource s;
        s.name = p.stem().string();
        std::string ext = p.extension().string();
        s.type = ext.empty() ? ext : ext.substr(1);
        if (!ReadFile(p, s.data)) {
            std::fprintf(stderr, "pak: %s: cannot read\n", file.c_str());
            return 1;
        }
        sources.push_back(std::move(s));
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!rdv::BuildPak(sources, bytes, error) || !rdv::WriteFileAtomic(outPath, bytes, error)) {
        std::fprintf(stderr, "pak: %s: %s\n", outPath.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

int List(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes)) {
        std::fprintf(stderr, "pak: %s: cannot read\n", path.c_str());
        return 1;
    }
    std::vector<rdv::PakEntry> entries;
    std::string error;
    if (!rdv::ReadPakDirectory(bytes, entries, error)) {
        std::fprintf(stderr, "pak: %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    for (const auto& e : entries)
        std::printf("%s\t%s\t%d\t%d\n", e.name.c_str(), e.type.c_str(), e.offset, e.length);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "create") return Create(args[1], {args.begin() + 2, args.end()});
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    return Usage();
}
