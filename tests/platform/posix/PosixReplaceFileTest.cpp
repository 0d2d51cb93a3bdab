#include "platform/posix/PosixReplaceFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempMachineRoot.h"

namespace nightjar::platform::posix {
namespace {

using test::TempMachineRoot;

std::string pathOfDescriptor(int fd) {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec).string();
}

struct SyncCall {
    std::string path;
    std::string targetContent;  // what the target held when the call came
};

// A crash must leave the old or the new content: the new content is on the disk before it
// takes the target's name, and the folder entry is on the disk before commit reports success.
TEST(PosixReplaceFile, SyncsTheContentBeforeTheRenameAndTheFolderAfterIt) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string folder = t.driveC();
    const std::string target = folder + "/date.dat";
    TempMachineRoot::writeFile(target, "old");

    std::vector<SyncCall> calls;
    auto w = PosixReplaceFile::open(target, [&](int fd) {
        calls.push_back({pathOfDescriptor(fd), TempMachineRoot::readFile(target)});
        return 0;
    });
    ASSERT_TRUE(w);
    const std::string temp = w->temporaryPath();
    ASSERT_TRUE(w->write("new"));
    ASSERT_TRUE(w->commit());

    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].path, temp);
    EXPECT_EQ(calls[0].targetContent, "old");
    EXPECT_EQ(calls[1].path, folder);
    EXPECT_EQ(calls[1].targetContent, "new");
}

TEST(PosixReplaceFile, AFailedContentSyncKeepsTheOldFile) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string target = t.driveC() + "/date.dat";
    TempMachineRoot::writeFile(target, "old");

    auto w = PosixReplaceFile::open(target, [](int) { return -1; });
    ASSERT_TRUE(w);
    const std::string temp = w->temporaryPath();
    ASSERT_TRUE(w->write("new"));
    EXPECT_FALSE(w->commit());
    EXPECT_EQ(TempMachineRoot::readFile(target), "old");
    EXPECT_FALSE(std::filesystem::exists(temp));
}

}  // namespace
}  // namespace nightjar::platform::posix
