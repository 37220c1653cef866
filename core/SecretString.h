#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

// A password held by the program: a private copy of the typed text that is
// zeroed when it goes. It can be moved (to a worker thread, say) but not
// copied, so exactly one buffer holds the secret at a time.
//
// The static wipe() helpers are the program's one way to zero a buffer that
// held a secret.
class SecretString
{
public:
    SecretString() = default;
    // Takes a deep copy: wiping it never touches the buffer `text` shares
    // with, say, a line edit that still shows it.
    explicit SecretString(const QString &text);
    ~SecretString();

    SecretString(SecretString &&other) noexcept;
    SecretString &operator=(SecretString &&other) noexcept;
    SecretString(const SecretString &) = delete;
    SecretString &operator=(const SecretString &) = delete;

    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    int size() const { return m_text.size(); }
    void clear() { wipe(m_text); }

    // Zeroes the characters of `s` in place, then empties it. The zeros
    // reach every implicitly shared copy of the same buffer.
    static void wipe(QString &s);
    // Zeroes our own (detached) copy of the bytes, then empties it.
    static void wipe(QByteArray &bytes);
    static void wipe(char *buf, std::size_t len);

private:
    QString m_text;
};
