#include "platform/win32/SrClientSystemRestore.h"

#include <windows.h>

#include <srrestoreptapi.h>

#include <cstring>

#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {
namespace {

using SetRestorePointFn = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

constexpr DWORD kBeginSystemChange = 100;
constexpr DWORD kEndSystemChange = 101;
constexpr DWORD kRestorePointType = 6;

bool callSetRestorePoint(void (*fn)(), DWORD event, std::int64_t sequence,
                         std::string_view description, std::int64_t& newSequence) {
    RESTOREPOINTINFOW info;
    std::memset(&info, 0, sizeof info);
    info.dwEventType = event;
    info.dwRestorePtType = kRestorePointType;
    info.llSequenceNumber = sequence;
    const std::wstring wide = utf16::widen(description);
    const std::size_t n = wide.size() < MAX_DESC_W - 1 ? wide.size() : MAX_DESC_W - 1;
    std::memcpy(info.szDescription, wide.data(), n * sizeof(wchar_t));
    STATEMGRSTATUS status;
    std::memset(&status, 0, sizeof status);
    auto call = reinterpret_cast<SetRestorePointFn>(fn);
    if (!call(&info, &status)) {
        return false;
    }
    newSequence = status.llSequenceNumber;
    return true;
}

}  // namespace

SrClientSystemRestore::SrClientSystemRestore() {
    HMODULE lib = LoadLibraryW(L"srclient.dll");
    if (lib == nullptr) {
        return;
    }
    FARPROC fn = GetProcAddress(lib, "SRSetRestorePointW");
    if (fn == nullptr) {
        FreeLibrary(lib);
        return;
    }
    library_ = lib;
    setRestorePoint_ = reinterpret_cast<void (*)()>(fn);
}

SrClientSystemRestore::~SrClientSystemRestore() {
    if (library_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library_));
    }
}

bool SrClientSystemRestore::available() {
    if (setRestorePoint_ == nullptr) {
        return false;
    }
    OSVERSIONINFOW version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    const BOOL known = GetVersionExW(&version);
    return known != FALSE && SystemRestoreVersionAllows(static_cast<int>(version.dwPlatformId),
                                                        static_cast<int>(version.dwMajorVersion),
                                                        static_cast<int>(version.dwMinorVersion));
}

bool SrClientSystemRestore::begin(std::string_view description) {
    if (setRestorePoint_ == nullptr || begun_) {
        return false;
    }
    std::int64_t seq = 0;
    if (!callSetRestorePoint(setRestorePoint_, kBeginSystemChange, 0, description, seq)) {
        return false;
    }
    sequence_ = seq;
    begun_ = true;
    return true;
}

bool SrClientSystemRestore::end() {
    if (setRestorePoint_ == nullptr || !begun_) {
        return false;
    }
    begun_ = false;
    std::int64_t ignored = 0;
    return callSetRestorePoint(setRestorePoint_, kEndSystemChange, sequence_, "", ignored);
}

}  // namespace nightjar::platform::win32
