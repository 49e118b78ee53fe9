#include "packages/Package.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "core/Engine.h"
#include "core/UserFolder.h"
#include "packages/Parse.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace fs = std::filesystem;

// An open file. Read handles hold the bytes of the file or archive entry, so
// every read is bounded by them. Write handles collect the new contents and
// commit them through a temporary file when closed.
struct engPackage::OpenFile {
    std::vector<uint8_t> data;
    size_t pos = 0;
    bool writing = false;
    bool dirty = false;
    fs::path target;  // write handles: the file that is replaced on close

};

namespace {

// Type rule for a found name: its last three characters, reduced to what
// follows a "." among them ("level.tcs" gives tcs, "m.ab" gives ab).
std::string TypeOfName(const std::string& name) {
    std::string last = name.size() > 3 ? name.substr(name.size() - 3) : name;
    auto dot = last.rfind('.');
    if (dot != std::string::npos) last = last.substr(dot + 1);
    return last;
}

// True when the text holds "#" at its second character or later.
size_t ArchiveSeparator(const std::string& reference) {
    if (reference.size() < 2) return std::string::npos;
    return reference.find('#', 1);
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (ec) return false;
    out.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size))) return false;
    return true;
}

// A reference names a file inside its data folder: it may reach into a
// sub-folder, never out of the program folder.
bool SafeReference(const std::string& reference) {
    if (reference.empty() || reference[0] == '/' || reference[0] == '\\') return false;
    size_t start = 0;
    while (start <= reference.size()) {
        size_t end = reference.find_first_of("/\\", start);
        if (end == std::string::npos) end = reference.size();
        if (reference.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return reference.find('\0') == std::string::npos;
}

// The folder `folder` below the program folder; a reference may carry a
// sub-path ("sub/name"), whose directory part is resolved as well.
void SplitReference(const fs::path& programFolder, const std::string& folder, const std::string& reference,
                    fs::path& dir, std::string& stem) {
    std::string rel = folder;
    stem = reference;
    auto slash = reference.find_last_of("/\\");
    if (slash != std::string::npos) {
        rel += "/" + reference.substr(0, slash);
        stem = reference.substr(slash + 1);
    }
    dir = ResolveNoCase(programFolder, rel);
}

} // namespace

engPackage::engPackage(Engine& engine) : engine_(engine) {}

// Write handles still open are abandoned: their temporary content never
// replaces the target.
engPackage::~engPackage() = default;

engPackage::OpenFile* engPackage::Find(int32_t handle) {
    auto it = files_.find(handle);
    return it == files_.end() ? nullptr : it->second.get();
}

const engPackage::OpenFile* engPackage::Find(int32_t handle) const {
    auto it = files_.find(handle);
    return it == files_.end() ? nullptr : it->second.get();
}

int32_t engPackage::Allocate(std::unique_ptr<OpenFile> file) {
    // The lowest free file number, as the runtime's pool hands them out.
    int32_t handle = 1;
    while (files_.count(handle)) ++handle;
    files_[handle] = std::move(file);
    return handle;
}

void engPackage::BeginLoadStep(const std::string& name) {
    ++depth_;
    if (depth_ == 1)
        engine_.log.Write("Loading: " + name, 0);
    else
        engine_.log.Write(std::string(static_cast<size_t>(std::max(0, 2 * depth_ - 2)), ' ') + "Bound to: " + name, 0);
}

void engPackage::BeginSaveStep(const std::string& name) {
    ++depth_;
    if (depth_ == 1)
        engine_.log.Write("Saving: " + name, 0);
    else
        engine_.log.Write(std::string(static_cast<size_t>(std::max(0, 2 * depth_ - 2)), ' ') + "Cascade to: " + name, 0);
}

void engPackage::EndLoadStep() {
    // An unpaired end never drives the depth below zero.
    if (depth_ > 0) --depth_;
}

namespace {
std::string ResolveWith(const std::vector<std::string>& strings, const std::string& text) {
    if (text.empty() || text[0] != '#') return text;
    const int32_t n = ValLong(text.substr(1));
    // A number with no string behind it (catalogue not loaded, bad index)
    // leaves the text as written rather than failing.
    if (n < 0 || static_cast<size_t>(n) >= strings.size()) return text;
    return strings[static_cast<size_t>(n)];
}
} // namespace

std::string engPackage::ResolveTextReference(const std::string& text) const {
    return ResolveWith(engine_.languageStrings, text);
}

int32_t engPackage::OpenPackage(const std::string& referenceIn, const std::string& folder, std::string& type) {
    const std::string reference = ResolveTextReference(referenceIn);
    BeginLoadStep(reference);
    const int16_t depthBefore = static_cast<int16_t>(depth_ - 1);
    auto fail = [&]() {
        depth_ = depthBefore;
        return 0;
    };
    const bool wantType = type != "none";

    const size_t sep = ArchiveSeparator(reference);
    if (sep == std::string::npos) {
        if (!SafeReference(reference)) return fail();
        fs::path dir;
        std::string stem;
        std::vector<fs::path> matches;
        // The player's own files (the editor's saved level) come first.
        if (!engine_.userFolder.empty()) {
            SplitReference(engine_.userFolder, folder, reference, dir, stem);
            if (!stem.empty()) matches = FindStemMatches(dir, stem);
        }
        if (matches.empty()) {
            SplitReference(engine_.programFolder, folder, reference, dir, stem);
            if (stem.empty()) return fail();
            matches = FindStemMatches(dir, stem);
        }
        if (matches.empty()) return fail();
        auto file = std::make_unique<OpenFile>();
        if (!ReadWholeFile(matches.front(), file->data)) return fail();
        if (wantType) type = TypeOfName(matches.front().filename().string());
        return Allocate(std::move(file));
    }

    const std::string pkg = reference.substr(0, sep);
    const std::string entry = reference.substr(sep + 1);
    if (!SafeReference(pkg)) return fail();
    const std::string pakName = pkg + ".pak";
    fs::path pakPath;
    auto lookIn = [&](const std::string& f) {
        fs::path p = ResolveNoCase(engine_.programFolder, f + "/" + pakName);
        std::error_code ec;
        if (fs::is_regular_file(p, ec)) {
            pakPath = p;
            return true;
        }
        return false;
    };
    if (!lookIn(folder)) {
        engine_.log.Write("Warning: package not in expected path (" + folder + "): " + reference, 6);
        bool found = false;
        for (const char* f : kDataFolders)
            if (lookIn(f)) {
                found = true;
                break;
            }
        if (!found) return fail();
    }

    // Only the directory and the bytes from the wanted entry on are read.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pak(std::fopen(pakPath.string().c_str(), "rb"), &std::fclose);
    if (!pak) return fail();
    std::error_code ec;
    const auto fileSize = fs::file_size(pakPath, ec);
    if (ec) return fail();
    const int64_t size = static_cast<int64_t>(fileSize);
    if (wantType) type = "pak";

    // Bounded reads: past the end every byte is 0, so a directory with no
    // terminator runs into empty names instead of wild data.
    int64_t pos = 0;
    auto next = [&]() -> uint8_t {
        if (pos >= size) return ++pos, 0;
        ++pos;
        int c = std::fgetc(pak.get());
        return c == EOF ? 0 : static_cast<uint8_t>(c);
    };
    auto readLong = [&]() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(next()) << (8 * i);
        return static_cast<int32_t>(v);
    };
    auto readLine = [&]() {
        std::string line;
        while (pos < size) {
            uint8_t c = next();
            if (c == 10 || c == 0) break;
            if (c >= 14) line += static_cast<char>(c);
        }
        return line;
    };
    if (readLong() != kPakMagic) return fail();
    if (readLong() != kPakVersion) return fail();

    while (true) {
        // A directory that runs into the end of the file never ends properly.
        if (pos >= size) return fail();
        std::string name = readLine();
        // The empty name ends the directory; it never names an entry.
        if (name.empty()) return fail();
        if (name == entry) break;
        readLine();
        readLong();
        readLong();
    }
    std::string entryType = readLine();
    if (pos + 8 > size) return fail();
    const int64_t offset = readLong();
    readLong();  // the length field: each data format ends itself, so it bounds nothing
    if (offset < 0) return fail();

    // The entry reads from its offset to the end of the archive; beyond that
    // every byte is 0, as for a plain file.
    auto file = std::make_unique<OpenFile>();
    const int64_t available = std::max<int64_t>(0, size - offset);
    file->data.resize(static_cast<size_t>(available));
    if (available > 0 && (std::fseek(pak.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
                          std::fread(file->data.data(), 1, file->data.size(), pak.get()) != file->data.size()))
        return fail();
    if (wantType) type = entryType;
    return Allocate(std::move(file));
}

int32_t engPackage::OpenPackageForWrite(const std::string& nameIn, const std::string& folder, std::string& type,
                                        bool mayOverwrite, bool deleteFirst) {
    const std::string name = ResolveTextReference(nameIn);
    BeginSaveStep(name);
    const int16_t depthBefore = static_cast<int16_t>(depth_ - 1);
    if (ArchiveSeparator(name) != std::string::npos || !SafeReference(name)) {
        depth_ = depthBefore;
        return 0;
    }
    fs::path dir;
    std::string stem;
    SplitReference(WriteFolder(engine_), folder, name, dir, stem);
    if (stem.empty()) {
        depth_ = depthBefore;
        return 0;
    }

    auto file = std::make_unique<OpenFile>();
    file->writing = true;
    auto matches = FindStemMatches(dir, stem);
    if (matches.empty()) {
        file->target = dir / (stem + "." + type);
    } else {
        file->target = matches.front();
        const std::string ext = TypeOfName(file->target.filename().string());
        // The file system ignores case, so "LEVEL.TCS" is the file a "tcs" save replaces.
        if (!EqualsNoCase(ext, type)) {
            engine_.log.Write("WARNING: Extension Conflict", 4);
            depth_ = depthBefore;
            return 0;
        }
        if (!mayOverwrite) {
            engine_.log.Write("File exists - no overwrite permission", 0);
            depth_ = depthBefore;
            return -1;
        }
        // Without delete-first the old bytes beyond what is written stay.
        if (!deleteFirst && !ReadWholeFile(file->target, file->data)) {
            depth_ = depthBefore;
            return 0;
        }
    }
    std::error_code ec;
    fs::create_directories(file->target.parent_path(), ec);
    if (!fs::is_directory(file->target.parent_path(), ec)) {
        depth_ = depthBefore;
        return 0;
    }
    file->dirty = true;
    return Allocate(std::move(file));
}

void engPackage::ClosePackage(int32_t handle) {
    auto it = files_.find(handle);
    if (it == files_.end()) return;
    std::unique_ptr<OpenFile> file = std::move(it->second);
    files_.erase(it);
    if (depth_ > 0) --depth_;
    if (!file->writing || !file->dirty) return;

    // Write beside the target under a name no "name.*" lookup matches, then
    // rename over it: a failed write leaves the old file as it was.
    const fs::path temp = file->target.parent_path() / (".~" + file->target.filename().string() + ".tmp");
    bool ok = false;
    if (std::FILE* f = std::fopen(temp.string().c_str(), "wb")) {
        ok = file->data.empty() || std::fwrite(file->data.data(), 1, file->data.size(), f) == file->data.size();
        ok = (std::fflush(f) == 0) && ok;
        ok = (std::fclose(f) == 0) && ok;
    }
    std::error_code ec;
    if (ok) {
        fs::rename(temp, file->target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
        engine_.log.Write("WARNING: could not write " + file->target.string(), 4);
    }
}

std::string engPackage::ReadPackageLine(int32_t handle) {
    OpenFile* f = Find(handle);
    if (!f) return {};
    std::string line;
    while (f->pos < f->data.size()) {
        uint8_t c = f->data[f->pos++];
        if (c == 10 || c == 0) break;
        if (c >= 14) line += static_cast<char>(c);
    }
    return line;
}

std::vector<uint8_t> engPackage::ReadPackageBytes(int32_t handle, size_t count) {
    std::vector<uint8_t> out(count, 0);
    OpenFile* f = Find(handle);
    if (!f) return out;
    for (size_t i = 0; i < count; ++i) {
        if (f->pos >= f->data.size()) {
            // Past the end: zeros, and the position moves on as a read would.
            f->pos += count - i;
            break;
        }
        out[i] = f->data[f->pos++];
    }
    return out;
}

int32_t engPackage::ReadPackageLong(int32_t handle) {
    auto b = ReadPackageBytes(handle, 4);
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
}

int16_t engPackage::ReadPackageInteger(int32_t handle) {
    auto b = ReadPackageBytes(handle, 2);
    return static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
}

float engPackage::ReadPackageSingle(int32_t handle) {
    uint32_t bits = static_cast<uint32_t>(ReadPackageLong(handle));
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

uint8_t engPackage::ReadPackageByte(int32_t handle) { return ReadPackageBytes(handle, 1)[0]; }

FloatColor engPackage::ReadPackageColor(int32_t handle) {
    auto b = ReadPackageBytes(handle, 4);
    return {b[1] / 255.0f, b[2] / 255.0f, b[3] / 255.0f, b[0] / 255.0f};
}

void engPackage::WritePackageLine(int32_t handle, const std::string& text) {
    OpenFile* f = Find(handle);
    if (!f || !f->writing) return;
    std::string bytes = text + "\r\n";
    if (f->pos > f->data.size()) f->data.resize(f->pos, 0);
    for (char c : bytes) {
        if (f->pos < f->data.size())
            f->data[f->pos] = static_cast<uint8_t>(c);
        else
            f->data.push_back(static_cast<uint8_t>(c));
        ++f->pos;
    }
    f->dirty = true;
}

int64_t engPackage::PackagePosition(int32_t handle) const {
    const OpenFile* f = Find(handle);
    return f ? static_cast<int64_t>(f->pos) : 0;
}

int64_t engPackage::PackageLength(int32_t handle) const {
    const OpenFile* f = Find(handle);
    return f ? static_cast<int64_t>(f->data.size()) : 0;
}

bool engPackage::PackageEOF(int32_t handle) const {
    const OpenFile* f = Find(handle);
    return !f || f->pos >= f->data.size();
}

void engPackage::PackageSeek(int32_t handle, int64_t position) {
    OpenFile* f = Find(handle);
    if (f) f->pos = position < 0 ? 0 : static_cast<size_t>(position);
}

// ---------------------------------------------------------------------------

engPackage& Packages(Engine& engine) {
    if (!engine.packages) engine.packages = std::make_shared<engPackage>(engine);
    return *engine.packages;
}

int32_t OpenPackage(Engine& engine, const std::string& reference, const std::string& folder, std::string& type) {
    return Packages(engine).OpenPackage(reference, folder, type);
}
int32_t OpenPackageForWrite(Engine& engine, const std::string& name, const std::string& folder, std::string& type,
                            bool mayOverwrite, bool deleteFirst) {
    return Packages(engine).OpenPackageForWrite(name, folder, type, mayOverwrite, deleteFirst);
}
void ClosePackage(Engine& engine, int32_t handle) { Packages(engine).ClosePackage(handle); }
std::string ReadPackageLine(Engine& engine, int32_t handle) { return Packages(engine).ReadPackageLine(handle); }
int32_t ReadPackageLong(Engine& engine, int32_t handle) { return Packages(engine).ReadPackageLong(handle); }
float ReadPackageSingle(Engine& engine, int32_t handle) { return Packages(engine).ReadPackageSingle(handle); }
uint8_t ReadPackageByte(Engine& engine, int32_t handle) { return Packages(engine).ReadPackageByte(handle); }
FloatColor ReadPackageColor(Engine& engine, int32_t handle) { return Packages(engine).ReadPackageColor(handle); }
void WritePackageLine(Engine& engine, int32_t handle, const std::string& text) {
    Packages(engine).WritePackageLine(handle, text);
}
std::string ResolveTextReference(const Engine& engine, const std::string& text) {
    return ResolveWith(engine.languageStrings, text);
}
void BeginLoadStep(Engine& engine, const std::string& name) { Packages(engine).BeginLoadStep(name); }
void BeginSaveStep(Engine& engine, const std::string& name) { Packages(engine).BeginSaveStep(name); }
void EndLoadStep(Engine& engine) { Packages(engine).EndLoadStep(); }

} // namespace rdv
