#include "platform/FileSystem.h"

namespace nightjar::platform {

bool FileSystem::fileExists(std::string_view path) {
    auto a = attributes(path);
    return a && (*a & attr::Directory) == 0;
}

bool FileSystem::folderExists(std::string_view path) {
    auto a = attributes(path);
    return a && (*a & attr::Directory) != 0;
}

bool FileSystem::readAll(std::string_view path, std::string& out) {
    out.clear();
    auto in = openRead(path);
    if (!in) {
        return false;
    }
    char buf[65536];
    for (;;) {
        std::size_t n = in->read(buf, sizeof buf);
        if (n == 0) {
            break;
        }
        out.append(buf, n);
    }
    return true;
}

bool FileSystem::writeAll(std::string_view path, std::string_view data) {
    auto out = openReplace(path);
    return out && out->write(data) && out->commit();
}

}  // namespace nightjar::platform
