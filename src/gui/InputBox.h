#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "gui/MessageFont.h"
#include "gui/MessageLoop.h"
#include "gui/Window.h"

namespace nightjar::gui {

/// A small modal window asking for one line of text: the prompt, an edit box, OK and
/// Cancel (Enter and Esc answer them). The owner is disabled while it is open.
class InputBox : public Window {
  public:
    /// Shows the box and waits for the answer; nullopt when cancelled or closed.
    static std::optional<std::wstring> Ask(HWND owner, MessageLoop& loop,
                                           const std::wstring& prompt, const std::wstring& title);

  protected:
    bool onCommand(int id, int code, HWND control) override;
    bool onClose() override;

  private:
    InputBox() = default;
    bool build(HWND owner, const std::wstring& prompt, const std::wstring& title);
    void finish(bool accepted);

    std::unique_ptr<MessageFont> font_;
    HWND edit_ = nullptr;
    bool done_ = false;
    std::optional<std::wstring> answer_;
};

}  // namespace nightjar::gui
