#include "SecretWipe.h"

#include "SecretString.h"

#include <QLineEdit>
#include <QString>

void wipeLineEdit(QLineEdit *edit)
{
    if (!edit)
        return;
    QString text = edit->text();
    SecretString::wipe(text); // zeroes the buffer the edit shares with `text`
    edit->clear();
    edit->setModified(false);
}
