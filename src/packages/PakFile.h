#pragma once
// The ".pak" archive as a whole: building one from files and reading its
// directory with every bound checked. The engine's OpenPackage reads
// entries itself; the pak tool and tests use these.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rdv {

struct PakEntry {
    std::string name;
    std::string type;
    int32_t offset = 0;
    int32_t length = 0;
};

struct PakSource {
    std::string name;  // entry name
    std::string type;  // type word
    std::vector<uint8_t> data;
};

// The bytes of an archive holding `sources` in order: header, directory
// (name and type lines ended by CR LF, offset, length), the empty name that
// ends it, then the data. False with `error` set when a name or type cannot
// be stored (empty name, control bytes, a duplicate name) or it would exceed
// the 32-bit offsets.
bool BuildPak(const std::vector<PakSource>& sources, std::vector<uint8_t>& out, std::string& error);

// Reads and checks the whole directory: magic, version, a terminated
// directory, every entry inside the file. False with `error` set otherwise.
bool ReadPakDirectory(const std::vector<uint8_t>& archive, std::vector<PakEntry>& entries, std::string& error);

// Writes `bytes` to `path` through a temporary file beside it and a rename,
// so a failed write never replaces a good file.
bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error);

} // namespace rdv
