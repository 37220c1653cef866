#include "VaultranerProxy.h"

#include "BoxServiceExtensions.h"
#include "SecretString.h"
#include "box_service.h"
#include "box_service_ext.h"

#include <QDebug>
#include <QFile>

#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <acl/libacl.h>
#include <pwd.h>
#include <unistd.h>

namespace {

// Names travel to the library as UTF-8, whatever the process locale: the
// library hands them back as UTF-8, and a locale conversion would turn
// non-Latin names into question marks.
QByteArray toLib(const QString &s) { return s.toUtf8(); }

std::atomic<bool> g_logFailures{true};

void logFailure(int res)
{
    if (!g_logFailures)
        return;
    const char *msg = box_err(-res);
    qDebug().noquote() << QString::fromUtf8(msg ? msg : "");
}

// The calling thread's last failure, kept for callers that say why.
struct Failure {
    int code = 0;
    int reason = BOX_REASON_NONE;
    QString detail;
};
thread_local Failure t_lastFailure;
thread_local QString t_lastSetAside;

// Logs a failure and keeps it as the thread's last one. The reason and the
// detail are read at once: the detail lasts only until the next box_* call.
void remember(int res)
{
    Failure failure;
    failure.code = res;
    if (box_reason_of_fn reasonOf = BoxServiceExtensions::reasonOf())
        failure.reason = reasonOf(res);
    if (box_last_detail_fn lastDetail = BoxServiceExtensions::lastDetail()) {
        const char *detail = lastDetail();
        failure.detail = QString::fromUtf8(detail ? detail : "");
    }
    t_lastFailure = failure;
}

void fail(int res)
{
    remember(res);
    logFailure(res);
}

std::atomic<bool> g_printBoxTable{true};

thread_local VaultranerProxy::ProgressHandler t_progressHandler;

void forwardProgress(const char *, int percent, void *)
{
    if (t_progressHandler)
        t_progressHandler(percent);
}

thread_local VaultranerProxy::WaitHandler t_waitHandler;

void forwardWait(void *)
{
    if (t_waitHandler)
        t_waitHandler();
}

// Progress reports of the library reach the thread's handler while this
// lives; a library without box_set_progress simply reports nothing.
class ProgressScope
{
public:
    ProgressScope() : m_set(t_progressHandler ? BoxServiceExtensions::setProgress() : nullptr)
    {
        if (m_set)
            m_set(forwardProgress, nullptr);
    }
    ~ProgressScope()
    {
        if (m_set)
            m_set(nullptr, nullptr);
    }
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;

private:
    box_set_progress_fn m_set;
};

// A heap copy of a passphrase that is zeroed and freed when it goes.
class KeyCopy
{
public:
    explicit KeyCopy(const QString &passphrase)
    {
        QByteArray bytes = passphrase.toUtf8();
        m_key = strdup(bytes.constData());
        m_len = m_key ? std::strlen(m_key) : 0;
        SecretString::wipe(bytes);
    }
    ~KeyCopy()
    {
        SecretString::wipe(m_key, m_len);
        std::free(m_key);
    }
    KeyCopy(const KeyCopy &) = delete;
    KeyCopy &operator=(const KeyCopy &) = delete;

