#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "ScopedEnv.h"
#include "TempMachineRoot.h"
#include "platform/Platform.h"
#include "platform/posix/WineRegistry.h"
#include "platform/posix/WineServerProbe.h"

namespace nightjar::platform::posix {
namespace {

using test::ScopedEnv;
using test::TempMachineRoot;

const std::string kHead = "WINE REGISTRY Version 2\n;; All keys relative to ";
const std::string kSystem = kHead +
                            "REGISTRY\\\\Machine\n\n#arch=win64\n\n"
                            "[Software\\\\Classes\\\\.txt] 1\n@=\"txtfile\"\n\n"
                            "[Software\\\\Classes\\\\txtfile] 1\n@=\"Text\"\n\n"
                            "[System\\\\CurrentControlSet\\\\Hardware Profiles\\\\Current\\\\"
                            "Software\\\\Fonts] 1\n\"LogPixels\"=dword:00000060\n";
const std::string kUser = kHead +
                          "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
                          "[Software\\\\Classes\\\\.txt] 1\n@=\"userfile\"\n\"Only\"=\"user\"\n\n"
                          "[Software\\\\Run] 1\n\"x\"=\"y\"\n";
const std::string kUserDefault = kHead +
                                 "REGISTRY\\\\User\\\\.Default\n\n#arch=win64\n\n"
                                 "[Control Panel\\\\Desktop] 1\n\"Wallpaper\"=\"\"\n";

class WineRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(t.created()) << t.error();
        TempMachineRoot::writeFile(t.root() + "/system.reg", kSystem);
        TempMachineRoot::writeFile(t.root() + "/user.reg", kUser);
        TempMachineRoot::writeFile(t.root() + "/userdef.reg", kUserDefault);
    }
    std::string text(Hive h, const char* path, const char* name) {
        auto v = reg.queryValue(h, path, name, KeyAccess::Read);
        return v ? v->text() : "<none>";
    }

    TempMachineRoot t;
    WineRegistry reg{t.root(), [] { return std::int64_t{1800000000}; }};
};

TEST_F(WineRegistryTest, HivesMapOntoThePrefixFiles) {
    // The user's classes come before the machine's; lists join both.
    EXPECT_EQ(text(Hive::ClassesRoot, ".txt", ""), "userfile");
    EXPECT_EQ(text(Hive::ClassesRoot, ".TXT", "only"), "user");
    EXPECT_EQ(text(Hive::ClassesRoot, "txtfile", ""), "Text");
    EXPECT_EQ(*reg.subkeys(Hive::ClassesRoot, ""), (std::vector<std::string>{".txt", "txtfile"}));
    EXPECT_EQ(*reg.valueNames(Hive::ClassesRoot, ".txt"), (std::vector<std::string>{"", "Only"}));
    EXPECT_EQ(text(Hive::CurrentUser, "Software\\Run", "x"), "y");
    EXPECT_EQ(text(Hive::Users, "S-1-5-21-0-0-0-1000\\Software\\Run", "x"), "y");
    EXPECT_TRUE(reg.keyExists(Hive::Users, ".DEFAULT\\Control Panel\\Desktop", KeyAccess::Full));
    EXPECT_EQ(*reg.subkeys(Hive::Users, ""),
              (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
    EXPECT_EQ(reg.queryValue(Hive::CurrentConfig, "Software\\Fonts", "LogPixels", KeyAccess::Read)
                  ->number(),
              0x60u);
    EXPECT_FALSE(reg.keyExists(Hive::DynData, "", KeyAccess::Read));

    // A new class goes to the machine; removing one removes it from both places.
    ASSERT_TRUE(reg.setValue(Hive::ClassesRoot, "new.ext", "", RegValue::string("h")));
    EXPECT_NE(TempMachineRoot::readFile(t.root() + "/system.reg")
                  .find("\n\n[Software\\\\Classes\\\\new.ext] 1800000000\n#time=1dda4c66b338000\n"
                        "@=\"h\"\n"),
              std::string::npos);
    ASSERT_TRUE(reg.deleteTree(Hive::ClassesRoot, ".txt"));
    EXPECT_FALSE(reg.keyExists(Hive::ClassesRoot, ".txt", KeyAccess::Read));
    EXPECT_EQ(TempMachineRoot::readFile(t.root() + "/user.reg"),
              kHead +
                  "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
                  "[Software\\\\Classes] 1800000000\n#time=1dda4c66b338000\n\n"
                  "[Software\\\\Run] 1\n\"x\"=\"y\"\n");
    EXPECT_FALSE(reg.deleteTree(Hive::ClassesRoot, ""));
    EXPECT_FALSE(reg.deleteTree(Hive::Users, ".Default"));

    // A file changed by someone else is read again.
    TempMachineRoot::writeFile(t.root() + "/user.reg", kUser + "\n[Later] 1\n\"v\"=\"2\"\n");
    EXPECT_EQ(text(Hive::CurrentUser, "Later", "v"), "2");

    // The machine root picks these files as its registry.
    PlatformOptions options;
    options.machineRoot = t.root();
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->registryKind, "wine");
    EXPECT_TRUE(p->notices.empty());
    EXPECT_TRUE(
        p->registry->keyExists(Hive::LocalMachine, "Software\\Classes\\new.ext", KeyAccess::Full));
    EXPECT_FALSE(std::filesystem::exists(t.root() + "/registry.sqlite"));
    // Its z: is the host's own file system.
    for (const auto& d : p->fileSystem->drives()) {
        EXPECT_EQ(d.hostRoot, d.letter == 'Z') << d.letter;
    }
}

TEST_F(WineRegistryTest, NothingChangesWhileAWineServerHoldsThePrefix) {
    // The server folder where Debian's Wine keeps it: named by the prefix's "wineserver"
    // file, in the temporary folder.
    ScopedEnv tmp("TMPDIR", t.base().c_str());
    struct stat st {};
    ASSERT_EQ(stat(t.root().c_str(), &st), 0);
    char server[96];
    std::snprintf(server, sizeof server, "/wine-abc123/server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    const std::string lock = t.base() + server + "/lock";
    TempMachineRoot::writeFile(lock, "");
    TempMachineRoot::writeFile(t.root() + "/wineserver", "wine-abc123");
    EXPECT_FALSE(WineServerProbe::running(t.root()));

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = open(lock.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (fd < 0 || fcntl(fd, F_SETLK, &fl) != 0 || write(ready[1], "x", 1) != 1) {
            _exit(1);
        }
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_TRUE(WineServerProbe::running(t.root()));
    EXPECT_FALSE(reg.readOnlyReason().empty());
    // A scan still finds what is there; only the changes fail.
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, "Software\\Run", KeyAccess::Full));
    EXPECT_FALSE(reg.setValue(Hive::CurrentUser, "Software\\Run", "x", RegValue::string("z")));
    EXPECT_FALSE(reg.deleteValue(Hive::CurrentUser, "Software\\Run", "x"));
    EXPECT_FALSE(reg.deleteTree(Hive::CurrentUser, "Software\\Run"));
    EXPECT_EQ(TempMachineRoot::readFile(t.root() + "/user.reg"), kUser);
    PlatformOptions options;
    options.machineRoot = t.root();
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    ASSERT_EQ(p->notices.size(), 1u);
    EXPECT_NE(p->notices[0].find("wineserver"), std::string::npos);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_FALSE(WineServerProbe::running(t.root()));
    EXPECT_TRUE(reg.deleteValue(Hive::CurrentUser, "Software\\Run", "x"));
}

}  // namespace
}  // namespace nightjar::platform::posix
