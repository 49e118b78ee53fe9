// musicgen OUTDIR: writes the game's music modules (theme.xm, meadow.xm,
// caverns.xm) into OUTDIR. The same bytes on every run.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "Songs.h"

namespace {

// Through a temporary file, so a failed run never leaves half a module.
bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.good()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: musicgen OUTDIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    try {
        const struct {
            const char* file;
            musicgen::Module (*make)();
        } songs[] = {{"theme.xm", musicgen::Theme}, {"meadow.xm", musicgen::Meadow}, {"caverns.xm", musicgen::Caverns}};
        for (const auto& song : songs) {
            const musicgen::Module m = song.make();
            if (!WriteFile(dir / song.file, musicgen::WriteXm(m))) {
                std::cerr << "musicgen: cannot write " << (dir / song.file).string() << "\n";
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "musicgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
