#include "windows/combo_box_names.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace glimmerby {

namespace {

// A combo box as Qt presents it (the drop-down list and, when editable, the edit field as
// its children; "Show Menu" and "Press" open and close the list), named by its role.
class NamedComboBox : public QAccessibleWidget {
  public:
    explicit NamedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && !box()->accessibleName().isEmpty())
            return box()->accessibleName();
        if (t == QAccessible::Name || t == QAccessible::Value)
            return editField() ? editField()->text() : box()->currentText();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return editField() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && editField())
            return QAccessible::queryAccessibleInterface(editField());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override {
        if (!child)
            return -1;
        if (child->object() == box()->view())
            return 0;
        if (editField() && child->object() == editField())
            return 1;
        return -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }

    void doAction(const QString &name) override {
        if (name != showMenuAction() && name != pressAction())
            return QAccessibleWidget::doAction(name);
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

  private:
    QLineEdit *editField() const { return box()->isEditable() ? box()->lineEdit() : nullptr; }
};

QAccessibleInterface *comboBoxFactory(const QString &, QObject *object) {
    auto *box = qobject_cast<QComboBox *>(object);
    return box ? new NamedComboBox(box) : nullptr;
}

} // namespace

void nameComboBoxesByRole() {
    // The factory installed last is asked first, before Qt's own.
    QAccessible::installFactory(comboBoxFactory);
}

} // namespace glimmerby
