#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

class BoxPswLineEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TitleBar;

// Puts a password on a box that has none: the password is typed twice and
// handed to the box service, which encrypts the box on the worker while the
// dialog shows "正在加密…". exec() returns Accepted once the box is encrypted.
class CreateBoxLockedDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    explicit CreateBoxLockedDialog(const BoxInfo &box, QWidget *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void wipeSecrets() override;

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);

    BoxInfo m_boxInfo;
    TitleBar *m_pTitleBar;
    QLabel *m_pHeadingLabel;
    QLabel *m_pBoxLabel;
    QLabel *m_pPswLabel;
    BoxPswLineEdit *m_pPswEdit;
    QLabel *m_pConfirmLabel;
    QLineEdit *m_pConfirmEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};
