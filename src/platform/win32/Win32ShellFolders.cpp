#include "platform/win32/Win32ShellFolders.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "platform/win32/AnsiText.h"

namespace nightjar::platform::win32 {

std::optional<std::string> Win32ShellFolders::specialFolder(int csidl) {
    char buf[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE)) {
        return std::nullopt;
    }
    std::string path(buf, strnlen(buf, sizeof buf));
    if (path.empty()) {
        return std::nullopt;
    }
    return FromAnsi(path);
}

std::optional<std::string> Win32ShellFolders::folderLocationPath(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(GetDesktopWindow(), csidl, &pidl)) || pidl == nullptr) {
        return std::nullopt;
    }
    // SHGetPathFromIDList writes at most MAX_PATH characters; the larger buffer is slack.
    char buf[1024] = {};
    BOOL ok = SHGetPathFromIDListA(pidl, buf);
    CoTaskMemFree(pidl);
    std::string path(buf, strnlen(buf, sizeof buf));
    if (!ok || path.empty()) {
        return std::nullopt;
    }
    return FromAnsi(path);
}

std::string Win32ShellFolders::systemDirectory() {
    std::string buf(1024, '\0');
    UINT n = GetSystemDirectoryA(buf.data(), static_cast<UINT>(buf.size()));
    if (n >= buf.size()) {
        buf.assign(n + 1, '\0');
        n = GetSystemDirectoryA(buf.data(), static_cast<UINT>(buf.size()));
    }
    if (n == 0 || n >= buf.size()) {
        return {};
    }
    buf.resize(n);
    return FromAnsi(buf);
}

std::optional<std::string> Win32ShellFolders::systemWow64Directory() {
    wchar_t buf[MAX_PATH + 1] = {};
    // Fails on 32-bit Windows, which has no such folder.
    const UINT n = GetSystemWow64DirectoryW(buf, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) {
        return std::nullopt;
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, buf, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::nullopt;
    }
    std::string path(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buf, static_cast<int>(n), path.data(), size, nullptr, nullptr);
    return path;
}

std::string Win32ShellFolders::userName() {
    char buf[257] = {};  // UNLEN + 1
    DWORD size = sizeof buf;
    if (!GetUserNameA(buf, &size)) {
        return {};
    }
    return FromAnsi(std::string(buf, strnlen(buf, sizeof buf)));
}

}  // namespace nightjar::platform::win32
