#include "mock/FakeShellFolders.h"

namespace nightjar::mock {

FakeShellFolders::FakeShellFolders() {
    const std::string user = "C:\\users\\tester";
    const std::string roaming = user + "\\AppData\\Roaming";
    const std::string startMenu = roaming + "\\Microsoft\\Windows\\Start Menu";
    const std::string common = "C:\\ProgramData";
    const std::string commonStart = common + "\\Microsoft\\Windows\\Start Menu";
    folders_ = {
        {2, startMenu + "\\Programs"},
        {5, user + "\\Documents"},
        {6, user + "\\Favorites"},
        {7, startMenu + "\\Programs\\Startup"},
        {8, roaming + "\\Microsoft\\Windows\\Recent"},
        {9, roaming + "\\Microsoft\\Windows\\SendTo"},
        {11, startMenu},
        {16, user + "\\Desktop"},
        {20, "C:\\windows\\Fonts"},
        {21, roaming + "\\Microsoft\\Windows\\Templates"},
        {22, commonStart},
        {23, commonStart + "\\Programs"},
        {25, "C:\\users\\Public\\Desktop"},
        {26, roaming},
        {29, startMenu + "\\Programs\\Startup"},
        {30, commonStart + "\\Programs\\Startup"},
        {31, "C:\\users\\Public\\Favorites"},
        {32, user + "\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
        {33, user + "\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
        {34, user + "\\AppData\\Local\\Microsoft\\Windows\\History"},
        {35, common},
        {36, "C:\\windows"},
        {37, "C:\\windows\\system32"},
        {38, "C:\\Program Files"},
        {43, "C:\\Program Files\\Common Files"},
        {45, common + "\\Microsoft\\Windows\\Templates"},
        {46, "C:\\users\\Public\\Documents"},
    };
}

std::optional<std::string> FakeShellFolders::specialFolder(int csidl) {
    ++lookups_;
    auto it = folders_.find(csidl);
    if (it == folders_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> FakeShellFolders::folderLocationPath(int csidl) {
    return specialFolder(csidl);
}

}  // namespace nightjar::mock
