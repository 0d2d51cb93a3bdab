#include <gtest/gtest.h>

#include "platform/SystemRestore.h"

namespace nightjar::platform {
namespace {

TEST(SystemRestoreVersionTest, OnlyMeXpAndLaterHaveRestorePoints) {
    EXPECT_TRUE(SystemRestoreVersionAllows(1, 4, 90));   // Me
    EXPECT_FALSE(SystemRestoreVersionAllows(1, 4, 10));  // 98
    EXPECT_FALSE(SystemRestoreVersionAllows(2, 5, 0));   // 2000
    EXPECT_TRUE(SystemRestoreVersionAllows(2, 5, 1));    // XP
    EXPECT_FALSE(SystemRestoreVersionAllows(2, 5, 2));   // Server 2003
    EXPECT_TRUE(SystemRestoreVersionAllows(2, 6, 2));
    EXPECT_TRUE(SystemRestoreVersionAllows(2, 10, 0));
    EXPECT_FALSE(SystemRestoreVersionAllows(0, 10, 0));
}

}  // namespace
}  // namespace nightjar::platform
