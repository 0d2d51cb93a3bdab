#pragma once
#include <string_view>

namespace nightjar::update {

/// What a running update needs from the program around it: the progress window's status
/// box (`txtStatus`), the yield to the message loop, and the main window's definitions
/// date caption (`lblDefVersion`). Every method defaults to doing nothing.
class UpdateObserver {
  public:
    virtual ~UpdateObserver() = default;
    /// The progress window (`frmDownload`) is loaded and shown without blocking.
    virtual void downloadWindowShown() {}
    /// New text for the progress window's status box.
    virtual void status(std::string_view text) { (void)text; }
    /// Yield to the message loop.
    virtual void pump() {}
    /// New caption of the definitions date label (date text + " PST").
    virtual void definitionsDateCaption(std::string_view caption) { (void)caption; }
};

}  // namespace nightjar::update
