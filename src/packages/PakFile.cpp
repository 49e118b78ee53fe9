#include "packages/PakFile.h"

#include <cstdio>
#include <set>
#include <system_error>

#include "packages/Package.h"

namespace rdv {

namespace {

void PutLong(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void PutLine(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(13);
    out.push_back(10);
}

// Text lines drop bytes below 14, so a name must have none to read back as written.
bool Storable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 14) return false;
    return true;
}

} // namespace

bool BuildPak(const std::vector<PakSource>& sources, std::vector<uint8_t>& out, std::string& error) {
    std::set<std::string> names;
    size_t directorySize = 8;
    for (const auto& s : sources) {
        if (s.name.empty()) return error = "entry with an empty name", false;
        if (!Storable(s.name) || !Storable(s.type)) return error = "entry name or type holds control characters: " + s.name, false;
        if (!names.insert(s.name).second) return error = "duplicate entry name: " + s.name, false;
        directorySize += s.name.size() + 2 + s.type.size() + 2 + 8;
    }
    directorySize += 2;  // the empty name line
    size_t total = directorySize;
    for (const auto& s : sources) total += s.data.size();
    if (total > 0x7FFFFFFFu) return error = "archive larger than 2 GB", false;

    out.clear();
    out.reserve(total);
    PutLong(out, kPakMagic);
    PutLong(out, kPakVersion);
    size_t offset = directorySize;
    for (const auto& s : sources) {
        PutLine(out, s.name);
        PutLine(out, s.type);
        PutLong(out, static_cast<int32_t>(offset));
        PutLong(out, static_cast<int32_t>(s.data.size()));
        offset += s.data.size();
    }
    PutLine(out, "");
    for (const auto& s : sources) out.insert(out.end(), s.data.begin(), s.data.end());
    return true;
}

bool ReadPakDirectory(const std::vector<uint8_t>& archive, std::vector<PakEntry>& entries, std::string& error) {
    entries.clear();
    size_t pos = 0;
    const size_t size = archive.size();
    auto readLong = [&](int32_t& v) {
        if (pos + 4 > size) return false;
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(archive[pos + i]) << (8 * i);
        pos += 4;
        v = static_cast<int32_t>(u);
        return true;
    };
    auto readLine = [&](std::string& line) {
        line.clear();
        if (pos >= size) return false;
        while (pos < size) {
            uint8_t c = archive[pos++];
            if (c == 10 || c == 0) return true;
            if (c >= 14) line += static_cast<char>(c);
        }
        return true;
    };
    int32_t magic = 0, version = 0;
    if (!readLong(magic) || magic != kPakMagic) return error = "not a package archive (bad magic)", false;
    if (!readLong(version) || version != kPakVersion) return error = "unsupported archive version", false;
    while (true) {
        PakEntry e;
        if (!readLine(e.name)) return error = "directory runs past the end of the file", false;
        if (e.name.empty()) return true;
        if (!readLine(e.type) || !readLong(e.offset) || !readLong(e.length))
            return error = "directory runs past the end of the file", false;
        if (e.offset < 0 || e.length < 0 || static_cast<int64_t>(e.offset) + e.length > static_cast<int64_t>(size))
            return error = "entry " + e.name + " points outside the file", false;
        entries.push_back(std::move(e));
    }
}

bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const auto temp = path.parent_path() / (".~" + path.filename().string() + ".tmp");
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    if (!f) return error = "cannot create " + temp.string(), false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp, path, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temp, ec);
        return error = "cannot write " + path.string(), false;
    }
    return true;
}

} // namespace rdv
