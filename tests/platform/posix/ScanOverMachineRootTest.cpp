#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "TempMachineRoot.h"
#include "definitions/DefinitionFiles.h"
#include "definitions/LineCodec.h"
#include "definitions/LoadObserver.h"
#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "mock/FakeShellFolders.h"
#include "mock/RecordingScanSink.h"
#include "platform/posix/PosixFileSystem.h"
#include "removal/ExclusionList.h"
#include "scan/CompanyNameReader.h"
#include "scan/CookieScan.h"
#include "scan/FileWalker.h"

namespace nightjar::platform::posix {
namespace {

using test::TempMachineRoot;

/// Ends the test program when a scan has not come back in time: a scan that hangs fails.
class Watchdog {
  public:
    explicit Watchdog(const char* what) : what_(what), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

  private:
    void watch() {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
            std::fprintf(stderr, "%s did not end\n", what_);
            std::_Exit(3);
        }
    }
    const char* what_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

/// The engine over the POSIX file system of a temporary machine root.
class ScanOverMachineRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(t.created()) << t.error();
        ASSERT_TRUE(fsys.createFolder(dataFolder));
    }
    std::string host(const std::string& rel) const { return t.driveC() + "/" + rel; }
    void writeDefinitions(std::string_view name, const std::vector<std::string>& lines) {
        std::string content;
        for (const auto& l : lines) {
            content += definitions::ScrambleLine(l) + "\r\n";
        }
        ASSERT_TRUE(fsys.writeAll(definitions::DataFile(dataFolder, name), content));
    }
    void loadFileSignatures(const std::vector<std::string>& lines) {
        writeDefinitions(definitions::kFileDefinition, lines);
        writeDefinitions(definitions::kDirectoryDefinition, {});
        store.LoadSafetyEntries(observer);
        store.LoadFileSignatures(observer);
    }
    /// Host paths of the objects the scan found.
    std::vector<std::string> foundHostPaths() {
        std::vector<std::string> out;
        for (const auto& f : sink.found) {
            out.push_back(fsys.hostPath(f.location));
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    TempMachineRoot t;
    PosixFileSystem fsys{t.machine()};
    mock::FakeShellFolders shell;
    definitions::PlaceholderExpander expander{shell};
    std::string dataFolder = definitions::DataFolder(expander);
    definitions::SignatureStore store{fsys, expander, dataFolder};
    removal::ExclusionList exclusions{fsys, dataFolder};
    scan::CompanyNameReader company{fsys};
    mock::RecordingScanSink sink;
    definitions::LoadObserver observer;
    scan::FileWalker walker{fsys, store, expander, exclusions, company};
};

// A FIFO and links to an endless device, named like signatures, neither block nor exhaust
// the scan: they have no content to read, so no company name, and are reported.
TEST_F(ScanOverMachineRootTest, SpecialFilesNamedLikeSignaturesDoNotHoldTheScan) {
    TempMachineRoot::writeFile(host("x/Temp/keep.txt"), "k");
    ASSERT_EQ(mkfifo(host("x/Temp/fifo.exe").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", host("x/Temp/zero.exe").c_str()), 0);
    loadFileSignatures({"fifo.exe=Spy|C:\\x\\Temp", "zero.exe=Spy|C:\\x\\Temp"});
    {
        Watchdog dog("the walk over special files");
        walker.WalkFolder("C:\\x\\", sink);
    }
    EXPECT_EQ(foundHostPaths(),
              (std::vector<std::string>{host("x/Temp/fifo.exe"), host("x/Temp/zero.exe")}));
    EXPECT_EQ(fsys.openRead("C:\\x\\Temp\\fifo.exe"), nullptr);
    EXPECT_EQ(fsys.openRead("C:\\x\\Temp\\zero.exe"), nullptr);
}

TEST_F(ScanOverMachineRootTest, CookieContentReadsAreBounded) {
    const std::string cookies = "users/tester/AppData/Local/Microsoft/Windows/INetCookies/";
    TempMachineRoot::writeFile(host(cookies + "a@adserver[1].txt"), "adserver.example/\n");
    ASSERT_EQ(symlink("/dev/zero", host(cookies + "b@adserver[2].txt").c_str()), 0);
    ASSERT_EQ(mkfifo(host(cookies + "c@adserver[3].txt").c_str(), 0600), 0);
    // The domain line lies past what a cookie can hold: it is not looked at.
    TempMachineRoot::writeFile(host(cookies + "d@adserver[4].txt"),
                               std::string(1 << 20, 'x') + "\nadserver.example/\n");
    writeDefinitions(definitions::kBlockedCookies, {"adserver.example"});
    scan::CookieScan scan(fsys, shell, exclusions, dataFolder);
    int cookieFiles = 0;
    {
        Watchdog dog("the cookie scan");
        scan.ScanCookies(sink, cookieFiles);
    }
    EXPECT_EQ(cookieFiles, 4);
    EXPECT_EQ(foundHostPaths(), (std::vector<std::string>{host(cookies + "a@adserver[1].txt")}));
}

// Deeper than one host call can name: the walk still reaches, reads and names the file,
// and its location leads back to it.
TEST_F(ScanOverMachineRootTest, TreesDeeperThanTheHostPathLimitAreWalked) {
    const std::string part(200, 'd');
    std::string rel = "deep";
    ASSERT_EQ(mkdir(host(rel).c_str(), 0700), 0);
    int fd = open(host(rel).c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; fd >= 0 && level < 30; ++level) {
        rel += "/" + part;
        ASSERT_EQ(mkdirat(fd, part.c_str(), 0700), 0);
        int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ASSERT_GT(host(rel).size(), static_cast<std::size_t>(PATH_MAX));
    const std::string body = "agent";
    int file = openat(fd, "deep-hidden-agent.exe", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, body.data(), body.size()), static_cast<ssize_t>(body.size()));
    close(file);
    close(fd);

    loadFileSignatures({"deep-hidden-agent.exe=Deep|C:\\elsewhere\\x"});
    walker.WalkFolder("C:\\deep\\", sink);
    ASSERT_EQ(sink.found.size(), 1u);
    const std::string location = sink.found[0].location;
    std::string read;
    EXPECT_TRUE(fsys.readAll(location, read));
    EXPECT_EQ(read, body);
    EXPECT_TRUE(fsys.deleteFile(location));
    EXPECT_FALSE(fsys.exists(location));
}

// A name that ends in a blank is reported under its own location, not under that of a
// file without the blank.
TEST_F(ScanOverMachineRootTest, LocationsNameFilesWithTrailingBlanks) {
    TempMachineRoot::writeFile(host("x/Temp/spy.exe "), "blank");
    TempMachineRoot::writeFile(host("y/Temp/spy.exe "), "blank");
    TempMachineRoot::writeFile(host("y/Temp/spy.exe"), "plain");
    loadFileSignatures({"spy.exe=Spy|C:\\x\\Temp", "spy.exe=Spy|C:\\y\\Temp"});
    walker.WalkFolder("C:\\", sink);
    EXPECT_EQ(foundHostPaths(),
              (std::vector<std::string>{host("x/Temp/spy.exe "), host("y/Temp/spy.exe"),
                                        host("y/Temp/spy.exe ")}));
}

}  // namespace
}  // namespace nightjar::platform::posix
