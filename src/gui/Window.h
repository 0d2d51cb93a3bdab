#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace nightjar::gui {

/// A native window whose messages reach virtual handlers of this object. The object owns
/// its window: destroying the object destroys a window still open.
class Window {
  public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    /// The window; null before `createWindow` and after it was destroyed.
    HWND hwnd() const { return hwnd_; }

  protected:
    /// What a window class is registered with; registered once per process by name.
    struct ClassSpec {
        const wchar_t* name;
        int background = COLOR_WINDOW;
        UINT style = CS_HREDRAW | CS_VREDRAW;
    };
    /// Registers the class when needed and creates the window. False on failure.
    bool createWindow(const ClassSpec& cls, DWORD exStyle, DWORD style, const std::wstring& caption,
                      RECT bounds, HWND parent);

    /// Every message of the window. The default dispatches to the handlers below and
    /// passes the rest on to DefWindowProcW.
    virtual LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);
    /// WM_COMMAND: control or menu id, notification code, control (null for menus and
    /// accelerators). True when handled.
    virtual bool onCommand(int id, int code, HWND control);
    /// WM_NOTIFY from a common control; the result when handled.
    virtual std::optional<LRESULT> onNotify(const NMHDR& header);
    virtual void onTimer(UINT_PTR id);
    /// WM_DPICHANGED: the new DPI and the bounds the system suggests.
    virtual void onDpiChanged(UINT dpi, const RECT& suggested);
    /// WM_CLOSE; false lets the window be destroyed.
    virtual bool onClose();
    /// WM_DESTROY.
    virtual void onDestroy();

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
};

}  // namespace nightjar::gui
