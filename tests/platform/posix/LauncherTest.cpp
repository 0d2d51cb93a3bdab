#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "ScopedEnv.h"
#include "TempMachineRoot.h"
#include "platform/posix/PosixLauncher.h"

namespace nightjar::platform::posix {
namespace {

namespace fs = std::filesystem;
using test::TempMachineRoot;

/// Waits (bounded) for a file that a started program writes.
std::string awaitFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        std::string content = TempMachineRoot::readFile(path);
        if (!content.empty() && content.back() == '\n') {
            return content;
        }
        usleep(10000);
    }
    return {};
}

/// A script that writes its arguments, one per line, to `out`.
void writeRecorderScript(const std::string& script, const std::string& out) {
    TempMachineRoot::writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" +
                                           out + ".tmp\"\nmv \"" + out + ".tmp\" \"" + out +
                                           "\"\n");
    chmod(script.c_str(), 0755);
}

using test::ScopedEnv;

TEST(PosixLauncher, SplitsCommandLines) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(PosixLauncher::splitCommand("explorer C:\\x y"), P("explorer", "C:\\x y"));
    EXPECT_EQ(PosixLauncher::splitCommand("notepad \"C:\\a b\\ENoSignature.dat\""),
              P("notepad", "C:\\a b\\ENoSignature.dat"));
    EXPECT_EQ(PosixLauncher::splitCommand("\"C:\\Program Files\\x.exe\" arg"),
              P("C:\\Program Files\\x.exe", "arg"));
    EXPECT_EQ(PosixLauncher::splitCommand("  regedit  "), P("regedit", ""));
    EXPECT_EQ(PosixLauncher::splitCommand(""), P("", ""));
}

TEST(PosixLauncher, RecordModeOnlyWritesTheCalls) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string record = t.base() + "/launches.txt";
    PosixLauncher launcher(t.machine(), record);
    EXPECT_TRUE(launcher.run("notepad C:\\data\\ENoSignature.dat", WindowShow::Normal));
    EXPECT_TRUE(launcher.run("explorer C:\\data\\quarantine", WindowShow::Minimized));
    EXPECT_TRUE(launcher.run("regedit", WindowShow::Normal));
    EXPECT_TRUE(launcher.open("C:\\Program Files\\Nightjar\\Help.chm"));
    EXPECT_EQ(TempMachineRoot::readFile(record),
              "run notepad C:\\data\\ENoSignature.dat\n"
              "run explorer C:\\data\\quarantine\n"
              "run regedit\n"
              "open C:\\Program Files\\Nightjar\\Help.chm\n");
    PosixLauncher broken(t.machine(), t.base() + "/no/such/folder/launches.txt");
    EXPECT_FALSE(broken.run("notepad C:\\x", WindowShow::Normal));
}

TEST(PosixLauncher, NotepadOpensTheHostFileInTheUsersEditor) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string out = t.base() + "/editor-args.txt";
    writeRecorderScript(t.base() + "/editor.sh", out);
    TempMachineRoot::writeFile(t.driveC() + "/Data/ENoSignature.dat", "x");
    ScopedEnv visual("VISUAL", (t.base() + "/editor.sh --wait").c_str());
    PosixLauncher launcher(t.machine());
    EXPECT_TRUE(launcher.run("notepad C:\\DATA\\enosignature.dat", WindowShow::Normal));
    EXPECT_EQ(awaitFile(out), "--wait\n" + t.driveC() + "/Data/ENoSignature.dat\n");
}

TEST(PosixLauncher, RunsAProgramOfTheMachineAndRefusesWhatHasNoCounterpart) {
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string out = t.base() + "/program-args.txt";
    writeRecorderScript(t.driveC() + "/Program Files/Companion/companion.sh", out);
    PosixLauncher launcher(t.machine());
    EXPECT_TRUE(launcher.run("\"C:\\Program Files\\Companion\\COMPANION.sh\" \"first arg\"",
                             WindowShow::Normal));
    EXPECT_EQ(awaitFile(out), "first arg\n");

    EXPECT_FALSE(launcher.run("regedit", WindowShow::Normal));
    EXPECT_FALSE(launcher.run("", WindowShow::Normal));
    EXPECT_FALSE(launcher.run("C:\\missing\\program.exe", WindowShow::Normal));
    TempMachineRoot::writeFile(t.driveC() + "/plain.txt", "not a program");
    EXPECT_FALSE(launcher.run("C:\\plain.txt", WindowShow::Normal));
    EXPECT_FALSE(launcher.open("C:\\missing\\Help.chm"));
    EXPECT_FALSE(launcher.run("notepad Q:\\x.txt", WindowShow::Normal));
}

}  // namespace
}  // namespace nightjar::platform::posix
