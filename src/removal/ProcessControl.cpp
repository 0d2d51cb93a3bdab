#include "removal/ProcessControl.h"

#include "util/Text.h"

namespace nightjar::removal {

namespace {
constexpr std::uint32_t kIdleId = 0;
constexpr std::uint32_t kSystemId = 2;
constexpr int kNtFamily = 2;
constexpr int kStopAttempts = 11;

std::string cutAtNul(std::string_view s) {
    auto z = s.find('\0');
    return std::string(z == std::string_view::npos ? s : s.substr(0, z));
}
}  // namespace

ProcessControl::ProcessControl(platform::Processes& processes) : processes_(processes) {}

int ProcessControl::ListProcesses(std::vector<std::string>& names, std::vector<std::uint32_t>& ids,
                                  std::string_view filter, bool byId) {
    names.clear();
    ids.clear();
    auto keep = [&](std::string name, std::uint32_t pid) {
        if (name.empty()) {
            return;
        }
        if (!filter.empty() && name.find(filter) == std::string::npos) {
            return;
        }
        names.push_back(std::move(name));
        ids.push_back(pid);
    };
    if (byId) {
        auto pids = processes_.processIds();
        if (!pids) {
            return -1;
        }
        for (std::uint32_t pid : *pids) {
            if (pid == kIdleId) {
                keep("System Idle Process", pid);
            } else if (pid == kSystemId) {
                keep("System", pid);
            } else {
                auto base = processes_.moduleBaseName(pid);
                if (!base) {
                    continue;  // cannot be opened or its modules cannot be listed
                }
                std::string name = cutAtNul(*base);
                keep(name.empty() ? std::string("unknown") : name, pid);
            }
        }
    } else {
        auto snap = processes_.snapshot();
        if (!snap) {
            return -1;
        }
        for (const auto& e : *snap) {
            keep(cutAtNul(e.exeFile), e.pid);
        }
    }
    return static_cast<int>(names.size());
}

bool ProcessControl::StopProcessById(std::uint32_t pid, std::uint32_t exitCode,
                                     std::string_view image) {
    // Process 0 is never a real process; on some platforms signalling it would reach a
    // whole process group.
    if (pid == kIdleId) {
        return false;
    }
    const bool nt = processes_.platformId() == kNtFamily;
    if (nt && !processes_.setDebugPrivilege(true)) {
        return false;
    }
    const bool stopped = processes_.terminate(pid, exitCode, image);
    if (nt) {
        processes_.setDebugPrivilege(false);
    }
    return stopped;
}

std::string ProcessControl::ShortNameForm(std::string_view name) {
    std::string rest = text::ireplaceAll(name, ".exe", "");
    if (rest.size() > 6) {
        rest.resize(6);
    }
    return text::toUpper(rest) + "~1";
}

std::string ProcessControl::ComparableName(std::string_view name) {
    std::string s = cutAtNul(name);
    auto slash = s.rfind('\\');
    if (slash != std::string::npos) {
        s.erase(0, slash + 1);
    }
    if (s.size() > 15) {
        s.resize(15);
    } else if (auto dot = s.find('.'); dot != std::string::npos) {
        s = text::toUpper(s.substr(0, dot));
    }
    return s;
}

bool ProcessControl::StopProcessByName(std::string_view name, const std::function<void()>& pump) {
    const std::string shortForm = ShortNameForm(name);
    const std::string wanted = text::toUpper(ComparableName(name));
    std::vector<std::string> names;
    std::vector<std::uint32_t> ids;
    ListProcesses(names, ids, "", true);
    std::uint32_t target = kIdleId;
    bool found = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string listed = text::toUpper(ComparableName(names[i]));
        if (listed == wanted || listed == shortForm) {
            target = ids[i];
            found = true;
        }
        if (pump) {
            pump();
        }
        if (found) {
            break;
        }
    }
    // No such process: nothing to stop, which counts as stopped. (Process 0 cannot be
    // opened or waited on, so trying it could only end the same way.)
    if (!found || target == kIdleId) {
        return true;
    }
    return stopWithRetries(target, {});
}

bool ProcessControl::StopProcessesOfImage(std::string_view path,
                                          const std::function<void()>& pump) {
    const auto pids = processes_.processIds();
    if (!pids) {
        return false;
    }
    bool allStopped = true;
    for (std::uint32_t pid : *pids) {
        const auto image = processes_.firstModulePath(pid);
        if (pid != kIdleId && image && text::iequals(*image, path)) {
            allStopped = stopWithRetries(pid, *image) && allStopped;
        }
        if (pump) {
            pump();
        }
    }
    return allStopped;
}

bool ProcessControl::stopWithRetries(std::uint32_t pid, std::string_view image) {
    for (int attempt = 0; attempt < kStopAttempts; ++attempt) {
        if (StopProcessById(pid, 0, image)) {
            return true;
        }
        if (processes_.wait(pid, 1) != platform::WaitResult::TimedOut) {
            return true;  // ended meanwhile, or no longer there
        }
    }
    return false;
}

bool ProcessControl::StopProcessLegacy(std::uint32_t pid, std::string_view exeFile) {
    if (pid == kIdleId) {
        return false;
    }
    return processes_.terminateLegacy(pid, exeFile);
}

}  // namespace nightjar::removal
