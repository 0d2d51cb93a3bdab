#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/posix/MachineRoot.h"

namespace nightjar::platform::posix::test {

/// A fresh machine root in a temporary folder for one test, removed afterwards. The user
/// folders are made for the login name "tester".
class TempMachineRoot {
  public:
    static constexpr const char* kUser = "tester";

    TempMachineRoot() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/njtest_root_XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            std::error_code ec;
            base_ = std::filesystem::canonical(pattern, ec).string();
            root_ = base_ + "/machine";
            std::string error;
            created_ = MachineRoot::create(root_, error, kUser);
            error_ = error;
        }
    }
    ~TempMachineRoot() {
        if (!base_.empty()) {
            allowEverything(base_);
            std::error_code ec;
            std::filesystem::remove_all(base_, ec);
        }
    }
    TempMachineRoot(const TempMachineRoot&) = delete;
    TempMachineRoot& operator=(const TempMachineRoot&) = delete;

    bool created() const { return created_; }
    const std::string& error() const { return error_; }
    /// The temporary folder that holds the machine root (and room for other files).
    const std::string& base() const { return base_; }
    const std::string& root() const { return root_; }
    std::string driveC() const { return root_ + "/drive_c"; }
    MachineRoot machine() const { return MachineRoot(root_); }

    /// Writes a host file, creating its folders.
    static void writeFile(const std::string& hostPath, const std::string& content) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path(), ec);
        std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
        out << content;
    }
    static std::string readFile(const std::string& hostPath) {
        std::ifstream in(hostPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    static void allowEverything(const std::string& path) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 path, std::filesystem::directory_options::skip_permission_denied, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                chmod(it->path().c_str(), 0700);
            }
        }
    }

    std::string base_;
    std::string root_;
    std::string error_;
    bool created_ = false;
};

}  // namespace nightjar::platform::posix::test
