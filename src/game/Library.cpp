#include "game/Library.h"

#include <memory>

#include "core/Engine.h"
#include "core/Error.h"
#include "core/Subsystems.h"
#include "graphics/Core.h"
#include "packages/Package.h"
#include "packages/Parse.h"

namespace rdv {

namespace {

constexpr const char* kLanguageSource = "Engine->LoadLibrary->LoadLanguageCatalog";
constexpr const char* kCampaignSource = "Engine->LoadLibrary->LoadCampaignCatalog";

// Opens a "dat" text package of the data folder or raises the catalogue's errors.
int32_t OpenCatalogue(Engine& engine, const std::string& name, const char* source, const std::string& missing,
                      const std::string& badType) {
    std::string type = "dat";
    const int32_t handle = OpenPackage(engine, name, "data", type);
    if (handle == 0) RaiseError(ErrFileAccess, source, missing);
    if (type != "dat") {
        ClosePackage(engine, handle);
        RaiseError(ErrFileType, source, badType);
    }
    return handle;
}

// Calls `line(key, value)` for each catalogue line up to the first empty
// line, a "*" line or the end; a line without "=" raises `invalid`. The
// package is closed whatever happens.
template <class F>
void ReadCatalogue(Engine& engine, int32_t handle, const char* source, const std::string& invalid, F&& line) {
    try {
        engPackage& packages = Packages(engine);
        while (!packages.PackageEOF(handle)) {
            const std::string text = packages.ReadPackageLine(handle);
            if (text.empty() || text == "*") break;
            const size_t eq = text.find('=');
            if (eq == std::string::npos) RaiseError(ErrFormat, source, invalid);
            line(text.substr(0, eq), text.substr(eq + 1));
        }
    } catch (...) {
        ClosePackage(engine, handle);
        throw;
    }
    ClosePackage(engine, handle);
}

} // namespace

engLibrary& Library(Engine& engine) {
    if (!engine.library) engine.library = std::make_shared<engLibrary>();
    return *engine.library;
}

void LoadLanguageCatalog(Engine& engine) {
    engLibrary& lib = Library(engine);
    lib.languageNames.assign(1, "");
    lib.languageFiles.assign(1, "");
    const int32_t handle = OpenCatalogue(engine, "langfiles", kLanguageSource, "Couldn't open package: langfiles",
                                         "langfiles is of invalid type");
    const std::string invalid = "Invalid line in langfiles.dat";
    ReadCatalogue(engine, handle, kLanguageSource, invalid, [&](const std::string& key, const std::string& value) {
        const double number = Val(key);
        if (number <= 0) {
            if (key == "N") {
                const int32_t n = std::max(ValLong(value), 0);
                if (n > kMaxCatalogueEntries) RaiseError(ErrFormat, kLanguageSource, invalid);
                lib.languageNames.assign(size_t(n) + 1, "");
                lib.languageFiles.assign(size_t(n) + 1, "");
            }
            return;
        }
        const size_t eq = value.find('=');
        if (eq == std::string::npos) RaiseError(ErrFormat, kLanguageSource, invalid);
        const int32_t index = ValLong(key);
        if (index < 0 || index >= int32_t(lib.languageNames.size()))
            RaiseError(ErrSubscript, kLanguageSource, "Subscript out of range");
        lib.languageNames[index] = value.substr(0, eq);
        lib.languageFiles[index] = value.substr(eq + 1);
    });
}

void LoadLanguage(Engine& engine) {
    engLibrary& lib = Library(engine);
    engine.languageStrings.assign(kLanguageStrings, "");
    const int32_t language = engine.settings.language;
    if (language < 0 || language >= int32_t(lib.languageFiles.size()))
        RaiseError(ErrSubscript, kLanguageSource, "Subscript out of range");
    const int32_t handle = OpenCatalogue(engine, lib.languageFiles[language], kLanguageSource,
                                         "Couldn't open package: langfiles", "langfiles is of invalid type");
    ReadCatalogue(engine, handle, kLanguageSource, "Invalid line in langfiles.dat",
                  [&](const std::string& key, const std::string& value) {
                      const int32_t index = ValLong(key);
                      if (index < 0 || index >= kLanguageStrings)
                          RaiseError(ErrSubscript, kLanguageSource, "Subscript out of range");
                      engine.languageStrings[index] = value;
                  });
}

void LoadCampaignCatalog(Engine& engine) {
    engLibrary& lib = Library(engine);
    lib.campaignCount = 0;
    lib.campaignFiles.assign(1, "");
    lib.campaignCaptions.assign(1, "");
    lib.campaignModels.assign(1, 0);
    lib.campaignFrames.assign(1, 0);
    int32_t current = 0;
    const int32_t handle = OpenCatalogue(engine, "campaignlist", kCampaignSource,
                                         "Couldn't open package: campaignlist", "campaignlist is of invalid type");
    ReadCatalogue(engine, handle, kCampaignSource, "Invalid line in campaignlist.dat",
                  [&](const std::string& key, const std::string& value) {
                      if (Val(key) <= 0) {
                          if (key == "N") {
                              lib.campaignCount = std::max(ValLong(value), 0);
                              if (lib.campaignCount > kMaxCatalogueEntries) {
                                  lib.campaignCount = 0;
                                  RaiseError(ErrFormat, kCampaignSource, "Invalid line in campaignlist.dat");
                              }
                              const size_t n = size_t(lib.campaignCount) + 1;
                              lib.campaignFiles.assign(n, "");
                              lib.campaignCaptions.assign(n, "");
                              lib.campaignModels.assign(n, 0);
                              lib.campaignFrames.assign(n, 0);
                              current = 1;
                          } else if (key == "caption" || key == "model" || key == "index") {
                              // Options before "N" have no entry to belong to.
                              if (current < 1 || current > lib.campaignCount)
                                  RaiseError(ErrFormat, kCampaignSource, "Invalid index: " + key);
                              if (key == "caption") lib.campaignCaptions[current] = value;
                              else if (key == "model") lib.campaignModels[current] = Graphics(engine).GetModel(value);
                              else lib.campaignFrames[current] = ValLong(value);
                          } else {
                              RaiseError(ErrFormat, kCampaignSource, "Invalid option in campaignlist.dat: " + key);
                          }
                          return;
                      }
                      const double number = Val(key);
                      const int32_t index = ValLong(key);
                      if (lib.campaignCount == 0 || double(index) != number || index < 1 ||
                          index > lib.campaignCount)
                          RaiseError(ErrFormat, kCampaignSource, "Invalid index: " + key);
                      current = index;
                      lib.campaignFiles[index] = value;
                  });
}

void LoadLibrary(Engine& engine) {
    engine.log("Loading Library", 0);
    LoadLanguageCatalog(engine);
    engLibrary& lib = Library(engine);
    if (engine.settings.language != 0) {
        const int32_t n = engine.settings.language;
        const bool known = n > 0 && n < int32_t(lib.languageNames.size());
        engine.log("Current using language: " + (known ? lib.languageNames[n] : std::string()) + " (" +
                       (known ? lib.languageFiles[n] : std::string()) + ")",
                   0);
    } else {
        engine.log("First run? no language chosen yet", 0);
        engine.settings.language = 1;
    }
    LoadLanguage(engine);
    LoadCampaignCatalog(engine);
}

} // namespace rdv