    box_passphrase passphrase() const { return box_passphrase{m_key, m_len}; }
    box_crypto_params params(uint64_t settings) const { return box_crypto_params{settings, m_key, m_len}; }

private:
    char *m_key = nullptr;
    size_t m_len = 0;
};

static_assert(quint8(BoxFlag::Plain) == BOX_FLAG_PLAIN && quint8(BoxFlag::Encrypted) == BOX_FLAG_ENCRYPTED
                  && quint8(BoxFlag::Shared) == BOX_FLAG_SHARED && quint8(BoxFlag::Unshared) == BOX_FLAG_UNSHARED
                  && quint8(BoxFlag::Self) == BOX_FLAG_SELF && quint8(BoxFlag::Other) == BOX_FLAG_OTHER
                  && quint8(BoxFlag::Mounted) == BOX_FLAG_MOUNTED,
              "BoxFlag keeps the box service's state bits");

BoxInfo toBoxInfo(const box_info *node)
{
    BoxInfo box;
    box.name = QString::fromUtf8(node->name ? node->name : "");
    box.path = QString::fromUtf8(node->path ? node->path : "");
    box.owner = QString::fromUtf8(node->owner ? node->owner : "");
    box.flags = BoxFlags(node->flags);
    box.shared = (node->flags & BOX_FLAG_SHARED) != 0;
    box.encrypted = (node->flags & BOX_FLAG_ENCRYPTED) != 0;
    box.fromOther = (node->flags & BOX_FLAG_OTHER) != 0;
    box.mounted = (node->flags & BOX_FLAG_MOUNTED) != 0;
    box_share_state state{};
    if (box_share_state_of_fn stateOf = BoxServiceExtensions::shareStateOf(); stateOf && stateOf(node, &state) == 0) {
        box.access = state.access == BOX_ACCESS_READ_WRITE  ? SharePermission::ReadWrite
                     : state.access == BOX_ACCESS_READ_ONLY ? SharePermission::ReadOnly
                                                            : SharePermission::None;
        box.mountedElsewhere = state.mounted_elsewhere != 0;
    }
    char login[LOGIN_NAME_MAX + 1];
    if (box_mounted_by_fn mountedBy = BoxServiceExtensions::mountedBy();
        box.mountedElsewhere && mountedBy && mountedBy(node, login, sizeof login) == 0)
        box.mountedBy = QString::fromUtf8(login);
    return box;
}

// The box table on standard output: a header, then one line per box with the
// fields separated by tabs. It is put together in memory and written at once;
// printf per line would take longer than the rest of a load of many boxes.
void appendFields(std::string &table, std::initializer_list<const char *> fields)
{
    const char *separator = "";
    for (const char *field : fields) {
        table += separator;
        table += field;
        separator = "\t";
    }
    table += '\n';
}

void appendTableHeader(std::string &table)
{
    const char *user = std::getenv("USER");
    table += "Boxes for ";
    table += user ? user : "";
    table += "\n------------------------------\n";
    appendFields(table, {"name", "encrypt", "share", "owner", "path"});
}

void appendRow(std::string &table, const box_info *node)
{
    appendFields(table, {node->name ? node->name : "",
                         (node->flags & BOX_FLAG_ENCRYPTED) ? "Y" : "N",
                         (node->flags & BOX_FLAG_SHARED) ? "Y" : "N",
                         (node->flags & BOX_FLAG_SELF) ? "self" : (node->owner ? node->owner : ""),
                         node->path ? node->path : ""});
}

void writeTable(const std::string &table)
{
    std::fwrite(table.data(), 1, table.size(), stdout);
    std::fflush(stdout);
}

// The header and a row for every box of the list.
void printBoxTable(const box_info *head)
{
    std::string table;
    appendTableHeader(table);
    for (const box_info *node = head; node; node = node->next)
        appendRow(table, node);
    writeTable(table);
}

// The header and the row of one box.
void printBoxRecord(const box_info *info)
{
    std::string table;
    appendTableHeader(table);
    appendRow(table, info);
    writeTable(table);
}

bool passesFilters(quint8 flags, int ownerFilter, int encryptFilter, int shareFilter)
{
    if ((ownerFilter == 1 && (flags & BOX_FLAG_OTHER)) || (ownerFilter == 2 && (flags & BOX_FLAG_SELF)))
        return false;
    if ((encryptFilter == 1 && (flags & BOX_FLAG_PLAIN)) || (encryptFilter == 2 && (flags & BOX_FLAG_ENCRYPTED)))
        return false;
    if ((shareFilter == 1 && (flags & BOX_FLAG_UNSHARED)) || (shareFilter == 2 && (flags & BOX_FLAG_SHARED)))
        return false;
    return true;
}

} // namespace

VaultranerProxy::VaultranerProxy(QObject *parent) : QObject(parent) {}
VaultranerProxy::~VaultranerProxy() = default;

