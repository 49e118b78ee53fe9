#pragma once
// engLibrary (engine.library): the language catalogue, the chosen
// language's string table (engine.languageStrings) and the campaign
// catalogue the menu offers. Entry 0 of every table holds nothing.
#include <cstdint>
#include <string>
#include <vector>

namespace rdv {

class Engine;

inline constexpr int32_t kLanguageStrings = 92;
// The most entries an "N" line may ask for: more is a damaged file, and
// would only allocate tables nobody can fill.
inline constexpr int32_t kMaxCatalogueEntries = 65535;

class engLibrary {
public:
    std::vector<std::string> languageNames;
    std::vector<std::string> languageFiles;

    int32_t campaignCount = 0;
    std::vector<std::string> campaignFiles;
    std::vector<std::string> campaignCaptions;
    std::vector<int32_t> campaignModels;
    std::vector<int32_t> campaignFrames;
};

// The engine's library (made on first use in engine.library).
engLibrary& Library(Engine& engine);

// Each raises 1002 (package missing), 1004 (not "dat") or 1005 (bad line,
// option or index).
void LoadLanguageCatalog(Engine& engine);
void LoadLanguage(Engine& engine);
void LoadCampaignCatalog(Engine& engine);

} // namespace rdv
