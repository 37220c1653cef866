#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

class BoxPswLineEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TitleBar;

// "忘记密码？": sets a new password of an encrypted box with its recovery
// key. The box service proves the key against the box before anything
// changes; a wrong key shows in the hint line and the dialog stays open.
// exec() returns Accepted once the new password is set.
class ForgotPasswordDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    explicit ForgotPasswordDialog(const BoxInfo &box, QWidget *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void wipeSecrets() override;

private:
    void initUI();
    void submit();
    void showHint(const QString &text);

    BoxInfo m_box;
    TitleBar *m_pTitleBar;
    QLineEdit *m_pKeyEdit;
    BoxPswLineEdit *m_pNewEdit;
    QLineEdit *m_pConfirmEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};
