# Cross build for Windows with Debian's mingw-w64 (posix threads); tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages come from the mingw root only; the host's header-only ones (nlohmann_json,
# CLI11) through the small configs in cross-packages/, which expose their headers alone.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross-packages/nlohmann_json)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross-packages/CLI11)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The optimisation level of the Linux build: GCC 12 at -O3 reports false -Wrestrict
# warnings inside libstdc++'s string concatenation, which -Werror turns into failures.
# (A cache entry, since the Windows-GNU platform file appends -O3 to the _INIT values.)
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
