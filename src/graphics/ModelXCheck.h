#pragma once
// The check every .x file passes before Assimp reads it.
#include <filesystem>
#include <vector>

namespace rdv {

// The file as the importer should read it (a compressed one inflated), or
// empty when it is refused: not an .x file, or one the importer would read
// or write out of bounds on.
std::vector<unsigned char> ImportableX(const std::filesystem::path& path);

} // namespace rdv
