#include "SecretWipe.h"

#include <QLineEdit>
#include <QString>

#include <algorithm>

void wipeString(QString &s)
{
    if (!s.isEmpty()) {
        // constData() does not detach: the zeros reach the shared buffer,
        // which is the point for a secret that was handed around by value.
        auto *p = const_cast<QChar *>(s.constData());
        std::fill(p, p + s.size(), QChar(0));
    }
    s.clear();
}

void wipeLineEdit(QLineEdit *edit)
{
    if (!edit)
        return;
    QString text = edit->text();
    wipeString(text);
    edit->clear();
    edit->setModified(false);
}
