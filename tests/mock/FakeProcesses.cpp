#include "mock/FakeProcesses.h"

#include <algorithm>

#include "util/Text.h"

namespace nightjar::mock {

void FakeProcesses::add(std::uint32_t pid, std::string modulePath) {
    Proc p;
    p.pid = pid;
    auto slash = modulePath.rfind('\\');
    p.baseName = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
    p.modulePath = std::move(modulePath);
    procs_.push_back(std::move(p));
}

const FakeProcesses::Proc* FakeProcesses::find(std::uint32_t pid) const {
    for (const auto& p : procs_) {
        if (p.pid == pid) {
            return &p;
        }
    }
    return nullptr;
}

bool FakeProcesses::running(std::uint32_t pid) const {
    return find(pid) != nullptr;
}

std::optional<std::vector<std::uint32_t>> FakeProcesses::processIds() {
    if (listingFails_) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> ids;
    for (const auto& p : procs_) {
        ids.push_back(p.pid);
    }
    return ids;
}

std::optional<std::string> FakeProcesses::moduleBaseName(std::uint32_t pid) {
    const Proc* p = find(pid);
    if (!p || !p->openable) {
        return std::nullopt;
    }
    return p->baseName;
}

std::optional<std::string> FakeProcesses::firstModulePath(std::uint32_t pid) {
    const Proc* p = find(pid);
    if (!p || !p->openable) {
        return std::nullopt;
    }
    return p->modulePath;
}

std::optional<std::vector<platform::SnapshotEntry>> FakeProcesses::snapshot() {
    if (listingFails_) {
        return std::nullopt;
    }
    std::vector<platform::SnapshotEntry> out;
    for (const auto& p : procs_) {
        out.push_back({p.pid, p.snapshotName.empty() ? p.modulePath : p.snapshotName});
    }
    return out;
}

bool FakeProcesses::setDebugPrivilege(bool /*enable*/) {
    ++privilegeChanges_;
    return !privilegeFails_;
}

bool FakeProcesses::end(std::uint32_t pid) {
    auto it =
        std::find_if(procs_.begin(), procs_.end(), [&](const Proc& p) { return p.pid == pid; });
    if (it == procs_.end() || !it->terminable) {
        return false;
    }
    terminated_.push_back(pid);
    procs_.erase(it);
    return true;
}

bool FakeProcesses::terminate(std::uint32_t pid, std::uint32_t /*exitCode*/,
                              std::string_view image) {
    const Proc* p = find(pid);
    if (p != nullptr && !image.empty() && !text::iequals(p->modulePath, image)) {
        return false;
    }
    return end(pid);
}

bool FakeProcesses::terminateLegacy(std::uint32_t pid, std::string_view exeFile) {
    const Proc* p = find(pid);
    if (p != nullptr && !exeFile.empty() &&
        !text::iequals(p->snapshotName.empty() ? p->modulePath : p->snapshotName, exeFile)) {
        return false;
    }
    return end(pid);
}

platform::WaitResult FakeProcesses::wait(std::uint32_t pid, std::uint32_t /*milliseconds*/) {
    return running(pid) ? platform::WaitResult::TimedOut : platform::WaitResult::Signaled;
}

}  // namespace nightjar::mock
