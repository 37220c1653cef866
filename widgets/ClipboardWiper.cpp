#include "ClipboardWiper.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QTimer>

namespace {

QByteArray hashOf(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

} // namespace

ClipboardWiper::ClipboardWiper(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer); // a minute, not up to 5% more
    connect(m_timer, &QTimer::timeout, this, &ClipboardWiper::wipe);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ClipboardWiper::wipe);
}

ClipboardWiper *ClipboardWiper::instance()
{
    static ClipboardWiper *wiper = new ClipboardWiper(qApp);
    return wiper;
}

void ClipboardWiper::copy(const QString &secret)
{
    ClipboardWiper *wiper = instance();
    // A copy of its own: the caller wipes its buffer, and the zeros would
    // reach every string that shares it.
    QGuiApplication::clipboard()->setText(QString(secret.constData(), secret.size()));
    wiper->m_hash = hashOf(secret);
    wiper->m_timer->start(kKeepMs);
}

void ClipboardWiper::wipe()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!m_hash.isEmpty() && hashOf(clipboard->text()) == m_hash)
        clipboard->clear();
    m_hash.clear();
    m_timer->stop();
}

void ClipboardWiper::wipeNow()
{
    instance()->wipe();
}

int ClipboardWiper::remainingMs()
{
    return instance()->m_timer->remainingTime();
}
