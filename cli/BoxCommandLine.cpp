#include "BoxCommandLine.h"

namespace {

// Long options every box option spelling maps to.
struct OptionSpelling {
    const char *name;
    CliOption option;
};

const OptionSpelling kSpellings[] = {
    {"--json", CliOption::Json},
    {"--encrypt", CliOption::Encrypt},
    {"--yes", CliOption::Yes},
    {"--read-only", CliOption::ReadOnly},
    {"--read-write", CliOption::ReadWrite},
    {"--password-fd", CliOption::PasswordFd},
    {"--names", CliOption::Names},
    {"--move", CliOption::Move},
};

CliOption optionFor(const QString &name)
{
    for (const OptionSpelling &spelling : kSpellings)
        if (name == QLatin1String(spelling.name))
            return spelling.option;
    return CliOption::None;
}

} // namespace

BoxCommandLine BoxCommandLine::parse(const QStringList &arguments)
{
    BoxCommandLine line;
    QStringList words;
    QStringList badOptions;
    bool wantsHelp = false;
    bool wantsVersion = false;
    bool optionsEnded = false;
    QString passwordFdText;
    bool passwordFdGiven = false;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            wantsHelp = true;
            continue;
        }
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            wantsVersion = true;
            continue;
        }
        QString name = arg;
        QString value;
        bool hasValue = false;
        const int equals = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && equals > 0) {
            name = arg.left(equals);
            value = arg.mid(equals + 1);
            hasValue = true;
        }
        const CliOption option = optionFor(name);
        if (option == CliOption::None) {
            badOptions << arg;
            continue;
        }
        if (option == CliOption::PasswordFd) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    line.m_error = tr("选项 --password-fd 需要一个文件描述符编号");
                    return line;
                }
                value = arguments.at(++i);
            }
            passwordFdText = value;
            passwordFdGiven = true;
        } else if (hasValue) {
            badOptions << arg;
            continue;
        }
        line.m_options |= unsigned(option);
    }

    if (words.isEmpty()) {
        if (wantsVersion) {
            line.m_action = CliAction::Version;
            return line;
        }
        if (!wantsHelp && badOptions.isEmpty())
            line.m_error = tr("缺少子命令");
        else if (!badOptions.isEmpty())
            line.m_error = tr("未知的选项 %1").arg(badOptions.first());
        line.m_action = CliAction::Help;
        return line;
    }

    QString word = words.takeFirst();
    if (word == QLatin1String("help")) {
        // "help" alone, or "help SUBCOMMAND": the same as --help.
        wantsHelp = true;
        if (words.isEmpty()) {
            line.m_action = CliAction::Help;
            return line;
        }
        word = words.takeFirst();
        words.clear();
    }
    line.m_command = CliCommand::find(word);
    if (!line.m_command) {
        line.m_error = tr("未知的子命令 “%1”").arg(word);
        return line;
    }
    if (wantsHelp) {
        line.m_action = CliAction::Help;
        return line;
    }
    if (wantsVersion) {
        line.m_action = CliAction::Version;
        return line;
    }
    line.m_action = line.m_command->action;

    if (!badOptions.isEmpty()) {
        line.m_error = tr("未知的选项 %1").arg(badOptions.first());
        return line;
    }
    for (const OptionSpelling &spelling : kSpellings) {
        if ((line.m_options & unsigned(spelling.option)) && !line.m_command->accepts(spelling.option)) {
            line.m_error = tr("子命令 %1 不接受选项 %2").arg(word, QLatin1String(spelling.name));
            return line;
        }
    }
    if (words.size() != line.m_command->operands.size()) {
        line.m_error = words.size() < line.m_command->operands.size()
            ? tr("缺少参数 %1").arg(line.m_command->operands.mid(words.size()).join(QLatin1Char(' ')))
            : tr("多余的参数 “%1”").arg(words.at(line.m_command->operands.size()));
        return line;
    }
    for (const QString &operand : words) {
        if (operand.isEmpty()) {
            line.m_error = tr("参数不可为空");
            return line;
        }
    }
    line.m_operands = words;

    if (line.has(CliOption::Json) && line.has(CliOption::Names)) {
        line.m_error = tr("选项 --json 和 --names 不能同时使用");
        return line;
    }
    if (line.m_command->accepts(CliOption::ReadOnly)
        && line.has(CliOption::ReadOnly) == line.has(CliOption::ReadWrite)) {
        line.m_error = tr("须指定 --read-only 或 --read-write 之一");
        return line;
    }
    if (passwordFdGiven) {
        bool isNumber = false;
        const int fd = passwordFdText.toInt(&isNumber, 10);
        if (!isNumber || fd < 0) {
            line.m_error = tr("无效的文件描述符 “%1”").arg(passwordFdText);
            return line;
        }
        line.m_passwordFd = fd;
    }
    return line;
}

QString BoxCommandLine::usage() const
{
    if (m_action == CliAction::Help && ok())
        return m_command ? m_command->help() : CliCommand::generalHelp();
    const QString program = QString::fromLatin1(kCliProgramName);
    if (m_command)
        return tr("用法：%1").arg(m_command->usageLine()) + QLatin1Char('\n')
            + tr("运行 “%1 %2 --help” 查看帮助。").arg(program, m_command->word) + QLatin1Char('\n');
    QString text = tr("用法：") + QLatin1Char('\n');
    for (const CliCommand &command : CliCommand::all())
        text += QStringLiteral("  ") + command.usageLine() + QLatin1Char('\n');
    text += tr("运行 “%1 --help” 查看帮助。").arg(program) + QLatin1Char('\n');
    return text;
}
