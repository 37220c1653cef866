// The main window's box operations, context-menu dispatch, about box and help key.
#include "Vaultrane.h"

#include "BoxItemDelegate.h"
#include "BoxListWidget.h"
#include "BoxReasons.h"
#include "BoxRules.h"
#include "BoxPswLineEdit.h"
#include "BoxTableModel.h"
#include "BoxTableView.h"
#include "ChangeBoxLockedDialog.h"
#include "MessageBox.h"
#include "PasswordAuthenticDialog.h"
#include "Startup.h"
#include "TitleBar.h"
#include "box_service.h"
#include "box_service_ext.h"
#include "boxdouble.h"
#include "testsupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

const QStringList kAllBoxes{"plain", "locked", "mounted"};
enum Op { Mount, Unmount, Password, Share, Delete, Rename, Create = 10, About };

// "title: text" of a message box; else the class name (plus the password dialog's title).
QString describe(QWidget *w)
{
    if (qobject_cast<MessageBox *>(w))
        return TestSupport::messageOf(w);
    if (qobject_cast<PasswordAuthenticDialog *>(w))
        return "PasswordAuthenticDialog " + w->findChild<TitleBar *>()->m_pTitleLabel->text();
    return w->metaObject()->className();
}

// "pw"/"name:X" types a password/name X and confirms, "close" closes, else a button's text.
void answer(QWidget *w, const QString &a)
{
    if (a == "close")
        return void(w->close());
    if (a == "pw")
        QTest::keyClicks(w->findChild<BoxPswLineEdit *>(), "Secret_1");
    if (QLineEdit *name = a.startsWith("name:") ? w->findChildren<QLineEdit *>().value(0) : nullptr) {
        name->clear();
        QTest::keyClicks(name, a.mid(5));
    }
    TestSupport::childWithText<QPushButton>(w, a == "pw" || a.startsWith("name:") ? "确认" : a)->click();
}

} // namespace

class TestMainWindowOperations : public QObject
{
    Q_OBJECT

    std::unique_ptr<Vaultrane> m_w;
    QTemporaryDir m_dir;
    QList<QUrl> m_opened;
    QStringList m_seen;

    QString pathOf(const QString &name) const { return m_dir.filePath(name + " #1"); }

    // Centred on the window; the change-password dialog's top 60 pixels below the window's.
    QPoint expectedPos(const QWidget *w) const
    {
        const bool change = qobject_cast<const ChangeBoxLockedDialog *>(w);
        return {m_w->x() + m_w->width() / 2 - w->width() / 2, m_w->y() + (change ? 60 : m_w->height() / 2 - w->height() / 2)};
    }

    void select(const QString &name)
    {
        BoxTableView *t = m_w->m_pBoxTableView;
        const int row = kAllBoxes.indexOf(name);
        m_w->m_mode == 0 ? m_w->m_pBoxListWidget->setCurrentRow(row)
                         : QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(row, 0)).center());
    }

    QStringList shownNames() const
    {
        QStringList names;
        const bool table = m_w->m_mode == 1;
        for (int i = 0; i < (table ? m_w->m_pBoxTableModel->boxCount() : m_w->m_pBoxListWidget->count()); ++i)
            names << (table ? m_w->m_pBoxTableModel->boxAt(i).name : m_w->m_pBoxListWidget->item(i)->text());
        return names;
    }

    // Runs `op`, answering each modal with the next of `answers` (extra ones are
    // recorded and closed); m_seen collects what was shown, with its position when misplaced.
    void perform(int op, QStringList answers)
    {
        m_seen.clear();
        QPointer<QWidget> last;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == last || !w->isVisible())
                return;
            last = w;
            const QString at = w->pos() == expectedPos(w) ? "" : QString(" at (%1, %2)").arg(w->x()).arg(w->y());
            m_seen << (answers.isEmpty() ? "unexpected " : "") + describe(w) + at;
            answer(w, answers.isEmpty() ? "close" : answers.takeFirst());
        });
        poll.start(0);
        op == Create ? m_w->slot_newBtnClicked(true)
                     : op == About ? m_w->slot_about_us() : m_w->slot_right_menu_func_triggered(op);
    }

