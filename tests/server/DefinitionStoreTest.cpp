#include "DefinitionStore.h"

#include <gtest/gtest.h>

#include "ServerTestSupport.h"

namespace nightjar::server {
namespace {

class DefinitionStoreTest : public ::testing::Test {
  protected:
    DefinitionStoreTest() : store(test::openTempStore(dir)) {}
    test::TempDir dir;
    std::unique_ptr<DefinitionStore> store;
};

TEST_F(DefinitionStoreTest, AddGivesOneStampPerBatchAndSkipsCurrentDuplicates) {
    ASSERT_TRUE(store);
    const auto first = store->add("FILE", {"a.exe=A|x", "b.exe=B|x"}, 1000);
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.stamp, 1000);
    EXPECT_EQ(first.added.size(), 2u);
    const auto again = store->add("FILE", {"a.exe=A|x", "c.exe=C|x"}, 1001);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.added.size(), 1u);
    EXPECT_EQ(again.skipped, std::vector<std::string>{"a.exe=A|x"});
    // The same text under another kind is another entry.
    EXPECT_EQ(store->add("EXE", {"a.exe=A|x"}, 1002).added.size(), 1u);

    const auto rows = store->rows(false);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[0].addedAt, 1000);
    EXPECT_EQ((*rows)[1].addedAt, 1000);
    EXPECT_EQ((*rows)[2].body, "c.exe=C|x");
    EXPECT_EQ((*rows)[2].addedAt, 1001);
}

TEST_F(DefinitionStoreTest, BytesOfEveryValueSurvive) {
    ASSERT_TRUE(store);
    const std::string body = std::string("caf\xE9\x80.exe=T|[windir]\xA0") + "x";
    ASSERT_TRUE(store->add("FILE", {body}, 10).ok);
    const auto rows = store->rows(false);
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ((*rows)[0].body, body);
}

TEST_F(DefinitionStoreTest, WithdrawalsAreStampedAndKeepTheEntry) {
    ASSERT_TRUE(store);
    const auto added = store->add("COOK", {"a.example", "b.example"}, 100);
    EXPECT_EQ(store->withdraw("COOK", "a.example", 200), 1);
    EXPECT_EQ(store->withdraw("COOK", "a.example", 201), 0);  // already withdrawn
    EXPECT_EQ(store->withdraw("FILE", "b.example", 202), 0);  // other kind
    EXPECT_EQ(store->withdrawById(added.added[1], 300), 1);
    EXPECT_EQ(store->withdrawById(added.added[1], 301), 0);
    EXPECT_EQ(store->withdrawById(999, 302), 0);
    EXPECT_TRUE(store->rows(false)->empty());
    const auto all = store->rows(true);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].withdrawnAt, 200);
    EXPECT_EQ((*all)[1].withdrawnAt, 300);
}

TEST_F(DefinitionStoreTest, EveryChangeMovesTheGenerationAndNoOtherCallDoes) {
    ASSERT_TRUE(store);
    const std::int64_t g0 = *store->generation();
    store->add("FILE", {"a.exe=A|x"}, 100);
    const std::int64_t g1 = *store->generation();
    EXPECT_NE(g1, g0);
    store->add("FILE", {"a.exe=A|x"}, 101);   // nothing new
    store->withdraw("FILE", "zzz=Z|x", 102);  // nothing withdrawn
    store->markServed(500);
    store->recordName("x.exe", 103);
    EXPECT_EQ(*store->generation(), g1);
    store->withdraw("FILE", "a.exe=A|x", 104);
    EXPECT_NE(*store->generation(), g1);
}

TEST_F(DefinitionStoreTest, AChangeIsStampedLaterThanEveryDateAlreadyHandedOut) {
    ASSERT_TRUE(store);
    store->add("FILE", {"a.exe=A|x"}, 1000);
    ASSERT_TRUE(store->markServed(1000));
    // Same second as the date a client holds: the change must still be "after" it.
    const auto next = store->add("FILE", {"b.exe=B|x"}, 1000);
    EXPECT_EQ(next.stamp, 1001);
    ASSERT_TRUE(store->markServed(1001));
    EXPECT_EQ(store->withdraw("FILE", "a.exe=A|x", 995), 1);
    EXPECT_EQ((*store->rows(true))[0].withdrawnAt, 1002);
    // markServed never lowers the date.
    ASSERT_TRUE(store->markServed(10));
    EXPECT_EQ(store->servedDate(), 1001);
    // With a clock ahead of every handed-out date, the clock wins.
    EXPECT_EQ(store->add("FILE", {"c.exe=C|x"}, 5000).stamp, 5000);
}

