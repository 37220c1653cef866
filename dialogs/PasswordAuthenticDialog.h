#pragma once

#include "FlatDropWidget.h"
#include "VaultranerProxy.h"

#include <QString>

class QEvent;
class QLabel;
class QPushButton;
class BoxPswLineEdit;
class TitleBar;

// Asks for the password of an encrypted box. Mode 0 only checks it with the
// box service, mode 1 mounts the box with it. Accepted only when the box
// service took the password; every failure shows in the red hint line and the
// dialog stays open for another try. Deletes itself when exec() returns.
class PasswordAuthenticDialog : public FlatDropWidget
{
    Q_OBJECT
public:
    PasswordAuthenticDialog(const QString &prompt, const BoxInfo &box, int mode,
                            QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private slots:
    void slot_wipePassword();

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);

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
};
