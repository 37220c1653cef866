#pragma once

#include "BoxFormDialog.h"
#include "SecretString.h"

#include <QString>

class QLabel;
class QPushButton;
class TitleBar;

// Shows a box's recovery key in groups that are easy to copy by hand, with
// the warning that whoever holds it can open the box. It can be copied to
// the clipboard (emptied again after a minute) or saved to a file of the
// user's choice that only the user can read. The key is wiped when the
// dialog goes.
class RecoveryKeyDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    RecoveryKeyDialog(const QString &boxName, SecretString key, QWidget *parent = nullptr);

    // Writes the key with its box name and the warning to `path` (mode 0600,
    // replacing what was there); false with the hint line saying why.
    bool saveTo(const QString &path);

    // Shows the key over `parent` and waits; does nothing for an empty key.
    static void showOnce(QWidget *parent, const QString &boxName, SecretString key);

protected:
    void wipeSecrets() override;

private:
    void initUI();
    void copyKey();
    void chooseFileAndSave();
    void showHint(const QString &text, bool failure);

    QString m_boxName;
    SecretString m_key;
    TitleBar *m_pTitleBar;
    QLabel *m_pKeyLabel;
    QLabel *m_pWarningLabel;
    QLabel *m_pHintLabel;
    QPushButton *m_pCopyBtn;
    QPushButton *m_pSaveBtn;
    QPushButton *m_pDoneBtn;
};
