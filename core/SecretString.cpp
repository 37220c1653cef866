#include "SecretString.h"

#include <algorithm>
#include <cstring>
#include <utility>

SecretString::SecretString(const QString &text) : m_text(text.constData(), text.size()) {}

SecretString::~SecretString()
{
    wipe(m_text);
}

SecretString::SecretString(SecretString &&other) noexcept : m_text(std::move(other.m_text))
{
    other.m_text = QString();
}

SecretString &SecretString::operator=(SecretString &&other) noexcept
{
    if (this != &other) {
        wipe(m_text);
        m_text = std::move(other.m_text);
        other.m_text = QString();
    }
    return *this;
}

void SecretString::wipe(QString &s)
{
    if (!s.isEmpty()) {
        // constData() does not detach, which is the point: a secret handed
        // around by value is zeroed wherever it is shared.
        auto *p = const_cast<QChar *>(s.constData());
        std::fill(p, p + s.size(), QChar(0));
    }
    s.clear();
}

void SecretString::wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty())
        wipe(bytes.data(), std::size_t(bytes.size())); // data() detaches: our own copy
    bytes.clear();
}

void SecretString::wipe(char *buf, std::size_t len)
{
    if (buf && len)
        explicit_bzero(buf, len);
}
