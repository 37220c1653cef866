// Takes the user guide's screenshots of the real program against the real
// box service, in the language of the locale:
//
//     vaultrane_guide_shots OUTPUT_FOLDER
//
// Run it through scripts/guide-screenshots.sh, which gives it a private X
// display, a temporary box root and fake accounts to share with.

#include "BoxOperations.h"
#include "CreateBoxDialog.h"
#include "LockSettingsDialog.h"
#include "MainMenu.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "PrivilegeSharedBoxDialog.h"
#include "RightButtonMenu.h"
#include "SecretString.h"
#include "Startup.h"
#include "SwitchButton.h"
#include "Translations.h"
#include "Vaultrane.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

namespace {

QString g_outDir;
bool g_failed = false;

void settle(int milliseconds = 300)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void shoot(QWidget *w, const QString &name)
{
    w->show();
    w->raise();
    w->activateWindow();
    settle();
    const QString file = g_outDir + "/" + name + ".png";
    if (!w->grab().save(file)) {
        std::fprintf(stderr, "vaultrane_guide_shots: cannot write %s\n", qPrintable(file));
        g_failed = true;
        return;
    }
    std::printf("%s\n", qPrintable(file));
}

bool check(const BoxResult &result, const char *what)
{
    if (result.ok())
        return true;
    std::fprintf(stderr, "vaultrane_guide_shots: %s failed\n", what);
    g_failed = true;
    return false;
}

BoxInfo boxNamed(const QString &name)
{
    BoxInfo box;
    BoxOperations::find(name, box);
    return box;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    g_outDir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_outDir);
    loadStyleSheet("blue.css");
    loadTranslator();
    const bool english = chooseTranslation(QLocale::system().uiLanguages()).language == UiLanguage::English;
    if (!checkStartup())
        return 1;

    // A few boxes of every kind.
    const QString work = english ? "Work" : "工作资料";
    const QString finances = english ? "Finances" : "财务";
    const QString photos = english ? "Photos" : "照片";
    const QString project = english ? "Project" : "项目";
    const SecretString password(QStringLiteral("Guide_pass1"));
    check(BoxOperations::create(work), "create");
    check(BoxOperations::createEncrypted(finances, password), "create encrypted");
    check(BoxOperations::createEncrypted(photos, password), "create encrypted");
    check(BoxOperations::mount(boxNamed(photos), password), "mount");
    check(BoxOperations::create(project), "create");
    QList<ShareUser> shares;
    ShareUser alice;
    alice.uid = 1001;
    alice.perm = SharePermission::ReadWrite;
    alice.name = "alice";
    shares << alice;
    int added = 0;
    check(BoxOperations::applyShares(boxNamed(project), shares, added), "share");

    Vaultrane window;
    window.restoreViewMode();
    window.slot_show_icon_mode(true);
    shoot(&window, "main-icons");
    window.slot_show_table_mode(true);
    shoot(&window, "main-table");
    window.slot_show_icon_mode(true);

    MainMenu menu(nullptr);
    shoot(&menu, "main-menu");

    CreateBoxDialog create(&window);
    create.findChild<QLineEdit *>()->setText(english ? "Letters" : "信件");
    create.findChild<SwitchButton *>()->setChecked(true);
    shoot(&create, "create");
    create.hide();

    PasswordAuthenticDialog mount(QCoreApplication::translate("Vaultrane", "保护箱已加密，请输入密码认证"),
                                  boxNamed(finances), 1, &window);
    shoot(&mount, "mount");
    mount.hide();

    PrivilegeSharedBoxDialog share(boxNamed(project), &window);
    if (share.initData() != 0) {
        std::fprintf(stderr, "vaultrane_guide_shots: the share dialog found no accounts\n");
        g_failed = true;
    }
    shoot(&share, "share");
    share.hide();

    LockSettingsDialog settings(&window);
    shoot(&settings, "settings");
    settings.hide();

    check(BoxOperations::unmount(boxNamed(photos)), "unmount");
    return g_failed ? 1 : 0;
}
