#include "report/ScanReport.h"

#include <gtest/gtest.h>

#include "mock/FakeFileSystem.h"
#include "scan/PeImage.h"
#include "util/Text.h"

namespace nightjar::report {
namespace {

using scantest::PeImage;

constexpr const char* kData = "C:\\Data";
constexpr const char* kReport = "C:\\Data\\Scan_Log.txt";
constexpr const char* kExclusions = "C:\\Data\\ENoSignature.dat";
constexpr const char* kQuarantineLog = "C:\\Data\\quarantine\\QuarantineLog.txt";

// Everything before "[Threats Detected]" for the input of MakeInput().
const std::string kHead =
    "\r\n"
    "                   Nightjar v4.1   Scan Report\r\n"
    "\r\n"
    "Remember: Not all items found are malicious.  In particular, cookies and recent document "
    "lists are only privacy concerns.  They cannot hurt your computer.  If you are unsure about "
    "an item please send this log to an expert before removing the item from your computer.\r\n"
    "\r\n"
    "-----------------------\r\n"
    " Scan Started at  : 12/9/2026 1:02:03 AM\r\n"
    " Scan Finished at : 12/9/2026 1:05:00 AM\r\n"
    "-----------------------\r\n"
    "\r\n"
    "\r\n"
    " 1)Total Number of Processes inspected: 37\r\n"
    " 2)Total Number of Registry entries inspected: 1520\r\n"
    " 3)Total Number of Files/Folders inspected: 20488\r\n"
    "\r\n";

ScanReportInput MakeInput(std::vector<scan::FoundItem> results = {}) {
    ScanReportInput in;
    in.productName = "Nightjar ";  // the configured name keeps its trailing blank
    in.majorVersion = 4;
    in.minorVersion = 1;
    in.scanStartTime = "12/9/2026 1:02:03 AM";
    in.scanFinishTime = "12/9/2026 1:05:00 AM";
    in.processesCaption = "37";
    in.registryCaption = "1520";
    in.filesFoldersCaption = "20488";
    in.results = std::move(results);
    return in;
}

class ScanReportTest : public ::testing::Test {
  protected:
    void SetUp() override { fs.addFolder(kData); }
    std::string written() const { return fs.content(kReport).value_or("<none>"); }

