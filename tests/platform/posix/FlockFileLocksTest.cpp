#include "platform/posix/FlockFileLocks.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempMachineRoot.h"

namespace nightjar::platform::posix {
namespace {

constexpr const char* kLockFile = "C:\\update.lock";

TEST(FlockFileLocksTest, AnotherProcessHoldsTheLockUntilItEnds) {
    test::TempMachineRoot root;
    ASSERT_TRUE(root.created()) << root.error();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        FlockFileLocks locks(root.machine());
        const char ok = locks.lock(kLockFile, std::chrono::milliseconds(0)) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();  // killed while holding the lock, never unlocking
        _exit(0);
    }
    ASSERT_GT(holder, 0);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');

    FlockFileLocks locks(root.machine());
    EXPECT_FALSE(locks.lock(kLockFile, std::chrono::milliseconds(100)));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(locks.lock(kLockFile, std::chrono::milliseconds(0)));
    // A second lock of the same process on the same file is refused too.
    FlockFileLocks again(root.machine());
    EXPECT_FALSE(again.lock(kLockFile, std::chrono::milliseconds(0)));
    locks.unlock(kLockFile);
    EXPECT_TRUE(again.lock(kLockFile, std::chrono::milliseconds(0)));
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
}  // namespace nightjar::platform::posix
