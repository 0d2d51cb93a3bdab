#include "app/ExclusionCommands.h"

#include <string>

#include "app/MainState.h"
#include "definitions/DefinitionFiles.h"
#include "platform/Platform.h"
#include "removal/ExclusionList.h"
#include "util/Text.h"

namespace nightjar::app {

ExclusionCommands::ExclusionCommands(MainState& state) : state_(state) {}

void ExclusionCommands::cmdExclude_Click() {
    ControlStateTracker& ui = state_.ui();
    if (state_.ResultList().empty() && state_.lvwRegistryToBeDeleted().empty() &&
        state_.lvwSpywareFound().empty()) {
        ui.messageBox(state_.msg("MSG_SORRY"), state_.productName(), MsgButtons::Ok,
                      MsgIcon::Information);
        return;
    }
    const std::string question = state_.msg("MSG_EXC_SURE1") + "\r\n\r\n" +
                                 state_.msg("MSG_EXC_SURE2") + "\r\n\r\n" +
                                 state_.msg("MSG_EXC_SURE3");
    if (ui.messageBox(question, state_.msg("MSG_EXC_SURE4"), MsgButtons::YesNo, MsgIcon::None) !=
        MsgAnswer::Yes) {
        return;
    }
    removal::ExclusionList& exclusions = state_.exclusions();
    using Added = removal::ExclusionList::AddResult;
    bool allWritten = true;
    for (const scan::FoundItem& item : state_.ResultList()) {
        if (!item.checked) {
            continue;
        }
        // The location is what the scans test; the title only adds the name form.
        allWritten = exclusions.AddExclusion(item.location) == Added::Added && allWritten;
        exclusions.AddExclusion(text::replaceAll(item.title, "Cookie: ", ""));
    }
    if (!allWritten) {
        // Rows that were not excluded must not vanish as if they had been.
        ui.messageBox(state_.msg("MSG_EXCLUDE_FAILED"), state_.productName(), MsgButtons::Ok,
                      MsgIcon::Exclamation);
        return;
    }
    // The scan feed carries no check marks, so none of its rows is removed here.
    state_.lvwFilesToBeDeleted().removeIf([](const scan::FileWorkRow& r) { return r.checked; });
    state_.lvwRegistryToBeDeleted().removeIf(
        [](const scan::RegistryWorkRow& r) { return r.checked; });
    state_.lvwCookiesToDelete().removeIf([](const scan::PathWorkRow& r) { return r.checked; });
    ui.setStatusText(control::lblDeletingCaption, "");
    state_.ResultList().removeIf([](const scan::FoundItem& r) { return r.checked; });
}

void ExclusionCommands::mnuQuarItem_Click(int index) {
    if (index == 0) {
        ViewQuarantine();
    } else if (index == 1) {
        ViewExclusions();
    }
}

void ExclusionCommands::ViewQuarantine() {
    platform::Platform& platform = state_.platform();
    const std::string folder =
        state_.dataFolder() + "\\" + std::string(definitions::kQuarantineFolder);
    if (!platform.fileSystem->folderExists(folder)) {
        platform.fileSystem->createFolder(folder);
    }
    platform.launcher->run("explorer " + folder, platform::WindowShow::Normal);
}

void ExclusionCommands::ViewExclusions() {
    platform::Platform& platform = state_.platform();
    const std::string file = state_.exclusions().filePath();
    if (platform.fileSystem->fileExists(file)) {
        platform.launcher->run("notepad " + file, platform::WindowShow::Normal);
    } else {
        state_.ui().messageBox(state_.msg("MSG_EXCLUDE1"), state_.msg("MSG_EXCLUDE2"),
                               MsgButtons::Ok, MsgIcon::None);
    }
}

}  // namespace nightjar::app