    mock::FakeFileSystem fs;
    ScanReport report{fs, kData};
};

TEST_F(ScanReportTest, FullReportWithExclusionsAndQuarantineLog) {
    const std::string exe =
        PeImage::executable(PeImage::versionInfo({{"CompanyName", "Shady Ltd"}}));
    fs.addFile("C:\\Program Files\\Spy\\agent.exe", exe);
    fs.addFile("C:\\Users\\me\\Cookies\\me@ads.example[1].txt", std::string(57, 'c'));
    fs.addFolder("C:\\Program Files\\SpyBar");
    fs.addFile("C:\\Program Files\\SpyBar\\bar.dll", std::string(999, 'b'));
    // Empty lines and a single blank are left out; two blanks are an entry.
    fs.addFile(kExclusions, "C:\\a.exe\r\n\r\n \r\nHKEY_CURRENT_USER\\Software\\X|Y\r\n  \r\n");
    fs.addFile(kQuarantineLog, "File: agent.exe\r\nLocation: C:\\Program Files\\Spy\\agent.exe");
    fs.addFile(kReport, "the previous scan's report");

    // The found file is named in other letter case than the disk has it.
    const ScanReportInput input = MakeInput({
        {"Spy.Agent", scan::icon::File, "C:\\Program Files\\Spy\\AGENT.exe", "Spyware", "High",
         "Steals passwords"},
        {"ads.example", scan::icon::Cookie, "C:\\Users\\me\\Cookies\\me@ads.example[1].txt",
         "Cookie", "Low", "Tracking cookie"},
        {"Spy.Toolbar", scan::icon::Folder, "C:\\Program Files\\SpyBar", "Adware", "Medium",
         "Browser toolbar"},
    });
    ASSERT_EQ(report.MakeReport(input), ScanReport::Result::Written);

    const std::string expected = kHead +
                                 "[Threats Detected]\r\n"
                                 "\r\n"
                                 "============================================\r\n"
                                 "File: C:\\Program Files\\Spy\\AGENT.exe\r\n"
                                 "Name: Spy.Agent\r\n"
                                 "Company: Shady Ltd\r\n"
                                 "Type: File\r\n"
                                 "Size: " +
                                 std::to_string(exe.size()) +
                                 " bytes\r\n"
                                 "Detail: Steals passwords\r\n"
                                 "Risk: High\r\n"
                                 "\r\n"
                                 "============================================\r\n"
                                 "File: C:\\Users\\me\\Cookies\\me@ads.example[1].txt\r\n"
                                 "Name: ads.example\r\n"
                                 "Company: N/A\r\n"
                                 "Type: Cookie\r\n"
                                 "Size: 57 bytes\r\n"
                                 "Detail: Tracking cookie\r\n"
                                 "Risk: Low\r\n"
                                 "\r\n"
                                 "============================================\r\n"
                                 "File: C:\\Program Files\\SpyBar\r\n"
                                 "Name: Spy.Toolbar\r\n"
                                 "Company: N/A\r\n"
                                 "Type: Folder\r\n"
                                 "Size: 0 bytes\r\n"
                                 "Detail: Browser toolbar\r\n"
                                 "Risk: Medium\r\n"
                                 "\r\n"
                                 "============================================\r\n"
                                 "\r\n"
                                 "Total = 3\r\n"
                                 "\r\n"
                                 "[Files Currently Excluded]\r\n"
                                 "\r\n"
                                 "C:\\a.exe\r\n"
                                 "HKEY_CURRENT_USER\\Software\\X|Y\r\n"
                                 "  \r\n"
                                 "\r\n"
                                 "\r\n"
                                 "[Current Quarantine Log]\r\n"
                                 "\r\n"
                                 "File: agent.exe\r\n"
                                 "\r\n"
                                 "Location: C:\\Program Files\\Spy\\agent.exe\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "=====================End Of Report.";
    EXPECT_EQ(written(), expected);

    // The report window shows every line of the file, the last one without its line end.
    std::vector<std::string> lines = text::split(expected, "\r\n");
    EXPECT_EQ(ScanReport::ReportLines(fs, kData), lines);
}

TEST_F(ScanReportTest, ScanWithoutResultsOrSectionFiles) {
    ASSERT_EQ(report.MakeReport(MakeInput()), ScanReport::Result::Written);
    EXPECT_EQ(written(), kHead +
                             "[Threats Detected]\r\n"
                             "\r\n"
                             "============================================\r\n"
                             "\r\n"
                             "Total = 0\r\n"
                             "\r\n"
                             "=====================End Of Report.");

    // Section files that hold nothing to print leave their sections out as well.
    fs.addFile(kExclusions, "\r\n \r\n\r\n");
    fs.addFile(kQuarantineLog, "");
    const std::string before = written();
    ASSERT_EQ(report.MakeReport(MakeInput()), ScanReport::Result::Written);
    EXPECT_EQ(written(), before);
}

// Company and size are read for files (and the size for cookies) only; a file that is gone
// counts 0 bytes.
TEST_F(ScanReportTest, CompanyAndSizeFollowTheKind) {
    fs.addFile("C:\\x\\value.txt", "twelve bytes");
    const std::vector<scan::FoundItem> rows = {
        {"Reg.Thing", scan::icon::Registry, "C:\\x\\value.txt", "", "Medium", "Run entry"},
        {"Gone", scan::icon::File, "C:\\x\\gone.exe", "", "High", "d"},
        {"Gone.Cookie", scan::icon::Cookie, "C:\\y\\c.txt", "", "Low", "d"},
        {"Odd", scan::icon::Excluded, "no folder", "", "", ""},
    };
    ASSERT_EQ(report.MakeReport(MakeInput(rows)), ScanReport::Result::Written);
    const std::string text = written();
    const std::string items = text.substr(text.find("[Threats Detected]"));
    EXPECT_EQ(items,
              "[Threats Detected]\r\n\r\n"
              "============================================\r\n"
              "File: C:\\x\\value.txt\r\nName: Reg.Thing\r\nCompany: N/A\r\nType: Registry\r\n"
              "Size: 0 bytes\r\nDetail: Run entry\r\nRisk: Medium\r\n\r\n"
              "============================================\r\n"
              "File: C:\\x\\gone.exe\r\nName: Gone\r\nCompany: \r\nType: File\r\n"
              "Size: 0 bytes\r\nDetail: d\r\nRisk: High\r\n\r\n"
              "============================================\r\n"
              "File: C:\\y\\c.txt\r\nName: Gone.Cookie\r\nCompany: N/A\r\nType: Cookie\r\n"
              "Size: 0 bytes\r\nDetail: d\r\nRisk: Low\r\n\r\n"
              "============================================\r\n"
              "File: no folder\r\nName: Odd\r\nCompany: N/A\r\nType: EXCLUDED\r\n"
              "Size: 0 bytes\r\nDetail: \r\nRisk: \r\n\r\n"
              "============================================\r\n\r\n"
              "Total = 4\r\n\r\n=====================End Of Report.");
}

// A report that cannot be written leaves no earlier report to pass for this scan's.
TEST_F(ScanReportTest, FailedWriteLeavesNoReport) {
    EXPECT_TRUE(ScanReport::ReportLines(fs, kData).empty());
    fs.addFile(kReport, "old\r\nreport");
    EXPECT_EQ(ScanReport::ReportLines(fs, kData), (std::vector<std::string>{"old", "report"}));
    fs.failCommitAfter(0);
    EXPECT_EQ(report.MakeReport(MakeInput()), ScanReport::Result::NotWritten);
    EXPECT_FALSE(fs.content(kReport).has_value());
    EXPECT_TRUE(ScanReport::ReportLines(fs, kData).empty());
}

}  // namespace
}  // namespace nightjar::report
