#pragma once
// Shared by the sound tests: scratch folders, the built plug-ins and music,
// and a tiny ProTracker module written on the spot.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace rdv::test {

inline std::filesystem::path GameDir() { return RDV_GAME_DIR; }
inline std::filesystem::path BuiltPlugin() { return GameDir() / "audio.so"; }
inline std::filesystem::path FailingPlugin() {
    return std::filesystem::path(RDV_BINARY_DIR) / "testplugins" / "failing" / "audio.so";
}
inline std::filesystem::path GeneratedMusic(const std::string& name) { return GameDir() / "music" / (name + ".xm"); }

// A fresh folder, removed again at the end of the test.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag) {
        path_ = std::filesystem::temp_directory_path() /
                ("rdv_sound_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

// The current folder comes back when the test ends (start-up may change it).
class KeepCurrentDir {
public:
    KeepCurrentDir() : saved_(std::filesystem::current_path()) {}
    ~KeepCurrentDir() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }

private:
    std::filesystem::path saved_;
};

// The largest difference between two runs of 16-bit samples (bytes or
// samples); -1 when their lengths differ. The decoder's output may vary by
// one step with the size of the render calls, so streams are compared this way.
template <class A, class B>
int MaxSampleDifference(const A& a, const B& b) {
    const size_t bytesA = a.size() * sizeof(a[0]), bytesB = b.size() * sizeof(b[0]);
    if (bytesA != bytesB) return -1;
    const auto* pa = reinterpret_cast<const int16_t*>(a.data());
    const auto* pb = reinterpret_cast<const int16_t*>(b.data());
    int worst = 0;
    for (size_t i = 0; i < bytesA / 2; ++i) worst = std::max(worst, std::abs(int(pa[i]) - int(pb[i])));
    return worst;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A four-channel "M.K." module: one square-wave sample, one pattern that
// plays it on every beat.
inline std::vector<uint8_t> TinyProTrackerModule() {
    std::vector<uint8_t> m;
    auto text = [&](const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) m.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    };
    auto be16 = [&](uint16_t v) {
        m.push_back(static_cast<uint8_t>(v >> 8));
        m.push_back(static_cast<uint8_t>(v & 0xFF));
    };
    const uint16_t words = 32;  // 64 bytes of sample
    text("tiny", 20);
    for (int s = 0; s < 31; ++s) {
        text(s == 0 ? "square" : "", 22);
        be16(s == 0 ? words : 0);
        m.push_back(0);                          // finetune
        m.push_back(s == 0 ? 64 : 0);            // volume
        be16(0);                                 // loop start
        be16(s == 0 ? words : 1);                // loop length
    }
    m.push_back(1);    // song length
    m.push_back(127);  // restart
    for (int i = 0; i < 128; ++i) m.push_back(0);
    text("M.K.", 4);
    for (int row = 0; row < 64; ++row)
        for (int ch = 0; ch < 4; ++ch) {
            if (ch == 0 && row % 4 == 0) {
                const uint16_t period = 428;  // C-2
                m.push_back(static_cast<uint8_t>(period >> 8));  // sample number high nibble 0
                m.push_back(static_cast<uint8_t>(period & 0xFF));
                m.push_back(0x10);  // sample 1
                m.push_back(0);
            } else {
                for (int i = 0; i < 4; ++i) m.push_back(0);
            }
        }
    for (int i = 0; i < words * 2; ++i) m.push_back(i < words ? 0x60 : 0xA0);
    return m;
}

} // namespace rdv::test
