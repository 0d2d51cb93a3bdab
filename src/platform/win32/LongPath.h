#pragma once
#include <string>
#include <string_view>

namespace nightjar::platform::win32 {

/// The `\\?\` form of an absolute path, which lifts the MAX_PATH limit of the file API:
/// "C:\x" gives "\\?\C:\x" and "\\server\share\x" gives "\\?\UNC\server\share\x". Forward
/// slashes become backslashes, and "." and ".." components and trailing dots and spaces of
/// the last name are folded here because the prefix turns that folding off. Relative paths
/// and paths that already name a device or `\\?\` come back unchanged (slashes aside).
std::string LongPathForm(std::string_view path);
/// LongPathForm in UTF-16, for the wide file API.
std::wstring LongPath(std::string_view path);
/// A path as the engine writes it: without the `\\?\` or `\\?\UNC\` prefix.
std::string PlainPathForm(std::string_view path);

}  // namespace nightjar::platform::win32
