#include "scan/FolderPartCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nightjar::scan {
namespace {

using Part = FolderPartCache::Part;

std::vector<std::string> texts(std::string_view path, const std::vector<Part>& parts) {
    std::vector<std::string> out;
    for (const Part& p : parts) {
        out.emplace_back(path.substr(p.start, p.length));
    }
    return out;
}

TEST(FolderPartCacheTest, CutsPartsFromTheEndWithoutTheDrive) {
    std::vector<Part> parts;
    FolderPartCache::cut("c:\\Program Files\\Spy\\", parts);
    EXPECT_EQ(texts("c:\\Program Files\\Spy\\", parts),
              (std::vector<std::string>{"", "Spy", "Program Files"}));
    parts.clear();
    FolderPartCache::cut("[drive]\\x", parts);  // no ":": nothing is removed
    EXPECT_EQ(texts("[drive]\\x", parts), (std::vector<std::string>{"x", "[drive]"}));
    for (std::string_view empty : {"", "c:", "c:\\"}) {
        parts.clear();
        FolderPartCache::cut(empty, parts);
        EXPECT_EQ(parts.size(), 1u) << empty;
        EXPECT_EQ(parts[0].length, 0u) << empty;
    }
    // Parts that differ only in letter case hash alike; others (almost always) do not.
    std::vector<Part> upper;
    std::vector<Part> lower;
    FolderPartCache::cut("TEMP\\\xC3\x89T\xC3\x89", upper);
    FolderPartCache::cut("temp\\\xC3\xA9t\xC3\xA9", lower);
    ASSERT_EQ(upper.size(), 2u);
    ASSERT_EQ(lower.size(), 2u);
    EXPECT_EQ(upper[0].hash, lower[0].hash);
    EXPECT_EQ(upper[1].hash, lower[1].hash);
    EXPECT_NE(upper[0].hash, upper[1].hash);
}

TEST(FolderPartCacheTest, TrailingMatchesStopsOnceEnoughMatched) {
    const std::string a = "c:\\a\\b\\c\\d";
    const std::string b = "d:\\x\\B\\c\\D";
    std::vector<Part> ap;
    std::vector<Part> bp;
    FolderPartCache::cut(a, ap);
    FolderPartCache::cut(b, bp);
    EXPECT_EQ(FolderPartCache::trailingMatches(a, ap, b, bp, 0), 3);
    EXPECT_EQ(FolderPartCache::trailingMatches(a, ap, b, bp, 2), 2);
    EXPECT_EQ(FolderPartCache::trailingMatches(a, ap, b, bp, 5), 3);
    // Equal hashes are not trusted alone: the texts must agree.
    ASSERT_EQ(ap.size(), 4u);
    ap[3].hash = bp[3].hash;  // "a" against "x"
    EXPECT_EQ(FolderPartCache::trailingMatches(a, ap, b, bp, 0), 3);
}

TEST(FolderPartCacheTest, KeepsRowsUntilTheTableChanges) {
    FolderPartCache cache;
    const std::vector<int> rows(3);
    cache.refresh(1, rows.data(), rows.size());
    EXPECT_EQ(cache.partsOf(1, "c:\\a\\b").size(), 2u);
    // Cut on first use: the same row of the same table is not cut again.
    EXPECT_EQ(cache.partsOf(1, "c:\\a\\b\\c\\d").size(), 2u);
    cache.refresh(1, rows.data(), rows.size());
    EXPECT_EQ(cache.partsOf(1, "c:\\a\\b\\c\\d").size(), 2u);
    // Another generation, row storage or size: every row is cut afresh.
    cache.refresh(2, rows.data(), rows.size());
    EXPECT_EQ(cache.partsOf(1, "c:\\a\\b\\c\\d").size(), 4u);
    const std::vector<int> other(3);
    cache.refresh(2, other.data(), other.size());
    EXPECT_EQ(cache.partsOf(1, "x").size(), 1u);
    cache.refresh(2, other.data(), 2);
    EXPECT_EQ(cache.partsOf(1, "x\\y\\z").size(), 3u);
    // A row beyond the table is cut each time and leaves the kept rows alone.
    EXPECT_EQ(cache.partsOf(7, "p\\q").size(), 2u);
    EXPECT_EQ(cache.partsOf(7, "p").size(), 1u);
    EXPECT_EQ(cache.partsOf(1, "ignored").size(), 3u);
}

}  // namespace
}  // namespace nightjar::scan
