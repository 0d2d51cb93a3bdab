#include "gui/DeleteFailedWindow.h"

#include <gtest/gtest.h>

#include "gui/GuiTestSupport.h"
#include "gui/GuiUserInterface.h"
#include "gui/ListViewControl.h"
#include "gui/SatelliteLayouts.h"

namespace nightjar::gui {
namespace {

TEST(DeleteFailedWindowTest, ListsTheLocationsAndCopyListPutsThemOnTheClipboard) {
    app::DeleteFailedList problems;
    problems.add("C:\\Program Files\\Bad\\bad.exe", app::RemovalProblem::ProcessNotStopped);
    problems.add("C:\\Users\\Ана\\AppData\\evil.dll", app::RemovalProblem::StillPresent);
    DeleteFailedWindow window(SatelliteWindow("frmDelete", "Nightjar"));
    ASSERT_TRUE(window.show(nullptr, problems));

    ListViewControl list(window.controls().find("lstProblem"));
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.cell(1, 0), "C:\\Users\\Ана\\AppData\\evil.dll");

    ASSERT_TRUE(GuiUserInterface::CopyToClipboard(window.hwnd(), "something else"));
    SendMessageW(window.controls().find("cmdCopyList"), BM_CLICK, 0, 0);
    EXPECT_EQ(GuiUserInterface::ClipboardText(window.hwnd()),
              "C:\\Program Files\\Bad\\bad.exe\r\nC:\\Users\\Ана\\AppData\\evil.dll\r\n");

    SendMessageW(window.controls().find("cmdOk"), BM_CLICK, 0, 0);
    EXPECT_EQ(window.hwnd(), nullptr);
}

}  // namespace
}  // namespace nightjar::gui
