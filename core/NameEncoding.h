#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Box and account names are UTF-8 text, in the box service and on the
// command line alike. Bytes that are not are refused, never repaired: a
// byte replaced by U+FFFD would name another box than the one typed.
class NameEncoding
{
    Q_DECLARE_TR_FUNCTIONS(NameEncoding)
public:
    // The text of `bytes`; false, with `text` empty, when they are not
    // well-formed UTF-8 (overlong forms and surrogates included).
    static bool decode(const QByteArray &bytes, QString &text);
    // Why a name that is not UTF-8 is refused.
    static QString invalidReason();
    // The bytes for a message: ASCII as it is, every other byte and every
    // control character as \xNN.
    static QString escaped(const QByteArray &bytes);
};
