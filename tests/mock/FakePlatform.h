#pragma once
#include <memory>

#include "mock/FakeClock.h"
#include "mock/FakeFileLocks.h"
#include "mock/FakeFileSystem.h"
#include "mock/FakeHttp.h"
#include "mock/FakeLauncher.h"
#include "mock/FakeProcesses.h"
#include "mock/FakeRegistry.h"
#include "mock/FakeShellFolders.h"
#include "mock/FakeSignatureVerifier.h"
#include "mock/FakeVersionInfo.h"
#include "platform/Platform.h"

namespace nightjar::mock {

/// A Platform made of fakes, with typed access to each of them.
struct FakePlatform {
    FakePlatform();

    platform::Platform platform;
    FakeRegistry& registry;
    FakeFileSystem& fs;
    FakeShellFolders& shell;
    FakeProcesses& processes;
    FakeVersionInfo& version;
    FakeHttp& http;
    FakeLauncher& launcher;
    FakeClock& clock;
    FakeFileLocks& locks;
};

}  // namespace nightjar::mock
