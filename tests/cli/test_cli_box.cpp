// The real vaultrane-box against the real box service (libtessad, gocryptfs,
// FUSE) in a temporary box root with temporary XDG folders: every
// subcommand, every exit status, passwords through a pipe, through
// --password-fd and on a terminal, and no password on any process's
// command line or environment.
#include "../tessad/fuse_check.h"
#include "CliRunner.h"

#include <QtTest>

#include <acl/libacl.h>
#include <csignal>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(VAULTRANE_BOX_PROGRAM);

// A password that follows the rule of new boxes and is unique to this run,
// so that finding it anywhere means it leaked from here.
QByteArray freshPassword(const char *tag)
{
    static int counter = 0;
    return QByteArray("Pw") + tag + "_" + QByteArray::number(getpid()) + "x" + QByteArray::number(++counter);
}

QByteArray line(const QByteArray &password)
{
    return password + '\n';
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs the command on a terminal of its own and types each answer once the
// next `prompt` shows; the exit status (-1 when a prompt never came), and
// what the terminal showed in `screen`.
int onTerminal(const QStringList &arguments, const QList<QByteArray> &answers, QByteArray *screen = nullptr,
               const QByteArray &prompt = "：")
{
    CliTerminal terminal(kProgram, arguments);
    for (const QByteArray &answer : answers) {
        if (!terminal.waitFor(prompt))
            return -1;
        terminal.type(answer);
    }
    const int status = terminal.finish();
    if (screen)
        *screen = terminal.screen();
    return status;
}

} // namespace

class TestCliBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(kProgram).isExecutable(), qPrintable(kProgram));
        QVERIFY(m_xdg.isValid());
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = m_xdg.path() + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QDir().mkpath(folder));
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv(name, QFile::encodeName(folder));
        }
        const struct passwd *self = getpwuid(getuid());
        QVERIFY(self);
        m_login = QString::fromUtf8(self->pw_name);
    }

    void init()
    {
        // Everything else makes or mounts encrypted boxes.
        static const QStringList plainOnly{"commandLineStatuses", "plainBoxLifecycle", "unavailableBoxServiceIsOneLine",
                                           "sharesWithOtherAccounts", "reachesBoxesOthersShare",
                                           "terminalConfirmsAPlainDelete"};
        const std::string missing = fusecheck::missingForMounts();
        if (!missing.empty() && !plainOnly.contains(QTest::currentTestFunction()))
            QSKIP(missing.c_str());
        m_base.reset(new QTemporaryDir(QDir::tempPath() + "/vaultrane-box-test-XXXXXX"));
        QVERIFY(m_base->isValid());
        QFile::setPermissions(m_base->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString root = m_base->path() + "/box";
        qputenv("BOX_SERVICE_ROOT", QFile::encodeName(root));
        m_userFolder = root + QLatin1Char('/') + m_login;
    }

    void cleanup()
    {
        unmountAll();
        m_base.reset();
    }

    void commandLineStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");

        QTest::newRow("help") << QStringList{"--help"} << 0;
        QTest::newRow("help word") << QStringList{"help"} << 0;
        for (const char *word : {"list", "create", "delete", "rename", "encrypt", "decrypt", "passwd", "mount",
                                 "unmount", "share", "unshare", "shares"})
            QTest::newRow(qPrintable(QString("%1 --help").arg(word))) << QStringList{word, "--help"} << 0;
        QTest::newRow("nothing") << QStringList{} << 2;
        QTest::newRow("unknown subcommand") << QStringList{"open", "x"} << 2;
        QTest::newRow("password fd not open") << QStringList{"mount", "x", "--password-fd", "57"} << 2;
    }

    void commandLineStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);

        const CliOutcome outcome = run(arguments);
        QCOMPARE(outcome.status, status);
        if (status == 0) {
            QVERIFY(outcome.out.contains("vaultrane-box"));
            QVERIFY(outcome.err.isEmpty());
        } else {
            QVERIFY(outcome.out.isEmpty());
            QVERIFY(outcome.err.startsWith("vaultrane-box: "));
            QVERIFY2(outcome.err.contains("vaultrane-box "), "the usage follows the error");
        }
        // Nothing about boxes happened.
        QVERIFY(!QFileInfo::exists(m_userFolder + "/x"));
    }

    void plainBoxLifecycle()
    {
        QCOMPARE(run({"--version"}).out, QByteArray("vaultrane-box " VAULTRANE_VERSION_TEXT "\n"));
        QCOMPARE(run({"create", "资料 box"}).status, 0);
        QVERIFY(QFileInfo(boxPath("资料 box")).isDir());
        verifyFailure(run({"create", "资料 box"}), "create an existing name");

        const CliOutcome table = run({"list"});
        QCOMPARE(table.status, 0);
        QVERIFY(table.out.contains("资料 box"));
        QVERIFY(table.out.contains(QFile::encodeName(boxPath("资料 box"))));
        QCOMPARE(run({"list", "--names"}).out, QByteArray("资料 box\n"));

        QVERIFY(writeFile(boxPath("资料 box") + "/note.txt", "kept"));

        QCOMPARE(run({"rename", "资料 box", "papers"}).status, 0);
        QVERIFY(QFileInfo::exists(boxPath("papers") + "/note.txt"));
        verifyFailure(run({"unmount", "papers"}), "unmount a plain box");
        verifyFailure(run({"decrypt", "papers"}), "decrypt a plain box");
        verifyFailure(run({"passwd", "papers"}), "change the password of a plain box");

        // A plain box is open already: mount only says where it is.
        const CliOutcome mounted = run({"mount", "papers"});
        QCOMPARE(mounted.status, 0);
        QCOMPARE(mounted.out, QFile::encodeName(boxPath("papers")) + '\n');

        // Without a terminal a plain box is deleted only with --yes.
        const CliOutcome unconfirmed = run({"delete", "papers"});
        QCOMPARE(unconfirmed.status, 2);
        QVERIFY(QFileInfo::exists(boxPath("papers") + "/note.txt"));
        QCOMPARE(run({"delete", "papers", "--yes"}).status, 0);
        QVERIFY(!QFileInfo::exists(boxPath("papers")));
        QCOMPARE(listJson().size(), 0);
    }

    void unavailableBoxServiceIsOneLine()
    {
        // A box root that cannot exist: below a regular file.
        const QString file = m_base->path() + "/plain-file";
        QFile blocker(file);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const CliEnvironment impossible{{"BOX_SERVICE_ROOT", QFile::encodeName(file + "/box")}};
        for (const QStringList &arguments : {QStringList{"list"}, QStringList{"create", "x"}})
            verifyFailure(run(arguments, {}, impossible), qPrintable(arguments.join(' ')));
        // Help needs no box service.
        QCOMPARE(run({"--help"}, {}, impossible).status, 0);
    }

    void encryptedBoxThroughAPipe()
    {
        const QByteArray password = freshPassword("Pipe");
        const QByteArray newPassword = freshPassword("New");

        verifyFailure(run({"create", "vault", "--encrypt"}, "1short\n"), "create with a password against the rule");
        QVERIFY(!QFileInfo::exists(boxPath("vault")));
        verifyFailure(run({"create", "vault", "--encrypt"}), "create without a password");
        QVERIFY(!QFileInfo::exists(boxPath("vault")));

        QCOMPARE(run({"create", "vault", "--encrypt"}, line(password)).status, 0);

        verifyFailure(run({"mount", "vault"}, line(newPassword)), "mount with a wrong password");
        verifyFailure(run({"mount", "vault"}, "\n"), "mount with an empty password");
        const CliOutcome mounted = run({"mount", "vault"}, line(password));
        QCOMPARE(mounted.status, 0);
        QCOMPARE(mounted.out, QFile::encodeName(boxPath("vault")) + '\n');
        verifyFailure(run({"mount", "vault"}, line(password)), "mount a mounted box");
        QCOMPARE(run({"unmount", "vault"}).status, 0);
        verifyFailure(run({"unmount", "vault"}), "unmount an unmounted box");

        // passwd reads the current password, then the new one, one line each.
        verifyFailure(run({"passwd", "vault"}, line(newPassword) + line(password)), "passwd with a wrong password");
        verifyFailure(run({"passwd", "vault"}, line(password) + "bad\n"), "passwd to a password against the rule");
        QCOMPARE(run({"passwd", "vault"}, line(password) + line(newPassword)).status, 0);
        verifyFailure(run({"mount", "vault"}, line(password)), "mount with the old password");

        verifyFailure(run({"rename", "vault", "safe"}, line(password)), "rename with a wrong password");
        QVERIFY(QFileInfo::exists(boxPath("vault")));
        QCOMPARE(run({"rename", "vault", "safe"}, line(newPassword)).status, 0);

        verifyFailure(run({"decrypt", "safe"}, line(password)), "decrypt with a wrong password");
        QCOMPARE(run({"decrypt", "safe"}, line(newPassword)).status, 0);
        QCOMPARE(boxEntry("safe").value("encrypted").toBool(), false);

        // A password added to an existing box follows the rule of new passwords.
        verifyFailure(run({"encrypt", "safe"}, "\n"), "encrypt with an empty password");
        verifyFailure(run({"encrypt", "safe"}, "abc\n"), "encrypt with a password against the rule");
        QCOMPARE(run({"encrypt", "safe"}, line(password)).status, 0);
        QCOMPARE(boxEntry("safe").value("encrypted").toBool(), true);
        verifyFailure(run({"encrypt", "safe"}, line(password)), "encrypt an encrypted box");

        verifyFailure(run({"delete", "safe"}, "wrong\n"), "delete with a wrong password");
        QVERIFY(QFileInfo::exists(boxPath("safe")));
        QCOMPARE(run({"delete", "safe"}, line(password)).status, 0);
        QVERIFY(!QFileInfo::exists(boxPath("safe")));
    }

    void refusesWhatAMountedBoxDoesNotAllow_data()
    {
        QTest::addColumn<QStringList>("arguments");

        QTest::newRow("delete") << QStringList{"delete", "m"};
        QTest::newRow("rename") << QStringList{"rename", "m", "n"};
        QTest::newRow("passwd") << QStringList{"passwd", "m"};
        QTest::newRow("decrypt") << QStringList{"decrypt", "m"};
        QTest::newRow("encrypt") << QStringList{"encrypt", "m"};
        QTest::newRow("share") << QStringList{"share", "m", "root", "--read-only"};
        QTest::newRow("unshare") << QStringList{"unshare", "m", "root"};
    }

    void refusesWhatAMountedBoxDoesNotAllow()
    {
        QFETCH(QStringList, arguments);

        const QByteArray password = freshPassword("Mounted");
        QCOMPARE(run({"create", "m", "--encrypt"}, line(password)).status, 0);
        QCOMPARE(run({"mount", "m"}, line(password)).status, 0);

        // Refused before any password is read: the input stays unread.
        verifyFailure(run(arguments, line(password) + line(password)), qPrintable(arguments.join(' ')));
        QCOMPARE(boxEntry("m").value("mounted").toBool(), true);
        QCOMPARE(boxEntry("m").value("encrypted").toBool(), true);
        QCOMPARE(run({"unmount", "m"}).status, 0);
    }

    void passwordsThroughADescriptor()
    {
        const QByteArray password = freshPassword("Fd");
        const QByteArray newPassword = freshPassword("FdNew");
        QCOMPARE(run({"create", "fdbox", "--encrypt"}, line(password)).status, 0);

        // Standard input is ignored when --password-fd is given.
        {
            CliProcess process(kProgram, {"mount", "fdbox", "--password-fd", "3"}, 3);
            process.feed("not the password\n");
            process.feedExtra(line(password));
            const CliOutcome outcome = process.finish();
            QCOMPARE(outcome.status, 0);
            QCOMPARE(outcome.out, QFile::encodeName(boxPath("fdbox")) + '\n');
        }
        QCOMPARE(run({"unmount", "fdbox"}).status, 0);
        {
            CliProcess process(kProgram, {"passwd", "--password-fd=5", "fdbox"}, 5);
            process.feedExtra(line(password) + line(newPassword));
            QCOMPARE(process.finish().status, 0);
        }
        {
            CliProcess process(kProgram, {"mount", "fdbox", "--password-fd", "4"}, 4);
            process.feedExtra(line(password));
            verifyFailure(process.finish(), "mount with the old password through a descriptor");
        }
        {
            // A descriptor that ends before the password does.
            CliProcess process(kProgram, {"mount", "fdbox", "--password-fd", "4"}, 4);
            verifyFailure(process.finish(), "mount with an empty descriptor");
        }
        QCOMPARE(run({"mount", "fdbox", "--password-fd", "0"}, line(newPassword)).status, 0);
        QCOMPARE(run({"unmount", "fdbox"}).status, 0);
    }

    void listJsonHasTypedMembers()
    {
        const QByteArray password = freshPassword("Json");
        QCOMPARE(run({"create", "plain \"quoted\""}).status, 0);
        QCOMPARE(run({"create", "locked", "--encrypt"}, line(password)).status, 0);
        QCOMPARE(run({"create", "open", "--encrypt"}, line(password)).status, 0);
        QCOMPARE(run({"mount", "open"}, line(password)).status, 0);

        const CliOutcome outcome = run({"list", "--json"});
        QCOMPARE(outcome.status, 0);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(outcome.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(document.isArray());

        struct Expected {
            bool encrypted;
            bool mounted;
        };
        const QMap<QString, Expected> expected{
            {"plain \"quoted\"", {false, false}},
            {"locked", {true, false}},
            {"open", {true, true}},
        };
        QCOMPARE(document.array().size(), expected.size());
        const QStringList members{"access", "encrypted", "mounted", "mountedElsewhere", "name", "own", "owner", "path", "shared"};
        for (const QJsonValue &value : document.array()) {
            const QJsonObject box = value.toObject();
            QStringList keys = box.keys();
            keys.sort();
            QCOMPARE(keys, members);
            const QString name = box.value("name").toString();
            QVERIFY2(expected.contains(name), qPrintable(name));
            for (const char *flag : {"encrypted", "mounted", "mountedElsewhere", "shared", "own"})
                QVERIFY2(box.value(flag).isBool(), flag);
            QCOMPARE(box.value("access").toString(), QString("owner"));
            QCOMPARE(box.value("encrypted").toBool(), expected[name].encrypted);
            QCOMPARE(box.value("mounted").toBool(), expected[name].mounted);
            QCOMPARE(box.value("shared").toBool(), false);
            QCOMPARE(box.value("own").toBool(), true);
            QCOMPARE(box.value("owner").toString(), m_login);
            QCOMPARE(box.value("path").toString(), boxPath(name));
        }
        QCOMPARE(run({"unmount", "open"}).status, 0);
    }

    void sharesWithOtherAccounts()
    {
        const QByteArray wrapper = qgetenv("NSS_WRAPPER_LIBRARY");
        if (wrapper.isEmpty() || !QFileInfo::exists(QString::fromLocal8Bit(wrapper)))
            QSKIP("needs libnss-wrapper (NSS_WRAPPER_LIBRARY), as ctest sets it");
        // Local accounts as the password database shows them to the command.
        const QString passwdFile = m_base->path() + "/passwd";
        const QString groupFile = m_base->path() + "/group";
        QFile accounts(passwdFile);
        QVERIFY(accounts.open(QIODevice::WriteOnly));
        accounts.write(QString("%1:x:%2:%3::/root:/bin/bash\n").arg(m_login).arg(getuid()).arg(getgid()).toUtf8());
        accounts.write("alice:x:1001:1001:Alice:/home/alice:/bin/bash\n"
                       "bob:x:1002:1002:Bob:/home/bob:/bin/bash\n"
                       "svc:x:1003:1003:service:/nonexistent:/usr/sbin/nologin\n");
        accounts.close();
        QFile groups(groupFile);
        QVERIFY(groups.open(QIODevice::WriteOnly));
        groups.write(QString("%1:x:%2:\nusers:x:100:alice,bob\n").arg(m_login).arg(getgid()).toUtf8());
        groups.close();
        const CliEnvironment nss{{"LD_PRELOAD", wrapper},
                                 {"NSS_WRAPPER_PASSWD", QFile::encodeName(passwdFile)},
                                 {"NSS_WRAPPER_GROUP", QFile::encodeName(groupFile)}};

        QCOMPARE(run({"create", "team"}, {}, nss).status, 0);
        QCOMPARE(run({"share", "team", "bob", "--read-only"}, {}, nss).status, 0);
        QVERIFY2(shareAcl("team").contains("user:1002:r-x"), qPrintable(shareAcl("team")));
        QCOMPARE(run({"share", "team", "alice", "--read-write"}, {}, nss).status, 0);
        QCOMPARE(run({"share", "team", "bob", "--read-write"}, {}, nss).status, 0);
        QVERIFY2(shareAcl("team").contains("user:1001:rwx"), qPrintable(shareAcl("team")));
        QCOMPARE(boxEntry("team").value("shared").toBool(), true);

        verifyFailure(run({"share", "team", "svc", "--read-only"}, {}, nss), "share with a service account");
        verifyFailure(run({"share", "team", "nobody-here", "--read-only"}, {}, nss), "share with no such user");
        verifyFailure(run({"share", "team", m_login, "--read-only"}, {}, nss), "share with oneself");

        const CliOutcome listed = run({"shares", "team", "--json"}, {}, nss);
        QCOMPARE(listed.status, 0);
        const QJsonArray users = QJsonDocument::fromJson(listed.out).array();
        QCOMPARE(users.size(), 2);
        for (const QJsonValue &value : users) {
            QVERIFY(value.toObject().value("writable").isBool());
            QCOMPARE(value.toObject().value("writable").toBool(), true);
        }

        QCOMPARE(run({"unshare", "team", "bob"}, {}, nss).status, 0);
        verifyFailure(run({"unshare", "team", "bob"}, {}, nss), "unshare a user without a share");
        QVERIFY(!shareAcl("team").contains("user:1002:"));
        QVERIFY(shareAcl("team").contains("user:1001:rwx"));

        // An encrypted box is shared only with its password.
        const QByteArray password = freshPassword("Share");
        QCOMPARE(run({"create", "crypt", "--encrypt"}, line(password), nss).status, 0);
        verifyFailure(run({"share", "crypt", "bob", "--read-only"}, "wrong\n", nss), "share with a wrong password");
        QCOMPARE(run({"share", "crypt", "bob", "--read-only"}, line(password), nss).status, 0);
        QCOMPARE(boxEntry("crypt").value("shared").toBool(), true);
    }

    void reachesBoxesOthersShare()
    {
        if (geteuid() != 0)
            QSKIP("making throwaway accounts needs root");
        // Two ordinary accounts: root would pass every check a sharee meets.
        struct Account {
            QString name;
            uid_t uid = 0;
            gid_t gid = 0;
        };
        Account owner{QString("vbo%1").arg(getpid())};
        Account sharee{QString("vbs%1").arg(getpid())};
        auto removeAccounts = qScopeGuard([&] {
            unmountAll();
            for (const Account *account : {&owner, &sharee})
                QProcess::execute("sh", {"-c", QString("userdel %1 >/dev/null 2>&1").arg(account->name)});
        });
        for (Account *account : {&owner, &sharee}) {
            QProcess::execute("sh", {"-c", QString("userdel %1 >/dev/null 2>&1").arg(account->name)});
            QCOMPARE(QProcess::execute("useradd", {"-M", "-N", "-s", "/bin/bash", account->name}), 0);
            const struct passwd *entry = getpwnam(account->name.toUtf8().constData());
            QVERIFY(entry);
            account->uid = entry->pw_uid;
            account->gid = entry->pw_gid;
        }
        const QStringList openFuse{"--reuid", QString::number(sharee.uid), "--regid", QString::number(sharee.gid),
                                   "--clear-groups", "sh", "-c", "exec 3<>/dev/fuse"};
        if (QProcess::execute("setpriv", openFuse) != 0)
            QSKIP("ordinary accounts cannot open /dev/fuse here: as root, chmod 0666 /dev/fuse (Debian's default)");
        auto runAs = [&](const Account &account, const QStringList &arguments, const QByteArray &input = {}) {
            CliProcess process(kProgram, arguments, -1, {}, account.uid, account.gid);
            process.feed(input);
            return process.finish();
        };
        auto entryOf = [&](const Account &account, const QString &name) {
            const QJsonArray boxes = QJsonDocument::fromJson(runAs(account, {"list", "--json"}).out).array();
            for (const QJsonValue &value : boxes)
                if (value.toObject().value("name").toString() == name)
                    return value.toObject();
            return QJsonObject();
        };

        // The owner shares a plain and an encrypted box with the sharee.
        const QByteArray password = freshPassword("Theirs");
        QCOMPARE(run({"list"}).status, 0); // makes the box root
        QCOMPARE(runAs(owner, {"create", "gift"}).status, 0);
        QCOMPARE(runAs(owner, {"create", "locked", "--encrypt"}, line(password)).status, 0);
        QCOMPARE(runAs(owner, {"share", "gift", sharee.name, "--read-only"}).status, 0);
        QCOMPARE(runAs(owner, {"share", "locked", sharee.name, "--read-write"}, line(password)).status, 0);

        const QString gift = owner.name + "/gift";
        const QString locked = owner.name + "/locked";
        const CliOutcome names = runAs(sharee, {"list", "--names"});
        QCOMPARE(names.status, 0);
        QVERIFY2(names.out.contains(gift.toUtf8() + '\n'), names.out.constData());
        QVERIFY2(names.out.contains(locked.toUtf8() + '\n'), names.out.constData());

        // Only the owner renames, deletes, encrypts or shares a box.
        for (const QStringList &arguments : {QStringList{"rename", gift, "mine"}, QStringList{"delete", gift, "--yes"},
                                             QStringList{"share", gift, owner.name, "--read-write"}})
            QCOMPARE(runAs(sharee, arguments).status, 1);
        QCOMPARE(runAs(sharee, {"mount", "gift"}).status, 1); // a plain name is one of the sharee's own

        const CliOutcome opened = runAs(sharee, {"mount", gift});
        QCOMPARE(opened.status, 0);
        QVERIFY(opened.out.endsWith("/" + owner.name.toUtf8() + "/gift\n"));

        // The sharee mounts the encrypted box with its password at a folder of
        // its own, and the owner may not take the box away meanwhile.
        QCOMPARE(runAs(sharee, {"mount", locked}, "wrong\n").status, 1);
        const CliOutcome mounted = runAs(sharee, {"mount", locked}, line(password));
        QCOMPARE(mounted.status, 0);
        const QString shareeFolder = qEnvironmentVariable("BOX_SERVICE_ROOT") + "/" + sharee.name + "/";
        const QString point = QString::fromUtf8(mounted.out).trimmed();
        QVERIFY2(point.startsWith(shareeFolder), qPrintable(point));
        const QJsonObject entry = entryOf(sharee, "locked");
        QCOMPARE(entry.value("path").toString(), point);
        QCOMPARE(entry.value("mounted").toBool(), true);
        QCOMPARE(runAs(owner, {"delete", "locked"}, line(password)).status, 1);

        QCOMPARE(runAs(sharee, {"unmount", locked}).status, 0);
        QCOMPARE(entryOf(sharee, "locked").value("mounted").toBool(), false);
        QCOMPARE(runAs(owner, {"delete", "gift", "--yes"}).status, 0);
        QCOMPARE(runAs(owner, {"delete", "locked"}, line(password)).status, 0);
    }

    void terminalAsksWithoutEcho()
    {
        const QByteArray password = freshPassword("Tty");
        QByteArray screen;
        QCOMPARE(onTerminal({"create", "ttybox", "--encrypt"}, {line(password), line(password + "typo")}, &screen), 1);
        QVERIFY2(!screen.contains(password), screen.constData());
        QVERIFY(!QFileInfo::exists(boxPath("ttybox")));
        QCOMPARE(onTerminal({"create", "ttybox", "--encrypt"}, {line(password), line(password)}, &screen), 0);
        QVERIFY2(!screen.contains(password), screen.constData());
        QCOMPARE(onTerminal({"mount", "ttybox"}, {line(password)}, &screen), 0);
        QVERIFY(screen.contains(QFile::encodeName(boxPath("ttybox"))));
        QVERIFY(!screen.contains(password));
        QCOMPARE(run({"unmount", "ttybox"}).status, 0);
    }

    void terminalConfirmsAPlainDelete()
    {
        QCOMPARE(run({"create", "doomed"}).status, 0);
        QCOMPARE(onTerminal({"delete", "doomed"}, {"n\n"}, nullptr, "[y/N]"), 1);
        QVERIFY(QFileInfo::exists(boxPath("doomed")));
        QCOMPARE(onTerminal({"delete", "doomed"}, {"y\n"}, nullptr, "[y/N]"), 0);
        QVERIFY(!QFileInfo::exists(boxPath("doomed")));
    }

    void interruptRestoresTheTerminal()
    {
        const QByteArray password = freshPassword("Int");
        QCOMPARE(run({"create", "intbox", "--encrypt"}, line(password)).status, 0);

        CliTerminal terminal(kProgram, {"mount", "intbox"});
        QVERIFY(terminal.waitFor("："));
        QVERIFY(!terminal.echoes());
        terminal.type("half typed");
        terminal.type("\x03"); // Ctrl+C
        QCOMPARE(terminal.finish(), 1000 + SIGINT);
        QVERIFY(terminal.echoes());
        QCOMPARE(boxEntry("intbox").value("mounted").toBool(), false);
    }

    void progressShowsOnlyOnATerminal()
    {
        const QByteArray password = freshPassword("Bar");
        for (const char *name : {"piped", "shown"}) {
            QCOMPARE(run({"create", name}).status, 0);
            for (int i = 0; i < 40; ++i)
                QVERIFY(writeFile(boxPath(name) + QString("/file%1.bin").arg(i), QByteArray(256 * 1024, char('a' + i % 26))));
        }
        const CliOutcome piped = run({"encrypt", "piped"}, line(password));
        QCOMPARE(piped.status, 0);
        QVERIFY2(piped.err.isEmpty(), piped.err.constData());

        QByteArray screen;
        QCOMPARE(onTerminal({"encrypt", "shown"}, {line(password), line(password)}, &screen), 0);
        QVERIFY2(screen.contains("100%"), screen.constData());
    }

    void noPasswordInAnyProcess()
    {
        const QByteArray password = freshPassword("Proc");
        const QByteArray newPassword = freshPassword("ProcNew");
        QVERIFY(processesHolding(password).isEmpty());

        // Each command waits for its password line while /proc is scanned, and
        // is scanned again until it ends (gocryptfs runs meanwhile).
        const QList<QPair<QStringList, QByteArray>> steps{
            {{"create", "watched", "--encrypt"}, line(password)},
            {{"mount", "watched"}, line(password)},
            {{"unmount", "watched"}, {}},
            {{"passwd", "watched"}, line(password) + line(newPassword)},
            {{"mount", "watched"}, line(newPassword)},
        };
        for (const auto &step : steps) {
            CliProcess process(kProgram, step.first);
            QTest::qWait(100);
            QVERIFY(processesHolding(password).isEmpty());
            process.feed(step.second);
            QList<pid_t> holders;
            for (int scan = 0; scan < 40 && holders.isEmpty(); ++scan) {
                holders = processesHolding(password) + processesHolding(newPassword);
                if (kill(process.pid(), 0) != 0)
                    break;
            }
            const CliOutcome outcome = process.finish();
            QVERIFY2(outcome.status == 0, qPrintable(step.first.join(' ') + ": " + QString::fromUtf8(outcome.err)));
            QVERIFY2(holders.isEmpty(), qPrintable(step.first.join(' ')));
        }
        // The mounted box's gocryptfs keeps running: still nothing.
        QVERIFY(processesHolding(password).isEmpty());
        QVERIFY(processesHolding(newPassword).isEmpty());
        QCOMPARE(run({"unmount", "watched"}).status, 0);
    }

    void refusesNamesThatAreNotUtf8_data()
    {
        QTest::addColumn<QString>("arguments"); // shell words; raw bytes through printf

        QTest::newRow("create") << R"sh(create "$(printf 'bad\377utf')")sh";
        QTest::newRow("delete another spelling") << R"sh(delete "$(printf 'bad\376utf')" --yes)sh";
        QTest::newRow("rename to an overlong form") << R"sh(rename "$(printf 'bad\357\277\275utf')" "$(printf 'new\300\257')")sh";
        QTest::newRow("surrogate") << R"sh(create "$(printf 'x\355\240\200')")sh";
    }

    void refusesNamesThatAreNotUtf8()
    {
        QFETCH(QString, arguments);

        // A box whose name holds U+FFFD, what invalid bytes used to become.
        const QString replaced = QString::fromUtf8("bad\xef\xbf\xbdutf");
        QCOMPARE(run({"create", replaced}).status, 0);
        const QByteArray before = run({"list", "--names"}).out;

        // Through the shell: the runner passes arguments as UTF-8.
        CliProcess process("/bin/sh", {"-c", "exec \"$0\" " + arguments, kProgram});
        const CliOutcome outcome = process.finish();
        QCOMPARE(outcome.status, 2);
        QVERIFY(outcome.err.startsWith("vaultrane-box: "));
        QCOMPARE(run({"list", "--names"}).out, before);
    }

    void cannotBeDumped()
    {
        // The files in /proc/<pid> of a process that is not dumpable belong to
        // root; so the program must run under another account to tell.
        uid_t uid = getuid();
        gid_t gid = getgid();
        if (uid == 0) {
            uid = 65534;
            gid = 65534;
            QVERIFY(QDir().mkpath(m_base->path() + "/box"));
            QVERIFY(chmod(QFile::encodeName(m_base->path() + "/box").constData(), 01777) == 0);
        }
        // It waits for a new password on standard input.
        CliProcess process(kProgram, {"create", "dump", "--encrypt"}, -1, {}, uid, gid);
        const QByteArray proc = "/proc/" + QByteArray::number(process.pid());
        // Once it runs as itself (not the test's fork) and sleeps.
        const auto waiting = [&] {
            QFile commandLine(proc + "/cmdline");
            QFile stat(proc + "/stat");
            return commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(QByteArray("dump\0", 5))
                && stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") S ");
        };
        QTRY_VERIFY_WITH_TIMEOUT(waiting(), 10000);
        struct stat status;
        QVERIFY(stat(proc + "/status", &status) == 0);
        QCOMPARE(status.st_uid, uid_t(0));
        process.feed("\n");
        process.finish();
    }

