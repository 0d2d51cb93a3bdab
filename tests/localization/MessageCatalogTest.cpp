#include <gtest/gtest.h>

#include <string>

#include "localization/MessageCatalog.h"
#include "localization/ProductIdentity.h"
#include "mock/FakeVersionInfo.h"

namespace nightjar::localization {
namespace {

ProductIdentity identity() {
    return {"Nightjar", "Nightjar Labs", "nightjar.example"};
}

class MessageCatalogTest : public ::testing::Test {
  protected:
    void SetUp() override { catalog.LoadDefaultMessages(); }
    MessageCatalog catalog{identity()};
};

TEST(ProductIdentity, ComesFromTheVersionInformation) {
    mock::FakeVersionInfo info;
    info.data.productName = "Acme Shield";
    info.data.companyName = "Acme";
    info.data.comments = "acme.example";
    auto id = ProductIdentity::FromVersionInfo(info);
    EXPECT_EQ(id.productName, "Acme Shield");
    EXPECT_EQ(id.companyName, "Acme");
    EXPECT_EQ(id.website, "acme.example");
}

TEST_F(MessageCatalogTest, KeyMatchIgnoresCase) {
    EXPECT_EQ(catalog.getMessages("msg_sure"), "Are you sure?");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Are you sure?");
}

TEST_F(MessageCatalogTest, CaptionNamesProductAndCompany) {
    EXPECT_EQ(catalog.getMessages("MSG_CAPTION"), "Nightjar by Nightjar Labs");
    EXPECT_EQ(catalog.getMessages("MSG_THANK1"), "Thank you for using Nightjar!");
}

TEST_F(MessageCatalogTest, PlaceholdersIgnoreCaseButWebsiteStays) {
    catalog.setTextAt(0, "visit [website] of [programname] by [COMPANYNAME]");
    EXPECT_EQ(catalog.getMessages("MSG_THANK1"), "Visit [website] of Nightjar by Nightjar Labs");
    EXPECT_EQ(catalog.getMessages("MSG_WEBSITE"), "Visit [Website]");
}

TEST_F(MessageCatalogTest, FirstLetterIsUpperCased) {
    EXPECT_EQ(catalog.getMessages("MSG_COMPLETE"), "Complete");
    EXPECT_EQ(catalog.getMessages("MSG_ERROR_STOPPED").substr(0, 13), "Could not be ");
    catalog.setTextAt(6, "\xc3\xa9tes-vous s\xc3\xbbr ?");  // a translation in UTF-8
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "\xc3\x89tes-vous s\xc3\xbbr ?");
}

TEST_F(MessageCatalogTest, UnknownKeyGivesEmptyText) {
    EXPECT_EQ(catalog.getMessages("MSG_NOPE"), "");
    EXPECT_EQ(catalog.getMessages(""), "");
}

TEST_F(MessageCatalogTest, DefaultsAreStoredInOrder) {
    auto defaults = DefaultMessages();
    ASSERT_EQ(defaults.size(), 70u);
    auto extra = SupplementaryMessages();
    ASSERT_EQ(catalog.size(), 70u + extra.size());
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        EXPECT_EQ(catalog.keyAt(i), defaults[i].key) << i;
    }
    EXPECT_EQ(catalog.keyAt(0), "MSG_THANK1");
    EXPECT_EQ(catalog.keyAt(69), "MSG_FALSE_POS5");
    EXPECT_EQ(catalog.keyAt(70), "MSG_TITLELANGUAGE");
    EXPECT_EQ(catalog.keyAt(71), "MSG_DOWNLOADED");
    EXPECT_EQ(catalog.getMessages("MSG_TITLELANGUAGE"), "Language Selection");
    EXPECT_EQ(catalog.getMessages("msg_downloaded"),
              "The newest language file has been downloaded.");
}

TEST_F(MessageCatalogTest, TextsAreVerbatim) {
    EXPECT_EQ(catalog.getMessages("MSG_FOUND2"), "] using you system memory. Click YES to stop [");
    EXPECT_EQ(catalog.getMessages("MSG_COOKIES_FINISHED"), "Finished Inpecting Cookies");
    EXPECT_EQ(catalog.getMessages("MSG_PAUSED"), "Nightjar has been paused.  Click OK to resume.");
    EXPECT_EQ(catalog.getMessages("MSG_NOTSELECED"), "Not Selected");
    EXPECT_EQ(catalog.getMessages("MSG_FALSE_POS"),
              "This will submit the following files to our research team for investigation.  "
              "You will be prompted to supply details about the susptected false positives.  "
              "Are you sure you want to continue?");
    EXPECT_EQ(catalog.getMessages("MSG_CONFIRM4"),
              "Start > Programs > Accessories > System Tools > System Restore");
}

TEST_F(MessageCatalogTest, FirstEntryOfAKeyWins) {
    catalog.setMessage("MSG_SURE", "second");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Are you sure?");
    catalog.setMessage("MSG_NEW", "new text");
    EXPECT_EQ(catalog.getMessages("msg_new"), "New text");
}

TEST(MessageCatalog, HoldsAtMost201Entries) {
    MessageCatalog c(identity());
    EXPECT_EQ(c.getMessages("MSG_SURE"), "");  // empty before the defaults
    for (int i = 0; i < 250; ++i) {
        c.setMessage("K" + std::to_string(i), "t" + std::to_string(i));
    }
    EXPECT_EQ(c.size(), MessageCatalog::kCapacity);
    EXPECT_EQ(c.getMessages("K200"), "T200");
    EXPECT_EQ(c.getMessages("K201"), "");
}

TEST(MessageCatalog, ProductNameHoldingAPlaceholderIsFilledInOrder) {
    MessageCatalog c({"Pro [CompanyName]", "Co", "site"});
    c.setMessage("K", "[ProgramName]!");
    EXPECT_EQ(c.getMessages("K"), "Pro Co!");
}

}  // namespace
}  // namespace nightjar::localization
