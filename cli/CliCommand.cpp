#include "CliCommand.h"

const char *const kCliProgramName = "vaultrane-box";

namespace {

const unsigned kPassword = unsigned(CliOption::PasswordFd);

// Options in the order the help lists them.
const CliOption kAllOptions[] = {
    CliOption::Json, CliOption::Names, CliOption::Encrypt, CliOption::Yes,
    CliOption::ReadOnly, CliOption::ReadWrite, CliOption::Move, CliOption::PasswordFd,
};

} // namespace

const QList<CliCommand> &CliCommand::all()
{
    static const QList<CliCommand> commands = {
        {CliAction::List, "list", {}, unsigned(CliOption::Json) | unsigned(CliOption::Names),
         QT_TRANSLATE_NOOP("CliCommand", "列出自己的保护箱和他人共享给你的保护箱")},
        {CliAction::Create, "create", {"NAME"}, unsigned(CliOption::Encrypt) | kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "创建保护箱；带 --encrypt 时创建加密保护箱并设置密码")},
        {CliAction::Delete, "delete", {"NAME"}, unsigned(CliOption::Yes) | kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "删除保护箱及其中的文件，不可恢复；加密保护箱须输入密码，未加密的须确认")},
        {CliAction::Rename, "rename", {"OLD", "NEW"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "重命名保护箱；加密保护箱须输入密码")},
        {CliAction::Encrypt, "encrypt", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "为未加密的保护箱设置密码并加密其中的文件")},
        {CliAction::Decrypt, "decrypt", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "解除保护箱的密码保护")},
        {CliAction::Passwd, "passwd", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "修改保护箱的密码")},
        {CliAction::Mount, "mount", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "用密码挂载（解锁）加密保护箱，并输出其路径")},
        {CliAction::Unmount, "unmount", {"NAME"}, 0,
         QT_TRANSLATE_NOOP("CliCommand", "卸载（锁定）保护箱")},
        {CliAction::Share, "share", {"NAME", "USER"},
         unsigned(CliOption::ReadOnly) | unsigned(CliOption::ReadWrite) | kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "把保护箱共享给用户，只读或可读写")},
        {CliAction::Unshare, "unshare", {"NAME", "USER"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "取消保护箱对用户的共享")},
        {CliAction::Shares, "shares", {"NAME"}, unsigned(CliOption::Json),
         QT_TRANSLATE_NOOP("CliCommand", "列出保护箱共享给了哪些用户")},
        {CliAction::RecoveryKey, "recovery-key", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "用密码显示加密保护箱的恢复密钥")},
        {CliAction::Recover, "recover", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "忘记密码时，用恢复密钥为保护箱设置新密码")},
        {CliAction::Check, "check", {"NAME"}, kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "检查加密保护箱的每个文件是否完好，列出损坏的文件；不做任何更改")},
        {CliAction::Export, "export", {"NAME", "FILE"}, 0,
         QT_TRANSLATE_NOOP("CliCommand", "把加密保护箱的密文导出到一个归档文件，用于备份或迁移")},
        {CliAction::Import, "import", {"SOURCE", "NAME"}, unsigned(CliOption::Move) | kPassword,
         QT_TRANSLATE_NOOP("CliCommand", "把导出的归档或 gocryptfs 加密文件夹导入为加密保护箱")},
    };
    return commands;
}

const CliCommand *CliCommand::find(const QString &word)
{
    for (const CliCommand &command : all())
        if (command.word == word)
            return &command;
    return nullptr;
}

QString CliCommand::optionName(CliOption option)
{
    switch (option) {
    case CliOption::Json: return QStringLiteral("--json");
    case CliOption::Encrypt: return QStringLiteral("--encrypt");
    case CliOption::Yes: return QStringLiteral("--yes");
    case CliOption::ReadOnly: return QStringLiteral("--read-only");
    case CliOption::ReadWrite: return QStringLiteral("--read-write");
    case CliOption::PasswordFd: return QStringLiteral("--password-fd");
    case CliOption::Names: return QStringLiteral("--names");
    case CliOption::Move: return QStringLiteral("--move");
    case CliOption::None: break;
    }
    return QString();
}

