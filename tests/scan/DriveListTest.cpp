#include "scan/DriveList.h"

#include <gtest/gtest.h>

#include "mock/FakeFileSystem.h"
#include "mock/FakeRegistry.h"

namespace nightjar::scan {
namespace {

using platform::DriveType;

class DriveListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs.setDrives({{'A', DriveType::Removable, false},
                      {'C', DriveType::Fixed, true},
                      {'D', DriveType::Fixed, false},
                      {'E', DriveType::CdRom, false},
                      {'F', DriveType::Remote, true},
                      {'G', DriveType::RamDisk, true},
                      {'H', DriveType::Unknown, true},
                      {'I', DriveType::NoRootDir, true}});
    }
    mock::FakeFileSystem fs;
    mock::FakeRegistry reg;
    settings::SettingsStore settings{reg, "Nightjar"};
    DriveList drives{fs, settings};

    std::string letters() const {
        std::string s;
        for (const auto& r : drives.rows()) {
            s.push_back(r.letter);
        }
        return s;
    }
};

TEST_F(DriveListTest, DriveTypesDecideTheRows) {
    int pumps = 0;
    drives.FillDriveList([&] { ++pumps; });
    // The fixed disk that is not ready, the RAM disk and unknown types are left out.
    EXPECT_EQ(letters(), "ACEF");
    EXPECT_EQ(pumps, 8);
}

TEST_F(DriveListTest, WithoutStoredChecksEveryDriveIsChecked) {
    drives.FillDriveList();
    for (const auto& r : drives.rows()) {
        EXPECT_TRUE(r.checked) << r.letter;
    }
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"A:\\", "C:\\", "E:\\", "F:\\"}));
}

TEST_F(DriveListTest, ClearingOneBoxStoresFalseForItAndTrueForOthers) {
    drives.FillDriveList();
    drives.lvwHardDrives_ItemCheck(1, false);
    EXPECT_EQ(settings.Read("Drives", "C", ""), "False");
    EXPECT_EQ(settings.Read("Drives", "A", ""), "True");
    EXPECT_EQ(settings.Read("Drives", "E", ""), "True");
    EXPECT_EQ(settings.Read("Drives", "F", ""), "True");
    // The Full System Scan walks only the checked drives.
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"A:\\", "E:\\", "F:\\"}));
    EXPECT_EQ(drives.allDrives().size(), 4u);
}

TEST_F(DriveListTest, StoredChecksAreRestored) {
    settings.Write("Drives", "E", "False");
    settings.Write("Drives", "A", "True");
    drives.FillDriveList();
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"A:\\", "C:\\", "F:\\"}));
    settings.Write("Drives", "C", "False");
    drives.ApplyStoredChecks();
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"A:\\", "F:\\"}));
}

TEST_F(DriveListTest, TheHostsOwnFileSystemIsListedButLeftOutUntilChecked) {
    fs.setDrives({{'C', DriveType::Fixed, true}, {'Z', DriveType::Fixed, true, true}});
    drives.FillDriveList();
    EXPECT_EQ(letters(), "CZ");
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"C:\\"}));
    drives.lvwHardDrives_ItemCheck(1, true);
    EXPECT_EQ(settings.Read("Drives", "Z", ""), "True");
    drives.FillDriveList();
    EXPECT_EQ(drives.checkedDrives(), (std::vector<std::string>{"C:\\", "Z:\\"}));
}

TEST_F(DriveListTest, RemovableDriveWithoutMediumIsListedButUnreadable) {
    fs.setVolumeUnreadable('A', true);
    drives.FillDriveList();
    EXPECT_EQ(drives.rows().front().letter, 'A');
    EXPECT_FALSE(drives.ReadVolumeInfo("A:\\"));
    EXPECT_TRUE(drives.ReadVolumeInfo("C:\\"));
}

}  // namespace
}  // namespace nightjar::scan
