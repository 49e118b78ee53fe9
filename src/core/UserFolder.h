#pragma once
// Where the files the player makes go: settings.dat, progress.dat, log.txt
// and the editor's saved level. A program folder the player may write
// (build/game, a copy on a stick) keeps them, as it always has. An installed
// one, read-only to the player, cannot: they go under the player's own data
// folder instead, ${XDG_DATA_HOME:-$HOME/.local/share}/rondovar, with its
// own data/ and maps/, and are read from there first.
#include <filesystem>
#include <string>

namespace rdv {

class Engine;

// True when `folder` is a folder the player may create files in: not on a
// read-only file system, granted by access(W_OK), and granted by the
// folder's permission bits for the player's class (owner, group or others).
// The bits count for root too, whom the kernel would let write anyway, so a
// folder made read-only with chmod is read-only for every player.
bool FolderWritable(const std::filesystem::path& folder);

// ${XDG_DATA_HOME}/rondovar when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/rondovar (the password database's home when HOME is
// unset); empty when no home is known. Nothing is created.
std::filesystem::path PlayerDataFolder();

// The name of the file make install puts into the program folder it makes.
inline constexpr const char* kInstalledMarker = "installed";

// The user folder for a program folder: empty when the program folder and
// those of its data and maps folders that exist can be written (the
// player's files stay in it), else PlayerDataFolder(). An installed program
// folder (one holding kInstalledMarker) never takes the player's files, so
// root running a copy installed under /usr does not write into it either.
std::filesystem::path ChooseUserFolder(const std::filesystem::path& programFolder);

// The folder that takes the player's files: the user folder when there is
// one, else the program folder.
const std::filesystem::path& WriteFolder(const Engine& engine);

// Where the engine writes `relative` ("data/settings.dat", "log.txt",
// "maps"), found without regard to case below WriteFolder.
std::filesystem::path WritablePath(const Engine& engine, const std::string& relative);

// Where the engine reads `relative`: the player's copy in the user folder
// when it exists, else the program folder's when that exists, else where it
// would be written.
std::filesystem::path ReadablePath(const Engine& engine, const std::string& relative);

} // namespace rdv
