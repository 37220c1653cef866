#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

#include <QString>

class QEvent;
class QLabel;
class QPushButton;
class BoxPswLineEdit;
class TitleBar;

// Asks for the password of an encrypted box. Mode 0 only checks it with the
// box service, mode 1 mounts the box with it; either runs on the worker while
// the dialog shows a busy line. Accepted only when the box service took the
// password; every failure shows in the red hint line and the dialog stays
// open for another try. Deletes itself when exec() returns.
class PasswordAuthenticDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    // The values of the constructor's `mode`.
    enum Mode { CheckOnly = 0, Mount = 1 };

    PasswordAuthenticDialog(const QString &prompt, const BoxInfo &box, int mode,
                            QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wipeSecrets() override;

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);
    void forgotPassword();

    QString m_prompt;
    BoxInfo m_box;
    int m_mode;

    TitleBar *m_pTitleBar;
    QLabel *m_pHeadLabel;
    QLabel *m_pBoxLabel;
    QLabel *m_pPswLabel;
    BoxPswLineEdit *m_pPswEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
    QPushButton *m_pForgotBtn = nullptr; // only where the service can recover
};
