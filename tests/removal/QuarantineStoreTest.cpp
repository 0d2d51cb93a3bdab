#include "removal/QuarantineStore.h"

#include <gtest/gtest.h>

#include <map>

#include "mock/FakeFileSystem.h"
#include "mock/FakeRegistry.h"
#include "util/Text.h"

namespace nightjar::removal {
namespace {

using platform::Hive;
using platform::RegType;
using platform::RegValue;

constexpr const char* kData = "C:\\Data\\ZuvoDivavarIVA";
constexpr const char* kQ = "C:\\Data\\ZuvoDivavarIVA\\quarantine";
constexpr const char* kLog = "C:\\Data\\ZuvoDivavarIVA\\quarantine\\QuarantineLog.txt";
constexpr const char* kNow = "12/8/2026 2:05:07 PM";

std::string q(std::string_view name) {
    return std::string(kQ) + "\\" + std::string(name);
}

RegValue raw(RegType type, std::string_view data) {
    RegValue v;
    v.type = type;
    v.data = std::string(data);
    return v;
}

/// A copy that stops short of the last byte, as a full disk would leave it.
class TruncatingFileSystem : public mock::FakeFileSystem {
  public:
    bool copyFile(std::string_view from, std::string_view to, bool overwrite) override {
        if (!FakeFileSystem::copyFile(from, to, overwrite)) {
            return false;
        }
        std::string data = content(to).value_or("");
        addFile(to, data.substr(0, data.empty() ? 0 : data.size() - 1));
        return true;
    }
    bool copyFolder(std::string_view from, std::string_view to) override {
        // The tree arrives, but without its deepest file.
        if (!FakeFileSystem::copyFolder(from, to)) {
            return false;
        }
        deleteFile(std::string(to) + "\\sub\\deep.bin");
        return true;
    }
};

/// Every key below `path` with its values, as text that compares types and bytes.
std::map<std::string, std::string> snapshot(mock::FakeRegistry& reg, Hive hive,
                                            const std::string& path) {
    std::map<std::string, std::string> out;
    auto names = reg.valueNames(hive, path);
    auto subs = reg.subkeys(hive, path);
    if (!names || !subs) {
        return out;
    }
    out[text::toLower(path)] = "(key)";
    for (const auto& n : *names) {
        auto v = reg.queryValue(hive, path, n, platform::KeyAccess::Read);
        out[text::toLower(path) + "|" + n] =
            std::to_string(static_cast<unsigned>(v->type)) + ":" + v->data;
    }
    for (const auto& s : *subs) {
        out.merge(snapshot(reg, hive, path + "\\" + s));
    }
    return out;
}

class QuarantineStoreTest : public ::testing::Test {
  protected:
    QuarantineStoreTest() { fs.addFolder(kData); }
    mock::FakeFileSystem fs;
    mock::FakeRegistry reg;
    QuarantineStore store{fs, reg, kData, [] { return std::string(kNow); }};
};

TEST_F(QuarantineStoreTest, SameNamesGetNewNamesAndKeepEveryCopy) {
    fs.addFile("C:\\a\\setup.exe", "first");
    fs.addFile("C:\\b\\SETUP.EXE", "second");
    fs.addFile("C:\\c\\setup.exe", "third");
    fs.addFile("C:\\d\\QuarantineLog.txt", "not the log");
    fs.addFile("C:\\e\\quarantineindex.JSON", "not the index");
    store.beginRemoval();
    EXPECT_EQ(store.QuarantineCopy("C:\\a\\setup.exe", "setup.exe"), "setup.exe");
    EXPECT_EQ(store.QuarantineCopy("C:\\b\\SETUP.EXE", "SETUP.EXE"), "SETUP.EXE.001");
    // The retries and the second pass of one removal reuse the first copy.
    EXPECT_EQ(store.QuarantineCopy("c:\\B\\setup.exe", "setup.exe"), "SETUP.EXE.001");
    // A name the index holds stays taken when its copy is gone.
    fs.deleteFile(q("setup.exe"));
    EXPECT_EQ(store.QuarantineCopy("C:\\c\\setup.exe", "setup.exe"), "setup.exe.002");
    store.LogQuarantinedFile("C:\\d\\QuarantineLog.txt", "QuarantineLog.txt");
    EXPECT_EQ(store.QuarantineCopy("C:\\d\\QuarantineLog.txt", "QuarantineLog.txt"),
              "QuarantineLog.txt.001");
    EXPECT_EQ(store.QuarantineCopy("C:\\e\\quarantineindex.JSON", "quarantineindex.JSON"),
              "quarantineindex.JSON.001");

    EXPECT_EQ(fs.content(q("SETUP.EXE.001")), "second");
    EXPECT_EQ(fs.content(q("setup.exe.002")), "third");
    EXPECT_EQ(fs.content(q("QuarantineLog.txt.001")), "not the log");
    const auto items = store.items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[1].original, "C:\\b\\SETUP.EXE");
    EXPECT_EQ(items[1].kind, QuarantineKind::File);
    EXPECT_EQ(items[1].time, kNow);
}

TEST_F(QuarantineStoreTest, LogEntriesToTheCharacterAndOnlyInTheFirstPass) {
    store.LogQuarantinedFile("C:\\Windows\\bad.dll", "bad.dll.001");
    store.LogRegistryRemoval("HKEY_LOCAL_MACHINE\\Software\\X", "Start");
    store.LogRegistryRemoval("-2147483646\\Software\\X", "All Values");
    store.setFirstRemovalPass(false);
    store.LogQuarantinedFile("C:\\second\\pass.exe", "pass.exe");
    store.LogRegistryRemoval("HKEY_CURRENT_USER\\Y", "Z");
    EXPECT_EQ(fs.content(kLog),
              "12/8/2026 2:05:07 PM - File: bad.dll.001\r\n"
              " - Location: C:\\Windows\\bad.dll\r\n\r\n\r\n"
              "12/8/2026 2:05:07 PM - Key: HKEY_LOCAL_MACHINE\\Software\\X\r\n"
              "Value: Start\r\n\r\n\r\n"
              "12/8/2026 2:05:07 PM - Key: -2147483646\\Software\\X\r\n"
              "Value: All Values\r\n\r\n\r\n");
}

TEST_F(QuarantineStoreTest, IncompleteCopiesAreDroppedAndTheSourceStays) {
    fs.addFile("C:\\a\\setup.exe", "payload");
    fs.setFailWrites(true);
    EXPECT_EQ(store.QuarantineCopy("C:\\a\\setup.exe", "setup.exe"), std::nullopt);
    fs.setFailWrites(false);

    TruncatingFileSystem tfs;
    tfs.addFolder(kData);
    tfs.addFile("C:\\a\\setup.exe", "payload");
    tfs.addFile("C:\\tree\\top.txt", "top");
    tfs.addFile("C:\\tree\\sub\\deep.bin", "deep");
    QuarantineStore truncating{tfs, reg, kData, [] { return std::string(kNow); }};
    EXPECT_EQ(truncating.QuarantineCopy("C:\\a\\setup.exe", "setup.exe"), std::nullopt);
    EXPECT_FALSE(tfs.exists(q("setup.exe")));
    EXPECT_EQ(tfs.content("C:\\a\\setup.exe"), "payload");
    // A folder copy is checked file by file; the folder stays when one is missing.
    tfs.setAttributes("C:\\tree\\top.txt", platform::attr::ReadOnly);
    EXPECT_EQ(truncating.QuarantineFolderCopy("C:\\tree\\"), FolderRemoval::CopyFailed);
    EXPECT_FALSE(tfs.exists(q("tree")));
    EXPECT_EQ(tfs.content("C:\\tree\\sub\\deep.bin"), "deep");
    EXPECT_TRUE(truncating.items().empty());
}

TEST_F(QuarantineStoreTest, FolderCopyDeletesTheSourceAndRestoresByteIdentical) {
    fs.addFile("C:\\Prog\\Spy\\a.exe", std::string("MZ\0\x01\xff", 5));
    fs.addFile("C:\\Prog\\Spy\\ro.dat", "read-only", platform::attr::ReadOnly);
    fs.addFile("C:\\Prog\\Spy\\deep\\er\\b.txt", "b");
    fs.addFolder(q("spy"));  // an earlier folder of the same name keeps its place
    EXPECT_EQ(store.QuarantineFolderCopy("C:\\Prog\\Spy"), FolderRemoval::Removed);
    EXPECT_FALSE(fs.exists("C:\\Prog\\Spy"));
    EXPECT_EQ(fs.content(q("Spy.001\\deep\\er\\b.txt")), "b");
    ASSERT_EQ(store.items().size(), 1u);
    EXPECT_EQ(store.items()[0].kind, QuarantineKind::Folder);

    fs.deleteFolder("C:\\Prog");  // a missing parent is created again
    EXPECT_EQ(store.restore("spy.001", false), RestoreResult::Restored);
    EXPECT_EQ(fs.content("C:\\Prog\\Spy\\a.exe"), std::string("MZ\0\x01\xff", 5));
    EXPECT_EQ(fs.content("C:\\Prog\\Spy\\ro.dat"), "read-only");
    EXPECT_EQ(fs.content("C:\\Prog\\Spy\\deep\\er\\b.txt"), "b");
    EXPECT_FALSE(fs.exists(q("Spy.001")));
    EXPECT_TRUE(store.items().empty());
    EXPECT_EQ(store.restore("Spy.001", false), RestoreResult::NotFound);
}

TEST_F(QuarantineStoreTest, FileRestoreRefusesAnOccupiedTargetUnlessForced) {
    const std::string bytes("\0\r\n\x80 binary", 11);
    fs.addFile("C:\\Apps\\x\\tool.exe", bytes);
    auto name = store.QuarantineCopy("C:\\Apps\\x\\tool.exe", "tool.exe");
    ASSERT_TRUE(name);
    fs.addFile("C:\\Apps\\x\\tool.exe", "something new");
    EXPECT_EQ(store.restore(*name, false), RestoreResult::TargetExists);
    EXPECT_EQ(fs.content("C:\\Apps\\x\\tool.exe"), "something new");
    fs.deleteFolder("C:\\Apps");
    EXPECT_EQ(store.restore(*name, false), RestoreResult::Restored);
    EXPECT_EQ(fs.content("C:\\Apps\\x\\tool.exe"), bytes);
    EXPECT_FALSE(fs.exists(q(*name)));
    EXPECT_EQ(fs.content(kLog), std::string(kNow) + " - Restored: tool.exe\r\n" +
                                    " - Location: C:\\Apps\\x\\tool.exe\r\n\r\n\r\n");

    auto again = store.QuarantineCopy("C:\\Apps\\x\\tool.exe", "tool.exe");
    fs.addFile("C:\\Apps\\x\\tool.exe", "replaced");
    EXPECT_EQ(store.restore(*again, true), RestoreResult::Restored);
    EXPECT_EQ(fs.content("C:\\Apps\\x\\tool.exe"), bytes);
}

TEST_F(QuarantineStoreTest, KeyBackupRestoresEveryTypeAndSubkey) {
    const std::string key = "Software\\Spy Ware";
    reg.setValue(Hive::LocalMachine, key, "", RegValue::string("default"));
    reg.setValue(Hive::LocalMachine, key, "Quote \"and\" \\slash", RegValue::string("C:\\a \"b\""));
    reg.setValue(Hive::LocalMachine, key, "NoNul", raw(RegType::Sz, "no terminator"));
    reg.setValue(Hive::LocalMachine, key, "TwoLines", RegValue::string("a\r\nb"));
    reg.setValue(Hive::LocalMachine, key, "Path",
                 RegValue::string("%SystemRoot%\\x", RegType::ExpandSz));
    reg.setValue(Hive::LocalMachine, key, "Multi",
                 raw(RegType::MultiSz, std::string("one\0zwei \xc3\xa9\0\0", 13)));
    reg.setValue(Hive::LocalMachine, key, "Blob", raw(RegType::Binary, std::string(200, '\xab')));
    reg.setValue(Hive::LocalMachine, key, "Number", RegValue::dword(0x0a));
    reg.setValue(Hive::LocalMachine, key, "Short", raw(RegType::Dword, "\x01\x02"));
    reg.setValue(Hive::LocalMachine, key, "Nothing", raw(RegType::None, ""));
    reg.setValue(Hive::LocalMachine, key, "Qword", raw(static_cast<RegType>(11), "12345678"));
    reg.setValue(Hive::LocalMachine, key + "\\Sub\\Deeper", "v", RegValue::string("\xe2\x82\xac"));
    reg.createKey(Hive::LocalMachine, key + "\\Empty");
    const auto before = snapshot(reg, Hive::LocalMachine, key);

    auto name = store.BackupRegistryKey(Hive::LocalMachine, key);
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "HKEY_LOCAL_MACHINESoftwareSpy Ware.reg");
    EXPECT_EQ(fs.content(q(*name)).value_or("").substr(0, 4), std::string("\xff\xfeW\0", 4));
    ASSERT_TRUE(reg.deleteTree(Hive::LocalMachine, key));
    // The same key again: a second backup of the name.
    reg.setValue(Hive::LocalMachine, key, "", RegValue::string("later"));
    EXPECT_EQ(store.BackupRegistryKey(Hive::LocalMachine, key),
              "HKEY_LOCAL_MACHINESoftwareSpy Ware.001.reg");
    EXPECT_EQ(store.restore(*name, false), RestoreResult::TargetExists);
    reg.deleteTree(Hive::LocalMachine, key);

