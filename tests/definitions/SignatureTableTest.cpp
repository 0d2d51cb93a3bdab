#include "definitions/SignatureTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nightjar::definitions {
namespace {

void expectEntry(const SignatureEntry& got, const SignatureEntry& want) {
    EXPECT_EQ(got.folder, want.folder);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.threatName, want.threatName);
}

TEST(SignatureTableTest, RowsKeepTheirTextsInOrder) {
    const std::string longName(70000, 'n');  // past a 16-bit length
    const std::string huge(3u << 20, 'h');
    const std::vector<SignatureEntry> entries = {
        {"c:\\a\\", "x.exe", "Spyware", "Threat.One"},
        {"", "", "", ""},
        {"c:\\b", longName, "", "=T"},
        {huge, "y", huge, huge},
        {"c:\\a\\", "x.exe", "Spyware", "Threat.One"},
        {std::string_view("nul\0in", 6), "z", "t", std::string_view("\0", 1)},
    };
    SignatureTable table(entries);
    ASSERT_EQ(table.size(), entries.size());
    EXPECT_FALSE(table.empty());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        expectEntry(table[i], entries[i]);
    }
    expectEntry(table.front(), entries.front());
    expectEntry(table.back(), entries.back());
    std::size_t i = 0;
    for (const auto& e : table) {
        expectEntry(e, entries[i++]);
    }
    EXPECT_EQ(i, entries.size());
}

TEST(SignatureTableTest, ManyRowsReadBackAfterGrowingMovingAndClearing) {
    SignatureTable table;
    ASSERT_TRUE(table.push_back({"c:\\first\\", "first.exe", "Adware", "First"}));
    for (int i = 0; i < 200000; ++i) {
        const std::string name = "file" + std::to_string(i) + ".exe";
        ASSERT_TRUE(table.push_back({"c:\\folder\\", name, i % 2 ? "Trojan" : "", "Threat"}));
    }
    expectEntry(table[0], {"c:\\first\\", "first.exe", "Adware", "First"});
    EXPECT_EQ(table.size(), 200001u);
    expectEntry(table[200000], {"c:\\folder\\", "file199999.exe", "Trojan", "Threat"});
    expectEntry(table[199999], {"c:\\folder\\", "file199998.exe", "", "Threat"});

    SignatureTable moved(std::move(table));
    EXPECT_EQ(moved[1].name, "file0.exe");
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_TRUE(moved.push_back({"", "again", "", ""}));
    EXPECT_EQ(moved[0].name, "again");
}

}  // namespace
}  // namespace nightjar::definitions
