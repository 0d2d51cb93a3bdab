#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/ProgramWindows.h"
#include "localization/LocalizationFile.h"
#include "localization/MessageCatalog.h"
#include "localization/TranslationKeys.h"
#include "util/Text.h"
#include "util/Utf16Text.h"

namespace nightjar::app {
namespace {

/// One translatable key with its English text.
struct EnglishItem {
    std::string key;
    std::string text;
};

std::vector<EnglishItem> AllEnglishItems() {
    std::vector<EnglishItem> out;
    for (localization::WindowText w : ProgramWindows()) {
        for (const auto& t : localization::TranslatableTexts(w)) {
            out.push_back({t.key, *t.text});
        }
    }
    for (auto table : {localization::DefaultMessages(), localization::SupplementaryMessages()}) {
        for (const auto& m : table) {
            out.push_back({std::string(m.key), std::string(m.text)});
        }
    }
    return out;
}

/// A group of the shipped file as the program reads it, with its items by upper-cased key.
struct Group {
    std::string name;
    std::map<std::string, std::string> items;
    std::vector<std::string> repeated;
};

std::vector<Group> ReadGroups(const std::string& file) {
    std::vector<Group> groups;
    const localization::LocalizationFile parsed(file);
    for (const auto& fileGroup : parsed.groups()) {
        Group g;
        g.name = fileGroup.name;
        for (const std::string& line : fileGroup.items) {
            // An item line: optional TABs, "<" key ">", the text, "</" key ">".
            std::string_view l = line;
            l.remove_prefix(std::min(l.find_first_not_of('\t'), l.size()));
            const std::size_t close = l.find('>');
            if (l.empty() || l[0] != '<' || close == std::string_view::npos) {
                continue;
            }
            const std::string key(l.substr(1, close - 1));
            const std::string tail = "</" + key + ">";
            if (!text::iendsWith(l, tail)) {
                continue;
            }
            const std::string upper = text::toUpper(key);
            if (g.items.count(upper)) {
                g.repeated.push_back(key);
            }
            g.items[upper] = std::string(l.substr(close + 1, l.size() - close - 1 - tail.size()));
        }
        groups.push_back(std::move(g));
    }
    return groups;
}

std::multiset<std::string> Placeholders(const std::string& s) {
    std::multiset<std::string> out;
    for (std::string_view p : {"[ProgramName]", "[CompanyName]", "[Website]"}) {
        for (std::size_t at = text::ifind(s, p); at != std::string::npos;
             at = text::ifind(s, p, at + 1)) {
            out.insert(std::string(p));
        }
    }
    return out;
}

TEST(ProgramWindows, EveryTextHasOneKeyOfItsOwn) {
    // Two controls under one key would leave one of them untranslatable; keys are compared
    // without case, as the localization file does.
    std::set<std::string> seen;
    for (const EnglishItem& item : AllEnglishItems()) {
        EXPECT_TRUE(seen.insert(text::toUpper(item.key)).second) << item.key;
    }
    for (const localization::WindowText& w : ProgramWindows()) {
        EXPECT_EQ(FindProgramWindow(text::toLower(w.name)), &w);
    }
    EXPECT_EQ(FindProgramWindow("frmNoSuchWindow"), nullptr);
}

TEST(ProgramWindows, ShippedLocalizationCoversEveryKeyInEveryLanguage) {
    std::ifstream in(NJ_SHIPPED_LOCALIZATION, std::ios::binary);
    ASSERT_TRUE(in) << NJ_SHIPPED_LOCALIZATION;
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string file = buffer.str();
    ASSERT_TRUE(utf16::isValidUtf8(file));
    for (std::size_t i = file.find('\n'); i != std::string::npos; i = file.find('\n', i + 1)) {
        ASSERT_TRUE(i > 0 && file[i - 1] == '\r') << "line end without CR at byte " << i;
    }

    const std::vector<Group> groups = ReadGroups(file);
    auto english = std::find_if(groups.begin(), groups.end(),
                                [](const Group& g) { return g.name == "English"; });
    ASSERT_NE(english, groups.end());
    ASSERT_GT(groups.size(), 1u);

    const std::vector<EnglishItem> items = AllEnglishItems();
    std::set<std::string> known;
    for (const EnglishItem& item : items) {
        known.insert(text::toUpper(item.key));
    }
    for (const Group& g : groups) {
        SCOPED_TRACE(g.name);
        EXPECT_TRUE(g.repeated.empty()) << g.repeated.front();
        for (const auto& [key, text] : g.items) {
            EXPECT_TRUE(known.count(key)) << "stale key " << key;
        }
        for (const EnglishItem& item : items) {
            auto found = g.items.find(text::toUpper(item.key));
            if (found == g.items.end()) {
                ADD_FAILURE() << "missing " << item.key;
                continue;
            }
            const std::string& t = found->second;
            if (&g == &*english) {
                // The English group is the program's own texts, unchanged.
                EXPECT_EQ(t, item.text) << item.key;
                continue;
            }
            // A text the program writes at run time stays untranslated, so a change of
            // language never overwrites it; every other text is translated.
            EXPECT_EQ(t.empty(), item.text.empty()) << item.key;
            EXPECT_EQ(Placeholders(t), Placeholders(item.text)) << item.key << ": " << t;
            // Pieces the callers join around a name keep their brackets at the joints.
            if (!item.text.empty() && item.text.front() == ']') {
                EXPECT_EQ(t.front(), ']') << item.key;
            }
            if (!item.text.empty() && item.text.back() == '[') {
                EXPECT_EQ(t.back(), '[') << item.key;
            }
        }
    }
}

}  // namespace
}  // namespace nightjar::app