    EXPECT_EQ(store.restore(*name, false), RestoreResult::Restored);
    EXPECT_EQ(snapshot(reg, Hive::LocalMachine, key), before);
    EXPECT_FALSE(fs.exists(q(*name)));
    ASSERT_EQ(store.items().size(), 1u);
    EXPECT_EQ(store.items()[0].original, "HKEY_LOCAL_MACHINE\\Software\\Spy Ware");
    EXPECT_EQ(store.items()[0].kind, QuarantineKind::RegistryKey);
}

TEST_F(QuarantineStoreTest, ValueBackupRestoresTheValueOnly) {
    reg.setValue(Hive::CurrentUser, "Software\\Run", "Spy/ware:x", RegValue::string("C:\\spy.exe"));
    reg.setValue(Hive::CurrentUser, "Software\\Run", "Other", RegValue::string("keep"));
    auto name = store.BackupRegistryValue(Hive::CurrentUser, "Software\\Run", "Spy/ware:x");
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, "HKEY_CURRENT_USERSoftwareRunSpywarex.reg");
    EXPECT_EQ(store.items()[0].valueName, "Spy/ware:x");
    EXPECT_EQ(store.BackupRegistryValue(Hive::CurrentUser, "Software\\Run", "missing"),
              std::nullopt);
    store.setFirstRemovalPass(false);
    EXPECT_EQ(store.BackupRegistryValue(Hive::CurrentUser, "Software\\Run", "Other"), std::nullopt);

    EXPECT_EQ(store.restore(*name, false), RestoreResult::TargetExists);
    reg.setValue(Hive::CurrentUser, "Software\\Run", "Spy/ware:x", RegValue::dword(1));
    reg.setValue(Hive::CurrentUser, "Software\\Run", "Other", RegValue::string("changed"));
    EXPECT_EQ(store.restore(*name, true), RestoreResult::Restored);
    auto v =
        reg.queryValue(Hive::CurrentUser, "Software\\Run", "Spy/ware:x", platform::KeyAccess::Read);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, RegType::Sz);
    EXPECT_EQ(v->data, std::string("C:\\spy.exe\0", 11));
    EXPECT_EQ(reg.queryValue(Hive::CurrentUser, "Software\\Run", "Other", platform::KeyAccess::Read)
                  ->text(),
              "changed");
}

TEST_F(QuarantineStoreTest, DamagedIndexReadsAsFarAsItGoes) {
    for (std::string damaged :
         {"", "{", "[1, \"x\", {\"name\": 5}]", "{\"name\":\"a\"}", "\xff\xfe[", "[[[[[[[[[[["}) {
        fs.addFile(q("QuarantineIndex.json"), damaged);
        EXPECT_TRUE(store.items().empty()) << damaged;
    }
    fs.addFile(q("QuarantineIndex.json"),
               "[{\"time\":\"t\",\"kind\":\"file\",\"original\":\"C:\\\\x\",\"name\":\"x\"},"
               "{\"time\":\"t\",\"kind\":\"alien\",\"original\":\"C:\\\\y\",\"name\":\"y\"}]");
    ASSERT_EQ(store.items().size(), 1u);
    fs.addFile("C:\\src\\x", "x");
    EXPECT_EQ(store.QuarantineCopy("C:\\src\\x", "x"), "x.001");
    EXPECT_EQ(store.items().size(), 2u);
}

}  // namespace
}  // namespace nightjar::removal
