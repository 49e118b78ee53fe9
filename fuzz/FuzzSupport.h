#pragma once
// Shared pieces of the fuzz targets: a scratch program folder per process,
// the input as a file or as lines, and a model host that hands out indexes.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "graphics/ModelData.h"

namespace rdv::fuzz {

namespace fs = std::filesystem;

// A program folder of its own for this process, with the data folders made.
inline const fs::path& ScratchFolder() {
    static const fs::path folder = [] {
        fs::path p = fs::temp_directory_path() / ("rdv_fuzz_" + std::to_string(::getpid()));
        fs::remove_all(p);
        for (const char* sub : {"data", "maps", "models", "textures", "shaders", "save", "music"})
            fs::create_directories(p / sub);
        return p;
    }();
    return folder;
}

// Replaces folder/<file> with the input; every other "f.*" is removed first
// so that the engine's name.* lookup finds this one.
inline void WriteInput(const fs::path& folder, const std::string& file, const uint8_t* data, size_t size) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.path().stem() == fs::path(file).stem()) fs::remove(e.path(), ec);
    std::ofstream(folder / file, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The input split at LF (a CR before it dropped), as the package reader does.
inline std::vector<std::string> Lines(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

class IndexHost : public ModelHost {
public:
    int32_t LoadTexture(const std::string& n) override { return Index(textures_, n); }
    int32_t GetShader(const std::string& n) override { return Index(shaders_, n); }
    int32_t GetModel(const std::string& n) override { return Index(models_, n); }
    std::pair<int, int> TextureSize(int32_t) override { return {64, 32}; }
    bool HasBlendOp() override { return blendOp; }
    void Log(const std::string&, int) override {}
    bool blendOp = true;

private:
    static int32_t Index(std::map<std::string, int32_t>& table, const std::string& n) {
        auto [it, added] = table.emplace(n, static_cast<int32_t>(table.size()) + 1);
        return it->second;
    }
    std::map<std::string, int32_t> textures_, shaders_, models_;
};

} // namespace rdv::fuzz
