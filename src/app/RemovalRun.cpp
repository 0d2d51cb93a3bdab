#include "app/RemovalRun.h"

#include <algorithm>
#include <cmath>

#include "app/MainState.h"
#include "platform/Platform.h"
#include "removal/ProcessControl.h"
#include "removal/QuarantineStore.h"
#include "scan/RegistryAccess.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "util/Text.h"

namespace nightjar::app {

namespace keys = settings::keys;

namespace {

// The message loop gets this many turns before the removal starts, so that the window has
// drawn itself.
constexpr int kSettlingPumps = 20001;
constexpr int kDeleteAttempts = 8;

std::string_view lastPart(std::string_view path) {
    const auto cut = path.rfind('\\');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string extensionOf(std::string_view path) {
    const std::string_view name = lastPart(path);
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : text::toUpper(name.substr(dot + 1));
}

bool hasBackslash(std::string_view path) {
    return path.find('\\') != std::string_view::npos;
}

// A key path that names no key below the hive (empty, blanks, only backslashes) would
// make a deletion reach the hive itself.
bool namesAKey(std::string_view keyPath) {
    return text::trimView(keyPath).find_first_not_of("\\ ") != std::string_view::npos;
}

}  // namespace

RemovalRun::RemovalRun(MainState& state, removal::QuarantineStore& quarantine)
    : state_(state),
      quarantine_(quarantine),
      protected_(removal::ProtectedLocations::forMachine(
          *state.platform().shellFolders, state.dataFolder(), state.programFolder())) {}

RemovalOutcome RemovalRun::RepairNow() {
    ControlStateTracker& ui = state_.ui();
    const auto& results = state_.ResultList().rows();
    const bool anyChecked =
        std::any_of(results.begin(), results.end(), [](const auto& r) { return r.checked; });
    if (!anyChecked) {
        if (!state_.AutoRemoveAfterScan()) {
            ui.messageBox(state_.msg("MSG_SELECTED"), state_.productName(), MsgButtons::Ok,
                          MsgIcon::Information);
        }
        summary_ = RemovalSummary{};
        return RemovalOutcome::NotRun;
    }
    if (!state_.AutoRemoveAfterScan()) {
        std::string question = state_.msg("MSG_CONFIRM1") + "\r\n\r\n" +
                               state_.msg("MSG_CONFIRM2") + "\r\n\r\n" + quarantine_.folder();
        if (state_.platform().systemRestore->available()) {
            question +=
                "\r\n\r\n" + state_.msg("MSG_CONFIRM3") + "\r\n\r\n" + state_.msg("MSG_CONFIRM4");
        }
        if (ui.messageBox(question, state_.msg("MSG_REALLY"), MsgButtons::YesNo, MsgIcon::None) !=
            MsgAnswer::Yes) {
            summary_ = RemovalSummary{};
            return RemovalOutcome::NotRun;
        }
    }
    setProgressVisible(true);
    problems_.rows().clear();
    return RemoveSelected();
}

RemovalOutcome RemovalRun::RemoveSelected() {
    ControlStateTracker& ui = state_.ui();
    const RunStateScope removing = state_.enterRunState(RunState::Removing);
    summary_ = RemovalSummary{};
    reasons_.clear();
    logged_.clear();
    backedUp_.clear();

    quarantine_.QuarantineFolder();
    ui.showPage(control::frmResults);
    // Every entry yields to the message loop: no shield or scheduled scan may start then.
    state_.ApplyBackgroundTimers(false);
    state_.tmrTimeOut().setEnabled(false);

    setProgressVisible(true);
    ui.setStatusText(control::lblDeletingPercentageCompleted, state_.msg("MSG_INFORMATION"));
    for (int i = 0; i < kSettlingPumps; ++i) {
        ui.Pump();
    }
    ui.setStatusText(control::lblDeletingPercentageCompleted, "");

    platform::SystemRestore& restore = *state_.platform().systemRestore;
    const bool restorePoint = restore.available();
    bool begun = false;
    if (restorePoint) {
        ui.setStatusText(control::lblDeletingPercentageCompleted, state_.msg("MSG_RESTOREPOINT"));
        ui.Pump();
        begun = restore.begin(state_.productName() + " Restore Point " + state_.Now());
    }
    quarantine_.beginRemoval();
    quarantine_.setFirstRemovalPass(true);
    RemovalPass(true);
    quarantine_.setFirstRemovalPass(false);
    RemovalPass(false);
    quarantine_.setFirstRemovalPass(true);
    if (begun) {
        restore.end();
    }

    // Entries that could not be removed were unchecked, so they stay in the lists.
    state_.lvwFilesToBeDeleted().removeIf([](const scan::FileWorkRow& r) { return r.checked; });
    state_.lvwRegistryToBeDeleted().removeIf(
        [](const scan::RegistryWorkRow& r) { return r.checked; });
    state_.ResultList().removeIf([](const scan::FoundItem& r) { return r.checked; });

    ui.setStatusText(control::lblDeletingCaption, "");
    ui.setProgress(control::pgbDeleteSpywaresFound, 100);
    ui.setStatusText(control::lblDeletingPercentageCompleted, "100% " + state_.msg("MSG_COMPLETE"));
    state_.ApplyBackgroundTimers(true);
    state_.tmrTimeOut().setEnabled(true);
    ui.setEnabled(control::Command4, true);

    // The total counts what was really removed, not what was found.
    settings::SettingsStore& settings = state_.settings();
    long long stored = 0;
    text::parseInt(settings.Read(keys::kSettings, keys::kDefRemoved, "0"), stored);
    summary_.removedTotal = std::max(0LL, stored) + static_cast<long long>(summary_.removed.size());
    settings.Write(keys::kSettings, keys::kDefRemoved, std::to_string(summary_.removedTotal));

    if (settings.ReadInt(keys::kOptionAndSettings, keys::kSendData, 1) == 1 && sendAnonymousData_) {
        sendAnonymousData_();
    }
    state_.RefreshStatusPanel();
    setProgressVisible(false);
    summary_.outcome =
        problems_.rows().empty() ? RemovalOutcome::Removed : RemovalOutcome::SomeLeft;
    return summary_.outcome;
}

void RemovalRun::RemovalPass(bool firstPass) {
    ControlStateTracker& ui = state_.ui();
    problemAdded_ = false;
    if (!state_.ResultList().empty()) {
        setProgressVisible(true);
        ui.setStatusText(control::lblDeletingPercentageCompleted, state_.msg("MSG_REMOVING"));
        ui.setProgress(control::pgbDeleteSpywaresFound, 0);
    }
    auto& files = state_.lvwFilesToBeDeleted();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].checked) {
            showProgress(i, files.size(), text::toLower(files[i].path));
            removeFileEntry(i, firstPass);
        }
    }
    auto& registry = state_.lvwRegistryToBeDeleted();
    for (std::size_t i = 0; i < registry.size(); ++i) {
        if (registry[i].checked) {
            showProgress(i, registry.size(),
                         text::toLower(registry[i].keyPath + "\\" + registry[i].valueName));
            removeRegistryEntry(i, firstPass);
        }
    }
    auto& cookies = state_.lvwCookiesToDelete();
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (cookies[i].checked) {
            showProgress(i, cookies.size(), text::toLower(cookies[i].path));
            removeCookieEntry(i, firstPass);
        }
    }
    if (problemAdded_) {
        ui.setVisible(control::frmDelete, true);
    }
}

