#include "definitions/SignatureTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/TextArena.h"

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
    const std::string huge(3u << 20, 'h');   // past an arena block
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

TEST(SignatureTableTest, ViewsStayValidWhileRowsAreAdded) {
    SignatureTable table;
    ASSERT_TRUE(table.push_back({"c:\\first\\", "first.exe", "Adware", "First"}));
    const SignatureEntry first = table[0];
    for (int i = 0; i < 200000; ++i) {
        const std::string name = "file" + std::to_string(i) + ".exe";
        ASSERT_TRUE(table.push_back({"c:\\folder\\", name, "Trojan", "Threat"}));
    }
    EXPECT_EQ(first.name, "first.exe");
    EXPECT_EQ(first.folder, "c:\\first\\");
    EXPECT_EQ(table.size(), 200001u);
    EXPECT_EQ(table[200000].name, "file199999.exe");

    // A moved table keeps its texts where they were.
    const void* rows = table.data();
    SignatureTable moved(std::move(table));
    EXPECT_EQ(moved.data(), rows);
    EXPECT_EQ(first.name, "first.exe");
    EXPECT_EQ(moved[1].name, "file0.exe");

    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_TRUE(moved.push_back({"", "again", "", ""}));
    EXPECT_EQ(moved[0].name, "again");
}

TEST(SignatureTableTest, SharedTextsAndRowsWrittenInPlace) {
    SignatureTable table;
    SignatureTable::Ref folder = 0;
    SignatureTable::Ref type = 0;
    SignatureTable::Ref empty = 0;
    ASSERT_TRUE(table.keep("c:\\shared\\", folder));
    ASSERT_TRUE(table.keep("Dialer", type));
    ASSERT_TRUE(table.keep("", empty));
    EXPECT_EQ(empty, SignatureTable::kEmpty);
    EXPECT_EQ(table.text(folder), "c:\\shared\\");
    EXPECT_EQ(table.text(empty), "");

    // A padded keep copies whole words from a source that has the slack for it.
    std::string padded = "c:\\padded";
    padded.append(kCopySlack, '#');
    SignatureTable::Ref paddedRef = 0;
    ASSERT_TRUE(table.keepPadded(std::string_view(padded.data(), 9), paddedRef));

    for (int i = 0; i < 3; ++i) {
        const std::string name = "n" + std::to_string(i);
        char* texts =
            table.appendRow(folder, i == 1 ? SignatureTable::kEmpty : type, name.size(), 2);
        ASSERT_NE(texts, nullptr);
        name.copy(texts, name.size());
        texts[name.size()] = 'T';
        texts[name.size() + 1] = static_cast<char>('0' + i);
    }
    ASSERT_EQ(table.size(), 3u);
    expectEntry(table[0], {"c:\\shared\\", "n0", "Dialer", "T0"});
    expectEntry(table[1], {"c:\\shared\\", "n1", "", "T1"});
    expectEntry(table[2], {"c:\\shared\\", "n2", "Dialer", "T2"});
    EXPECT_EQ(table[0].folder.data(), table[2].folder.data());  // one copy of the folder
    EXPECT_EQ(table.text(paddedRef), "c:\\padded");             // not overwritten by the rows
}

TEST(TextArenaTest, ReferencesNameStableRoom) {
    TextArena arena;
    std::vector<std::pair<TextArena::Ref, std::string>> kept;
    for (std::size_t size : {1u, 7u, 1000u, 1u << 20, 5u, (3u << 20) + 1, 2u}) {
        char* p = nullptr;
        const TextArena::Ref ref = arena.allocate(size, p);
        ASSERT_NE(ref, TextArena::kNoRef);
        ASSERT_EQ(arena.at(ref), p);
        const std::string text(size, static_cast<char>('a' + kept.size()));
        text.copy(p, size);
        kept.emplace_back(ref, text);
    }
    for (const auto& [ref, text] : kept) {
        EXPECT_EQ(std::string(arena.at(ref), text.size()), text);
    }
    EXPECT_GE(arena.capacity(), (4u << 20) + 1);
    arena.clear();
    EXPECT_EQ(arena.capacity(), 0u);
}

}  // namespace
}  // namespace nightjar::definitions
