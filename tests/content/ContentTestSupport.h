#pragma once
// What the content tests share: the list of shipped levels (taken from the
// sources, so that a stray save.tcs in build/game never counts) and the
// catalogue and campaign files as the game reads them.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace rdv::test {

inline const std::filesystem::path kSource = RDV_SOURCE_DIR;
inline const std::filesystem::path kGame = RDV_GAME_DIR;

// Levels in data/maps that the game never loads: the tile drawing fixture
// of the image tests and benchmarks. Nothing else may be listed here.
inline const std::vector<std::string> kFixtureLevels = {"tiletest"};

struct ShippedLevel {
    std::string name;       // as a campaign file names it: "training1", "trainpak#training8"
    std::string fileStem;   // the name of its solution file: "training1", "training8"
};
inline void PrintTo(const ShippedLevel& level, std::ostream* os) { *os << level.name; }

// Every level of data/maps and of the packs data/packs/maps/PAK/, sorted.
inline std::vector<ShippedLevel> ShippedLevels() {
    namespace fs = std::filesystem;
    std::vector<ShippedLevel> levels;
    auto isLevel = [](const fs::path& p) { return p.extension() == ".tcs"; };
    for (const auto& e : fs::directory_iterator(kSource / "data" / "maps")) {
        const std::string stem = e.path().stem().string();
        if (!isLevel(e.path()) ||
            std::find(kFixtureLevels.begin(), kFixtureLevels.end(), stem) != kFixtureLevels.end())
            continue;
        levels.push_back({stem, stem});
    }
    const fs::path packs = kSource / "data" / "packs" / "maps";
    if (fs::is_directory(packs)) {
        for (const auto& pack : fs::directory_iterator(packs)) {
            if (!pack.is_directory()) continue;
            for (const auto& e : fs::directory_iterator(pack.path()))
                if (isLevel(e.path()))
                    levels.push_back({pack.path().filename().string() + "#" + e.path().stem().string(),
                                      e.path().stem().string()});
        }
    }
    std::sort(levels.begin(), levels.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return levels;
}

// The lines of a text file, carriage returns dropped; empty when missing.
inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        lines.push_back(line);
    }
    return lines;
}

// A catalogue or campaign file as key -> value pairs in file order, read as
// the game reads them: split at the first "=", up to an empty or "*" line.
inline std::vector<std::pair<std::string, std::string>> ReadCatalogue(const std::filesystem::path& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const std::string& line : ReadLines(path)) {
        if (line.empty() || line == "*") break;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return entries;
}

struct Campaign {
    std::string file;
    std::string caption;
    std::vector<std::string> levels;   // levels 1..N
};
inline void PrintTo(const Campaign& campaign, std::ostream* os) { *os << campaign.file; }

// The campaigns of data/data/campaignlist.dat with the levels of each file.
inline std::vector<Campaign> ShippedCampaigns() {
    std::vector<Campaign> campaigns;
    for (const auto& [key, value] : ReadCatalogue(kSource / "data" / "data" / "campaignlist.dat")) {
        if (key == "N") continue;
        if (key == "caption" && !campaigns.empty()) campaigns.back().caption = value;
        if (!key.empty() && std::all_of(key.begin(), key.end(), ::isdigit)) campaigns.push_back({value, "", {}});
    }
    for (Campaign& c : campaigns) {
        std::map<int, std::string> byNumber;
        for (const auto& [key, value] : ReadCatalogue(kSource / "data" / "data" / (c.file + ".dat")))
            if (!key.empty() && std::all_of(key.begin(), key.end(), ::isdigit)) byNumber[std::stoi(key)] = value;
        for (const auto& [n, level] : byNumber) c.levels.push_back(level);
    }
    return campaigns;
}

} // namespace rdv::test
