#pragma once

#include "BoxFormDialog.h"
#include "BoxTypes.h"

class BoxPswLineEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class TitleBar;

// Gives a box a new name. An encrypted box is renamed only after its password
// has been confirmed (on the worker, behind a busy line). exec() returns
// Accepted once the box service renamed it.
class RenameBoxDialog : public BoxFormDialog
{
    Q_OBJECT
public:
    explicit RenameBoxDialog(const BoxInfo &box, QWidget *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void wipeSecrets() override;

signals:
    // The box service gave the box that name (just before accept).
    void signal_box_renamed(const QString &newName);

public slots:
    void slot_closeBtnClicked();
    void slot_cancelBtnClicked();
    void slot_okBtnClicked();

private:
    void initUI();
    void initConnect();
    void showHint(const QString &text);
    void finishRename(const BoxResult &result);

    BoxInfo m_boxInfo;
    TitleBar *m_pTitleBar;
    QLabel *m_pHeadingLabel;
    QLabel *m_pNameLabel;
    QLineEdit *m_pNameEdit;
    QLabel *m_pPswLabel;
    BoxPswLineEdit *m_pPswEdit;
    QLabel *m_pHintLabel;
    QPushButton *m_pOkBtn;
    QPushButton *m_pCancelBtn;
};
