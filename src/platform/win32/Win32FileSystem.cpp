#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/LongPath.h"
#include "platform/win32/Win32AppendFile.h"
#include "platform/win32/Win32InputFile.h"
#include "platform/win32/Win32ReplacingFile.h"
#include "platform/win32/WinHandle.h"
#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

/// "C:", "C:\" and "\\server\share" style prefixes that have no name of their own.
bool isRoot(std::string_view p) {
    return (p.size() == 2 && p[1] == ':') || (p.size() == 3 && p[1] == ':' && isSeparator(p[2]));
}

std::string withoutTrailingSeparators(std::string_view p) {
    std::string s(p);
    while (s.size() > 1 && isSeparator(s.back()) && !isRoot(s)) {
        s.pop_back();
    }
    return s;
}

std::string childPath(std::string_view folder, std::string_view name) {
    std::string s(folder);
    if (!s.empty() && !isSeparator(s.back())) {
        s.push_back('\\');
    }
    s.append(name);
    return s;
}

/// Keeps "drive not ready" and similar conditions from raising system message boxes.
class QuietErrors {
  public:
    QuietErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_); }
    ~QuietErrors() { SetThreadErrorMode(old_, nullptr); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

  private:
    DWORD old_ = 0;
};

bool isDotEntry(const wchar_t* n) {
    return (n[0] == L'.' && n[1] == L'\0') || (n[0] == L'.' && n[1] == L'.' && n[2] == L'\0');
}

/// A child of a folder in the `\\?\` form (which never ends in a separator but at a root).
std::wstring wideChild(const std::wstring& folder, const wchar_t* name) {
    std::wstring s = folder;
    if (!s.empty() && s.back() != L'\\') {
        s.push_back(L'\\');
    }
    s.append(name);
    return s;
}

/// Opens a listing of `pattern` with the one call that returns everything a walk needs:
/// the basic information (no short name) fetched in large batches.
HANDLE findFirst(const std::wstring& pattern, WIN32_FIND_DATAW& fd) {
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                nullptr, FIND_FIRST_EX_LARGE_FETCH);
    // Systems older than Windows 7 know neither option.
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
        h = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &fd, FindExSearchNameMatch,
                             nullptr, 0);
    }
    return h;
}

DriveType driveType(UINT t) {
    switch (t) {
        case DRIVE_NO_ROOT_DIR:
            return DriveType::NoRootDir;
        case DRIVE_REMOVABLE:
            return DriveType::Removable;
        case DRIVE_FIXED:
            return DriveType::Fixed;
        case DRIVE_REMOTE:
            return DriveType::Remote;
        case DRIVE_CDROM:
            return DriveType::CdRom;
        case DRIVE_RAMDISK:
            return DriveType::RamDisk;
        default:
            return DriveType::Unknown;
    }
}

bool clearReadOnly(const std::wstring& path, DWORD attrs) {
    if ((attrs & FILE_ATTRIBUTE_READONLY) == 0) {
        return true;
    }
    return SetFileAttributesW(path.c_str(), attrs & ~DWORD{FILE_ATTRIBUTE_READONLY}) != FALSE;
}

bool deleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE find = findFirst(wideChild(folder, L"*"), fd);
    bool ok = true;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (isDotEntry(fd.cFileName)) {
                continue;
            }
            std::wstring child = wideChild(folder, fd.cFileName);
            clearReadOnly(child, fd.dwFileAttributes);
            bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            bool isLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isDir && !isLink) {
                ok = deleteTree(child) && ok;
            } else if (isDir) {
                // A junction or directory link: remove the link, never what it points to.
                ok = RemoveDirectoryW(child.c_str()) != FALSE && ok;
            } else {
                ok = DeleteFileW(child.c_str()) != FALSE && ok;
            }
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    DWORD attrs = GetFileAttributesW(folder.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES) {
        clearReadOnly(folder, attrs);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE && ok;
}

bool copyTree(const std::wstring& from, const std::wstring& to, int depth) {
    // Copying a folder into itself would recurse without end.
    if (depth > 256) {
        return false;
    }
    DWORD toAttrs = GetFileAttributesW(to.c_str());
    if (toAttrs == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryW(to.c_str(), nullptr)) {
            return false;
        }
    } else if ((toAttrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    WIN32_FIND_DATAW fd;
    HANDLE find = findFirst(wideChild(from, L"*"), fd);
    if (find == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    bool ok = true;
    do {
        if (isDotEntry(fd.cFileName)) {
            continue;
        }
        std::wstring src = wideChild(from, fd.cFileName);
        std::wstring dst = wideChild(to, fd.cFileName);
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ok = copyTree(src, dst, depth + 1) && ok;
        } else {
            ok = CopyFileW(src.c_str(), dst.c_str(), FALSE) != FALSE && ok;
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return ok;
}

/// "040904b0": a language and code page as the StringFileInfo tables are named.
std::wstring tableName(WORD language, WORD codePage) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name;
    for (WORD word : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4) {
            name.push_back(kHex[(word >> shift) & 0xF]);
        }
    }
    return name;
}

}  // namespace

