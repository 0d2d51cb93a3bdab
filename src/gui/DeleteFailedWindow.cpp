#include "gui/DeleteFailedWindow.h"

#include <commctrl.h>

#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/PopupFrame.h"

namespace nightjar::gui {

DeleteFailedWindow::DeleteFailedWindow(localization::WindowText text)
    : FormWindow(std::move(text)) {
    onClick("cmdCopyList",
            [this](std::optional<int>) { GuiUserInterface::CopyToClipboard(hwnd(), copyText_); });
    onClick("cmdOk", [this](std::optional<int>) { DestroyWindow(hwnd()); });
}

bool DeleteFailedWindow::show(HWND owner, const app::DeleteFailedList& problems) {
    if (!create(owner, false)) {
        return false;
    }
    copyText_ = problems.copyText();
    if (HWND list = controls().find("lstProblem")) {
        // A list to read, not to choose from: no check boxes.
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, 0);
        ListViewControl rows(list);
        for (const app::ProblemRow& row : problems.rows()) {
            rows.addRow({row.location});
        }
    }
    CenterOnWorkArea(hwnd(), owner);
    ShowWindow(hwnd(), SW_SHOW);
    SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd());
    return true;
}

}  // namespace nightjar::gui
