#pragma once

#include <QAccessibleWidget>

class SwitchButton;

// What screen readers see of a SwitchButton: a check box with the switch's
// accessible name and its checked state, which can be toggled through the
// press and toggle actions.
class SwitchButtonAccessible : public QAccessibleWidget
{
public:
    explicit SwitchButtonAccessible(SwitchButton *button);

    // Makes Qt build this interface for every SwitchButton (once per process).
    static void registerFactory();

    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    SwitchButton *button() const;
};
