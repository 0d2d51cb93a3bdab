#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "localization/TranslationKeys.h"

namespace nightjar::localization {
namespace {

TEST(TranslationKeys, FollowTheKindOfEachControl) {
    WindowText w;
    w.name = "FrmMain";
    w.caption = "Main";
    w.controls = {
        {ControlKind::CommandButton, "cmdScan", std::nullopt, "Scan", {}, {}, {}, {}},
        {ControlKind::OptionButton, "opt", 1, "One", {}, {}, {}, {}},
        {ControlKind::OptionButton, "opt1", std::nullopt, "Alone", {}, {}, {}, {}},
        {ControlKind::Menu, "mnuFile", std::nullopt, "File", {}, {}, {}, {}},
        {ControlKind::Menu, "mnuItem", 3, "Item", {}, {}, {}, {}},
        {ControlKind::TabStrip, "TabStrip1", std::nullopt, "", {"A", "B"}, {}, {}, {}},
        {ControlKind::ListView, "lvw", std::nullopt, "", {}, {"C1"}, {}, {}},
        {ControlKind::TextBox, "txtFilename", std::nullopt, "typed", {}, {}, {}, {}},
    };
    const std::vector<std::string> expected = {
        "FrmMain_cmdScan",         "FrmMain_opt1",     "FrmMain_opt1_OPT",
        "FrmMain_mnuFile0",        "FrmMain_mnuItem3", "FrmMain_TabStrip1_TABS1",
        "FrmMain_TabStrip1_TABS2", "FrmMain_lvw_COL1", "FRMMAIN_CAPTION"};
    EXPECT_EQ(TranslationKeys(w), expected);

    // The texts point into the window, so a translation lands in the right place.
    std::vector<TranslatableText> texts = TranslatableTexts(w);
    *texts[5].text = "Erste";
    *texts.back().text = "Haupt";
    EXPECT_EQ(w.controls[5].tabs[0], "Erste");
    EXPECT_EQ(w.caption, "Haupt");
}

}  // namespace
}  // namespace nightjar::localization
