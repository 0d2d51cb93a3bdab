#include "removal/ProtectedLocations.h"

#include <gtest/gtest.h>

#include "mock/FakeShellFolders.h"

namespace nightjar::removal {
namespace {

TEST(ProtectedLocationsTest, GuardsSystemPlacesButNotWhatIsInThem) {
    mock::FakeShellFolders shell;
    shell.set(0x24, "C:\\Windows");
    shell.set(0x26, "C:\\Program Files");
    shell.set(0x28, "C:\\Users\\tester");
    shell.setSystemDirectory("C:\\Windows\\system32");
    const ProtectedLocations p = ProtectedLocations::forMachine(
        shell, "C:\\Users\\tester\\AppData\\Roaming\\Data", "C:\\Program Files\\Nightjar");

    for (const char* path :
         {"C:\\", "d:", "C:\\WINDOWS\\", "C:\\Windows.", "C:\\Windows\\System32\\..",
          "C:\\Temp\\..\\Windows", "c:\\windows\\system32", "C:\\Program Files", "C:\\Users",
          "C:\\Users\\tester", "C:\\Users\\other\\", "C:\\..\\..",
          "C:\\Users\\tester\\AppData\\Roaming\\Data", "C:\\Program Files\\Nightjar\\x.dll",
          "C:\\Users\\tester\\AppData\\Roaming\\Data\\quarantine\\QuarantineLog.txt", "evil.exe",
          "\\\\server\\share", ""}) {
        EXPECT_TRUE(p.isProtected(path)) << path;
    }
    for (const char* path :
         {"C:\\Windows\\system32\\evil.dll", "C:\\Program Files\\EvilCo",
          "C:\\Users\\tester\\AppData\\Roaming\\EvilCo", "C:\\Users\\other\\evil.exe",
          "C:\\Program Files\\Nightjar2", "C:\\Windows\\..\\Temp\\bad.exe"}) {
        EXPECT_FALSE(p.isProtected(path)) << path;
    }
}

}  // namespace
}  // namespace nightjar::removal