bool VaultranerProxy::createBox(const QString &name)
{
    int res = box_create(toLib(name).constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::createEncryptedBox(const QString &name, const QString &passphrase)
{
    const QByteArray libName = toLib(name);
    int res = box_create(libName.constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    KeyCopy key(passphrase);
    box_crypto_params params = key.params(BOX_CRYPTO_SETTINGS_DEFAULT);
    {
        ProgressScope progress;
        res = box_crypto_create(libName.constData(), &params);
    }
    if (res == 0)
        return true;
    fail(res);
    // Do not leave a plain box behind when encrypting it failed.
    int del = box_delete(libName.constData());
    if (del != 0)
        logFailure(del);
    return false;
}

bool VaultranerProxy::deleteBox(const QString &name)
{
    t_lastSetAside.clear();
    int res = box_delete(toLib(name).constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    // After a delete that succeeded, the detail names what was set aside.
    if (box_last_detail_fn lastDetail = BoxServiceExtensions::lastDetail()) {
        const char *detail = lastDetail();
        t_lastSetAside = QString::fromUtf8(detail ? detail : "");
    }
    return true;
}

bool VaultranerProxy::addPassphrase(const QString &name, const QString &passphrase)
{
    KeyCopy key(passphrase);
    box_crypto_params params = key.params(BOX_CRYPTO_SETTINGS_DEFAULT);
    ProgressScope progress;
    int res = box_crypto_create(toLib(name).constData(), &params);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::changePassphrase(const QString &name, const QString &oldPassphrase,
                                       const QString &newPassphrase)
{
    KeyCopy oldKey(oldPassphrase);
    KeyCopy newKey(newPassphrase);
    box_passphrase oldRecord = oldKey.passphrase();
    // Only the key of the new record matters to the library.
    box_crypto_params newRecord = newKey.params(0);
    ProgressScope progress;
    int res = box_crypto_change_passpharse(toLib(name).constData(), &oldRecord, &newRecord);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::removePassphrase(const QString &name, const QString &passphrase)
{
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    ProgressScope progress;
    int res = box_crypto_decrypt(toLib(name).constData(), &record);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::verifyPassphrase(const QString &name, const QString &passphrase)
{
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    int res = box_crypto_verify_passphrase(toLib(name).constData(), &record);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::mountBox(const QString &owner, const QString &name, const QString &passphrase)
{
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    int res = box_crypto_mount(toLib(owner).constData(), toLib(name).constData(), &record);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::umountBox(const QString &owner, const QString &name)
{
    int res = box_crypto_umount(toLib(owner).constData(), toLib(name).constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::renameBox(const QString &oldName, const QString &newName)
{
    int res = box_change_name(toLib(oldName).constData(), toLib(newName).constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::getBoxList(QList<BoxInfo> &list, int ownerFilter, int encryptFilter, int shareFilter)
{
    box_info *head = nullptr;
    int res = box_get_list(255, &head);
    if (res < 0) {
        fail(res);
        return false;
    }
    list.clear();
    if (printsBoxTable())
        printBoxTable(head);
    for (const box_info *node = head; node; node = node->next)
        if (passesFilters(node->flags, ownerFilter, encryptFilter, shareFilter))
            list.append(toBoxInfo(node));
    box_info_list_destroy(head);
    return true;
}

bool VaultranerProxy::getSharedList(const QString &owner, const QString &name, QList<ShareUser> &list)
{
    box_info *info = nullptr;
    int res = box_get_info(toLib(owner).constData(), toLib(name).constData(), &info);
    if (res != 0 || !info) {
        fail(res);
        return false;
    }
    const bool print = printsBoxTable();
    if (print)
        printBoxRecord(info);

    // getpwuid() below may reuse the buffer behind the library's `passwd`
    // record, so the caller's uid is read once, before the walk.
    const uid_t self = passwd ? passwd->pw_uid : getuid();
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; info->acl && acl_get_entry(info->acl, which, &entry) == 1;
         which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) != 0 || tag != ACL_USER)
            continue;
        void *qualifier = acl_get_qualifier(entry);
        if (!qualifier)
            continue;
        const uid_t uid = *static_cast<uid_t *>(qualifier);
        acl_free(qualifier);
        // The owner is no sharee of its own box; a sharee asking about
        // someone else's box is, and sees its own entry.
        if (uid == self && !(info->flags & BOX_FLAG_OTHER))
            continue;
        acl_permset_t permset;
        if (acl_get_permset(entry, &permset) != 0)
            continue;
        if (print)
            std::printf("before passwd id = %d\n", int(self));
        const struct passwd *account = getpwuid(uid);
        if (!account) {
            if (print)
                std::printf("after passwd id = %d\n", int(self));
            continue;
        }
        if (print) {
            std::printf("pwu id = %d\n", int(account->pw_uid));
            std::printf("after passwd id = %d\n", int(self));
        }
        const bool read = acl_get_perm(permset, ACL_READ) == 1;
        const bool write = acl_get_perm(permset, ACL_WRITE) == 1;
        const bool exec = acl_get_perm(permset, ACL_EXECUTE) == 1;
        if (!read && !exec)
            continue;
        ShareUser user;
        user.uid = uid;
        user.type = kShareTypeNamedUser;
        user.perm = (read && write && exec) ? SharePermission::ReadWrite : SharePermission::ReadOnly;
        user.name = QString::fromUtf8(account->pw_name);
        list.append(user);
    }
    std::fflush(stdout);
    box_info_destroy(info);
    return true;
}

int VaultranerProxy::setSharedList(const QString &name, const QList<ShareUser> &list)
{
    const QByteArray libName = toLib(name);
    int res = box_clear_share(libName.constData());
    if (res != 0) {
        fail(res);
        return -1;
    }
    int added = 0;
    for (const ShareUser &user : list) {
        res = box_add_share(libName.constData(), int(user.perm), uid_t(user.uid), int(user.type));
        if (res == 0) {
            ++added;
            continue;
        }
        remember(res);
        const char *msg = box_err(-res);
        qDebug().noquote() << QString("%1, perm %2, id %3, type %4: %5")
                        .arg(name)
                        .arg(int(user.perm))
                        .arg(user.uid)
                        .arg(user.type)
                        .arg(QString::fromUtf8(msg ? msg : ""));
    }
    return added;
}

bool VaultranerProxy::mountBox(const QString &owner, const QString &name, const QString &passphrase,
                               unsigned int idleSeconds)
{
    if (idleSeconds == 0)
        return mountBox(owner, name, passphrase);
    box_crypto_mount_idle_fn mountIdle = BoxServiceExtensions::mountIdle();
    if (!mountIdle) {
        // Mounting without the idle time would leave the box open longer
        // than asked: refuse instead.
        qDebug().noquote() << QString("%1: the box service cannot unmount by itself after an idle time").arg(name);
        t_lastFailure = Failure();
        t_lastFailure.code = -ENOSYS;
        return false;
    }
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    int res = mountIdle(toLib(owner).constData(), toLib(name).constData(), &record, idleSeconds);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::canMountWithIdleTime()
{
    return BoxServiceExtensions::mountIdle() != nullptr;
}

int VaultranerProxy::boxEnabled()
{
    return box_enabled();
}

int VaultranerProxy::boxInit()
{
    return box_init();
}

const char *VaultranerProxy::boxError(int code)
{
    return box_err(code);
}

int VaultranerProxy::lastFailureCode()
{
    return t_lastFailure.code;
}

int VaultranerProxy::lastFailureReason()
{
    return t_lastFailure.reason;
}

QString VaultranerProxy::lastFailureDetail()
{
    return t_lastFailure.detail;
}

void VaultranerProxy::clearLastFailure()
{
    t_lastFailure = Failure();
}

QString VaultranerProxy::lastSetAside()
{
    return t_lastSetAside;
}

void VaultranerProxy::setPrintsBoxTable(bool print)
{
    g_printBoxTable = print;
}

bool VaultranerProxy::printsBoxTable()
{
    return g_printBoxTable;
}

void VaultranerProxy::setLogsFailures(bool log)
{
    g_logFailures = log;
}

void VaultranerProxy::setProgressHandler(ProgressHandler handler)
{
    t_progressHandler = std::move(handler);
}

void VaultranerProxy::setWaitHandler(WaitHandler handler)
{
    t_waitHandler = std::move(handler);
    if (box_set_wait_notice_fn set = BoxServiceExtensions::setWaitNotice())
        set(t_waitHandler ? forwardWait : nullptr, nullptr);
}

bool VaultranerProxy::reportsProgress()
{
    return BoxServiceExtensions::setProgress() != nullptr;
}

QString VaultranerProxy::unavailableReason()
{
    const box_unavailable_reason_fn reasonOf = BoxServiceExtensions::unavailableReason();
    const char *reason = reasonOf ? reasonOf() : nullptr;
    return QString::fromUtf8(reason ? reason : "").trimmed();
}

int VaultranerProxy::unavailableCode()
{
    const box_unavailable_code_fn codeOf = BoxServiceExtensions::unavailableCode();
    return codeOf ? codeOf() : -1;
}

QString VaultranerProxy::userBoxFolder()
{
    if (const box_user_folder_fn folderOf = BoxServiceExtensions::userFolder()) {
        char folder[PATH_MAX] = {};
        if (folderOf(folder, sizeof folder) == 0) {
            folder[sizeof folder - 1] = '\0';
            if (folder[0] != '\0')
                return QString::fromLocal8Bit(folder);
        }
    }
    return QString("%1/%2").arg("/box").arg(QString::fromLocal8Bit(std::getenv("USER")));
}

namespace {

// A library without the function: the call fails as the service's own
// failures do, with nothing more specific to say.
bool missing()
{
    fail(-ENOSYS);
    return false;
}

void collectDamaged(const char *path, void *user)
{
    static_cast<QStringList *>(user)->append(QString::fromUtf8(path));
}

} // namespace

bool VaultranerProxy::canShowRecoveryKey() { return BoxServiceExtensions::recoveryKey() != nullptr; }
bool VaultranerProxy::canRecover() { return BoxServiceExtensions::recover() != nullptr; }
bool VaultranerProxy::canCheck() { return BoxServiceExtensions::check() != nullptr; }

bool VaultranerProxy::canExportAndImport()
{
    return BoxServiceExtensions::exportBox() != nullptr && BoxServiceExtensions::importBox() != nullptr;
}

bool VaultranerProxy::recoveryKey(const QString &name, const QString &passphrase, SecretString &key)
{
    box_crypto_recovery_key_fn recoveryKeyOf = BoxServiceExtensions::recoveryKey();
    if (!recoveryKeyOf)
        return missing();
    KeyCopy password(passphrase);
    box_passphrase record = password.passphrase();
    char buffer[BOX_RECOVERY_KEY_DIGITS + 1] = {0};
    int res = recoveryKeyOf(toLib(name).constData(), &record, buffer, sizeof buffer);
    if (res == 0) {
        QString text = QString::fromLatin1(buffer);
        key = SecretString(text);
        SecretString::wipe(text);
    }
    SecretString::wipe(buffer, sizeof buffer);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::recoverPassphrase(const QString &name, const QString &recoveryKey,
                                        const QString &newPassphrase, bool &checked)
{
    box_crypto_recover_fn recover = BoxServiceExtensions::recover();
    if (!recover)
        return missing();
    KeyCopy key(recoveryKey);
    KeyCopy fresh(newPassphrase);
    box_passphrase keyRecord = key.passphrase();
    box_crypto_params freshRecord = fresh.params(0);
    int keyChecked = 0;
    ProgressScope progress;
    int res = recover(toLib(name).constData(), &keyRecord, &freshRecord, &keyChecked);
    if (res != 0) {
        fail(res);
        return false;
    }
    checked = keyChecked != 0;
    return true;
}

bool VaultranerProxy::checkBox(const QString &name, const QString &passphrase, QStringList &damaged)
{
    box_crypto_check_fn check = BoxServiceExtensions::check();
    if (!check)
        return missing();
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    damaged.clear();
    ProgressScope progress;
    int res = check(toLib(name).constData(), &record, collectDamaged, &damaged);
    if (res < 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::exportBox(const QString &name, const QString &file)
{
    box_export_fn exportTo = BoxServiceExtensions::exportBox();
    if (!exportTo)
        return missing();
    ProgressScope progress;
    int res = exportTo(toLib(name).constData(), QFile::encodeName(file).constData());
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

bool VaultranerProxy::importBox(const QString &source, const QString &name, const QString &passphrase, bool move)
{
    box_import_fn importFrom = BoxServiceExtensions::importBox();
    if (!importFrom)
        return missing();
    KeyCopy key(passphrase);
    box_passphrase record = key.passphrase();
    ProgressScope progress;
    int res = importFrom(QFile::encodeName(source).constData(), toLib(name).constData(), &record, move ? 1 : 0);
    if (res != 0) {
        fail(res);
        return false;
    }
    return true;
}

QStringList VaultranerProxy::boxStateFolders()
{
    if (const box_state_folders_fn foldersOf = BoxServiceExtensions::stateFolders()) {
        char buffer[4 * PATH_MAX] = {};
        if (foldersOf(buffer, sizeof buffer) == 0) {
            buffer[sizeof buffer - 1] = '\0';
            QStringList folders;
            // The last byte stays NUL, so every strlen ends inside the buffer.
            const char *const end = buffer + sizeof buffer - 1;
            for (const char *folder = buffer; folder < end && *folder != '\0';
                 folder += std::strlen(folder) + 1)
                folders << QString::fromLocal8Bit(folder);
            if (!folders.isEmpty())
                return folders;
        }
    }
    // Only a folder the library names: a guess could be another's.
    if (const box_user_folder_fn folderOf = BoxServiceExtensions::userFolder()) {
        char folder[PATH_MAX] = {};
        if (folderOf(folder, sizeof folder) == 0 && folder[0] != '\0') {
            folder[sizeof folder - 1] = '\0';
            const QString user = QString::fromLocal8Bit(folder);
            return {QFileInfo(user).path(), user};
        }
    }
    return {};
}
