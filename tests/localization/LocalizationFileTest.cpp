#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "localization/LocalizationFile.h"
#include "util/Text.h"

namespace nightjar::localization {
namespace {

// Markers in mixed case, a group without a name, and a last group whose end marker is
// missing: that group ends the search.
constexpr std::string_view kFile =
    "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<XML_DIZ_INFO>\r\n"
    "<language_group xml:lang=\"en\">\r\n"
    "\t<LANGUAGE_NAME>English</language_name>\r\n"
    "\t<Translation_Items>\r\n"
    "\t\t<MSG_SURE>Are you sure?</MSG_SURE>\r\n"
    "\r\n"
    "\t\t<frmMain_cmdScan>Scan</frmMain_cmdScan>\r\n"
    "\t</TRANSLATION_ITEMS>\r\n"
    "</Language_Group>\r\n"
    "<LANGUAGE_GROUP xml:lang=\"xx\">\r\n"
    "\t<TRANSLATION_ITEMS>\r\n\t</TRANSLATION_ITEMS>\r\n"
    "</LANGUAGE_GROUP>\r\n"
    "<LANGUAGE_GROUP xml:lang=\"de\">\r\n"
    "\t<LANGUAGE_NAME>Deutsch</LANGUAGE_NAME>\r\n"
    "\t<TRANSLATION_ITEMS>\r\n\t\t<MSG_SURE>Sicher?</MSG_SURE>\r\n\t</TRANSLATION_ITEMS>\r\n"
    "</LANGUAGE_GROUP>\r\n"
    "<LANGUAGE_GROUP xml:lang=\"fr\">\r\n"
    "\t<LANGUAGE_NAME>French</LANGUAGE_NAME>\r\n"
    "\t<TRANSLATION_ITEMS>\r\n\t\t<MSG_SURE>S\xc3\xbbr ?</MSG_SURE>\r\n\t</TRANSLATION_ITEMS>\r\n"
    "</XML_DIZ_INFO>\r\n";

TEST(LocalizationFile, FindsGroupsInOrderAndStopsAtAnUnterminatedOne) {
    const LocalizationFile file(kFile);
    ASSERT_EQ(file.groups().size(), 3u);
    EXPECT_EQ(file.groupNames(), (std::vector<std::string>{"English", "Deutsch"}));
    EXPECT_EQ(file.find("french"), nullptr);

    const LocalizationFile::Group* english = file.find("ENGLISH");
    ASSERT_NE(english, nullptr);
    // The lines between the item markers, the partial ones around the markers included.
    EXPECT_EQ(english->items,
              (std::vector<std::string>{"", "\t\t<MSG_SURE>Are you sure?</MSG_SURE>", "",
                                        "\t\t<frmMain_cmdScan>Scan</frmMain_cmdScan>", "\t"}));
    EXPECT_TRUE(file.groups()[1].items.size() == 2 && file.groups()[1].name.empty());
}

TEST(LocalizationFile, LineFeedOnlyFileReadsLikeTheCrLfOne) {
    const LocalizationFile crlf(kFile);
    const LocalizationFile lf(text::replaceAll(kFile, "\r\n", "\n"));
    ASSERT_EQ(lf.groups().size(), crlf.groups().size());
    for (std::size_t i = 0; i < crlf.groups().size(); ++i) {
        EXPECT_EQ(lf.groups()[i].name, crlf.groups()[i].name);
        EXPECT_EQ(lf.groups()[i].items, crlf.groups()[i].items);
    }
}

}  // namespace
}  // namespace nightjar::localization
