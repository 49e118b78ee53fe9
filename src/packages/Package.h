#pragma once
// Package layer: every data file of the game is opened, read and closed
// here. A reference is either "name" (a plain file name.* in the caller's
// folder) or "pkg#entry" (an entry of the archive pkg.pak); a reference that
// starts with "#N" stands for language string N. Handles are small positive
// integers; 0 means the open failed. Nothing here throws: callers turn a 0
// handle into their own error.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rdv {

class Engine;

// A colour with float components in 0..1 (archive colours are stored as
// alpha, red, green, blue bytes).
struct FloatColor {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const FloatColor&) const = default;
};

// The seven data folders below the program folder, in fallback-search order.
inline constexpr const char* kDataFolders[] = {"data", "maps", "textures", "models", "music", "save", "shaders"};

// ".pak" magic "DFPM" and the one version the engine reads.
inline constexpr int32_t kPakMagic = 0x4D504644;
inline constexpr int32_t kPakVersion = 0x00010001;

class engPackage {
public:
    explicit engPackage(Engine& engine);
    ~engPackage();
    engPackage(const engPackage&) = delete;
    engPackage& operator=(const engPackage&) = delete;

    // Opens `reference` in `folder` ("maps", "data" ...). type "none" stays
    // "none"; any other value comes back as the found type (plain file: its
    // extension; archive entry: the entry's type line). Returns 0 on failure.
    int32_t OpenPackage(const std::string& reference, const std::string& folder, std::string& type);
    // Opens name.type in folder for writing. Returns 0 on failure (archive
    // names, extension conflict), -1 when the file exists and mayOverwrite is
    // false. Output goes to a temporary file that replaces the target only
    // when ClosePackage completes it, so a failed save never damages a good file.
    int32_t OpenPackageForWrite(const std::string& name, const std::string& folder, std::string& type,
                                bool mayOverwrite, bool deleteFirst);
    // Closes a handle (committing a write) and lowers the nesting depth.
    // Unknown handles (0, -1, already closed) are ignored.
    void ClosePackage(int32_t handle);

    // One text line: bytes up to LF or a zero byte, bytes below 14 dropped.
    // Past the end of the file or archive entry every line is empty.
    std::string ReadPackageLine(int32_t handle);
    // Little-endian values at the current position; bytes past the end read 0.
    int32_t ReadPackageLong(int32_t handle);
    int16_t ReadPackageInteger(int32_t handle);
    float ReadPackageSingle(int32_t handle);
    uint8_t ReadPackageByte(int32_t handle);
    // Four bytes alpha, red, green, blue, each / 255.
    FloatColor ReadPackageColor(int32_t handle);
    // `count` raw bytes; the part past the end is zeros.
    std::vector<uint8_t> ReadPackageBytes(int32_t handle, size_t count);

    // Writes the text's bytes followed by CR LF.
    void WritePackageLine(int32_t handle, const std::string& text);

    // Position within the opened data (0 = first byte of the file or entry),
    // its length, and whether the position has reached the end.
    int64_t PackagePosition(int32_t handle) const;
    int64_t PackageLength(int32_t handle) const;
    bool PackageEOF(int32_t handle) const;
    void PackageSeek(int32_t handle, int64_t position);

    // "#N" gives language string N (the text unchanged when there is no such
    // string); any other text comes back as it is.
    std::string ResolveTextReference(const std::string& text) const;

    // Nesting log lines: depth 1 "Loading: name", deeper indented
    // "Bound to: name" ("Saving: " / "Cascade to: " for saves).
    void BeginLoadStep(const std::string& name);
    void BeginSaveStep(const std::string& name);
    void EndLoadStep();
    int16_t Depth() const { return depth_; }

    // Number of handles currently open (tests and leak checks).
    size_t OpenCount() const { return files_.size(); }

private:
    struct OpenFile;
    OpenFile* Find(int32_t handle);
    const OpenFile* Find(int32_t handle) const;
    int32_t Allocate(std::unique_ptr<OpenFile> file);

    Engine& engine_;
    int16_t depth_ = 0;
    std::map<int32_t, std::unique_ptr<OpenFile>> files_;
};

// The engine's package module (created on first use in engine.packages).
engPackage& Packages(Engine& engine);

// Free-function forms of the calls above on engine.packages.
int32_t OpenPackage(Engine& engine, const std::string& reference, const std::string& folder, std::string& type);
int32_t OpenPackageForWrite(Engine& engine, const std::string& name, const std::string& folder, std::string& type,
                            bool mayOverwrite, bool deleteFirst);
void ClosePackage(Engine& engine, int32_t handle);
std::string ReadPackageLine(Engine& engine, int32_t handle);
int32_t ReadPackageLong(Engine& engine, int32_t handle);
float ReadPackageSingle(Engine& engine, int32_t handle);
uint8_t ReadPackageByte(Engine& engine, int32_t handle);
FloatColor ReadPackageColor(Engine& engine, int32_t handle);
void WritePackageLine(Engine& engine, int32_t handle, const std::string& text);
std::string ResolveTextReference(const Engine& engine, const std::string& text);
void BeginLoadStep(Engine& engine, const std::string& name);
void BeginSaveStep(Engine& engine, const std::string& name);
void EndLoadStep(Engine& engine);

} // namespace rdv
