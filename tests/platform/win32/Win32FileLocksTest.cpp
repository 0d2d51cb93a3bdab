#include "platform/win32/Win32FileLocks.h"

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace nightjar::platform::win32 {
namespace {

TEST(Win32FileLocksTest, OneHolderAtATimeUntilUnlocked) {
    test::TempFolder folder;
    const std::string lockFile = folder / "update.lock";
    Win32FileLocks first;
    Win32FileLocks second;
    ASSERT_TRUE(first.lock(lockFile, std::chrono::milliseconds(0)));
    EXPECT_FALSE(second.lock(lockFile, std::chrono::milliseconds(100)));
    first.unlock(lockFile);
    EXPECT_TRUE(second.lock(lockFile, std::chrono::milliseconds(0)));
    second.unlock(lockFile);
}

}  // namespace
}  // namespace nightjar::platform::win32
