#include "ViewKeys.h"

#include <QKeyEvent>

namespace {
Qt::KeyboardModifiers withoutKeypad(const QKeyEvent *e)
{
    return e->modifiers() & ~Qt::KeypadModifier;
}
} // namespace

bool ViewKeys::opensContextMenu(const QKeyEvent *e)
{
    if (e->key() == Qt::Key_Menu)
        return true;
    return e->key() == Qt::Key_F10 && withoutKeypad(e) == Qt::ShiftModifier;
}

bool ViewKeys::activates(const QKeyEvent *e)
{
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && withoutKeypad(e) == Qt::NoModifier;
}

bool ViewKeys::opensFilter(const QKeyEvent *e)
{
    if (e->key() == Qt::Key_F4 && withoutKeypad(e) == Qt::NoModifier)
        return true;
    return e->key() == Qt::Key_Down && withoutKeypad(e) == Qt::AltModifier;
}
