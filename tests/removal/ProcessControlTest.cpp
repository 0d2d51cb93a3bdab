#include "removal/ProcessControl.h"

#include <gtest/gtest.h>

#include "mock/FakeProcesses.h"

namespace nightjar::removal {
namespace {

using Proc = mock::FakeProcesses::Proc;

class ProcessControlTest : public ::testing::Test {
  protected:
    mock::FakeProcesses procs;
    ProcessControl control{procs};
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
};

TEST_F(ProcessControlTest, ByIdListingNamesIdleAndSystemWithoutOpeningThem) {
    procs.add(Proc{0, "", "", false, true, ""});
    procs.add(Proc{2, "", "", false, true, ""});
    procs.add(400, "C:\\windows\\notepad.exe");
    EXPECT_EQ(control.ListProcesses(names, ids, "", true), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"System Idle Process", "System", "notepad.exe"}));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0, 2, 400}));
}

TEST_F(ProcessControlTest, UnopenableProcessesAreLeftOutAndNamelessAreUnknown) {
    procs.add(Proc{10, "a.exe", "C:\\a.exe", false, true, ""});
    procs.add(Proc{11, "", "C:\\b.exe", true, true, ""});
    procs.add(12, "C:\\c.exe");
    EXPECT_EQ(control.ListProcesses(names, ids, "", true), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"unknown", "c.exe"}));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{11, 12}));
}

TEST_F(ProcessControlTest, FailedListingGivesMinusOneAndEmptyLists) {
    names = {"stale"};
    ids = {1};
    procs.add(12, "C:\\c.exe");
    procs.setListingFails(true);
    EXPECT_EQ(control.ListProcesses(names, ids, "", true), -1);
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(control.ListProcesses(names, ids, "", false), -1);
}

TEST_F(ProcessControlTest, FilterKeepsNamesContainingItExactCase) {
    procs.add(5, "C:\\x\\Setup.exe");
    procs.add(6, "C:\\x\\setup.exe");
    EXPECT_EQ(control.ListProcesses(names, ids, "setup", true), 1);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{6}));
}

TEST_F(ProcessControlTest, MoreThan128ProcessesAreAllListed) {
    for (std::uint32_t pid = 100; pid < 400; ++pid) {
        procs.add(pid, "C:\\p\\p" + std::to_string(pid) + ".exe");
    }
    EXPECT_EQ(control.ListProcesses(names, ids, "", true), 300);
    EXPECT_EQ(names.back(), "p399.exe");
}

TEST_F(ProcessControlTest, SnapshotListingCutsAtZeroAndSkipsEmptyNames) {
    procs.add(Proc{7, "", "", true, true, std::string("C:\\W\\A.EXE\0junk", 15)});
    procs.add(Proc{8, "", "", true, true, std::string("\0x", 2)});
    EXPECT_EQ(control.ListProcesses(names, ids, "", false), 1);
    EXPECT_EQ(names, (std::vector<std::string>{"C:\\W\\A.EXE"}));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{7}));
}

TEST_F(ProcessControlTest, StopByIdRaisesAndDropsPrivilegeOnNt) {
    procs.add(50, "C:\\x.exe");
    EXPECT_TRUE(control.StopProcessById(50, 0));
    EXPECT_EQ(procs.privilegeChanges(), 2);
    EXPECT_FALSE(procs.running(50));
    EXPECT_FALSE(control.StopProcessById(50, 0));  // gone
}

TEST_F(ProcessControlTest, StopByIdFailsWhenPrivilegeCannotBeRaised) {
    procs.add(50, "C:\\x.exe");
    procs.setPrivilegeFails(true);
    EXPECT_FALSE(control.StopProcessById(50, 0));
    EXPECT_TRUE(procs.running(50));
}

TEST_F(ProcessControlTest, StopByIdOnLegacySystemSkipsPrivilege) {
    procs.setPlatformId(1);
    procs.add(50, "C:\\x.exe");
    EXPECT_TRUE(control.StopProcessById(50, 0));
    EXPECT_EQ(procs.privilegeChanges(), 0);
}

