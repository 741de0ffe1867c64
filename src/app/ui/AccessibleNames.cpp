#include "app/ui/AccessibleNames.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace AccessibleNames {

namespace {

// A drop-down list: named by its purpose; its value is the line it shows.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        const auto* combo = static_cast<const QComboBox*>(widget());
        if (t == QAccessible::Name)
            return combo->accessibleName();
        if (t == QAccessible::Value)
            return combo->currentText();
        return QAccessibleWidget::text(t);
    }
};

// A label read as its text without the line breaks around it.
class TrimmedLabel : public QAccessibleWidget {
public:
    explicit TrimmedLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return static_cast<const QLabel*>(widget())->text().trimmed();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* combo = qobject_cast<QComboBox*>(object); combo && !combo->accessibleName().isEmpty())
        return new NamedComboBox(combo);
    if (auto* label = qobject_cast<QLabel*>(object);
        label && label->property("kvTrimmedName").toBool())
        return new TrimmedLabel(label);
    return nullptr;
}

} // namespace

void Install() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace AccessibleNames
