#include "core/SettingsFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "core/Error.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace {

// Reads of a record shorter than its layout: missing bytes are 0.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    uint8_t Byte(size_t pos) const { return pos >= 1 && pos <= bytes_.size() ? bytes_[pos - 1] : 0; }
    bool Bool(size_t pos) const { return ByteToBool(Byte(pos)); }
    int16_t Int16(size_t pos) const { return static_cast<int16_t>(Byte(pos) | (Byte(pos + 1) << 8)); }
    int32_t Int32(size_t pos) const {
        uint32_t v = uint32_t(Byte(pos)) | uint32_t(Byte(pos + 1)) << 8 | uint32_t(Byte(pos + 2)) << 16 |
                     uint32_t(Byte(pos + 3)) << 24;
        return static_cast<int32_t>(v);
    }

private:
    const std::vector<uint8_t>& bytes_;
};

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Byte(size_t pos, uint8_t v) { bytes_[pos - 1] = v; }
    void Bool(size_t pos, bool v) { Byte(pos, BoolToByte(v)); }
    void Int16(size_t pos, int32_t v) {
        // A 16-bit field cannot hold more; clamp rather than wrap.
        int32_t c = v < -32768 ? -32768 : v > 32767 ? 32767 : v;
        uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(c));
        Byte(pos, u & 0xFF);
        Byte(pos + 1, u >> 8);
    }
    void Int32(size_t pos, int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) Byte(pos + i, (u >> (8 * i)) & 0xFF);
    }

private:
    std::vector<uint8_t>& bytes_;
};

// Volume x 100 rounded to a byte (halves to even); out of range clamps.
uint8_t VolumeByte(float volume) {
    double v = std::nearbyint(static_cast<double>(volume) * 100.0);
    if (!(v >= 0.0)) return 0;
    if (v > 255.0) return 255;
    return static_cast<uint8_t>(v);
}

}  // namespace

Settings DecodeSettings(const std::vector<uint8_t>& bytes) {
    Reader r(bytes);
    Settings s;
    s.deviceKind = r.Byte(1);
    s.width = r.Int16(2);
    s.height = r.Int16(4);
    s.pos6 = r.Bool(6);
    s.colour32 = r.Bool(7);
    s.pos8 = r.Bool(8);
    s.fog = r.Bool(9);
    s.multisample = r.Byte(10);
    s.gammaRamps = r.Bool(11);
    s.lighting = r.Bool(12);
    s.multipass = r.Bool(13);
    s.pos14 = r.Bool(14);
    s.textureTransforms = r.Bool(15);
    s.pixelShaders = r.Bool(16);
    s.specular = r.Bool(17);
    s.localViewer = r.Bool(18);
    s.pos19 = r.Byte(19);
    s.pos20 = r.Byte(20);
    s.pos21 = r.Byte(21);
    s.windowed = r.Bool(22);
    s.pageFlipping = r.Bool(23);
    s.interlacing = r.Bool(24);
    s.soundOn = r.Bool(27);
    s.anisotropy = r.Byte(29);
    s.vertexShaders = r.Bool(30);
    s.language = r.Int16(32);
    for (size_t i = 0; i < 14; ++i) {
        s.bindings[i].device = r.Byte(34 + 2 * i);
        s.bindings[i].code = r.Byte(35 + 2 * i);
    }
    s.frequency = r.Int32(62);
    s.musicVolume = static_cast<float>(r.Byte(66)) / 100.0f;
    s.secondVolume = static_cast<float>(r.Byte(67)) / 100.0f;
    return s;
}

