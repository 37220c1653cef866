#include "BoxFormDialog.h"

#include "BoxOutcomes.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

namespace {
const char *const kBusyColour = "#333333";
} // namespace

BoxFormDialog::BoxFormDialog(QWidget *parent) : FlatDropWidget(parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // However the dialog ends, the typed passwords do not outlive it.
    connect(this, &QDialog::finished, this, [this] { wipeSecrets(); });
}

void BoxFormDialog::reject()
{
    if (!m_busy)
        FlatDropWidget::reject();
}

void BoxFormDialog::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    FlatDropWidget::closeEvent(event);
}

void BoxFormDialog::runBusy(const QString &busyText, QLabel *busyLine, BoxWorker::Operation operation,
                            std::function<void(const BoxResult &)> done)
{
    if (m_busy)
        return;
    if (!m_worker) {
        m_worker = new BoxWorker(this);
        connect(m_worker, &BoxWorker::progress, this, [this](int percent) {
            if (m_busy && m_busyLine)
                m_busyLine->setText(QStringLiteral("%1 %2%").arg(m_busyText).arg(percent));
        });
        connect(m_worker, &BoxWorker::waiting, this, [this] {
            if (m_busy && m_busyLine)
                m_busyLine->setText(BoxOutcomes::waitingForAnotherOperation());
        });
        connect(m_worker, &BoxWorker::finished, this, [this](const BoxResult &result) {
            setBusy(false);
            auto finish = std::move(m_done);
            m_done = nullptr;
            if (finish)
                finish(result);
        });
    }
    m_busyText = busyText;
    m_busyLine = busyLine;
    m_done = std::move(done);
    if (!m_worker->start(std::move(operation))) {
        // Another box operation still runs somewhere: report it as a result.
        auto finish = std::move(m_done);
        m_done = nullptr;
        if (finish)
            finish(BoxResult::failure(BoxResult::Busy, BoxOutcomes::anotherOperationRuns()));
        return;
    }
    setBusy(true);
}

void BoxFormDialog::setBusy(bool busy)
{
    m_busy = busy;
    if (busy) {
        m_focus = focusWidget();
        m_disabled.clear();
        for (QWidget *child : findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractButton *>(child) || qobject_cast<QLineEdit *>(child)
                                 || child->inherits("SwitchButton");
            if (control && child->isEnabled()) {
                child->setEnabled(false);
                m_disabled.append(child);
            }
        }
        if (m_busyLine) {
            m_busyLinePalette = m_busyLine->palette();
            QPalette pal = m_busyLinePalette;
            pal.setBrush(QPalette::All, QPalette::WindowText, QBrush(QColor(kBusyColour)));
            m_busyLine->setPalette(pal);
            m_busyLine->setText(m_busyText);
            m_busyLine->show();
        }
        return;
    }
    for (const QPointer<QWidget> &child : qAsConst(m_disabled))
        if (child)
            child->setEnabled(true);
    m_disabled.clear();
    if (m_busyLine) {
        m_busyLine->setPalette(m_busyLinePalette);
        m_busyLine->clear();
        m_busyLine->hide();
    }
    if (m_focus)
        m_focus->setFocus(Qt::OtherFocusReason);
}
