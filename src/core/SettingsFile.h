#pragma once
// The settings record "data/settings.dat": 67 bytes addressed by 1-based
// position, little-endian integers, booleans as bytes.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/Settings.h"

namespace rdv {

inline constexpr size_t kSettingsFileSize = 67;

inline bool ByteToBool(uint8_t b) { return b != 0; }
inline uint8_t BoolToByte(bool b) { return b ? 1 : 0; }

// Fills a record from the file's bytes. Positions past the end of a short
// file read as 0. Interlacing is left as stored (LoadSettings forces it).
Settings DecodeSettings(const std::vector<uint8_t>& bytes);

// The bytes SaveSettings writes: `old` (the file as it stands) with every
// position SaveSettings owns replaced from `s`; width and height are the
// display mode to store. Positions it does not own keep their bytes, and a
// short old file is padded with zeros to the full record.
std::vector<uint8_t> EncodeSettings(const Settings& s, int32_t width, int32_t height,
                                    const std::vector<uint8_t>& old);

// The settings the game ships with (tools/settingsgen writes them as the
// first data/settings.dat): hardware device, 800 x 600 in 32-bit colour,
// windowed, fog, lighting, specular, multipass, texture transforms and pixel
// shaders on, anisotropy 1, sound on at 44100 Hz, music at 80, no language
// chosen yet; player 1 on the arrow keys (up/down move, right/left turn),
// space to jump, Page Up / Page Down for the previous / next camera;
// player 2 on W/S, D/A, left Ctrl, Q and E.
Settings ShippedSettings();

// Every position of the record from `s`, including those SaveSettings
// leaves alone (6, 8, 11, 13, 18-21, 30): a complete new file.
std::vector<uint8_t> EncodeWholeRecord(const Settings& s);

// The settings file under a program folder, found without regard to case.
std::filesystem::path SettingsPath(const std::filesystem::path& programFolder);

// Replaces `path` with `bytes` through a temporary file beside it and a
// rename, so a crash half-way leaves the old file intact. Raises error 1002
// with `source` when the file cannot be written.
void WriteFileAtomically(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                         const std::string& source);

} // namespace rdv
