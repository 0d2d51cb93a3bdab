// The engine's platform-dependent pieces over the real Win32 layer: placeholders and the
// data folder over the shell, the registry access layer over advapi32, and process
// listing over psapi.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "EnvironmentVariable.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/PlaceholderExpander.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32ShellFolders.h"
#include "removal/ProcessControl.h"
#include "scan/RegistryAccess.h"
#include "util/Text.h"

namespace nightjar::platform::win32 {
namespace {

using test::EnvironmentVariable;

TEST(EngineOverWin32Test, PlaceholdersExpandToTheShellFolders) {
    Win32ShellFolders shell;
    definitions::PlaceholderExpander expander(shell);
    const std::string profile = EnvironmentVariable("USERPROFILE");
    ASSERT_FALSE(profile.empty());

    EXPECT_TRUE(text::iequals(definitions::DataFolder(expander),
                              profile + "\\AppData\\Roaming\\ZuvoDivavarIVA"))
        << definitions::DataFolder(expander);
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, sizeof windir);
    EXPECT_TRUE(
        text::iequals(expander.Expand("[WINDIR]system32"), std::string(windir) + "\\system32"))
        << expander.Expand("[WINDIR]system32");
    EXPECT_EQ(expander.Expand("[recycle]x"), "x");
    EXPECT_EQ(expander.Expand("[USER]"), "[USER]");  // rows 29 and 30 match case exactly
    EXPECT_TRUE(text::iequals(expander.SystemDriveRoot(), "C:\\")) << expander.SystemDriveRoot();
    EXPECT_TRUE(text::iendsWith(expander.SystemDirectory(), "\\system32\\"))
        << expander.SystemDirectory();
}

TEST(EngineOverWin32Test, RegistryAccessLayerOverAdvapi) {
    Win32Registry registry;
    scan::RegistryAccess access(registry);
    const std::string key = "Software\\NightjarEngineTest" + std::to_string(GetCurrentProcessId()) +
                            "_" + std::to_string(GetTickCount());
    auto hive = access.HiveFromCode("1");
    ASSERT_TRUE(hive.has_value());
    EXPECT_EQ(access.currentHiveName(), "HKEY_CURRENT_USER");

    access.WriteValue(*hive, key, "Number", "123");
    access.WriteValue(*hive, key, "Text", "abc ");
    auto number = registry.queryValue(*hive, key, "Number", KeyAccess::Read);
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->type, RegType::Dword);
    std::string out;
    EXPECT_TRUE(access.ReadValue(*hive, key, "Number", out));
    EXPECT_EQ(out, "123");
    EXPECT_TRUE(access.ReadValue(*hive, key, "Text", out));
    EXPECT_EQ(out, "abc");
    registry.setValue(*hive, key, "Binary", RegValue{RegType::Binary, std::string("\x01\x02", 2)});
    EXPECT_FALSE(access.ReadValue(*hive, key, "Binary", out));

    EXPECT_TRUE(access.KeyExists(*hive, key));
    EXPECT_TRUE(access.DeleteKeyTree(*hive, key));
    EXPECT_FALSE(access.KeyExists(*hive, key));
    EXPECT_FALSE(access.HiveFromCode("6").has_value());
    EXPECT_EQ(access.currentHiveName(), "");
}

TEST(EngineOverWin32Test, ProcessControlListsTheRunningProcesses) {
    Win32Processes processes;
    removal::ProcessControl control(processes);
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    int count = control.ListProcesses(names, ids, "", true);
    ASSERT_GT(count, 0);
    ASSERT_EQ(names.size(), ids.size());
    auto self = std::find(ids.begin(), ids.end(), GetCurrentProcessId());
    ASSERT_NE(self, ids.end());
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, sizeof own);
    std::string ownName(own);
    ownName = ownName.substr(ownName.find_last_of('\\') + 1);
    EXPECT_TRUE(text::iequals(names[static_cast<std::size_t>(self - ids.begin())], ownName));
    // Wine's own services are listed too.
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [](const std::string& n) { return text::iequals(n, "services.exe"); }));
    // Asking to stop a name no process bears counts as stopped, and stops nothing.
    EXPECT_TRUE(control.StopProcessByName("njtest_nobody_has_this_name.exe"));
}

}  // namespace
}  // namespace nightjar::platform::win32
