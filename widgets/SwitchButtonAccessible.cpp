#include "SwitchButtonAccessible.h"

#include "SwitchButton.h"

namespace {

QAccessibleInterface *makeInterface(const QString &className, QObject *object)
{
    auto *button = qobject_cast<SwitchButton *>(object);
    if (className != QLatin1String("SwitchButton") || !button)
        return nullptr;
    return new SwitchButtonAccessible(button);
}

} // namespace

SwitchButtonAccessible::SwitchButtonAccessible(SwitchButton *button)
    : QAccessibleWidget(button, QAccessible::CheckBox)
{
}

void SwitchButtonAccessible::registerFactory()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QAccessible::installFactory(makeInterface);
}

SwitchButton *SwitchButtonAccessible::button() const
{
    return static_cast<SwitchButton *>(widget());
}

QAccessible::State SwitchButtonAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.checkable = true;
    state.checked = button()->isChecked();
    return state;
}

QStringList SwitchButtonAccessible::actionNames() const
{
    return {pressAction(), toggleAction()};
}

void SwitchButtonAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction() || actionName == toggleAction())
        button()->toggle();
}
