#include "platform/win32/Win32ShellFolders.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {

std::optional<std::string> Win32ShellFolders::specialFolder(int csidl) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buf, csidl, FALSE)) {
        return std::nullopt;
    }
    std::string path = utf16::narrow(std::wstring_view(buf, wcsnlen(buf, MAX_PATH + 1)));
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> Win32ShellFolders::folderLocationPath(int csidl) {
    LPITEMIDLIST pidl = nullptr;
    // No owner window: the call does not use one, and asking for the desktop window starts
    // Wine's desktop process, which can keep the first call waiting for seconds.
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || pidl == nullptr) {
        return std::nullopt;
    }
    // SHGetPathFromIDList writes at most MAX_PATH characters; the larger buffer is slack.
    wchar_t buf[1024] = {};
    BOOL ok = SHGetPathFromIDListW(pidl, buf);
    CoTaskMemFree(pidl);
    std::string path = utf16::narrow(std::wstring_view(buf, wcsnlen(buf, 1024)));
    if (!ok || path.empty()) {
        return std::nullopt;
    }
    return path;
}

std::string Win32ShellFolders::systemDirectory() {
    std::wstring buf(1024, L'\0');
    UINT n = GetSystemDirectoryW(buf.data(), static_cast<UINT>(buf.size()));
    if (n >= buf.size()) {
        buf.assign(n + 1, L'\0');
        n = GetSystemDirectoryW(buf.data(), static_cast<UINT>(buf.size()));
    }
    if (n == 0 || n >= buf.size()) {
        return {};
    }
    buf.resize(n);
    return utf16::narrow(buf);
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
    wchar_t buf[257] = {};  // UNLEN + 1
    DWORD size = 257;
    if (!GetUserNameW(buf, &size)) {
        return {};
    }
    return utf16::narrow(std::wstring_view(buf, wcsnlen(buf, 257)));
}

}  // namespace nightjar::platform::win32