QString CliCommand::optionHelp(CliOption option)
{
    switch (option) {
    case CliOption::Json: return tr("以 JSON 格式输出");
    case CliOption::Encrypt: return tr("创建加密保护箱，密码从终端或标准输入读取");
    case CliOption::Yes: return tr("不询问，直接删除未加密的保护箱");
    case CliOption::ReadOnly: return tr("只读共享");
    case CliOption::ReadWrite: return tr("可读写共享");
    case CliOption::PasswordFd: return tr("从文件描述符 N 读取密码，每行一个");
    case CliOption::Names: return tr("只输出名称，每行一个；他人的保护箱写作 所有者/名称");
    case CliOption::Move: return tr("移动文件夹而不是复制");
    case CliOption::None: break;
    }
    return QString();
}

QString CliCommand::usageLine() const
{
    QStringList parts{QString::fromLatin1(kCliProgramName), word};
    parts += operands;
    if (accepts(CliOption::ReadOnly) && accepts(CliOption::ReadWrite))
        parts << QStringLiteral("--read-only|--read-write");
    for (CliOption option : kAllOptions) {
        if (!accepts(option) || option == CliOption::ReadOnly || option == CliOption::ReadWrite)
            continue;
        QString name = optionName(option);
        if (option == CliOption::PasswordFd)
            name += QStringLiteral(" N");
        parts << QStringLiteral("[%1]").arg(name);
    }
    return parts.join(QLatin1Char(' '));
}

QString CliCommand::help() const
{
    QString text = tr("用法：%1").arg(usageLine()) + QLatin1Char('\n');
    text += QLatin1Char('\n') + tr(summary) + QLatin1Char('\n');
    if (operands.contains(QStringLiteral("NAME")) || operands.contains(QStringLiteral("OLD")))
        text += tr("他人共享给你的保护箱写作 所有者/名称。") + QLatin1Char('\n');
    text += QLatin1Char('\n') + tr("选项：") + QLatin1Char('\n');
    for (CliOption option : kAllOptions) {
        if (!accepts(option))
            continue;
        QString name = optionName(option);
        if (option == CliOption::PasswordFd)
            name += QStringLiteral(" N");
        text += QStringLiteral("  %1  %2\n").arg(name, -18).arg(optionHelp(option));
    }
    text += QStringLiteral("  %1  %2\n").arg(QStringLiteral("-h, --help"), -18).arg(tr("显示本帮助"));
    return text;
}

QString CliCommand::generalHelp()
{
    QString text = tr("用法：%1 子命令 [参数…] [选项…]").arg(QString::fromLatin1(kCliProgramName))
        + QLatin1Char('\n');
    text += QLatin1Char('\n') + tr("在命令行管理保护箱。") + QLatin1Char('\n');
    text += QLatin1Char('\n') + tr("子命令：") + QLatin1Char('\n');
    for (const CliCommand &command : all())
        text += QStringLiteral("  %1  %2\n").arg(command.word, -12).arg(tr(command.summary));
    text += QLatin1Char('\n') + tr("选项：") + QLatin1Char('\n');
    text += QStringLiteral("  %1  %2\n").arg(QStringLiteral("-h, --help"), -18).arg(tr("显示帮助；放在子命令后显示该子命令的帮助"));
    text += QStringLiteral("  %1  %2\n").arg(QStringLiteral("-v, --version"), -18).arg(tr("显示版本"));
    text += QLatin1Char('\n')
        + tr("密码从终端读取且不回显，新密码须输入两次；标准输入不是终端时，每个所需的密码从标准输入读取一行，新密码只读一次。")
        + QLatin1Char('\n');
    text += tr("退出状态：0 成功，1 操作失败，2 用法错误。") + QLatin1Char('\n');
    return text;
}
