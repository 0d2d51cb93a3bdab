// Wine's own registry files, made by Wine in a fresh prefix: read, changed and read back by
// Wine. Slow (Wine sets up the prefix in about half a minute); skipped where Wine is
// missing or NJ_SKIP_WINE_TESTS is set.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ScopedEnv.h"
#include "TempMachineRoot.h"
#include "platform/Platform.h"
#include "platform/posix/WineServerProbe.h"

namespace nightjar::platform::posix {
namespace {

using namespace std::string_literals;
using test::ScopedEnv;
using test::TempMachineRoot;

int run(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// The file's text without the keys whose lines start with one of `keys`, each from its key
/// line to the next key line.
std::string withoutKeys(const std::string& text, const std::vector<std::string>& keys) {
    std::istringstream in(text);
    std::string out;
    std::string line;
    bool dropping = false;
    while (std::getline(in, line)) {
        if (line.starts_with('[')) {
            dropping = false;
            for (const auto& k : keys) {
                dropping = dropping || line.starts_with(k);
            }
        }
        if (!dropping) {
            out += line + "\n";
        }
    }
    return out;
}

/// The text with the time lines of one key blanked out.
std::string withoutTime(std::string text, const std::string& key) {
    std::size_t at = text.find("\n" + key + " ");
    if (at != std::string::npos) {
        std::size_t timeEnd = text.find('\n', text.find('\n', at + 1) + 1);
        text.replace(at + 1, timeEnd - at - 1, key);
    }
    return text;
}

TEST(WinePrefixTest, ReadsAndRemovesWhatWineWrote) {
    if (std::getenv("NJ_SKIP_WINE_TESTS") != nullptr || run("command -v wine wineserver") != 0) {
        GTEST_SKIP() << "Wine is not installed";
    }
    TempMachineRoot t;
    ASSERT_TRUE(t.created()) << t.error();
    const std::string prefix = t.base() + "/prefix";
    ScopedEnv winePrefix("WINEPREFIX", prefix.c_str());
    ScopedEnv debug("WINEDEBUG", "-all");
    ScopedEnv overrides("WINEDLLOVERRIDES", "mscoree,mshtml=");
    ASSERT_EQ(run("wine wineboot -i"), 0);
    const std::string add = "wine reg add ";
    const std::string key = add + "'HKCU\\Software\\NjTest' /f ";
    for (const std::string& args : {
             key + "/v Sz /d 'hello world'",
             key + "/v Exp /t REG_EXPAND_SZ /d '%SystemRoot%\\x'",
             key + "/v Multi /t REG_MULTI_SZ /d 'one\\0two'",
             key + "/v Dw /t REG_DWORD /d 42",
             key + "/v Bin /t REG_BINARY /d 0001ff80",
             key + "/v Qw /t REG_QWORD /d 5",
             add + "'HKLM\\Software\\NjTest\\Sub' /v Keep /d 1 /f",
             add + "'HKLM\\Software\\NjTest32' /v Run32 /d x /f /reg:32",
             add + "'HKCR\\njtest.file' /ve /d handler /f",
         }) {
        ASSERT_EQ(run(args), 0) << args;
    }
    // Wine writes its files when the server ends.
    ASSERT_EQ(run("wineserver -w"), 0);
    EXPECT_FALSE(WineServerProbe::running(prefix));

    PlatformOptions options;
    options.machineRoot = prefix;
    std::string error;
    auto p = createPlatform(options, error);
    ASSERT_TRUE(p) << error;
    ASSERT_EQ(p->registryKind, "wine");
    Registry& reg = *p->registry;
    auto value = [&](Hive h, const char* path, const char* name) {
        return reg.queryValue(h, path, name, KeyAccess::Read).value_or(RegValue{});
    };
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Sz").data, "hello world\0"s);
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Exp").type, RegType::ExpandSz);
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Exp").text(), "%SystemRoot%\\x");
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Multi").data, "one\0two\0\0"s);
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Dw").number(), 42u);
    EXPECT_EQ(value(Hive::CurrentUser, "Software\\NjTest", "Bin").data, "\x00\x01\xff\x80"s);
    auto qw = value(Hive::CurrentUser, "Software\\NjTest", "Qw");
    EXPECT_EQ(static_cast<std::uint32_t>(qw.type), 11u);
    EXPECT_EQ(qw.data, "\x05\0\0\0\0\0\0\0"s);
    EXPECT_EQ(value(Hive::LocalMachine, "Software\\NjTest\\Sub", "Keep").text(), "1");
    EXPECT_EQ(value(Hive::LocalMachine, "Software\\Wow6432Node\\NjTest32", "Run32").text(), "x");
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, "Software\\NjTest32", KeyAccess::Read));
    EXPECT_EQ(value(Hive::ClassesRoot, "njtest.file", "").text(), "handler");

