// An update killed at any moment leaves every definition file whole: old or new, never torn
// or missing. Runs the real POSIX file layer in a child process killed with SIGKILL.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>

#include "definitions/LineCodec.h"
#include "mock/FakeFileSystem.h"
#include "platform/posix/MachineRoot.h"
#include "platform/posix/PosixFileSystem.h"
#include "update/UpdateTestSupport.h"
#include "update/UpdateTextApplier.h"

namespace nightjar::update {
namespace {

using testing::record;
using testing::storedLine;

constexpr const char* kFolder = "C:\\crash";
const char* const kNames[] = {"FileDefinition.dat",      "ExeDefinition.dat",
                              "RegistryDefinition.dat",  "BlockedCookies.dat",
                              "DirectoryDefinition.dat", "Safety.dat"};

std::string path(const char* name) {
    return std::string(kFolder) + "\\" + name;
}

class CrashSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() / ("nj-crash-" + std::to_string(getpid()));
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        std::string error;
        ASSERT_TRUE(platform::posix::MachineRoot::create(root_.string(), error, "tester")) << error;
        fs_ = std::make_unique<platform::posix::PosixFileSystem>(
            platform::posix::MachineRoot(root_.string()));
        ASSERT_TRUE(fs_->createFolder(kFolder));
    }
    void TearDown() override {
        fs_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    std::filesystem::path root_;
    std::unique_ptr<platform::posix::PosixFileSystem> fs_;
};

TEST_F(CrashSafety, KilledUpdateLeavesOldOrNewFiles) {
    // Old contents: a few thousand lines per file.
    std::map<std::string, std::string> old;
    for (const char* name : kNames) {
        std::string content;
        for (int i = 0; i < 6000; ++i) {
            content += storedLine(std::string(name).substr(0, 3) + std::to_string(i) + ".exe=T" +
                                  std::to_string(i) + "|[windir]system32|TYPE");
        }
        old[name] = content;
    }
    // An update touching every file, with deletions so each file is rewritten.
    std::string text;
    const char* markers[] = {"FILE", "EXE", "REG", "COOK", "DIR", "S"};
    for (int i = 0; i < 1500; ++i) {
        const char* m = markers[i % 6];
        text += record(m, "ADD", "new" + std::to_string(i) + ".exe=N|a|b") + "[BR]";
        if (i % 3 == 0) {
            text += record(m, "DEL", std::string(kNames[i % 6]).substr(0, 3) + std::to_string(i)) +
                    "[BR]";
        }
    }

    // Expected new contents, from the same update applied in memory.
    mock::FakeFileSystem memory;
    memory.addFolder(kFolder);
    for (const char* name : kNames) {
        memory.addFile(path(name), old[name]);
    }
    UpdateObserver quiet;
    UpdateTextApplier(memory, kFolder, quiet).ApplyUpdateText(text);
    std::map<std::string, std::string> fresh;
    for (const char* name : kNames) {
        fresh[name] = memory.content(path(name)).value_or("");
        ASSERT_NE(fresh[name], old[name]) << name;
    }

    auto reset = [&] {
        for (const char* name : kNames) {
            ASSERT_TRUE(fs_->writeAll(path(name), old[name]));
        }
    };
    auto runChild = [&]() -> pid_t {
        pid_t pid = fork();
        if (pid == 0) {
            UpdateObserver none;
            ApplyResult r = UpdateTextApplier(*fs_, kFolder, none).ApplyUpdateText(text);
            _exit(r.complete ? 0 : 3);
        }
        return pid;
    };

    // How long one undisturbed run takes, to spread the kills over it.
    reset();
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = runChild();
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const auto full =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    for (const char* name : kNames) {
        std::string now;
        ASSERT_TRUE(fs_->readAll(path(name), now));
        ASSERT_EQ(now, fresh[name]) << name;
    }

    std::mt19937 rng(12345);
    int sawOld = 0;
    int sawNew = 0;
    for (int round = 0; round < 40; ++round) {
        reset();
        pid = runChild();
        ASSERT_GT(pid, 0);
        const long delay = static_cast<long>(rng() % static_cast<unsigned>(full + 1000));
        usleep(static_cast<useconds_t>(delay));
        kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        for (const char* name : kNames) {
            std::string now;
            ASSERT_TRUE(fs_->readAll(path(name), now)) << name << " missing, round " << round;
            if (now == old[name]) {
                ++sawOld;
            } else {
                ASSERT_EQ(now, fresh[name]) << name << " torn, round " << round;
                ++sawNew;
            }
        }
    }
    // Both outcomes occurred, so the kills did land before and after the renames.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

}  // namespace
}  // namespace nightjar::update

#endif  // _WIN32
