#include "mock/FakeFileLocks.h"

#include "util/Text.h"

namespace nightjar::mock {

bool FakeFileLocks::lock(std::string_view path, std::chrono::milliseconds) {
    return held_.insert(text::toLower(path)).second;
}

void FakeFileLocks::unlock(std::string_view path) {
    held_.erase(text::toLower(path));
}

bool FakeFileLocks::held(std::string_view path) const {
    return held_.count(text::toLower(path)) != 0;
}

}  // namespace nightjar::mock
