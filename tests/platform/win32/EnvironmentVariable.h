#pragma once
#include <windows.h>

#include <string>

namespace nightjar::platform::win32::test {

/// The value of the environment variable `name`; empty when it is unset or longer than
/// the tests need.
inline std::string EnvironmentVariable(const char* name) {
    char buf[4096] = {};
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

}  // namespace nightjar::platform::win32::test
