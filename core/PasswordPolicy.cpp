#include "PasswordPolicy.h"

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

bool PasswordPolicy::follows(const QString &password)
{
    if (password.size() < kMinLength || password.size() > kMaxLength || !isAsciiLetter(password.at(0)))
        return false;
    for (int i = 1; i < password.size(); ++i) {
        const QChar c = password.at(i);
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

PasswordPolicy::Problem PasswordPolicy::check(const QString &password, const QString &confirm)
{
    if (password.isEmpty())
        return Problem::Empty;
    if (!follows(password))
        return Problem::BreaksRule;
    if (confirm.isEmpty())
        return Problem::ConfirmEmpty;
    if (password != confirm)
        return Problem::Mismatch;
    return Problem::None;
}

QString PasswordPolicy::text(Problem problem, PasswordForm form)
{
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::BreaksRule:
        return tr("密码格式与要求不符") + QLatin1Char('\n') + ruleText();
    case Problem::Empty:
        return form == PasswordForm::Change ? tr("新密码不可为空") : tr("密码不可为空");
    case Problem::ConfirmEmpty:
        return form == PasswordForm::Change ? tr("新密码确认不可为空") : tr("确认密码不可为空");
    case Problem::Mismatch:
        switch (form) {
        case PasswordForm::Create: return tr("密码和确认密码不一致");
        case PasswordForm::Add: return tr("密码与确认密码不一致");
        case PasswordForm::Change: return tr("新密码与确认密码不一致");
        }
        break;
    }
    return QString();
}

QString PasswordPolicy::problemText(const QString &password, const QString &confirm, PasswordForm form)
{
    return text(check(password, confirm), form);
}

QString PasswordPolicy::ruleText()
{
    return tr("密码要求：密码长度%1-%2位，以字母开头，只能包含字母、数字和下划线").arg(kMinLength).arg(kMaxLength);
}