    const std::string systemBefore = TempMachineRoot::readFile(prefix + "/system.reg");
    const std::string userBefore = TempMachineRoot::readFile(prefix + "/user.reg");
    const std::string userDefBefore = TempMachineRoot::readFile(prefix + "/userdef.reg");
    EXPECT_TRUE(reg.deleteValue(Hive::CurrentUser, "Software\\NjTest", "Dw"));
    EXPECT_TRUE(reg.deleteTree(Hive::LocalMachine, "Software\\NjTest"));
    EXPECT_TRUE(reg.deleteTree(Hive::LocalMachine, "Software\\Wow6432Node\\NjTest32"));
    EXPECT_TRUE(reg.deleteTree(Hive::ClassesRoot, "njtest.file"));

    // Every other line stays as Wine wrote it.
    EXPECT_EQ(TempMachineRoot::readFile(prefix + "/system.reg"),
              withoutKeys(systemBefore, {"[Software\\\\NjTest\\\\", "[Software\\\\NjTest]",
                                         "[Software\\\\Wow6432Node\\\\NjTest32]",
                                         "[Software\\\\Classes\\\\njtest.file]"}));
    const std::string userAfter = TempMachineRoot::readFile(prefix + "/user.reg");
    std::string userWant = withoutTime(userBefore, "[Software\\\\NjTest]");
    const std::string dw = "\"Dw\"=dword:0000002a\n";
    ASSERT_NE(userWant.find(dw), std::string::npos);
    userWant.erase(userWant.find(dw), dw.size());
    EXPECT_EQ(withoutTime(userAfter, "[Software\\\\NjTest]"), userWant);
    EXPECT_NE(userAfter, userBefore);
    EXPECT_EQ(TempMachineRoot::readFile(prefix + "/userdef.reg"), userDefBefore);

    // Wine reads the files as they were written; while its server runs, they are only read.
    ASSERT_EQ(run("wineserver -p"), 0);
    EXPECT_TRUE(WineServerProbe::running(prefix));
    const std::string query = "wine reg query ";
    EXPECT_EQ(run(query + "'HKCU\\Software\\NjTest' /v Sz"), 0);
    EXPECT_EQ(run(query + "'HKCU\\Software\\NjTest' /v Dw"), 1);
    EXPECT_EQ(run(query + "'HKLM\\Software\\NjTest'"), 1);
    EXPECT_EQ(run(query + "'HKLM\\Software\\NjTest32' /reg:32"), 1);
    EXPECT_EQ(run(query + "'HKCR\\njtest.file'"), 1);
    EXPECT_EQ(run(query + "'HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion' /v ProductName"),
              0);
    EXPECT_FALSE(reg.setValue(Hive::CurrentUser, "Software\\NjTest", "Late", RegValue::dword(1)));
    run("wineserver -k");
    run("wineserver -w");
    // Debian's Wine keeps the server folder of the prefix in a folder of its own.
    const std::string serverFolder = TempMachineRoot::readFile(prefix + "/wineserver");
    if (serverFolder.starts_with("wine-") && serverFolder.find('/') == std::string::npos) {
        const char* tmp = std::getenv("TMPDIR");
        for (std::string base : {std::string("/tmp"), std::string(tmp != nullptr ? tmp : "")}) {
            std::error_code ec;
            if (!base.empty()) {
                std::filesystem::remove_all(base + "/" + serverFolder, ec);
            }
        }
    }
}

}  // namespace
}  // namespace nightjar::platform::posix