private:
    CliOutcome run(const QStringList &arguments, const QByteArray &input = {}, const CliEnvironment &environment = {})
    {
        CliProcess process(kProgram, arguments, -1, environment);
        process.feed(input);
        return process.finish();
    }

    // A failure as the command reports it: status 1, nothing on standard
    // output, exactly one line on standard error.
    void verifyFailure(const CliOutcome &outcome, const char *what)
    {
        QVERIFY2(outcome.status == 1, qPrintable(QString("%1: status %2, stderr %3")
                                                     .arg(what).arg(outcome.status).arg(QString::fromUtf8(outcome.err))));
        QVERIFY2(outcome.out.isEmpty(), what);
        QVERIFY2(outcome.err.startsWith("vaultrane-box: "), what);
        QVERIFY2(outcome.err.count('\n') == 1 && outcome.err.endsWith('\n'), qPrintable(QString::fromUtf8(outcome.err)));
    }

    QJsonArray listJson()
    {
        const CliOutcome outcome = run({"list", "--json"});
        if (outcome.status != 0)
            return {};
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(outcome.out, &error);
        if (error.error != QJsonParseError::NoError || !document.isArray())
            return {};
        return document.array();
    }

    QJsonObject boxEntry(const QString &name)
    {
        const QJsonArray boxes = listJson();
        for (const QJsonValue &value : boxes)
            if (value.toObject().value("name").toString() == name)
                return value.toObject();
        return {};
    }

    QString boxPath(const QString &name) const { return m_userFolder + QLatin1Char('/') + name; }

    QString shareAcl(const QString &name) const
    {
        acl_t acl = acl_get_file(QFile::encodeName(boxPath(name)).constData(), ACL_TYPE_ACCESS);
        char *text = acl ? acl_to_any_text(acl, nullptr, ',', TEXT_NUMERIC_IDS) : nullptr;
        const QString result = QString::fromUtf8(text ? text : "");
        acl_free(text);
        acl_free(acl);
        return result;
    }

    void unmountAll()
    {
        QFile mountinfo("/proc/self/mountinfo");
        if (!mountinfo.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = mountinfo.readAll().split('\n');
        for (const QByteArray &entry : lines) {
            const QList<QByteArray> fields = entry.split(' ');
            if (fields.size() > 4 && fields.at(4).startsWith(QFile::encodeName(m_base->path())))
                QProcess::execute("fusermount3", {"-u", "-z", QString::fromUtf8(fields.at(4))});
        }
    }

    QTemporaryDir m_xdg;
    QScopedPointer<QTemporaryDir> m_base;
    QString m_login;
    QString m_userFolder;
};

QTEST_GUILESS_MAIN(TestCliBox)
#include "test_cli_box.moc"
