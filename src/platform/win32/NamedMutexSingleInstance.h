#pragma once
#include <string>

#include "platform/SingleInstance.h"
#include "platform/win32/WinHandle.h"

namespace nightjar::platform::win32 {

/// One instance per session: the first process to create the named mutex holds it until
/// it ends.
class NamedMutexSingleInstance : public SingleInstance {
  public:
    /// `name` without namespace prefix; "Local\" is put in front.
    explicit NamedMutexSingleInstance(std::string name);
    bool acquire() override;

  private:
    std::string name_;
    WinHandle mutex_;
};

}  // namespace nightjar::platform::win32
