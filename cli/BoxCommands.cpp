#include "BoxCommands.h"

#include "BoxOperations.h"
#include "BoxOutcomes.h"
#include "BoxRecovery.h"
#include "BoxRules.h"
#include "BoxTypes.h"
#include "Console.h"
#include "PasswordBuffer.h"
#include "PasswordPolicy.h"
#include "ProgressBar.h"
#include "SecretString.h"
#include "BoxStateText.h"
#include "ShareCandidates.h"
#include "TextTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <pwd.h>
#include <unistd.h>

namespace {

// The secret as core/ takes it; the intermediate text is wiped.
SecretString toSecret(const PasswordBuffer &buffer)
{
    QString text = QString::fromUtf8(buffer.data(), int(buffer.size()));
    SecretString secret(text);
    SecretString::wipe(text);
    return secret;
}

// Shows the box service's percentage as a bar on a terminal while alive.
class ProgressReport
{
public:
    explicit ProgressReport(const QString &label) : m_bar(label)
    {
        if (m_bar.enabled())
            BoxOperations::setProgressHandler([this](int percent) { m_bar.update(percent); });
    }
    ~ProgressReport()
    {
        if (m_bar.enabled())
            BoxOperations::setProgressHandler({});
    }
    ProgressReport(const ProgressReport &) = delete;
    ProgressReport &operator=(const ProgressReport &) = delete;

    void finish(bool succeeded) { m_bar.finish(succeeded); }

private:
    ProgressBar m_bar;
};


} // namespace

BoxCommands::BoxCommands(const BoxCommandLine &line) : m_line(line) {}

BoxCommands::~BoxCommands() = default;

PasswordReader &BoxCommands::passwords()
{
    if (!m_passwords) {
        m_passwords = std::make_unique<PasswordReader>(
            m_line.passwordFd() == BoxCommandLine::kNoDescriptor ? PasswordReader::standardInput()
                                                               : PasswordReader::descriptor(m_line.passwordFd()));
    }
    return *m_passwords;
}

ExitStatus BoxCommands::fail(const QString &message)
{
    Console::errorLine(message);
    return ExitStatus::Failed;
}

ExitStatus BoxCommands::fail(const BoxResult &result, const QString &failureText)
{
    if (result.code == BoxResult::WrongPassword)
        return failPassword(result);
    // The window shows the reason on a line of its own; here it follows the
    // text on the same line.
    return fail(BoxOutcomes::oneLine(failureText, result));
}

ExitStatus BoxCommands::failPassword(const BoxResult &result)
{
    return fail(BoxOutcomes::oneLine(BoxOutcomes::wrongPassword(), result));
}

bool BoxCommands::findBox(const QString &operand, BoxInfo &box)
{
    QString owner;
    QString name = operand;
    const int slash = operand.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        owner = operand.left(slash);
        name = operand.mid(slash + 1);
    }
    const BoxResult result = BoxOperations::find(name, box, owner);
    if (result.ok())
        return true;
    if (result.code == BoxResult::Failed)
        fail(result, BoxOutcomes::failed(BoxOperation::List));
    else
        fail(tr("保护箱 “%1” 不存在！").arg(operand));
    return false;
}

bool BoxCommands::allowed(const BoxInfo &box, BoxAction action)
{
    if (BoxRules::allows(box, action))
        return true;
    fail(BoxOutcomes::refusal(box, action));
    return false;
}

bool BoxCommands::boxToChange(BoxAction action, BoxInfo &box)
{
    return findBox(m_line.operands().at(0), box) && allowed(box, action);
}

bool BoxCommands::hasEncryption(const BoxInfo &box, bool encrypted)
{
    if (box.encrypted == encrypted)
        return true;
    fail(box.encrypted ? tr("保护箱 “%1” 已加密！").arg(box.name) : tr("保护箱 “%1” 未加密！").arg(box.name));
    return false;
}

bool BoxCommands::readBoxPassword(const BoxInfo &box, SecretString &password)
{
    return readPassword(tr("保护箱 “%1” 的密码：").arg(box.name), password);
}

ExitStatus BoxCommands::finished(const BoxResult &result, const QString &failureText)
{
    return result.ok() ? ExitStatus::Ok : fail(result, failureText);
}

bool BoxCommands::readPassword(const QString &prompt, SecretString &password)
{
    PasswordBuffer buffer;
    const PasswordReader::Status status = passwords().readPassword(prompt, buffer);
    if (status != PasswordReader::Status::Ok) {
        fail(PasswordReader::describe(status));
        return false;
    }
    password = toSecret(buffer);
    return true;
}

