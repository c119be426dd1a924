#include "SkinAccessible.h"

#include <QAccessibleWidget>
#include <QKeySequence>
#include <QMetaObject>
#include <QWidget>

namespace {

class SkinControlAccessible : public QAccessibleWidget {
public:
    SkinControlAccessible(QWidget* control, QAccessible::Role role) : QAccessibleWidget(control, role) {}

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable())
            names.prepend(pressAction());
        return names;
    }

    // Queued: a command may open a menu or a dialog, and the reader's request must
    // be answered before that waits for the user.
    void doAction(const QString& name) override
    {
        if (name != pressAction() || !pressable()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        if (widget()->isEnabled())
            QMetaObject::invokeMethod(widget(), "click", Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        const auto keys = widget()->property("skinShortcut").value<QKeySequence>();
        if (name == pressAction() && !keys.isEmpty())
            return {keys.toString(QKeySequence::NativeText)};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    bool pressable() const { return role() == QAccessible::Button || role() == QAccessible::MenuItem; }
};

QAccessibleInterface* skinControl(const QString&, QObject* object)
{
    auto* control = qobject_cast<QWidget*>(object);
    if (!control)
        return nullptr;
    const QVariant role = control->property("skinRole");
    if (!role.isValid())
        return nullptr;
    return new SkinControlAccessible(control, static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

namespace skin {

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(skinControl);
        return true;
    }();
    (void)installed;
}

}  // namespace skin

void skin::setAccessibleRole(QWidget* control, QAccessible::Role role)
{
    installAccessibility();
    control->setProperty("skinRole", static_cast<int>(role));
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* met = QAccessible::queryAccessibleInterface(control);
    if (met && met->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(met));
}
