#include "AboutDialog.h"
#include "TitleBar.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

namespace {

// Opens the about dialog the way the main window does and returns when it is
// closed.
void openAbout(QWidget *mainWindow)
{
    auto *d = new AboutDialog(mainWindow);
    d->setAttribute(Qt::WA_DeleteOnClose, true);
    d->move(mainWindow->x() + mainWindow->width() / 2 - d->width() / 2,
            mainWindow->y() + mainWindow->height() / 2 - d->height() / 2);
    d->exec();
}

bool hasColour(const QWidget *w, QPalette::ColorRole role, const QColor &colour)
{
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        if (w->palette().brush(group, role).color() != colour)
            return false;
    return true;
}

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &global)
{
    QMouseEvent e(type, target->mapFromGlobal(global), global, Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void showsProgramAndRequirements();
    void dragsByLabel();
    void closes_data();
    void closes();
    void twoOpeningsAreIndependent();
};

void TestAboutDialog::cleanup()
{
    QTRY_VERIFY(TestSupport::modalHandlersDone());
    QTRY_VERIFY(TestSupport::leftoverTopLevels().isEmpty());
}

void TestAboutDialog::showsProgramAndRequirements()
{
    QPointer<AboutDialog> d = new AboutDialog(nullptr);
    const auto dropDialog = qScopeGuard([&] { delete d; });
    d->setAttribute(Qt::WA_DeleteOnClose, true);
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d));

    QCOMPARE(d->windowFlags(), Qt::Tool | Qt::FramelessWindowHint);
    QCOMPARE(d->size(), QSize(560, 360));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(d->autoFillBackground());
    QVERIFY(hasColour(d, QPalette::Window, QColor("#FFFFFF")));

    auto *bar = d->findChild<TitleBar *>();
    QVERIFY(bar);
    QCOMPARE(bar->geometry(), QRect(0, 0, 560, 40));
    QCOMPARE(bar->m_pTitleLabel->text(), QString("关于"));
    QVERIFY(hasColour(bar, QPalette::Window, QColor("#E4E7EA")));
    QVERIFY(bar->m_pLogoLabel->isVisible());
    QVERIFY(bar->m_pCloseBtn->isVisible());
    QVERIFY(!bar->m_pMinBtn->isVisible());
    QVERIFY(!bar->m_pMenuBtn->isVisible());
    QVERIFY(!bar->m_pReturnBtn->isVisible());

    struct Text {
        QString text;
        QPoint pos;
        int pixelSize;
        QString colour;
    };
    const QList<Text> texts = {
        {"Venmora文件保护箱", {190, 85}, 32, "#121217"},
        {"运行环境: AstrelVenmora操作系统 (V10)", {170, 190}, 12, "#49494E"},
        {"安全内核 (3.0.0) 以上", {225, 210}, 12, "#49494E"},
        {"保护箱套件 (3.0.8) 以上", {225, 230}, 12, "#49494E"},
        {"软件版本: 3.0.3", {170, 260}, 12, "#49494E"},
    };
    const QList<QLabel *> labels = d->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), texts.size() + 1);
    for (const Text &t : texts) {
        QLabel *label = TestSupport::childWithText<QLabel>(d, t.text);
        QVERIFY2(label, qPrintable(t.text));
        QVERIFY(label->parentWidget() == d);
        QCOMPARE(label->pos(), t.pos);
        QCOMPARE(label->size(), label->sizeHint());
        QCOMPARE(label->font().pixelSize(), t.pixelSize);
        QCOMPARE(label->font().family(), QFont().family());
        QVERIFY2(hasColour(label, QPalette::WindowText, QColor(t.colour)), qPrintable(t.text));
        QVERIFY(label->isVisible());
    }

    QLabel *logo = nullptr;
    for (QLabel *l : labels)
        if (l->text().isEmpty())
            logo = l;
    QVERIFY(logo);
    QCOMPARE(logo->geometry(), QRect(120, 80, 64, 64));
    QCOMPARE(logo->minimumSize(), logo->maximumSize());
    QCOMPARE(logo->pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/images/logo/64.png").toImage());

    if (qEnvironmentVariableIsSet("VAULTRANE_RENDER_DIR"))
        d->grab().save(qEnvironmentVariable("VAULTRANE_RENDER_DIR") + "/aboutdialog.png");

    d->close();
    QTRY_VERIFY(d.isNull());
}

void TestAboutDialog::dragsByLabel()
{
    QPointer<AboutDialog> d = new AboutDialog(nullptr);
    const auto dropDialog = qScopeGuard([&] { delete d; });
    d->setAttribute(Qt::WA_DeleteOnClose, true);
    d->move(200, 150);
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d));
    QLabel *name = TestSupport::childWithText<QLabel>(d, "Venmora文件保护箱");
    const QPoint start = name->mapToGlobal(QPoint(5, 5));
    const QPoint before = d->pos();
    sendMouse(name, QEvent::MouseButtonPress, start);
    sendMouse(name, QEvent::MouseMove, start + QPoint(30, 20));
    sendMouse(name, QEvent::MouseButtonRelease, start + QPoint(30, 20));
    QCOMPARE(d->pos(), before + QPoint(30, 20));
    d->close();
}

void TestAboutDialog::closes_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("Escape") << true;
    QTest::newRow("close button") << false;
}

void TestAboutDialog::closes()
{
    QFETCH(bool, byEscape);
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 780, 560);
    QPointer<QWidget> seen;
    bool shown = false;
    bool closedByUser = false;
    TestSupport::onNextModal([&](QWidget *w) {
        seen = w;
        shown = true;
        QVERIFY(w->isWindow());
        QCOMPARE(w->pos(), QPoint(210, 200));
        if (byEscape)
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::mouseClick(w->findChild<TitleBar *>()->m_pCloseBtn, Qt::LeftButton);
        closedByUser = !w->isVisible();
        if (!closedByUser)
            w->close(); // so that a failure does not hang the test
    });
    openAbout(&mainWindow);
    QVERIFY(TestSupport::modalHandlersDone());
    QVERIFY(shown);
    QVERIFY(closedByUser);
    QVERIFY(seen.isNull()); // deleted when exec() returned
}

void TestAboutDialog::twoOpeningsAreIndependent()
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 780, 560);
    // The first stays open while the second comes and goes.
    QPointer<AboutDialog> first = new AboutDialog(&mainWindow);
    const auto dropFirst = qScopeGuard([&] { delete first; });
    first->setAttribute(Qt::WA_DeleteOnClose, true);
    first->show();
    QPointer<QWidget> second;
    TestSupport::onNextModal([&](QWidget *w) {
        second = w;
        QVERIFY(w != first);
        QTest::keyClick(w, Qt::Key_Escape);
    });
    openAbout(&mainWindow);
    QVERIFY(TestSupport::modalHandlersDone());
    QVERIFY(second.isNull());
    QVERIFY(!first.isNull());
    QVERIFY(first->isVisible());
    QCOMPARE(first->findChild<TitleBar *>()->m_pTitleLabel->text(), QString("关于"));
    first->close();
    QTRY_VERIFY(first.isNull());
}

QTEST_MAIN(TestAboutDialog)
#include "test_aboutdialog.moc"
