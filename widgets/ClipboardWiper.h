#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTimer;

// Puts a secret on the clipboard for a while: after kKeepMs (and when the
// program quits) the clipboard is emptied again, unless something else has
// been copied since. Only a hash of the secret is kept to tell.
class ClipboardWiper : public QObject
{
    Q_OBJECT
public:
    static constexpr int kKeepMs = 60 * 1000;

    static void copy(const QString &secret);
    // What kKeepMs would do, at once; the time left until then (-1: none).
    static void wipeNow();
    static int remainingMs();

private:
    explicit ClipboardWiper(QObject *parent);
    static ClipboardWiper *instance();
    void wipe();

    QTimer *m_timer;
    QByteArray m_hash;
};
