// The definitions date file and the guards around the definition files.
#include <gtest/gtest.h>

#include "mock/FakeFileSystem.h"
#include "update/DefinitionIntegrity.h"
#include "update/DefinitionsDate.h"
#include "update/UpdateTestSupport.h"

namespace nightjar::update {
namespace {

using testing::dataFile;
using testing::kData;

class DateFileTest : public ::testing::Test {
  protected:
    DateFileTest() { fs.addFolder(kData); }
    mock::FakeFileSystem fs;
    DefinitionsDate date{fs, std::string(kData)};
};

TEST_F(DateFileTest, MissingFileGivesTheDefaultDate) {
    EXPECT_EQ(date.ReadDefinitionsDate(), "3/16/2006 12:00:00 AM");
}

TEST_F(DateFileTest, ReadsTheFirstLineOnly) {
    fs.addFile(dataFile("date.dat"), "1/5/2009 3:04:05 PM\r\nsecond\r\n");
    EXPECT_EQ(date.ReadDefinitionsDate(), "1/5/2009 3:04:05 PM");
    fs.addFile(dataFile("date.dat"), "");
    EXPECT_EQ(date.ReadDefinitionsDate(), "");
}

TEST_F(DateFileTest, WriteReplacesTheFileWithTextAndCrLf) {
    fs.addFile(dataFile("date.dat"), "old\r\nmore\r\n");
    EXPECT_TRUE(date.WriteDefinitionsDate("2/3/2010 4:05:06 AM"));
    EXPECT_EQ(fs.content(dataFile("date.dat")), "2/3/2010 4:05:06 AM\r\n");
    EXPECT_EQ(date.ReadDefinitionsDate(), "2/3/2010 4:05:06 AM");
    fs.deleteFile(dataFile("date.dat"));
    EXPECT_TRUE(date.WriteDefinitionsDate("12:00:00 AM"));
    EXPECT_EQ(fs.content(dataFile("date.dat")), "12:00:00 AM\r\n");
}

TEST_F(DateFileTest, FailedWriteKeepsTheOldDate) {
    fs.addFile(dataFile("date.dat"), "1/1/2010\r\n");
    fs.failCommitAfter(0);
    EXPECT_FALSE(date.WriteDefinitionsDate("2/2/2012"));
    EXPECT_EQ(fs.content(dataFile("date.dat")), "1/1/2010\r\n");
}

class IntegrityTest : public ::testing::Test {
  protected:
    IntegrityTest() {
        fs.addFolder(kData);
        for (auto name : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat",
                          "BlockedCookies.dat", "DirectoryDefinition.dat", "date.dat"}) {
            fs.addFile(dataFile(name), std::string(name) + "\r\n");
        }
    }
    mock::FakeFileSystem fs;
    DefinitionIntegrity integrity{fs, std::string(kData)};
};

TEST_F(IntegrityTest, CompleteSetPassesWithoutSafety) {
    int missing = 0;
    EXPECT_TRUE(integrity.CheckDefinitionFiles([&] { ++missing; }));
    EXPECT_EQ(missing, 0);
    EXPECT_TRUE(fs.exists(dataFile("date.dat")));
    EXPECT_FALSE(fs.exists(dataFile("Safety.dat")));
}

TEST_F(IntegrityTest, OneMissingFileResetsTheWholeSet) {
    fs.deleteFile(dataFile("DirectoryDefinition.dat"));
    fs.addFile(dataFile("Safety.dat"), "s\r\n");
    int missing = 0;
    EXPECT_FALSE(integrity.CheckDefinitionFiles([&] { ++missing; }));
    EXPECT_EQ(missing, 1);
    for (auto name : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat",
                      "BlockedCookies.dat", "DirectoryDefinition.dat", "date.dat"}) {
        EXPECT_FALSE(fs.exists(dataFile(name))) << name;
    }
    EXPECT_TRUE(fs.exists(dataFile("Safety.dat")));  // not part of the set
}

TEST_F(IntegrityTest, HiddenOrSystemFilesCountAsMissing) {
    fs.setAttributes(dataFile("ExeDefinition.dat"),
                     platform::attr::Hidden | platform::attr::Archive);
    EXPECT_FALSE(integrity.CheckDefinitionFiles());
    EXPECT_FALSE(fs.exists(dataFile("FileDefinition.dat")));

    mock::FakeFileSystem other;
    other.addFolder(kData);
    for (auto name : {"FileDefinition.dat", "RegistryDefinition.dat", "ExeDefinition.dat",
                      "BlockedCookies.dat", "DirectoryDefinition.dat"}) {
        other.addFile(dataFile(name), "x\r\n", platform::attr::Archive | platform::attr::ReadOnly);
    }
    DefinitionIntegrity ok(other, std::string(kData));
    EXPECT_TRUE(ok.CheckDefinitionFiles());
    other.setAttributes(dataFile("BlockedCookies.dat"), platform::attr::System);
    EXPECT_FALSE(ok.CheckDefinitionFiles());
}

TEST_F(IntegrityTest, FolderInPlaceOfAFileCountsAsMissing) {
    fs.deleteFile(dataFile("BlockedCookies.dat"));
    fs.addFolder(dataFile("BlockedCookies.dat"));
    EXPECT_FALSE(integrity.CheckDefinitionFiles());
}

TEST_F(IntegrityTest, DeleteGoesOnPastFailures) {
    fs.deleteFile(dataFile("BlockedCookies.dat"));
    integrity.DeleteDefinitionFiles();
    EXPECT_FALSE(fs.exists(dataFile("FileDefinition.dat")));
    EXPECT_FALSE(fs.exists(dataFile("date.dat")));
}

TEST_F(IntegrityTest, StagedCopiesTakeTheirPlace) {
    // With no file beside it, the staged copy takes the name; with one, it replaces it.
    fs.deleteFile(dataFile("ExeDefinition.dat"));
    fs.addFile(dataFile("DLExeDefinition.dat"), "new exe\r\n");
    fs.addFile(dataFile("DLFileDefinition.dat"), "new files\r\n");
    fs.addFile(dataFile("DLDirectoryDefinition.dat"), "not staged\r\n");
    integrity.PromoteStagedDefinitions();
    EXPECT_EQ(fs.content(dataFile("ExeDefinition.dat")), "new exe\r\n");
    EXPECT_EQ(fs.content(dataFile("FileDefinition.dat")), "new files\r\n");
    EXPECT_FALSE(fs.exists(dataFile("DLExeDefinition.dat")));
    EXPECT_FALSE(fs.exists(dataFile("DLFileDefinition.dat")));
    // A staged DirectoryDefinition.dat is left alone.
    EXPECT_EQ(fs.content(dataFile("DLDirectoryDefinition.dat")), "not staged\r\n");
    EXPECT_EQ(fs.content(dataFile("DirectoryDefinition.dat")), "DirectoryDefinition.dat\r\n");
    EXPECT_EQ(fs.content(dataFile("BlockedCookies.dat")), "BlockedCookies.dat\r\n");
}

}  // namespace
}  // namespace nightjar::update