void RemovalRun::removeFileEntry(std::size_t index, bool firstPass) {
    auto& files = state_.lvwFilesToBeDeleted();
    const scan::FileWorkRow entry = files[index];
    platform::FileSystem& fs = *state_.platform().fileSystem;
    if (protected_.isProtected(entry.path)) {
        noteProblem(entry.path, RemovalProblem::Protected);
        uncheckResult(entry.second, entry.path);
        files.setChecked(index, false);
        return;
    }
    const bool existed = fs.exists(entry.path);
    const std::string kind = extensionOf(entry.path);
    if (kind == "DLL" || kind == "OCX") {
        state_.registryAccess().RegisterServerEntry(entry.path, false);
        RemoveServerFile(entry.path);
        RemovePath(entry.path);
    } else if (kind == "EXE") {
        RemoveExecutable(entry.path);
    } else {
        RemovePath(entry.path);
    }
    state_.ui().Pump();
    if (!firstPass) {
        if (fs.exists(entry.path) && text::icontains(entry.path, ".exe")) {
            RemoveExecutable(entry.path);
        }
        if (fs.exists(entry.path)) {
            noteProblem(entry.path, RemovalProblem::StillPresent);
            uncheckResult(entry.second, entry.path);
            files.setChecked(index, false);
            return;
        }
    }
    if (existed && !fs.exists(entry.path)) {
        summary_.removed.push_back(entry.path);
    }
}

