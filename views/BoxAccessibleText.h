#pragma once

#include <QCoreApplication>
#include <QString>

#include "BoxTypes.h"

// The words a screen reader says about a box: its state and its owner, in
// place of icons and flag bits.
class BoxAccessibleText
{
    Q_DECLARE_TR_FUNCTIONS(BoxAccessibleText)

public:
    // "已加密，已挂载", "已加密，未挂载" or "未加密".
    static QString encryption(const BoxInfo &box);
    // "已共享" or "未共享"; only own boxes are shared by the user.
    static QString sharing(const BoxInfo &box);
    // "本人创建", or "来自 <owner>" for another user's box.
    static QString owner(const BoxInfo &box);
    // Everything above in one sentence, with what a share grants us, for the box's accessible description.
    static QString description(const BoxInfo &box);
};
