#include "NameEncoding.h"

bool NameEncoding::decode(const QByteArray &bytes, QString &text)
{
    // Qt replaces every ill-formed sequence with U+FFFD: the bytes come back
    // unchanged exactly when there was none.
    text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
        return true;
    text.clear();
    return false;
}

QString NameEncoding::invalidReason()
{
    return tr("名称须为有效的 UTF-8 文本！");
}

QString NameEncoding::escaped(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return text;
}