void RemovalRun::removeRegistryEntry(std::size_t index, bool firstPass) {
    auto& registry = state_.lvwRegistryToBeDeleted();
    const scan::RegistryWorkRow entry = registry[index];
    const auto hive = platform::hiveFromHandleText(entry.mainKey);
    if (!hive || !namesAKey(entry.keyPath)) {
        return;
    }
    scan::RegistryAccess& access = state_.registryAccess();
    platform::Registry& reg = access.registry();
    const std::string_view valueName = text::trimView(entry.valueName);
    const bool wholeKey = valueName.empty();
    const std::string location = std::string(platform::hiveName(*hive)) + "\\" + entry.keyPath +
                                 (wholeKey ? "" : "\\" + entry.valueName);
    const auto present = [&] {
        return wholeKey ? reg.keyExists(*hive, entry.keyPath, platform::KeyAccess::Read)
                        : reg.queryValue(*hive, entry.keyPath, entry.valueName,
                                         platform::KeyAccess::Read)
                              .has_value();
    };
    if (!present()) {
        return;
    }
    if (firstPass) {
        const auto backup =
            wholeKey ? quarantine_.BackupRegistryKey(*hive, entry.keyPath)
                     : quarantine_.BackupRegistryValue(*hive, entry.keyPath, entry.valueName);
        if (!backup) {
            noteProblem(location, RemovalProblem::NotBackedUp);
            uncheckResult(entry.threatName.empty() ? entry.keyPath : entry.threatName, {});
            registry.setChecked(index, false);
            return;
        }
        backedUp_.insert(index);
    } else if (backedUp_.count(index) == 0) {
        return;
    }
    if (wholeKey) {
        access.DeleteValue(*hive, entry.keyPath, "");
        access.DeleteKeyTree(*hive, entry.keyPath);
    } else {
        access.DeleteValue(*hive, entry.keyPath, entry.valueName);
    }
    state_.ui().Pump();
    if (!present()) {
        summary_.removed.push_back(location);
    } else if (!firstPass) {
        noteProblem(location, RemovalProblem::StillPresent);
        uncheckResult(entry.threatName.empty() ? entry.keyPath : entry.threatName, {});
        registry.setChecked(index, false);
    }
}

void RemovalRun::removeCookieEntry(std::size_t index, bool firstPass) {
    const std::string path = state_.lvwCookiesToDelete()[index].path;
    platform::FileSystem& fs = *state_.platform().fileSystem;
    if (fs.exists(path)) {
        RemoveCookieFile(path);
        if (!fs.exists(path)) {
            summary_.removed.push_back(path);
        } else if (!firstPass) {
            noteProblem(path, RemovalProblem::StillPresent);
            uncheckResult({}, path);
        }
    }
    state_.ui().Pump();
}

int RemovalRun::RemoveExecutable(std::string_view path) {
    if (!hasBackslash(path)) {
        return 0;
    }
    if (!state_.platform().fileSystem->exists(path)) {
        return -1;
    }
    if (!state_.processControl().StopProcessesOfImage(path, [this] { state_.ui().Pump(); })) {
        noteProblem(path, RemovalProblem::ProcessNotStopped);
        return 2;
    }
    return QuarantineAndDelete(path, lastPart(path)) ? 1 : 0;
}

bool RemovalRun::QuarantineAndDelete(std::string_view path, std::string_view name) {
    platform::FileSystem& fs = *state_.platform().fileSystem;
    if (!fs.exists(path)) {
        return false;
    }
    bool tried = false;
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        if (fs.exists(path)) {
            if (!keepCopy(path, name)) {
                break;
            }
            fs.deleteFile(path);
            tried = true;
        }
        state_.ui().Pump();
    }
    return tried;
}

