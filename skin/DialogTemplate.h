#pragma once

#include <QFlags>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

namespace ostrel {

// The kinds of control a dialog template can hold.
enum class ControlKind {
    Static,  // text; transparent over the dialog's picture
    GroupBox,
    PushButton,  // always a CSkinButton
    CheckBox,    // automatic check box
    Edit,        // one line
    ListBox,
    ComboBox,  // drop-down list; the rectangle's height is that of the open list
    ListView,  // report view: rows and columns
    Custom,    // an empty area the dialog fills itself (the report browser)
};

enum class ControlStyle {
    None = 0,
    DefaultButton = 1 << 0,
    CentreText = 1 << 1,
    Sorted = 1 << 2,
    Password = 1 << 3,
    Editable = 1 << 4,  // combo box with an edit field
    Hidden = 1 << 5,
    Disabled = 1 << 6,
    ReadOnly = 1 << 7,
    NoWrap = 1 << 8,  // static text on one line
};
Q_DECLARE_FLAGS(ControlStyles, ControlStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(ControlStyles)

enum class WindowStyle {
    None = 0,
    Child = 1 << 0,         // a page inside another window
    Caption = 1 << 1,       // the desktop's title bar and border
    SizingBorder = 1 << 2,  // the user may resize the window
};
Q_DECLARE_FLAGS(WindowStyles, WindowStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(WindowStyles)

// Controls without an id of their own (most static texts).
inline constexpr int kNoControlId = -1;

// One control of a template. The rectangle is in dialog units; a static
// text with an empty size takes the size of its text.
struct ControlTemplate {
    int id = kNoControlId;
    ControlKind kind = ControlKind::Static;
    QRect rect;
    QString text;
    ControlStyles styles = ControlStyle::None;
};

// A window described as data: its number, its size in dialog units, its
// title and styles, and its controls in tab order. A window without the
// Child or Caption style is a borderless top-level window.
struct DialogTemplate {
    int id = 0;
    QSize size;
    QString title;
    WindowStyles styles = WindowStyle::None;
    std::vector<ControlTemplate> controls;
};

}  // namespace ostrel
