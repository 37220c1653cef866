#pragma once

#include "BoxFormDialog.h"

class QEvent;
class QLabel;
class ElidedPathEdit;
class QLineEdit;
class QPushButton;
class BoxPswLineEdit;
class SwitchButton;
class TitleBar;

// Creates a new box: asks for its name and, when the encrypt switch is on,
// for a password typed twice. The input is checked in a fixed order and the
// first problem shows in the red hint line. Accepted only when the box
// service created the box; a library failure is reported in a message box and
// leaves every field as typed. An encrypted box is made on the worker while
// the dialog shows "正在加密…". Deletes itself when exec() returns.
class CreateBoxDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    explicit CreateBoxDialog(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wipeSecrets() override;

signals:
    // The box service created the box of that name (just before accept).
    void signal_box_created(const QString &name);

public slots:
    void slot_checkedChanged(bool checked);
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);
    void finishCreate(const BoxResult &result);

    TitleBar *m_pTitleBar;
    QLabel *m_pHeadLabel;
    QLabel *m_pNameLabel;
    QLineEdit *m_pNameEdit;
    QLabel *m_pPathLabel;
    ElidedPathEdit *m_pPathEdit;
    SwitchButton *m_pSwitchBtn;
    QLabel *m_pEncryptLabel;
    QLabel *m_pPswLabel;
    BoxPswLineEdit *m_pPswEdit;
    QLabel *m_pConfirmLabel;
    QLineEdit *m_pConfirmEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};
