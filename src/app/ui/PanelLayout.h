#pragma once

#include "app/ui/Form1.h"

#include <QRect>
#include <QString>
#include <cstddef>
#include <functional>

// The window's panels are laid out by tables: one row per control, giving its name,
// kind, container, place, text and font. Each subsystem keeps its panel's table in its
// ui/ folder; one routine makes the controls of a table into the window's members.
namespace PanelLayout {

// Positions and sizes are given in twips, 15 to the pixel.
QRect twips(int left, int top, int width, int height);

enum class Kind {
    Panel,     // a plain container
    Frame,     // a container with its caption on its border
    Label,     // plain text, wrapped at words, from the top left
    Picture,   // a picture, set by the window
    Line,      // a vertical line down the middle of its box
    Button,    // a push button that is never the default one
    List,      // a list box with single selection
    MultiList, // a list box in which each click toggles one line
    DropDown,  // a drop-down list the user can only pick from
    Option,    // an option button
    DirList,   // the directory list
    DriveList, // the drive list
    Tabs,      // the tab control
};

// The launcher's font at its two sizes; Inherited sets none, so the control takes
// its container's.
enum class Font { Inherited, Regular, Bold, Large };

// How a control opens; the flags combine.
enum Opening {
    Usable = 0,
    Disabled = 1,    // the user cannot use it
    Hidden = 2,      // not shown
    Selected = 4,    // an option button that is on
    Passive = 8,     // the mouse goes through it
    ReadTrimmed = 16 // a label whose line breaks around its text are not read out
};

// Where the window keeps a control: a member of Form1 of the control's own class.
class Member {
public:
    template <class Widget>
    Member(Widget* Form1::*member)
        : m_keep([member](Form1& window, QWidget* control) {
              auto* typed = dynamic_cast<Widget*>(control);
              if (typed)
                  window.*member = typed;
              return typed != nullptr;
          }) {}
    // Stores control in window; false when it is not of the member's class.
    bool keep(Form1& window, QWidget* control) const { return m_keep(window, control); }

private:
    std::function<bool(Form1&, QWidget*)> m_keep;
};

// One row of a panel's table: one control.
struct Control {
    Member member;
    QString name; // its object name, which is the member's name
    Kind kind;
    // The control of an earlier row it lies in; "" for the page the table is laid on.
    QString container;
    QRect place; // its box in the container, written as twips(left, top, width, height)
    QString text = {};
    Font font = Font::Inherited;
    int opening = Usable;
    // What a screen reader says for a control that shows no text of its own.
    QString accessibleName = {};
    QString accessibleDescription = {};
};

// Makes the controls of a table on page, in the table's order (which is the order
// the Tab key follows), and keeps each in its member of window.
void makeControls(Form1& window, QWidget* page, const Control* table, std::size_t rows);
template <std::size_t Rows>
void makeControls(Form1& window, QWidget* page, const Control (&table)[Rows]) {
    makeControls(window, page, table, Rows);
}

} // namespace PanelLayout