int RemovalRun::RemoveServerFile(std::string_view path) {
    if (!hasBackslash(path)) {
        return 0;
    }
    platform::FileSystem& fs = *state_.platform().fileSystem;
    if (!fs.exists(path)) {
        return -1;
    }
    state_.registryAccess().RegisterServerEntry(path, false);
    if (!fs.exists(path)) {
        return 0;
    }
    if (!keepCopy(path, lastPart(path))) {
        return 0;
    }
    return fs.deleteFile(path) ? 1 : 0;
}

bool RemovalRun::RemovePath(std::string_view path) {
    platform::FileSystem& fs = *state_.platform().fileSystem;
    if (!hasBackslash(path)) {
        return false;
    }
    const auto attributes = fs.attributes(path);
    if (!attributes) {
        return false;
    }
    if ((*attributes & platform::attr::Directory) != 0) {
        // Not logged: the index beside the log records the folder for restoring.
        if (quarantine_.QuarantineFolderCopy(path) == removal::FolderRemoval::CopyFailed) {
            noteProblem(path, RemovalProblem::NotQuarantined);
        }
        return true;
    }
    if (!keepCopy(path, lastPart(path))) {
        return false;
    }
    for (int attempt = 0; attempt < kDeleteAttempts && fs.exists(path); ++attempt) {
        fs.deleteFile(path);
        state_.ui().Pump();
    }
    return true;
}

void RemovalRun::RemoveCookieFile(std::string_view path) {
    if (keepCopy(path, lastPart(path))) {
        state_.platform().fileSystem->deleteFile(path);
    }
}

bool RemovalRun::keepCopy(std::string_view path, std::string_view name) {
    const auto copy = quarantine_.QuarantineCopy(path, name);
    if (!copy) {
        noteProblem(path, RemovalProblem::NotQuarantined);
        return false;
    }
    if (logged_.insert(text::toLower(path)).second) {
        quarantine_.LogQuarantinedFile(path, *copy);
    }
    return true;
}

void RemovalRun::showProgress(std::size_t index, std::size_t count, std::string_view caption) {
    ControlStateTracker& ui = state_.ui();
    const int percent = static_cast<int>(
        std::lround(static_cast<double>(index + 1) / static_cast<double>(count) * 100.0));
    ui.setProgress(control::pgbDeleteSpywaresFound, percent);
    ui.setStatusText(control::lblDeletingPercentageCompleted, state_.msg("MSG_REMOVING2") + " : " +
                                                                  std::to_string(percent) + "% " +
                                                                  state_.msg("MSG_COMPLETED"));
    ui.setStatusText(control::lblDeletingCaption, caption);
}

void RemovalRun::setProgressVisible(bool on) {
    ControlStateTracker& ui = state_.ui();
    ui.setVisible(control::pgbDeleteSpywaresFound, on);
    ui.setVisible(control::lblDeletingPercentageCompleted, on);
    ui.setVisible(control::lblDeletingCaption, on);
}

void RemovalRun::noteProblem(std::string_view location, RemovalProblem reason) {
    // The most telling reason wins: a failed copy or stop explains "still present".
    const auto known = std::find_if(reasons_.begin(), reasons_.end(), [&](const auto& r) {
        return text::iequals(r.first, location);
    });
    if (reason != RemovalProblem::StillPresent) {
        if (known == reasons_.end()) {
            reasons_.emplace_back(std::string(location), reason);
        }
        // Kept for the end of the second pass, unless it can never be removed.
        if (reason != RemovalProblem::Protected && reason != RemovalProblem::NotBackedUp) {
            return;
        }
    } else if (known != reasons_.end()) {
        reason = known->second;
    }
    const std::size_t before = problems_.rows().size();
    problems_.add(location, reason);
    problemAdded_ = problemAdded_ || problems_.rows().size() != before;
}

void RemovalRun::uncheckResult(std::string_view title, std::string_view location) {
    auto& results = state_.ResultList();
    bool titleSeen = false;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const bool byTitle = !titleSeen && !title.empty() && results[i].title == title;
        titleSeen = titleSeen || byTitle;
        // Rows of a kept location must not be pruned as if it had gone.
        if (byTitle || text::iequals(results[i].location, location)) {
            results.setChecked(i, false);
        }
    }
}

}  // namespace nightjar::app