bool BoxCommands::readNewPassword(SecretString &password, PasswordForm form)
{
    PasswordBuffer buffer;
    const PasswordReader::Check followsRule = [](const PasswordBuffer &entry) {
        SecretString text = toSecret(entry);
        return PasswordPolicy::follows(text.text());
    };
    const PasswordReader::Status status =
        passwords().readNewPassword(tr("新密码："), tr("再次输入新密码："), buffer, followsRule);
    if (status == PasswordReader::Status::Rejected) {
        SecretString entry = toSecret(buffer);
        fail(PasswordPolicy::problemText(entry.text(), entry.text(), form));
        return false;
    }
    if (status != PasswordReader::Status::Ok) {
        fail(PasswordReader::describe(status));
        return false;
    }
    password = toSecret(buffer);
    if (password.isEmpty()) {
        fail(tr("新密码不可为空！"));
        return false;
    }
    return true;
}

bool BoxCommands::readCheckedPassword(const BoxInfo &box, SecretString &password)
{
    if (!readBoxPassword(box, password))
        return false;
    const BoxResult result = BoxOperations::verifyPassword(box, password);
    if (result.ok())
        return true;
    if (result.code == BoxResult::InvalidInput)
        fail(result.reason);
    else
        failPassword(result);
    return false;
}

ExitStatus BoxCommands::run()
{
    switch (m_line.action()) {
    case CliAction::List: return list();
    case CliAction::Create: return create();
    case CliAction::Delete: return remove();
    case CliAction::Rename: return rename();
    case CliAction::Encrypt: return encrypt();
    case CliAction::Decrypt: return decrypt();
    case CliAction::Passwd: return changePassword();
    case CliAction::Mount: return mount();
    case CliAction::Unmount: return unmount();
    case CliAction::Share: return share();
    case CliAction::Unshare: return unshare();
    case CliAction::Shares: return shares();
    case CliAction::RecoveryKey: return recoveryKey();
    case CliAction::Recover: return recover();
    case CliAction::Check: return check();
    case CliAction::Export: return exportBox();
    case CliAction::Import: return importBox();
    case CliAction::Help:
    case CliAction::Version:
        break;
    }
    return ExitStatus::Usage;
}

ExitStatus BoxCommands::list()
{
    QList<BoxInfo> boxes;
    const BoxResult result = BoxOperations::list(boxes);
    if (!result.ok())
        return fail(result, BoxOutcomes::failed(BoxOperation::List));

    if (m_line.has(CliOption::Json)) {
        QJsonArray array;
        for (const BoxInfo &box : qAsConst(boxes)) {
            array.append(QJsonObject{
                {QStringLiteral("name"), box.name},
                {QStringLiteral("path"), box.path},
                {QStringLiteral("owner"), box.owner},
                {QStringLiteral("encrypted"), box.encrypted},
                {QStringLiteral("mounted"), box.mounted},
                {QStringLiteral("shared"), box.shared},
                {QStringLiteral("own"), !box.fromOther},
                {QStringLiteral("access"), BoxStateText::accessKey(box)},
                {QStringLiteral("mountedElsewhere"), box.mountedElsewhere},
            });
        }
        Console::out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        return ExitStatus::Ok;
    }
    if (m_line.has(CliOption::Names)) {
        QString text;
        for (const BoxInfo &box : qAsConst(boxes))
            text += (box.fromOther ? box.owner + QLatin1Char('/') + box.name : box.name) + QLatin1Char('\n');
        Console::out(text);
        return ExitStatus::Ok;
    }
    TextTable table({tr("名称"), tr("状态"), tr("共享"), tr("所有者"), tr("路径")});
    const QString mounted = tr("已挂载");
    const QString encrypted = tr("已加密");
    const QString plain = tr("未加密");
    const QString shared = tr("是");
    const QString unshared = tr("否");
    for (const BoxInfo &box : qAsConst(boxes)) {
        const QString &state = box.mounted ? mounted : box.encrypted ? encrypted : plain;
        table.addRow({box.name, state, box.shared ? shared : unshared, box.owner, box.path});
    }
    Console::out(table.toString());
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::create()
{
    const QString name = m_line.operands().at(0);
    if (!m_line.has(CliOption::Encrypt)) {
        return finished(BoxOperations::create(name), BoxOutcomes::failed(BoxOperation::Create));
    }
    SecretString password;
    if (!readNewPassword(password, PasswordForm::Create))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在加密…"));
    const BoxResult result = BoxOperations::createEncrypted(name, password);
    progress.finish(result.ok());
    if (!result.ok())
        return fail(result, BoxOutcomes::failed(BoxOperation::Create));
    showNewRecoveryKey(name, password);
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::remove()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::Delete, box))
        return ExitStatus::Failed;
    const QString failureText = BoxOutcomes::failed(BoxOperation::Delete, box.name);
    if (box.encrypted) {
        SecretString password;
        if (!readBoxPassword(box, password))
            return ExitStatus::Failed;
        return deleted(BoxOperations::deleteBox(box, password), failureText);
    }
    if (!m_line.has(CliOption::Yes)) {
        PasswordReader terminal = PasswordReader::standardInput();
        if (!terminal.interactive()) {
            Console::errorLine(tr("删除未加密的保护箱须在终端上确认，或加上 --yes"));
            Console::err(m_line.usage());
            return ExitStatus::Usage;
        }
        bool yes = false;
        const PasswordReader::Status status = terminal.confirm(
            tr("删除操作不可逆，是否确认删除保护箱 “%1” ？").arg(box.name) + QStringLiteral(" [y/N] "), yes);
        if (status != PasswordReader::Status::Ok || !yes)
            return fail(tr("未删除保护箱 “%1” 。").arg(box.name));
    }
    return deleted(BoxOperations::deleteCheckedBox(box), failureText);
}

