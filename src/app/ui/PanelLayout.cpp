#include "app/ui/PanelLayout.h"

#include "app/ui/LauncherFont.h"
#include "app/ui/ListBox.h"
#include "app/ui/TabControl.h"
#include "gamedir/ui/DirListBox.h"
#include "gamedir/ui/DriveListBox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace PanelLayout {

QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

namespace {

// A classic frame: the caption sits on the border line, so the frame's own controls
// can start just below the caption, where the layout puts them.
void styleFrame(QGroupBox* frame) {
    frame->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 8px; padding: 0 3px; }"));
}

// An option button whose box grows about the row's middle when the style's round
// indicator is taller than the classic 13-pixel row, so the circle is drawn whole.
// Measuring it takes the font's glyphs, so a button is measured when it is first shown.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void showEvent(QShowEvent* event) override {
        if (!m_measured) {
            m_measured = true;
            const QRect box = geometry();
            const int height = std::max(box.height(), sizeHint().height());
            setGeometry(box.x(), box.y() + (box.height() - height) / 2, box.width(), height);
        }
        QRadioButton::showEvent(event);
    }

private:
    bool m_measured = false;
};

QWidget* make(const Control& row, QWidget* parent) {
    switch (row.kind) {
    case Kind::Panel:
        return new QWidget(parent);
    case Kind::Frame: {
        auto* frame = new QGroupBox(row.text, parent);
        styleFrame(frame);
        return frame;
    }
    case Kind::Label: {
        auto* label = new QLabel(row.text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case Kind::Picture:
        return new QLabel(parent);
    case Kind::Line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        return line;
    }
    case Kind::Button: {
        auto* button = new QPushButton(row.text, parent);
        button->setAutoDefault(false);
        return button;
    }
    case Kind::List:
    case Kind::MultiList: {
        auto* list = new ListBox(parent);
        list->setSelectionMode(row.kind == Kind::List ? QAbstractItemView::SingleSelection
                                                      : QAbstractItemView::MultiSelection);
        return list;
    }
    case Kind::DropDown:
        return new QComboBox(parent);
    case Kind::Option:
        return new OptionButton(row.text, parent);
    case Kind::DirList:
        return new DirListBox(parent);
    case Kind::DriveList:
        return new DriveListBox(parent);
    case Kind::Tabs:
        return new TabControl(parent);
    }
    return nullptr;
}

QFont fontOf(Font font) {
    const bool bold = font == Font::Bold;
    return LauncherFont::font(
        font == Font::Large ? LauncherFont::kLargePoints : LauncherFont::kRegularPoints, bold);
}

} // namespace

void makeControls(Form1& window, QWidget* page, const Control* table, std::size_t rows) {
    QHash<QString, QWidget*> made;
    for (std::size_t i = 0; i < rows; ++i) {
        const Control& row = table[i];
        QWidget* const parent = row.container.isEmpty() ? page : made.value(row.container);
        if (!parent)
            qFatal("The container %s of %s is not laid out before it", qPrintable(row.container),
                   qPrintable(row.name));
        QWidget* const control = make(row, parent);
        control->setObjectName(row.name);
        control->setGeometry(row.place);
        // A font the control has already from its container is not set again: the
        // change would make a drop-down list build its popup before it is ever opened.
        if (row.font != Font::Inherited && control->font() != fontOf(row.font))
            control->setFont(fontOf(row.font));
        if (!row.accessibleName.isEmpty())
            control->setAccessibleName(row.accessibleName);
        if (!row.accessibleDescription.isEmpty())
            control->setAccessibleDescription(row.accessibleDescription);
        if (row.opening & Passive)
            control->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (row.opening & ReadTrimmed)
            control->setProperty("kvTrimmedName", true);
        if (auto* option = qobject_cast<QRadioButton*>(control))
            option->setChecked((row.opening & Selected) != 0);
        if (!row.member.keep(window, control))
            qFatal("%s is not of the class its member holds", qPrintable(row.name));
        made.insert(row.name, control);
    }
    // A container closed at opening closes its controls once they are all in it.
    for (std::size_t i = 0; i < rows; ++i) {
        if (table[i].opening & Disabled)
            made.value(table[i].name)->setEnabled(false);
        if (table[i].opening & Hidden)
            made.value(table[i].name)->hide();
        else if (page->isVisible())
            made.value(table[i].name)->show(); // made on a page already on the screen
    }
}

} // namespace PanelLayout