public slots:
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void initTestCase()
    {
        loadStyleSheet("blue.css");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(pathOf("plain")) && QDir().mkpath(pathOf("locked")));
        QDesktopServices::setUrlHandler("file", this, "openUrl");
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void init()
    {
        BoxDouble::reset();
        const unsigned own = BOX_FLAG_SELF | BOX_FLAG_UNSHARED, locked = own | BOX_FLAG_ENCRYPTED;
        BoxDouble::setBoxes({{"plain", pathOf("plain").toStdString(), "tester", own | BOX_FLAG_PLAIN},
                             {"locked", pathOf("locked").toStdString(), "tester", locked},
                             {"mounted", "/nonexistent/mounted", "tester", locked | BOX_FLAG_MOUNTED}});
        m_opened.clear();
        m_w.reset(new Vaultrane);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        m_w->move(5, 7);
    }

    void cleanup()
    {
        const QWidgetList left = TestSupport::leftoverTopLevels({m_w.get()});
        QVERIFY2(left.isEmpty(), left.isEmpty() ? "" : left.first()->metaObject()->className());
        m_w.reset();
    }

    // mode, selected box, operation, failing call (-5), answers, calls (box_get_list: a reload), modals
    // seen, boxes shown after (empty: unchanged), whose folder opens; lists '|'-separated.
    void operations_data()
    {
        for (const char *c : {"mode", "op"})
            QTest::addColumn<int>(c);
        for (const char *c : {"selected", "failing", "answers", "calls", "seen", "names", "opened"})
            QTest::addColumn<QString>(c);
        auto row = [](const char *name, int mode, const char *selected, int op, const char *failing, const char *answers,
                      const char *calls, const QString &seen, const char *names = "", const char *opened = "") {
            QTest::newRow(name) << mode << op << QString(selected) << QString(failing) << QString(answers)
                                << QString(calls) << seen << QString(names) << QString(opened);
        };
        const QString ask = "询问: 删除操作不可逆，是否确认删除保护箱 “plain” ？", check = "PasswordAuthenticDialog 密码认证",
                      mount = "PasswordAuthenticDialog 保护箱挂载", unmountFirst = "提示: 无法%1，请先卸载保护箱 “mounted” ！";
        row("delete plain, 取消", 0, "plain", Delete, "", "取消", "", ask);
        row("delete plain, 确认", 1, "plain", Delete, "", "确认", "box_delete box_get_list", ask, "locked,mounted");
        row("delete encrypted", 0, "locked", Delete, "", "pw", "box_crypto_verify_passphrase box_delete box_get_list",
            check, "plain,mounted");
        row("delete encrypted, cancelled", 1, "locked", Delete, "", "取消", "", check);
        row("delete mounted", 0, "mounted", Delete, "", "确认", "", unmountFirst.arg("删除"));
        row("delete fails", 0, "plain", Delete, "box_delete", "确认|确认", "box_delete box_get_list", ask + "|警告: 保护箱 “plain” 删除失败！");
        row("create", 0, "", Create, "", "name:fresh", "box_create box_get_list",
            "CreateBoxDialog", "plain,locked,mounted,fresh");
        row("create, cancelled", 1, "", Create, "", "取消", "", "CreateBoxDialog");
        row("mount encrypted", 0, "locked", Mount, "", "pw", "box_crypto_mount box_get_list", mount, "", "locked");
        row("mount plain", 1, "plain", Mount, "", "", "box_get_list", "", "", "plain");
        row("mount, cancelled", 0, "locked", Mount, "", "取消", "", mount);
        row("unmount", 1, "mounted", Unmount, "", "", "box_crypto_umount box_get_list", "");
        row("unmount fails", 1, "mounted", Unmount, "box_crypto_umount",
            "确认", "box_crypto_umount box_get_list", "提示: 保护箱 “mounted” 卸载失败！");
        row("rename", 0, "plain", Rename, "", "name:renamed", "box_change_name box_get_list",
            "RenameBoxDialog", "renamed,locked,mounted");
        row("rename, cancelled", 1, "plain", Rename, "", "取消", "", "RenameBoxDialog");
        row("rename mounted", 0, "mounted", Rename, "", "确认", "", unmountFirst.arg("进行重命名操作"));
        row("password, encrypted", 0, "locked", Password, "", "取消", "box_get_list", "ChangeBoxLockedDialog");
        row("password, plain", 1, "plain", Password, "", "取消", "box_get_list", "CreateBoxLockedDialog");
        row("password, mounted", 0, "mounted", Password, "", "确认", "", unmountFirst.arg("进行密码设置"));
        row("share encrypted, 取消", 0, "locked", Share, "", "pw|取消", "box_crypto_verify_passphrase box_get_info box_get_list",
            check + "|PrivilegeSharedBoxDialog");
        row("share encrypted, password cancelled", 1, "locked", Share, "", "取消", "", check);
        row("share, loading fails", 0, "plain", Share, "box_get_info", "确认", "box_get_info", "提示: 加载共享用户列表失败！");
        row("share mounted", 0, "mounted", Share, "", "确认", "", unmountFirst.arg("进行共享设置"));
        row("about", 0, "", About, "", "close", "", "AboutDialog");
        // With nothing selected each code reaches its own operation, which asks for a selection.
        const char *verbs[] = {"挂载", "卸载", "进行密码设置", "进行共享设置", "删除", "重命名"};
        for (int op = Mount; op <= Rename; ++op)
            row(qPrintable(QString("%1, nothing selected").arg(op)), op % 2, "", op, "", "确认", "",
                QString("提示: 请选择需要%1的保护箱！").arg(verbs[op]));
    }

    void operations()
    {
        QFETCH(int, mode);
        QFETCH(int, op);
        QFETCH(QString, selected);
        QFETCH(QString, failing);
        QFETCH(QString, answers);
        QFETCH(QString, calls);
        QFETCH(QString, names);
        QFETCH(QString, opened);
        QFETCH(QString, seen);
        if (mode == 1)
            m_w->slot_show_table_mode(true);
        if (!selected.isEmpty())
            select(selected);
        if (!failing.isEmpty())
            BoxDouble::setResult(failing.toStdString(), -5);
        BoxDouble::clearCalls();

        perform(op, answers.split('|', Qt::SkipEmptyParts));
        QCOMPARE(m_seen.join('|'), seen);
        QString log = TestSupport::callLog(false);
        if (!selected.isEmpty()) {
            // Each operation first reads the selected box's state anew.
            QVERIFY2(log.startsWith("box_get_list"), qPrintable(log));
            log = log.mid(QString("box_get_list").size()).trimmed();
        }
        QCOMPARE(log, calls);
        QCOMPARE(shownNames().join(','), names.isEmpty() ? kAllBoxes.join(',') : names);
        // The '#' in the folder's name stays part of the path.
        QCOMPARE(m_opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(pathOf(opened))});
        BoxInfo box; // a stopped operation keeps the selection
        QVERIFY(calls.contains("box_get_list") || selected.isEmpty() || (m_w->currentBox(box) && box.name == selected));
    }

    // After an operation or a reload the view, the tool buttons and the bottom
    // bar agree: created and renamed boxes are selected, a deleted one leaves
    // nothing selected, a reload keeps the selected box by name.
    void selectionAndStatusAgree_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("op");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("after");
        for (int mode : {0, 1}) {
            const QString view = mode == 0 ? " (icons)" : " (table)";
            QTest::newRow(qPrintable("create" + view)) << mode << int(Create) << "" << "name:fresh" << "fresh";
            QTest::newRow(qPrintable("rename" + view)) << mode << int(Rename) << "plain" << "name:renamed" << "renamed";
            QTest::newRow(qPrintable("delete" + view)) << mode << int(Delete) << "plain" << "确认" << "";
            QTest::newRow(qPrintable("changed elsewhere" + view)) << mode << -1 << "locked" << "" << "locked";
            QTest::newRow(qPrintable("F5" + view)) << mode << -2 << "locked" << "" << "locked";
        }
    }

    void selectionAndStatusAgree()
    {
        QFETCH(int, mode);
        QFETCH(int, op);
        QFETCH(QString, before);
        QFETCH(QString, answers);
        QFETCH(QString, after);
        if (mode == 1)
            m_w->slot_show_table_mode(true);
        if (!before.isEmpty())
            select(before);

        if (op >= 0) {
            perform(op, answers.split('|', Qt::SkipEmptyParts));
        } else {
            // Another program deletes "plain": "locked" moves up a row.
            std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
            boxes.erase(boxes.begin());
            BoxDouble::setBoxes(boxes);
            op == -1 ? m_w->slot_reload_boxes() : QTest::keyClick(m_w.get(), Qt::Key_F5);
            QVERIFY(!shownNames().contains("plain"));
        }

        BoxInfo box;
        const bool selected = m_w->selectedBox(box);
        QCOMPARE(selected ? box.name : QString(), after);
        QCOMPARE(m_w->m_pDelBtn->isEnabled(), selected && BoxRules::allows(box, BoxAction::Delete));
        const QString status = m_w->m_pCountLabel->text();
        if (mode == 0) {
            QCOMPARE(m_w->m_pBoxListWidget->selectedItems().size(), selected ? 1 : 0);
            QVERIFY(!selected || status.contains(box.name));
        } else {
            const int row = selected ? m_w->m_pBoxTableModel->rowOf(box.name, QString()) : -1;
            QCOMPARE(m_w->m_pBoxItemDelegate->selectedRow(), row);
            QCOMPARE(m_w->m_pBoxTableView->currentIndex().row(), row);
        }
        if (!selected)
            QVERIFY(status.contains(QString::number(shownNames().size())));
    }

    // The agent unmounted "mounted" before the window heard of it: 卸载 is
    // refused for the box's present state, and the view then shows it.
    void staleStateGivesThePresentReason()
    {
        select("mounted");
        std::vector<BoxDouble::Box> boxes = BoxDouble::boxes();
        boxes.back().flags &= ~BOX_FLAG_MOUNTED;
        BoxDouble::setBoxes(boxes);
        BoxDouble::clearCalls();

        perform(Unmount, {"确认"});

        QCOMPARE(m_seen.size(), 1);
        QCOMPARE(BoxDouble::callCount("box_crypto_umount"), 0);
        QTRY_VERIFY(!m_w->m_pBoxListWidget->currentBoxInfo().mounted);
        QCOMPARE(m_w->m_pBoxListWidget->currentBoxInfo().name, QString("mounted"));
    }

    // A box operation on a worker holds the box service: a change noticed
    // meanwhile is shown after it, instead of the window waiting for it.
    void reloadWaitsForARunningOperation()
    {
        std::atomic<bool> release{false};
        BoxWorker worker;
        QSignalSpy finished(&worker, &BoxWorker::finished);
        QVERIFY(worker.start([&release] {
            while (!release)
                QThread::msleep(1);
            return BoxResult::success();
        }));
        BoxDouble::clearCalls();

        m_w->slot_reload_boxes();
        QCOMPARE(BoxDouble::callCount("box_get_list"), 0);

        release = true;
        QVERIFY(finished.wait());
        m_w->reloadIfDeferred();
        QTRY_COMPARE(BoxDouble::callCount("box_get_list"), 1);
    }

    // A reload leaves the keyboard on the tool button the user has reached:
    // the icon view's passing "no box" while it refills moves nothing.
    void reloadKeepsTheFocusedButton()
    {
        select("plain");
        m_w->m_pDelBtn->setFocus(Qt::TabFocusReason);
        QCOMPARE(m_w->focusWidget(), m_w->m_pDelBtn);

        m_w->slot_reload_boxes();

        QCOMPARE(m_w->focusWidget(), m_w->m_pDelBtn);
        QVERIFY(m_w->m_pDelBtn->isEnabled());
    }

    // A list that cannot be read leaves the view as it was and says why.
    void listFailureIsShown()
    {
        select("locked");
        BoxDouble::setResult("box_get_list", -16);
        BoxDouble::setReason(-16, BOX_REASON_BUSY);
        m_w->slot_reload_boxes();

        QCOMPARE(shownNames(), kAllBoxes);
        QVERIFY(m_w->m_pCountLabel->toolTip().contains(BoxReasons::text(BOX_REASON_BUSY)));
    }

    // An unknown menu code does nothing.
    void otherCodesDoNothing()
    {
        select("plain");
        BoxDouble::clearCalls();
        perform(6, {});
        QCOMPARE(m_seen.join('|') + TestSupport::callLog() + QString::number(m_opened.size()), QString("0"));
    }
};

int main(int argc, char *argv[])
{
    // No session bus, so the F1 request fails at once instead of waiting for a daemon.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vaultrane-test-bus");
    TestSupport::useTestPasswdDatabase(argc, argv); // the share dialog lists accounts
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainWindowOperations tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_mainwindow_operations.moc"
