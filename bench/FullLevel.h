#pragma once
// The generated level both benchmark programs measure: maps/full.tcs, 64 x
// 64 x 16 cells, every floor painted, one tile type a layer, in a scratch
// program folder whose other data folders link to `game`'s. Two of the
// eight layer types are ice, which is blended; `opaqueOnly` puts snow in
// their place, so that every face can be drawn in a batch.
#include <filesystem>
#include <fstream>
#include <system_error>

inline std::filesystem::path WriteFullLevel(const std::filesystem::path& game, const char* scratch,
                                            bool opaqueOnly = false) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / scratch;
    fs::create_directories(folder / "maps");
    std::error_code ec;
    // Another build's run may have left links to its own game folder.
    for (const char* sub : {"models", "textures", "shaders", "data"}) {
        fs::remove(folder / sub, ec);
        fs::create_directory_symlink(game / sub, folder / sub, ec);
    }
    std::ofstream out(folder / "maps" / "full.tcs", std::ios::binary);
    out << "BTv1\r\n-World\r\nx=64\r\ny=64\r\nz=16\r\n";
    const char* tiles[] = {"Metal", "Grass", opaqueOnly ? "Snow" : "Ice", "Snow", "BrickFloor", "MetalFloor", "Wall",
                           "MarkedMetal"};
    for (int z = 0; z < 16; ++z) {
        out << "-" << tiles[z % 8] << "\r\n";
        for (int y = 0; y < 64; ++y)
            out << "up=z\r\nsx=0\r\nsy=" << y << "\r\nsz=" << z << "\r\ndx=63\r\n";
    }
    out << "*\r\n";
    return folder;
}
