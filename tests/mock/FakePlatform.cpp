#include "mock/FakePlatform.h"

namespace nightjar::mock {

namespace {

class FakeSingleInstance : public platform::SingleInstance {
  public:
    bool acquire() override { return true; }
};

class NoSystemRestore : public platform::SystemRestore {
  public:
    bool available() override { return false; }
    bool begin(std::string_view) override { return false; }
    bool end() override { return false; }
};

platform::Platform makePlatform() {
    platform::Platform p;
    p.registry = std::make_unique<FakeRegistry>();
    p.fileSystem = std::make_unique<FakeFileSystem>();
    p.shellFolders = std::make_unique<FakeShellFolders>();
    p.processes = std::make_unique<FakeProcesses>();
    p.versionInfo = std::make_unique<FakeVersionInfo>();
    p.http = std::make_unique<FakeHttp>();
    p.launcher = std::make_unique<FakeLauncher>();
    p.clock = std::make_unique<FakeClock>();
    p.singleInstance = std::make_unique<FakeSingleInstance>();
    p.systemRestore = std::make_unique<NoSystemRestore>();
    p.fileLocks = std::make_unique<FakeFileLocks>();
    p.signatureVerifier = std::make_unique<FakeSignatureVerifier>();
    return p;
}

}  // namespace

FakePlatform::FakePlatform()
    : platform(makePlatform()),
      registry(static_cast<FakeRegistry&>(*platform.registry)),
      fs(static_cast<FakeFileSystem&>(*platform.fileSystem)),
      shell(static_cast<FakeShellFolders&>(*platform.shellFolders)),
      processes(static_cast<FakeProcesses&>(*platform.processes)),
      version(static_cast<FakeVersionInfo&>(*platform.versionInfo)),
      http(static_cast<FakeHttp&>(*platform.http)),
      launcher(static_cast<FakeLauncher&>(*platform.launcher)),
      clock(static_cast<FakeClock&>(*platform.clock)),
      locks(static_cast<FakeFileLocks&>(*platform.fileLocks)) {}

}  // namespace nightjar::mock