std::optional<std::vector<DirEntry>> Win32FileSystem::list(std::string_view folder) {
    WIN32_FIND_DATAW fd;
    QuietErrors quiet;
    HANDLE find = findFirst(LongPath(childPath(folder, "*")), fd);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty drive root has no "." entry, so nothing matches at all.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return std::vector<DirEntry>{};
        }
        return std::nullopt;
    }
    std::vector<DirEntry> entries;
    do {
        if (isDotEntry(fd.cFileName)) {
            continue;
        }
        DirEntry e;
        e.name = utf16::narrow(fd.cFileName);
        e.attributes = fd.dwFileAttributes;
        e.size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        entries.push_back(std::move(e));
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return entries;
}

std::optional<std::uint32_t> Win32FileSystem::attributes(std::string_view path) {
    QuietErrors quiet;
    DWORD a = GetFileAttributesW(LongPath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(a);
}

std::optional<std::string> Win32FileSystem::storedName(std::string_view path) {
    std::string p = withoutTrailingSeparators(path);
    // Wildcards would name some other entry.
    if (p.empty() || p.find_first_of("*?") != std::string::npos) {
        return std::nullopt;
    }
    QuietErrors quiet;
    if (isRoot(p)) {
        if (GetFileAttributesW(LongPath(p).c_str()) == INVALID_FILE_ATTRIBUTES) {
            return std::nullopt;
        }
        return p;
    }
    WIN32_FIND_DATAW fd;
    HANDLE find = findFirst(LongPath(p), fd);
    if (find == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    FindClose(find);
    return utf16::narrow(fd.cFileName);
}

std::unique_ptr<InputFile> Win32FileSystem::openRead(std::string_view path) {
    WinHandle h(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h) {
        return nullptr;
    }
    return std::make_unique<Win32InputFile>(std::move(h));
}

std::optional<std::string> Win32FileSystem::companyNameOf(std::string_view path) {
    const std::wstring wide = LongPath(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) {
        return std::string();
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) {
        return std::string();
    }
    // The tables of the translations in their order, then the usual English ones.
    std::vector<std::wstring> tables;
    void* ptr = nullptr;
    UINT len = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &ptr, &len) && ptr != nullptr) {
        const auto* words = static_cast<const WORD*>(ptr);
        for (UINT i = 0; i + 4 <= len; i += 4) {
            tables.push_back(tableName(words[i / 2], words[i / 2 + 1]));
        }
    }
    for (const wchar_t* usual : {L"040904b0", L"040904e4", L"04090000"}) {
        tables.emplace_back(usual);
    }
    for (const std::wstring& table : tables) {
        const std::wstring query = L"\\StringFileInfo\\" + table + L"\\CompanyName";
        ptr = nullptr;
        len = 0;
        if (VerQueryValueW(block.data(), query.c_str(), &ptr, &len) && ptr != nullptr) {
            const auto* text = static_cast<const wchar_t*>(ptr);
            return utf16::narrow(std::wstring_view(text, wcsnlen(text, len)));
        }
    }
    return std::string();
}