// A delete that succeeded may still have a word to say: what another user
// left in the box was set aside.
ExitStatus BoxCommands::deleted(const BoxResult &result, const QString &failureText)
{
    if (!result.ok())
        return fail(result, failureText);
    if (!result.reason.isEmpty())
        Console::errorLine(result.reason);
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::rename()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::Rename, box))
        return ExitStatus::Failed;
    SecretString password;
    if (box.encrypted && !readBoxPassword(box, password))
        return ExitStatus::Failed;
    return finished(BoxOperations::rename(box, m_line.operands().at(1), password),
                    BoxOutcomes::failed(BoxOperation::Rename, box.name));
}

ExitStatus BoxCommands::encrypt()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::PasswordSetting, box) || !hasEncryption(box, false))
        return ExitStatus::Failed;
    SecretString password;
    if (!readNewPassword(password, PasswordForm::Add))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在加密…"));
    const BoxResult result = BoxOperations::addPassword(box, password);
    progress.finish(result.ok());
    if (!result.ok())
        return fail(result, BoxOutcomes::failed(BoxOperation::AddPassword, box.name));
    showNewRecoveryKey(box.name, password);
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::decrypt()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::PasswordSetting, box) || !hasEncryption(box, true))
        return ExitStatus::Failed;
    SecretString password;
    if (!readBoxPassword(box, password))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在解密…"));
    const BoxResult result = BoxOperations::removePassword(box, password);
    progress.finish(result.ok());
    return finished(result, BoxOutcomes::failed(BoxOperation::RemovePassword, box.name));
}

ExitStatus BoxCommands::changePassword()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::PasswordSetting, box) || !hasEncryption(box, true))
        return ExitStatus::Failed;
    SecretString current;
    if (!readPassword(tr("当前密码："), current))
        return ExitStatus::Failed;
    SecretString fresh;
    if (!readNewPassword(fresh, PasswordForm::Change))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在修改密码…"));
    const BoxResult result = BoxOperations::changePassword(box, current, fresh);
    progress.finish(result.ok());
    return finished(result, BoxOutcomes::failed(BoxOperation::ChangePassword, box.name));
}

ExitStatus BoxCommands::mount()
{
    BoxInfo box;
    if (!findBox(m_line.operands().at(0), box))
        return ExitStatus::Failed;
    if (BoxRules::refusal(box, BoxAction::Mount) == BoxRefusal::NotEncrypted) {
        // A plain box is always open: the window just opens its folder.
        Console::out(box.path + QLatin1Char('\n'));
        return ExitStatus::Ok;
    }
    if (!allowed(box, BoxAction::Mount))
        return ExitStatus::Failed;
    SecretString password;
    if (!readBoxPassword(box, password))
        return ExitStatus::Failed;
    const BoxResult result = BoxOperations::mountWithUserSettings(box, password);
    if (!result.ok())
        return fail(result, BoxOutcomes::failed(BoxOperation::Mount));
    Console::out(box.path + QLatin1Char('\n'));
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::unmount()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::Unmount, box))
        return ExitStatus::Failed;
    return finished(BoxOperations::unmount(box), BoxOutcomes::failed(BoxOperation::Unmount, box.name));
}

