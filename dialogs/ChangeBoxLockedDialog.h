#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

#include <memory>

class SecretString;

class BoxPswLineEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TitleBar;

// Changes the password of an encrypted box (current, new, new again) or
// removes the protection (current password only); two radio buttons pick the
// mode. The box service does it on the worker while the dialog shows a busy
// line; exec() returns Accepted once it has.
class ChangeBoxLockedDialog : public BoxFormDialog
{
    Q_OBJECT
    friend class TestFormDialogs;

public:
    explicit ChangeBoxLockedDialog(const BoxInfo &box, QWidget *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void wipeSecrets() override;

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();
    void slot_editing();
    void slot_updatePSWToggled(bool toggled);
    void slot_removePSWToggled(bool toggled);

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);
    void showWarning(const QString &text);
    void fitLayout();
    // With the current password: shows the recovery key / checks every file.
    void showRecoveryKey();
    void checkIntegrity();
    bool takeCurrentPassword(std::shared_ptr<SecretString> &password);

    // 0 once the operation runs on the worker; a negative code names the
    // check that failed. The dialog is accepted when the operation succeeds.
    int updatePassword();
    int removePassword();
    void finishOperation(const BoxResult &result, const QString &failureText);

    BoxInfo m_boxInfo;
    TitleBar *m_pTitleBar;
    QLabel *m_pHeadingLabel;
    QLabel *m_pBoxLabel;
    QLabel *m_pModeLabel;
    QRadioButton *m_pUpdateRadio;
    QRadioButton *m_pRemoveRadio;
    QLabel *m_pCurrentLabel;
    BoxPswLineEdit *m_pCurrentEdit;
    QLabel *m_pNewLabel;
    BoxPswLineEdit *m_pNewEdit;
    QLabel *m_pConfirmLabel;
    QLineEdit *m_pConfirmEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
    QPushButton *m_pKeyBtn = nullptr;   // only where the service has them
    QPushButton *m_pCheckBtn = nullptr;
};
