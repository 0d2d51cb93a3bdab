#pragma once
#include <optional>
#include <string>
#include <vector>

namespace nightjar::localization {

/// The kind of a control, as the localization keys tell controls apart. Only some kinds
/// carry translatable text; the others are listed so a window describes all its controls.
enum class ControlKind {
    Label,
    CommandButton,
    SkinLabel,
    Frame,
    CheckBox,
    OptionButton,
    TabStrip,
    ListView,
    Menu,
    TextBox,
    ComboBox,
    ListBox,
    ProgressBar,
    DTPicker,
    Image,
    Shape,
    Timer,
};

/// Pixel bounds in the parent's client area at 96 DPI; all zero when the front end places
/// the control itself.
struct ControlBounds {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

/// One control of a window with every text the localization file can translate.
struct ControlText {
    ControlKind kind = ControlKind::Label;
    /// The control's name; the members of a control array share it.
    std::string name;
    /// Index within a control array; none when the control is not in one.
    std::optional<int> index;
    /// Caption (or text) of the control.
    std::string caption;
    /// Tab captions of a TabStrip, in order.
    std::vector<std::string> tabs;
    /// Column header texts of a ListView, in order.
    std::vector<std::string> columns;
    /// Name of the containing page, frame or menu; empty for the window itself.
    std::string parent;
    ControlBounds bounds;
};

/// A window: its name, its caption and its controls in creation order. Translation reads
/// and rewrites these texts; a front end copies them to its real controls.
struct WindowText {
    std::string name;
    std::string caption;
    std::vector<ControlText> controls;
};

}  // namespace nightjar::localization