ExitStatus BoxCommands::share()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::ShareSetting, box))
        return ExitStatus::Failed;
    const QString userName = m_line.operands().at(1);

    // Copied at once: the walk over the candidates reuses getpwnam's record.
    const QByteArray login = userName.toUtf8();
    const struct passwd *account = getpwnam(login.constData());
    if (!account)
        return fail(tr("用户 “%1” 不存在！").arg(userName));
    const uid_t uid = account->pw_uid;
    const QString accountName = QString::fromUtf8(account->pw_name);
    account = nullptr;

    QList<ShareUser> current;
    if (!readSharesToChange(box, current))
        return ExitStatus::Failed;
    bool isCandidate = false;
    for (const ShareUser &candidate : ShareCandidates::collect(current))
        isCandidate = isCandidate || candidate.uid == uid;
    if (!isCandidate)
        return fail(tr("不能把保护箱共享给用户 “%1” ！").arg(userName));

    const SharePermission perm = m_line.has(CliOption::ReadWrite) ? SharePermission::ReadWrite : SharePermission::ReadOnly;
    QList<ShareUser> wanted;
    bool replaced = false;
    for (ShareUser user : qAsConst(current)) {
        if (user.uid == uid) {
            user.perm = perm;
            replaced = true;
        }
        wanted.append(user);
    }
    if (!replaced) {
        ShareUser user;
        user.uid = uid;
        user.type = kShareTypeNamedUser;
        user.perm = perm;
        user.name = accountName;
        wanted.append(user);
    }
    return applyShares(box, wanted);
}

ExitStatus BoxCommands::unshare()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::ShareSetting, box))
        return ExitStatus::Failed;
    const QString userName = m_line.operands().at(1);
    QList<ShareUser> current;
    if (!readSharesToChange(box, current))
        return ExitStatus::Failed;
    QList<ShareUser> wanted;
    for (const ShareUser &user : qAsConst(current))
        if (user.name != userName)
            wanted.append(user);
    if (wanted.size() == current.size())
        return fail(tr("保护箱 “%1” 没有共享给用户 “%2” ！").arg(box.name, userName));
    return applyShares(box, wanted);
}

bool BoxCommands::readSharesToChange(const BoxInfo &box, QList<ShareUser> &current)
{
    // An encrypted box's shares change only for whoever knows its password.
    SecretString password;
    if (box.encrypted && !readCheckedPassword(box, password))
        return false;
    const BoxResult result = BoxOperations::readShares(box, current);
    if (result.ok())
        return true;
    fail(result, BoxOutcomes::failed(BoxOperation::ReadShares));
    return false;
}

ExitStatus BoxCommands::applyShares(const BoxInfo &box, const QList<ShareUser> &wanted)
{
    int added = 0;
    const BoxResult result = BoxOperations::applyShares(box, wanted, added);
    if (result.ok())
        return ExitStatus::Ok;
    return fail(result, added < 0 ? BoxOutcomes::failed(BoxOperation::Share, box.name)
                                  : BoxOutcomes::sharesPartlyApplied(box.name));
}

ExitStatus BoxCommands::shares()
{
    BoxInfo box;
    if (!findBox(m_line.operands().at(0), box))
        return ExitStatus::Failed;
    QList<ShareUser> users;
    const BoxResult result = BoxOperations::readShares(box, users);
    if (!result.ok())
        return fail(result, BoxOutcomes::failed(BoxOperation::ReadShares));
    if (m_line.has(CliOption::Json)) {
        QJsonArray array;
        for (const ShareUser &user : qAsConst(users)) {
            array.append(QJsonObject{
                {QStringLiteral("user"), user.name},
                {QStringLiteral("uid"), double(user.uid)},
                {QStringLiteral("writable"), user.perm == SharePermission::ReadWrite},
            });
        }
        Console::out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        return ExitStatus::Ok;
    }
    TextTable table({tr("用户"), tr("权限")});
    for (const ShareUser &user : qAsConst(users))
        table.addRow({user.name, BoxStateText::permission(user.perm)});
    Console::out(table.toString());
    return ExitStatus::Ok;
}

void BoxCommands::printRecoveryKey(const SecretString &key)
{
    QString text = BoxRecovery::groupedKey(key.text()) + QLatin1Char('\n');
    Console::out(text);
    SecretString::wipe(text);
    Console::errorLine(BoxRecovery::keyWarning());
}

