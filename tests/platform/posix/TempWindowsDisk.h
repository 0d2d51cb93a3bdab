#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

namespace nightjar::platform::posix::test {

/// A mounted Windows system drive made in a temporary folder for one test (removed
/// afterwards): hive files are built with hivexsh, a tool apart from the code under test.
class TempWindowsDisk {
  public:
    TempWindowsDisk() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/njtest_disk_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            std::error_code ec;
            base_ = std::filesystem::canonical(pattern, ec).string();
            root_ = base_ + "/disk";
            std::filesystem::create_directories(root_, ec);
        }
    }
    ~TempWindowsDisk() {
        std::error_code ec;
        if (!base_.empty()) {
            std::filesystem::remove_all(base_, ec);
        }
    }
    TempWindowsDisk(const TempWindowsDisk&) = delete;
    TempWindowsDisk& operator=(const TempWindowsDisk&) = delete;

    /// The temporary folder that holds the disk (and room for other files).
    const std::string& base() const { return base_; }
    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    /// Makes the hive file `relative` (its folders too): an empty hive changed by the
    /// hivexsh commands of `script` (one a line; strings in 7-bit ASCII), then committed.
    void hive(const std::string& relative, const std::string& script) const {
        const std::string file = path(relative);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
        ASSERT_TRUE(writeEmptyHive(file)) << file;
        const std::string scriptFile = base_ + "/script.txt";
        std::ofstream(scriptFile, std::ios::trunc) << script << "\ncommit\n";
        ASSERT_EQ(run("hivexsh -w -f '" + scriptFile + "' '" + file + "' 2>&1"), "") << script;
    }

    /// What hivexget prints for a key (every value) or one value; "" when it fails.
    static std::string hivexget(const std::string& file, const std::string& key,
                                const std::string& value = {}) {
        std::string cmd = "hivexget '" + file + "' '" + key + "'";
        if (!value.empty()) {
            cmd += " '" + value + "'";
        }
        return run(cmd + " 2>/dev/null");
    }

    /// The subkeys of a key as hivexsh lists them, one a line; "" when it fails.
    std::string hivexls(const std::string& file, const std::string& key) const {
        const std::string scriptFile = base_ + "/ls.txt";
        std::ofstream(scriptFile, std::ios::trunc) << "cd " << key << "\nls\n";
        return run("hivexsh -f '" + scriptFile + "' '" + file + "' 2>/dev/null");
    }

    static std::string run(const std::string& command) {
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
                out.append(buf, n);
            }
            pclose(p);
        }
        return out;
    }

  private:
    /// The smallest hive hivex opens: the base block, then one 4 KiB bin with the root key,
    /// its security cell and free space.
    static bool writeEmptyHive(const std::string& file) {
        std::string b(0x2000, '\0');
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); };
        auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&b[at], &v, 2); };
        std::memcpy(&b[0], "regf", 4);
        put32(0x04, 1);  // equal sequence numbers: closed cleanly
        put32(0x08, 1);
        put32(0x14, 1);  // format 1.3
        put32(0x18, 3);
        put32(0x20, 1);
        put32(0x24, 0x20);    // the root key's cell, from the first bin
        put32(0x28, 0x1000);  // size of the bins
        put32(0x2C, 1);
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 0x1FC; i += 4) {
            std::uint32_t w;
            std::memcpy(&w, &b[i], 4);
            sum ^= w;
        }
        put32(0x1FC, sum);

        const std::size_t bin = 0x1000;
        std::memcpy(&b[bin], "hbin", 4);
        put32(bin + 0x08, 0x1000);
        const std::uint32_t nk = 0x20;
        const std::uint32_t nkSize = 0x58;  // size field, record and name, 8-aligned
        const std::uint32_t sk = nk + nkSize;
        const std::uint32_t skSize = 0x30;
        put32(bin + nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nkSize)));
        const std::size_t r = bin + nk + 4;
        std::memcpy(&b[r], "nk", 2);
        put16(r + 0x02, 0x2C);  // hive entry, not deletable, ASCII name
        put32(r + 0x1C, 0xFFFFFFFFu);
        put32(r + 0x20, 0xFFFFFFFFu);
        put32(r + 0x28, 0xFFFFFFFFu);
        put32(r + 0x2C, sk);
        put32(r + 0x30, 0xFFFFFFFFu);
        put16(r + 0x48, 4);
        std::memcpy(&b[r + 0x4C], "ROOT", 4);
        put32(bin + sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(skSize)));
        const std::size_t s = bin + sk + 4;
        std::memcpy(&b[s], "sk", 2);
        put32(s + 0x04, sk);  // the ring of security cells is this one
        put32(s + 0x08, sk);
        put32(s + 0x0C, 1);
        put32(s + 0x10, 20);  // an empty self-relative descriptor
        b[s + 0x14] = 1;
        put16(s + 0x16, 0x8000);
        put32(bin + sk + skSize, 0x1000 - (sk + skSize));  // the rest is free
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(b.data(), static_cast<std::streamsize>(b.size()));
        return static_cast<bool>(out.flush());
    }

    std::string base_;
    std::string root_;
};

}  // namespace nightjar::platform::posix::test
