#pragma once

#include "BoxWorker.h"
#include "FlatDropWidget.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QCloseEvent;
class QLabel;

// What the box dialogs share: a frameless tool window that deletes itself
// when exec() returns and wipes the passwords it holds however it ends, and
// a way to run a long box operation on the worker while the dialog stays
// open, modal and painting, with its controls disabled and a busy line.
class BoxFormDialog : public FlatDropWidget
{
    Q_OBJECT
public:
    explicit BoxFormDialog(QWidget *parent = nullptr);

    // True while a box operation of this dialog runs.
    bool isBusy() const { return m_busy; }

public slots:
    // Neither Escape nor the window system closes the dialog while busy.
    void reject() override;

protected:
    // Zeroes every password the dialog holds; runs when the dialog finishes.
    virtual void wipeSecrets() {}

    // Runs `operation` on the worker. Meanwhile the dialog's buttons and
    // edits are disabled and `busyLine` (the hint line) shows `busyText`,
    // followed by a percentage where the box service reports one. `done`
    // gets the result on the GUI thread once the controls are back.
    void runBusy(const QString &busyText, QLabel *busyLine, BoxWorker::Operation operation,
                 std::function<void(const BoxResult &)> done);

    void closeEvent(QCloseEvent *event) override;

private:
    void setBusy(bool busy);

    BoxWorker *m_worker = nullptr;
    bool m_busy = false;
    QString m_busyText;
    QPointer<QLabel> m_busyLine;
    QPalette m_busyLinePalette;
    QList<QPointer<QWidget>> m_disabled;
    QPointer<QWidget> m_focus;
    std::function<void(const BoxResult &)> m_done;
};