std::unique_ptr<OutputFile> Win32FileSystem::openAppend(std::string_view path) {
    WinHandle h(CreateFileW(LongPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        return nullptr;
    }
    return std::make_unique<Win32AppendFile>(std::move(h));
}

std::unique_ptr<OutputFile> Win32FileSystem::openReplace(std::string_view path) {
    static std::atomic<unsigned> counter{0};
    std::string target(path);
    if (target.empty() || isSeparator(target.back())) {
        return nullptr;
    }
    // A sibling, so that the final rename stays on one volume.
    std::string temp = target + ".njtmp" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(counter.fetch_add(1));
    WinHandle h(CreateFileW(LongPath(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        return nullptr;
    }
    return std::make_unique<Win32ReplacingFile>(std::move(h), std::move(temp), std::move(target));
}

bool Win32FileSystem::createFolder(std::string_view path) {
    std::string p = withoutTrailingSeparators(path);
    if (p.empty()) {
        return false;
    }
    // Skip what cannot be created: the drive ("C:") or the UNC server and share.
    std::size_t pos = 0;
    if (p.size() >= 2 && p[1] == ':') {
        pos = 2;
    } else if (p.size() >= 2 && isSeparator(p[0]) && isSeparator(p[1])) {
        pos = p.find_first_of("\\/", 2);
        pos = pos == std::string::npos ? p.size() : p.find_first_of("\\/", pos + 1);
        if (pos == std::string::npos) {
            pos = p.size();
        }
    }
    while (pos < p.size()) {
        std::size_t next = p.find_first_of("\\/", pos + 1);
        if (next == std::string::npos) {
            next = p.size();
        }
        std::string part = p.substr(0, next);
        if (!part.empty() && !isSeparator(part.back()) && !isRoot(part)) {
            const std::wstring wide = LongPath(part);
            DWORD a = GetFileAttributesW(wide.c_str());
            if (a == INVALID_FILE_ATTRIBUTES) {
                if (!CreateDirectoryW(wide.c_str(), nullptr) &&
                    GetLastError() != ERROR_ALREADY_EXISTS) {
                    return false;
                }
            } else if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                return false;
            }
        }
        pos = next;
    }
    DWORD a = GetFileAttributesW(LongPath(p).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32FileSystem::deleteFile(std::string_view path) {
    const std::wstring p = LongPath(path);
    if (DeleteFileW(p.c_str()) != FALSE) {
        return true;
    }
    // A read-only file is deleted too, as the folder deletion does: spyware marks itself
    // read-only to survive a plain delete.
    const DWORD a = GetFileAttributesW(p.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_READONLY) == 0 ||
        (a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    clearReadOnly(p, a);
    if (DeleteFileW(p.c_str()) != FALSE) {
        return true;
    }
    SetFileAttributesW(p.c_str(), a);
    return false;
}

bool Win32FileSystem::deleteFolder(std::string_view path) {
    std::string p = withoutTrailingSeparators(path);
    if (p.empty() || isRoot(p)) {
        return false;
    }
    const std::wstring wide = LongPath(p);
    DWORD a = GetFileAttributesW(wide.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    if ((a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        clearReadOnly(wide, a);
        return RemoveDirectoryW(wide.c_str()) != FALSE;
    }
    return deleteTree(wide);
}

bool Win32FileSystem::copyFile(std::string_view from, std::string_view to, bool overwrite) {
    return CopyFileW(LongPath(from).c_str(), LongPath(to).c_str(), overwrite ? FALSE : TRUE) !=
           FALSE;
}

bool Win32FileSystem::copyFolder(std::string_view from, std::string_view to) {
    std::string f = withoutTrailingSeparators(from);
    std::string t = withoutTrailingSeparators(to);
    if (f.empty() || t.empty()) {
        return false;
    }
    const std::wstring wideFrom = LongPath(f);
    DWORD a = GetFileAttributesW(wideFrom.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    return copyTree(wideFrom, LongPath(t), 0);
}

bool Win32FileSystem::moveFile(std::string_view from, std::string_view to) {
    return MoveFileExW(
               LongPath(from).c_str(), LongPath(to).c_str(),
               MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::vector<DriveInfo> Win32FileSystem::drives() {
    std::vector<DriveInfo> result;
    std::wstring buf(128, L'\0');
    DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buf.size()), buf.data());
    if (n > buf.size()) {
        buf.assign(n + 1, L'\0');
        n = GetLogicalDriveStringsW(static_cast<DWORD>(buf.size()), buf.data());
    }
    if (n == 0 || n > buf.size()) {
        return result;
    }
    for (std::size_t pos = 0; pos < n && buf[pos] != L'\0';) {
        std::wstring root(buf.c_str() + pos);
        pos += root.size() + 1;
        if (root.empty()) {
            continue;
        }
        DriveInfo d;
        const wchar_t letter = root[0];
        if (letter >= L'a' && letter <= L'z') {
            d.letter = static_cast<char>(letter - L'a' + 'A');
        } else if (letter >= L'A' && letter <= L'Z') {
            d.letter = static_cast<char>(letter);
        } else {
            continue;
        }
        d.type = driveType(GetDriveTypeW(root.c_str()));
        d.ready = volumeInfo(utf16::narrow(root)).has_value();
        result.push_back(d);
    }
    return result;
}

std::optional<VolumeInfo> Win32FileSystem::volumeInfo(std::string_view root) {
    const std::wstring r = utf16::widen(root);
    QuietErrors quiet;
    DWORD serial = 0;
    DWORD maxLen = 0;
    DWORD flags = 0;
    wchar_t name[14] = {};
    wchar_t fs[32] = {};
    if (GetVolumeInformationW(r.c_str(), name, static_cast<DWORD>(std::size(name)), &serial,
                              &maxLen, &flags, fs, static_cast<DWORD>(std::size(fs)))) {
        return VolumeInfo{utf16::narrow(name), utf16::narrow(fs), serial};
    }
    DWORD err = GetLastError();
    if (err != ERROR_BAD_LENGTH && err != ERROR_MORE_DATA && err != ERROR_INSUFFICIENT_BUFFER &&
        err != ERROR_FILENAME_EXCED_RANGE) {
        return std::nullopt;
    }
    // Labels may hold 32 characters; a ready drive must not look unready for that.
    wchar_t longName[MAX_PATH + 1] = {};
    wchar_t longFs[MAX_PATH + 1] = {};
    if (GetVolumeInformationW(r.c_str(), longName, static_cast<DWORD>(std::size(longName)), &serial,
                              &maxLen, &flags, longFs, static_cast<DWORD>(std::size(longFs)))) {
        return VolumeInfo{utf16::narrow(longName), utf16::narrow(longFs), serial};
    }
    return std::nullopt;
}

}  // namespace nightjar::platform::win32