std::vector<uint8_t> EncodeSettings(const Settings& s, int32_t width, int32_t height,
                                    const std::vector<uint8_t>& old) {
    std::vector<uint8_t> bytes = old;
    if (bytes.size() < kSettingsFileSize) bytes.resize(kSettingsFileSize, 0);
    Writer w(bytes);
    w.Byte(1, s.deviceKind);
    w.Int16(2, width);
    w.Int16(4, height);
    w.Bool(7, s.colour32);
    w.Bool(9, s.fog);
    w.Byte(10, s.multisample);
    w.Bool(12, s.lighting);
    w.Bool(14, s.pos14);
    w.Bool(15, s.textureTransforms);
    w.Bool(16, s.pixelShaders);
    w.Bool(17, s.specular);
    w.Bool(22, s.windowed);
    w.Bool(23, s.pageFlipping);
    w.Bool(24, s.interlacing);
    w.Bool(27, s.soundOn);
    w.Byte(29, s.anisotropy);
    w.Int16(32, s.language);
    for (size_t i = 0; i < 14; ++i) {
        w.Byte(34 + 2 * i, s.bindings[i].device);
        w.Byte(35 + 2 * i, s.bindings[i].code);
    }
    w.Int32(62, s.frequency);
    w.Byte(66, VolumeByte(s.musicVolume));
    w.Byte(67, VolumeByte(s.secondVolume));
    return bytes;
}

std::vector<uint8_t> EncodeWholeRecord(const Settings& s) {
    std::vector<uint8_t> bytes = EncodeSettings(s, s.width, s.height, {});
    Writer w(bytes);
    w.Bool(6, s.pos6);
    w.Bool(8, s.pos8);
    w.Bool(11, s.gammaRamps);
    w.Bool(13, s.multipass);
    w.Bool(18, s.localViewer);
    w.Byte(19, s.pos19);
    w.Byte(20, s.pos20);
    w.Byte(21, s.pos21);
    w.Bool(30, s.vertexShaders);
    return bytes;
}

Settings ShippedSettings() {
    // DirectInput scan codes of the keys bound.
    constexpr uint8_t kUp = 0xC8, kDown = 0xD0, kLeft = 0xCB, kRight = 0xCD, kSpace = 0x39, kPageUp = 0xC9,
                      kPageDown = 0xD1, kW = 0x11, kS = 0x1F, kA = 0x1E, kD = 0x20, kLeftCtrl = 0x1D, kQ = 0x10,
                      kE = 0x12;
    Settings s;
    s.deviceKind = 1;
    s.width = 800;
    s.height = 600;
    s.colour32 = true;
    s.fog = true;
    s.multisample = 0;
    s.lighting = true;
    s.multipass = true;
    s.textureTransforms = true;
    s.pixelShaders = true;
    s.specular = true;
    s.windowed = true;
    s.interlacing = true;
    s.soundOn = true;
    s.anisotropy = 1;
    s.language = 0;
    // Per player: +X (forward), -X (back), +Y (turn right), -Y (turn left),
    // A (jump), B (previous camera), C (next camera).
    const uint8_t keys[14] = {kUp, kDown, kRight, kLeft, kSpace, kPageUp, kPageDown,
                              kW,  kS,    kD,     kA,    kLeftCtrl, kQ, kE};
    for (size_t i = 0; i < 14; ++i) s.bindings[i] = Binding{0, keys[i]};
    s.frequency = 44100;
    s.musicVolume = 0.8f;
    s.secondVolume = 0.8f;
    return s;
}

std::filesystem::path SettingsPath(const std::filesystem::path& programFolder) {
    return ResolveNoCase(programFolder, "data/settings.dat");
}

void WriteFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                         const std::string& source) {
    std::filesystem::path temp = path;
    temp += ".tmp";
    auto fail = [&](const std::string& what) {
        const int32_t code = PlatformErrorCode();
        ::unlink(temp.c_str());
        RaiseError(ErrFileAccess, source, what + " " + path.string() + ": " + std::strerror(code), code);
    };
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("Could not write");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            fail("Could not write");
        }
        done += static_cast<size_t>(n);
    }
    bool synced = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !synced) fail("Could not write");
    if (std::rename(temp.c_str(), path.c_str()) != 0) fail("Could not replace");
}

} // namespace rdv