TEST_F(DefinitionStoreTest, MarkServedIfUnchangedRefusesWhenTheDefinitionsMovedOn) {
    ASSERT_TRUE(store);
    store->add("FILE", {"a.exe=A|x"}, 1000);
    const std::int64_t g = *store->generation();
    store->add("FILE", {"b.exe=B|x"}, 1000);
    EXPECT_EQ(store->markServedIfUnchanged(1000, g), false);
    EXPECT_EQ(store->servedDate(), 0);
    EXPECT_EQ(store->markServedIfUnchanged(1000, *store->generation()), true);
    EXPECT_EQ(store->servedDate(), 1000);
    // Already handed out: true whatever the generation, nothing written.
    EXPECT_EQ(store->markServedIfUnchanged(900, g), true);
    EXPECT_EQ(store->servedDate(), 1000);
}

TEST_F(DefinitionStoreTest, LoadAllReadsWithdrawnEntriesWithTheirGeneration) {
    ASSERT_TRUE(store);
    store->add("FILE", {"a.exe=A|x", "b.exe=B|x"}, 100);
    store->withdraw("FILE", "a.exe=A|x", 200);
    std::vector<DefinitionRow> rows;
    std::int64_t g = -1;
    ASSERT_TRUE(store->loadAll(rows, g));
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(g, *store->generation());
}

TEST_F(DefinitionStoreTest, NamesAreNewOnlyTheFirstTimeWhateverTheirCase) {
    ASSERT_TRUE(store);
    EXPECT_EQ(store->recordName("MyTool.exe", 1), true);
    EXPECT_EQ(store->recordName("mytool.EXE", 2), false);
    EXPECT_EQ(store->recordName("other.exe", 3), true);
    EXPECT_TRUE(store->recordData("MyTool.exe|other.exe", "127.0.0.1", 4));
    EXPECT_TRUE(store->recordFalsePositive("a.exe|", "mine", "127.0.0.1", 5));
    const auto subs = store->submissions();
    ASSERT_TRUE(subs);
    ASSERT_EQ(subs->size(), 2u);
    EXPECT_EQ((*subs)[0].kind, "data");
    EXPECT_EQ((*subs)[0].first, "MyTool.exe|other.exe");
    EXPECT_EQ((*subs)[1].kind, "fp");
    EXPECT_EQ((*subs)[1].first, "a.exe|");
    EXPECT_EQ((*subs)[1].second, "mine");
}

TEST_F(DefinitionStoreTest, LanguageFilesAreKeptPerPackage) {
    ASSERT_TRUE(store);
    EXPECT_FALSE(store->language(21));
    ASSERT_TRUE(store->setLanguage(21, "one", 1));
    ASSERT_TRUE(store->setLanguage(21, "two\xC3\xA4", 2));
    EXPECT_EQ(store->language(21), "two\xC3\xA4");
    EXPECT_FALSE(store->language(22));
}

TEST_F(DefinitionStoreTest, TheFileIsSharedBetweenConnections) {
    ASSERT_TRUE(store);
    std::string error;
    auto other = DefinitionStore::open(dir.file("defs.db"), error);
    ASSERT_TRUE(other) << error;
    other->add("FILE", {"a.exe=A|x"}, 100);
    EXPECT_EQ(store->rows(false)->size(), 1u);
    EXPECT_EQ(store->generation(), other->generation());
}

TEST(DefinitionStoreOpenTest, AnUnopenableFileIsReported) {
    std::string error;
    EXPECT_FALSE(DefinitionStore::open("/nonexistent-folder/x/defs.db", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace nightjar::server
