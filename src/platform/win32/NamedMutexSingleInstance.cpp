#include "platform/win32/NamedMutexSingleInstance.h"

#include "util/Utf16Text.h"

namespace nightjar::platform::win32 {

NamedMutexSingleInstance::NamedMutexSingleInstance(std::string name) {
    // A backslash would name a namespace that does not exist.
    for (char& c : name) {
        if (c == '\\') {
            c = '_';
        }
    }
    name_ = "Local\\" + name;
}

bool NamedMutexSingleInstance::acquire() {
    if (mutex_) {
        return true;
    }
    WinHandle m(CreateMutexW(nullptr, FALSE, utf16::widen(name_).c_str()));
    if (!m || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;
    }
    mutex_ = std::move(m);
    return true;
}

}  // namespace nightjar::platform::win32
