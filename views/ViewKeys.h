#pragma once

class QKeyEvent;

// The keys the box views share: the context menu (the Menu key and
// Shift+F10) and activation (Return and Enter, like a double click).
class ViewKeys
{
public:
    static bool opensContextMenu(const QKeyEvent *e);
    static bool activates(const QKeyEvent *e);
    // Alt+Down or F4 on a filterable column opens its filter.
    static bool opensFilter(const QKeyEvent *e);
};
