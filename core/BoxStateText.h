#pragma once

#include <QCoreApplication>
#include <QString>

#include "BoxTypes.h"

// The words for a box's state that every front end shows alike: what a
// share grants and who has the box mounted.
class BoxStateText
{
    Q_DECLARE_TR_FUNCTIONS(BoxStateText)
public:
    // "仅读取" or "可读写"; empty for SharePermission::None.
    static QString permission(SharePermission permission);
    // What a share grants us on another account's box; empty on our own.
    static QString access(const BoxInfo &box);
    // The same for scripts, never translated: "owner", "read-only",
    // "read-write" or "none".
    static QString accessKey(const BoxInfo &box);
    // That another account has the box mounted, naming it where the box
    // service does (for a box shared with us: its owner, or another account
    // it is shared with); empty when none has.
    static QString mountedElsewhere(const BoxInfo &box);
};
