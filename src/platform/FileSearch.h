#pragma once
// File lookups that ignore letter case, as the original's file system did.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rdv {

// ASCII lower case; other bytes of Windows-1252 are left as they are.
std::string LowerCase(std::string text);
bool EqualsNoCase(const std::string& a, const std::string& b);

// The folder that holds the running executable.
std::filesystem::path ProgramFolder();

// Resolves `relative` ("Data/Settings.dat", backslashes or slashes) below
// `base`, matching every component without regard to case. An existing
// match is returned as it is spelled on disk; components that do not exist
// keep the spelling given, so the result can be used to create the file.
std::filesystem::path ResolveNoCase(const std::filesystem::path& base, const std::string& relative);

// True when ResolveNoCase finds an existing file or folder.
bool ExistsNoCase(const std::filesystem::path& base, const std::string& relative);

// Every regular file in `folder` whose name, ignoring case, is `stem`
// followed by "." and any extension ("name.*", which takes the bare "name"
// too), sorted by the bytes of their
// names, so the first is the one a lookup takes.
std::vector<std::filesystem::path> FindStemMatches(const std::filesystem::path& folder, const std::string& stem);

// The extension of a path without the dot, in lower case ("" when none).
std::string ExtensionLower(const std::filesystem::path& path);

} // namespace rdv
