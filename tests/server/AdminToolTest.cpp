#include "AdminTool.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ServerTestSupport.h"

namespace nightjar::server {
namespace {

TEST(AdminToolTest, AnImportWarnsOfSharedKeysPerFileAndOfUnknownTypes) {
    test::TempDir dir;
    auto store = test::openTempStore(dir);
    ASSERT_TRUE(store->add("FILE", {"a.exe=A|[windir]|Adware"}, 100).ok);  // #1
    ASSERT_TRUE(store->add("EXE", {"b.exe=B|x|Adware"}, 100).ok);          // #2
    ASSERT_TRUE(store->add("DIR", {"c.exe=C|x|Adware"}, 100).ok);          // #3
    std::ofstream(dir.file("new.txt")) << "# comment\n"
                                          "A.EXE=Other|[system]|Adware\n"  // #4
                                          "b.exe=B2|y|NoSuchType\n"        // #5
                                          "c.exe=C2|z|Adware\n";           // #6
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(AdminTool(*store, out, err).importFile("FILE", dir.file("new.txt")), 0);
    const std::string expected =
        "warning: #4 shares its key with #1 in FileDefinition.dat; clients remove by key, so "
        "withdrawing either is held back from clients that hold both\n"
        "warning: #5 has a threat type the catalog does not know: \"NoSuchType\"\n"
        "warning: #5 shares its key with #2 in FileDefinition.dat; clients remove by key, so "
        "withdrawing either is held back from clients that hold both\n";
    // The folder entry of the same name lands in another file: no warning for #6.
    EXPECT_EQ(err.str(), expected);
    EXPECT_NE(out.str().find("added 3 FILE entries"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace nightjar::server
