#include "NamePolicy.h"

#include "Utf8.h"

namespace {

bool hasBrokenSurrogate(const QString &name)
{
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

} // namespace

bool NamePolicy::isValidUtf8(const QByteArray &bytes)
{
    return Utf8::isValid(bytes.constData(), std::size_t(bytes.size()));
}

NamePolicy::Problem NamePolicy::check(const QByteArray &utf8)
{
    if (utf8.isEmpty())
        return Problem::Empty;
    if (!isValidUtf8(utf8))
        return Problem::InvalidUtf8;
    return check(QString::fromUtf8(utf8));
}

NamePolicy::Problem NamePolicy::check(const QString &name)
{
    if (name.isEmpty())
        return Problem::Empty;
    if (hasBrokenSurrogate(name))
        return Problem::InvalidUtf8;
    if (name.startsWith(QLatin1Char('.')))
        return Problem::Hidden;
    if (name.contains(QLatin1Char('/')))
        return Problem::Slash;
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return Problem::Control;
    if (name.size() > kMaxLength)
        return Problem::TooLong;
    return Problem::None;
}

QString NamePolicy::text(Problem problem, NameForm form)
{
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::Empty:
        return form == NameForm::Rename ? tr("保护箱新名称不可为空") : tr("保护箱名称不可为空");
    case Problem::InvalidUtf8:
        return tr("保护箱名称不是有效的 UTF-8 文本");
    case Problem::Hidden:
        return tr("保护箱名称不能以 “.” 开头");
    case Problem::Slash:
        return tr("保护箱名称不能包含 “/”");
    case Problem::Control:
        return tr("保护箱名称不能包含制表符、换行符等控制字符");
    case Problem::TooLong:
        return tr("保护箱名称最长 %1 个字符").arg(kMaxLength);
    }
    return QString();
}