TEST_F(ProcessControlTest, NameForms) {
    EXPECT_EQ(ProcessControl::ShortNameForm("LongProcessName.exe"), "LONGPR~1");
    EXPECT_EQ(ProcessControl::ShortNameForm("ab.EXE"), "AB~1");
    EXPECT_EQ(ProcessControl::ComparableName("C:\\dir\\abcdefghijklmnopq.exe"), "abcdefghijklmno");
    EXPECT_EQ(ProcessControl::ComparableName("setup.exe"), "SETUP");
    EXPECT_EQ(ProcessControl::ComparableName("noext"), "noext");
}

TEST_F(ProcessControlTest, LongNameFoundByFirst15Characters) {
    procs.add(70, "C:\\x\\abcdefghijklmnopq.exe");
    EXPECT_TRUE(control.StopProcessByName("abcdefghijklmnopq.exe"));
    EXPECT_EQ(procs.terminated(), (std::vector<std::uint32_t>{70}));
}

TEST_F(ProcessControlTest, SetupFoundByFullNameAndByStem) {
    procs.add(71, "C:\\x\\setup.exe");
    EXPECT_TRUE(control.StopProcessByName("SETUP.EXE"));
    procs.add(72, "C:\\y\\setup.exe");
    EXPECT_TRUE(control.StopProcessByName("setup"));
    EXPECT_EQ(procs.terminated(), (std::vector<std::uint32_t>{71, 72}));
}

TEST_F(ProcessControlTest, ShortNameFormMatchesListedShortName) {
    procs.add(Proc{73, "LONGPR~1.EXE", "C:\\LONGPR~1.EXE", true, true, ""});
    EXPECT_TRUE(control.StopProcessByName("LongProcessName.exe"));
    EXPECT_EQ(procs.terminated(), (std::vector<std::uint32_t>{73}));
}

TEST_F(ProcessControlTest, UnknownNameCountsAsStoppedAndTouchesNothing) {
    procs.add(80, "C:\\x\\other.exe");
    EXPECT_TRUE(control.StopProcessByName("missing.exe"));
    EXPECT_TRUE(procs.terminated().empty());
    EXPECT_TRUE(procs.running(80));
}

TEST_F(ProcessControlTest, UnstoppableProcessGivesFalseAfterElevenAttempts) {
    procs.add(Proc{90, "stuck.exe", "C:\\stuck.exe", true, false, ""});
    int pumps = 0;
    EXPECT_FALSE(control.StopProcessByName("stuck.exe", [&] { ++pumps; }));
    EXPECT_EQ(procs.privilegeChanges(), 22);  // raised and dropped on each attempt
    EXPECT_EQ(pumps, 1);
}

TEST_F(ProcessControlTest, FirstMatchingProcessIsTheTarget) {
    procs.add(100, "C:\\a\\dup.exe");
    procs.add(101, "C:\\b\\dup.exe");
    int pumps = 0;
    EXPECT_TRUE(control.StopProcessByName("dup.exe", [&] { ++pumps; }));
    EXPECT_EQ(procs.terminated(), (std::vector<std::uint32_t>{100}));
    EXPECT_TRUE(procs.running(101));
    EXPECT_EQ(pumps, 1);
}

TEST_F(ProcessControlTest, LegacyStopTerminatesButNeverProcessZero) {
    procs.add(Proc{0, "", "", false, true, ""});
    procs.add(60, "C:\\x.exe");
    EXPECT_FALSE(control.StopProcessLegacy(0));
    EXPECT_TRUE(control.StopProcessLegacy(60));
    EXPECT_EQ(procs.terminated(), (std::vector<std::uint32_t>{60}));
}

TEST_F(ProcessControlTest, StopsAnIdOnlyWhileItRunsTheMatchedImage) {
    // The id was matched as C:\EVIL\BAD.EXE but now belongs to another program.
    procs.add(70, "C:\\Tools\\good.exe");
    EXPECT_FALSE(control.StopProcessById(70, 0, "C:\\EVIL\\BAD.EXE"));
    EXPECT_FALSE(control.StopProcessLegacy(70, "C:\\EVIL\\BAD.EXE"));
    EXPECT_TRUE(procs.running(70));
    EXPECT_TRUE(control.StopProcessById(70, 0, "c:\\tools\\GOOD.EXE"));
    EXPECT_FALSE(procs.running(70));
}

}  // namespace
}  // namespace nightjar::removal
