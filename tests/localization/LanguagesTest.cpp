#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "localization/Languages.h"
#include "localization/MessageCatalog.h"
#include "mock/FakeFileSystem.h"

namespace nightjar::localization {
namespace {

constexpr std::string_view kFolder = "C:\\Program Files\\Nightjar";
constexpr std::string_view kPath = "C:\\Program Files\\Nightjar\\Localization.txt";

/// One language group with the given item lines.
std::string group(std::string_view name, std::initializer_list<std::string_view> items) {
    std::string out = "<LANGUAGE_GROUP xml:lang=\"xx\">\r\n\t<LANGUAGE_NAME>" + std::string(name) +
                      "</LANGUAGE_NAME>\r\n\t<DESCRIPTION>x</DESCRIPTION>\r\n"
                      "\t<TRANSLATION_ITEMS>\r\n";
    for (std::string_view item : items) {
        out += "\t\t" + std::string(item) + "\r\n";
    }
    return out + "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n";
}

WindowText mainWindow() {
    WindowText w;
    w.name = "FrmMain";
    w.caption = "Main";
    w.controls = {
        {ControlKind::CommandButton, "cmdScan", std::nullopt, "Scan", {}, {}, {}, {}},
        {ControlKind::Label, "lblStatus", std::nullopt, "Status", {}, {}, {}, {}},
        {ControlKind::CommandButton, "cmdStop", std::nullopt, "Stop", {}, {}, {}, {}},
        {ControlKind::TabStrip, "tabs", std::nullopt, "", {"One", "Two"}, {}, {}, {}},
    };
    return w;
}

class LanguagesTest : public ::testing::Test {
  protected:
    LanguagesTest() { catalog.LoadDefaultMessages(); }

    void writeFile(const std::string& groups) {
        fs.addFile(kPath, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<XML_DIZ_INFO>\r\n" +
                              groups + "</XML_DIZ_INFO>\r\n");
    }

    mock::FakeFileSystem fs;
    MessageCatalog catalog{{"Nightjar", "Nightjar Labs", "nightjar.example"}};
    Languages languages{fs, std::string(kFolder), catalog};
};

TEST_F(LanguagesTest, TranslatesWindowAndCatalogWithKeysAndNamesInAnyCase) {
    writeFile(
        group("English", {"<FRMMAIN_CMDSCAN>Scan now</FRMMAIN_CMDSCAN>"}) +
        group("German", {
                            "<FRMMAIN_CMDSCAN>Suchen</FRMMAIN_CMDSCAN>",
                            "<frmmain_lblstatus>zustand von [programname]</frmmain_lblstatus>",
                            "<FrmMain_cmdStop></FrmMain_cmdStop>",
                            "<FrmMain_tabs_TABS2>Zwei</FrmMain_tabs_TABS2>",
                            "<FRMMAIN_CAPTION>[ProgramName] von [CompanyName]</FRMMAIN_CAPTION>",
                            "<msg_sure>sicher? Siehe [WEBSITE]</msg_sure>",
                            "<MSG_STOP>Suche beenden?",
                        }));
    WindowText w = mainWindow();
    languages.ChangeLanguage(w, "gERMAN");

    EXPECT_EQ(languages.currentLanguage(), "gERMAN");
    EXPECT_EQ(w.controls[0].caption, "Suchen");
    EXPECT_EQ(w.controls[1].caption, "Zustand von Nightjar");
    EXPECT_EQ(w.controls[2].caption, "Stop");  // an empty item leaves the text
    EXPECT_EQ(w.controls[3].tabs, (std::vector<std::string>{"One", "Zwei"}));
    EXPECT_EQ(w.caption, "Nightjar von Nightjar Labs");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Sicher? Siehe nightjar.example");
    // An item without its closing tag translates nothing.
    EXPECT_EQ(catalog.getMessages("MSG_STOP"), "Are you sure you want to stop the scan?");
    EXPECT_EQ(languages.getCaption("MSG_NOPE"), "");
}

TEST_F(LanguagesTest, UnknownNameFallsBackToEnglishOnlyWhenNothingWasLoaded) {
    writeFile(group("English", {"<MSG_SURE>Sure?</MSG_SURE>"}) +
              group("German", {"<MSG_SURE>Sicher?</MSG_SURE>"}));
    languages.ChangeLanguage("Klingon");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Sure?");

    languages.ChangeLanguage("German");
    languages.ChangeLanguage("Klingon");
    EXPECT_EQ(languages.getCaption("MSG_SURE"), "Sicher?");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Sicher?");
    EXPECT_EQ(languages.currentLanguage(), "Klingon");
}

TEST_F(LanguagesTest, SwitchingKeepsTextsOfThePreviousLanguageForKeysTheNewOneLacks) {
    writeFile(
        group("English", {"<MSG_SURE>Are you sure?</MSG_SURE>"}) +
        group("German", {"<MSG_SURE>Sicher?</MSG_SURE>", "<MSG_STOP>Suche beenden?</MSG_STOP>",
                         "<FrmMain_cmdScan>Suchen</FrmMain_cmdScan>"}) +
        group("French", {"<MSG_SURE>S\xc3\xbbr ?</MSG_SURE>"}));
    WindowText w = mainWindow();
    languages.ChangeLanguage(w, "German");
    languages.ChangeLanguage(w, "French");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "S\xc3\xbbr ?");
    EXPECT_EQ(catalog.getMessages("MSG_STOP"), "Suche beenden?");
    EXPECT_EQ(w.controls[0].caption, "Suchen");

    // English restores only what its group carries.
    languages.ChangeLanguage(w, "English");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Are you sure?");
    EXPECT_EQ(catalog.getMessages("MSG_STOP"), "Suche beenden?");
}

TEST_F(LanguagesTest, MissingFileChangesNothingAndTheFileIsFoundInAnyCase) {
    WindowText w = mainWindow();
    languages.ChangeLanguage(w, "German");
    EXPECT_EQ(w.controls[0].caption, "Scan");
    EXPECT_EQ(catalog.getMessages("MSG_SURE"), "Are you sure?");
    EXPECT_TRUE(languages.LanguageNames().empty());

    fs.addFolder(kPath);  // a folder of that name is not the file
    EXPECT_FALSE(languages.LangFileExists(kPath));
    fs.deleteFolder(kPath);
    fs.addFile("C:\\Program Files\\Nightjar\\LOCALIZATION.TXT",
               group("German", {"<FrmMain_cmdScan>Suchen</FrmMain_cmdScan>"}),
               platform::attr::Hidden | platform::attr::ReadOnly);
    EXPECT_TRUE(languages.LangFileExists(kPath));
    languages.ChangeLanguage(w, "German");
    EXPECT_EQ(w.controls[0].caption, "Suchen");
}

}  // namespace
}  // namespace nightjar::localization