void BoxCommands::showNewRecoveryKey(const QString &name, const SecretString &password)
{
    if (!BoxRecovery::keyAvailable())
        return;
    // A script that pipes both says nothing new: it asks when it wants.
    if (!isatty(STDOUT_FILENO)) {
        if (isatty(STDERR_FILENO))
            Console::errorLine(tr("用 %1 recovery-key %2 查看恢复密钥。").arg(QString::fromLatin1(kCliProgramName), name));
        return;
    }
    BoxInfo box;
    SecretString key;
    if (!BoxOperations::find(name, box).ok() || !BoxRecovery::recoveryKey(box, password, key).ok()) {
        Console::errorLine(tr("无法读取恢复密钥；稍后用 %1 recovery-key %2 查看。").arg(QString::fromLatin1(kCliProgramName), name));
        return;
    }
    Console::errorLine(tr("保护箱 “%1” 的恢复密钥（只显示这一次）：").arg(name));
    printRecoveryKey(key);
}

ExitStatus BoxCommands::recoveryKey()
{
    BoxInfo box;
    if (!findBox(m_line.operands().at(0), box))
        return ExitStatus::Failed;
    SecretString password;
    if (!readBoxPassword(box, password))
        return ExitStatus::Failed;
    SecretString key;
    const BoxResult result = BoxRecovery::recoveryKey(box, password, key);
    if (!result.ok())
        return fail(result, tr("读取保护箱 “%1” 的恢复密钥失败！").arg(box.name));
    printRecoveryKey(key);
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::recover()
{
    BoxInfo box;
    if (!boxToChange(BoxAction::PasswordSetting, box) || !hasEncryption(box, true))
        return ExitStatus::Failed;
    SecretString key;
    if (!readPassword(tr("保护箱 “%1” 的恢复密钥：").arg(box.name), key))
        return ExitStatus::Failed;
    SecretString fresh;
    if (!readNewPassword(fresh, PasswordForm::Change))
        return ExitStatus::Failed;
    bool keyChecked = false;
    ProgressReport progress(tr("正在设置新密码…"));
    const BoxResult result = BoxRecovery::recover(box, key, fresh, fresh, keyChecked);
    progress.finish(result.ok());
    if (!result.ok()) {
        if (result.code == BoxResult::WrongPassword)
            return fail(result.reason);
        return fail(result, BoxOutcomes::failed(BoxOperation::ChangePassword, box.name));
    }
    if (!keyChecked)
        Console::errorLine(BoxRecovery::uncheckedKeyNote(box.name));
    return ExitStatus::Ok;
}

ExitStatus BoxCommands::check()
{
    BoxInfo box;
    if (!findBox(m_line.operands().at(0), box) || !hasEncryption(box, true))
        return ExitStatus::Failed;
    SecretString password;
    if (!readBoxPassword(box, password))
        return ExitStatus::Failed;
    QStringList damaged;
    ProgressReport progress(tr("正在检查…"));
    const BoxResult result = BoxRecovery::check(box, password, damaged);
    progress.finish(result.ok());
    if (!result.ok()) {
        if (result.code == BoxResult::WrongPassword)
            return failPassword(result);
        return fail(result, tr("保护箱 “%1” 检查失败！").arg(box.name));
    }
    if (damaged.isEmpty()) {
        Console::errorLine(tr("保护箱 “%1” 完好。").arg(box.name));
        return ExitStatus::Ok;
    }
    Console::errorLine(tr("保护箱 “%1” 中有 %2 个文件已损坏：").arg(box.name).arg(damaged.size()));
    Console::out(damaged.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return ExitStatus::Failed;
}

ExitStatus BoxCommands::exportBox()
{
    BoxInfo box;
    if (!findBox(m_line.operands().at(0), box))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在导出…"));
    const BoxResult result = BoxRecovery::exportBox(box, m_line.operands().at(1));
    progress.finish(result.ok());
    return finished(result, tr("保护箱 “%1” 导出失败！").arg(box.name));
}

ExitStatus BoxCommands::importBox()
{
    const QString source = m_line.operands().at(0);
    const QString name = m_line.operands().at(1);
    SecretString password;
    if (!readPassword(tr("“%1” 的密码：").arg(source), password))
        return ExitStatus::Failed;
    ProgressReport progress(tr("正在导入…"));
    const BoxResult result = BoxRecovery::importBox(source, name, password, m_line.has(CliOption::Move));
    progress.finish(result.ok());
    if (result.ok())
        return ExitStatus::Ok;
    if (result.code == BoxResult::WrongPassword)
        return failPassword(result);
    return fail(result, tr("导入保护箱 “%1” 失败！").arg(name));
}
