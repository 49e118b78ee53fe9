// The shipped language files: all 92 strings of each language, the menu's
// button captions short enough for their buttons, and the campaign
// captions likewise.
#include <gtest/gtest.h>

#include <set>

#include "content/ContentTestSupport.h"

namespace rdv::test {
namespace {

// Strings the menu puts on a MenuButton.
const std::vector<int> kButtonCaptions = {3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 29, 31, 56, 58};

// A button is 4 menu units wide; its caption is drawn at size 0.5 with the
// glyphs 0.65 x size apart, and a centred text spans (length + 0.65) glyph
// steps. Texts are single-byte Windows-1252, so bytes are characters.
bool FitsButton(const std::string& caption) { return (caption.size() + 0.65) * 0.65 * 0.5 <= 4.0; }

struct Language {
    std::string name, file;
};

std::vector<Language> Languages() {
    std::vector<Language> languages;
    for (const auto& [key, value] : ReadCatalogue(kSource / "data" / "data" / "langfiles.dat")) {
        if (key == "N") continue;
        const auto eq = value.find('=');
        if (eq != std::string::npos) languages.push_back({value.substr(0, eq), value.substr(eq + 1)});
    }
    return languages;
}

// number -> text, with every problem of the file reported as a failure.
std::map<int, std::string> ReadLanguage(const std::string& file) {
    std::map<int, std::string> strings;
    for (const auto& [key, value] : ReadCatalogue(kSource / "data" / "data" / (file + ".dat"))) {
        const bool number = !key.empty() && std::all_of(key.begin(), key.end(), ::isdigit);
        EXPECT_TRUE(number) << file << ": key " << key << " is not a string number";
        if (!number) continue;
        const int n = std::stoi(key);
        EXPECT_LE(n, 91) << file << ": string " << n << " is beyond the table";
        EXPECT_TRUE(strings.emplace(n, value).second) << file << ": string " << n << " twice";
    }
    return strings;
}

TEST(LanguageTest, EnglishAndGermanShip) {
    std::set<std::string> files;
    for (const auto& l : Languages()) files.insert(l.file);
    EXPECT_TRUE(files.count("english"));
    EXPECT_TRUE(files.count("deutsch"));
}

TEST(LanguageTest, EveryLanguageHasAll92StringsAndCaptionsFitTheirButtons) {
    for (const Language& language : Languages()) {
        SCOPED_TRACE(language.file);
        const std::map<int, std::string> strings = ReadLanguage(language.file);
        for (int n = 0; n <= 91; ++n) {
            const auto it = strings.find(n);
            ASSERT_NE(it, strings.end()) << "string " << n << " is missing";
            // The menu shows every string somewhere (captions, help texts,
            // labels, tool tips, the loading screen).
            EXPECT_FALSE(it->second.empty()) << "string " << n << " is empty";
            EXPECT_EQ(it->second.find('\t'), std::string::npos) << "string " << n << " holds a tab";
        }
        for (int n : kButtonCaptions)
            EXPECT_TRUE(FitsButton(strings.at(n))) << "caption " << n << " \"" << strings.at(n) << "\" is too long";
        // The controls page joins "Player N " and the control's name.
        EXPECT_EQ(strings.at(75).back(), ' ');
        EXPECT_EQ(strings.at(76).back(), ' ');
    }
}

TEST(LanguageTest, CampaignCaptionsFitTheirButtons) {
    for (const Campaign& c : ShippedCampaigns()) {
        ASSERT_FALSE(c.caption.empty()) << c.file << " has no caption";
        if (c.caption[0] == '#') {
            // A language string: it must fit in every language.
            const int n = std::stoi(c.caption.substr(1));
            for (const Language& language : Languages()) {
                const auto strings = ReadLanguage(language.file);
                ASSERT_TRUE(strings.count(n)) << c.file << " names string " << n;
                EXPECT_TRUE(FitsButton(strings.at(n))) << c.file << " in " << language.file;
            }
        } else {
            EXPECT_TRUE(FitsButton(c.caption)) << c.file << ": \"" << c.caption << "\" is too long";
        }
    }
}

TEST(LanguageTest, TheButtonRuleAllowsElevenCharactersAndNoMore) {
    EXPECT_TRUE(FitsButton("Neues Spiel"));
    EXPECT_FALSE(FitsButton("Level speichern"));
    EXPECT_FALSE(FitsButton("Twelve chars"));
}

} // namespace
} // namespace rdv::test
